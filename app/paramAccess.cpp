/*
** Parameter access by name ("-v" view, "-s" set): the two name tables and
** the one pass that finds a row, sets the value through the configuration
** link, waits for the master's echo and prints the value.  See
** paramAccess.h for the row layout.
*/
#include "app/paramAccess.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "app/doVA.h"
#include "app/statusAccess.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "diag/numParse.h"

/* Names that must equal the typed name, in the order they are tried. */
const paramRow paramExactNames[] = {
    {pkTEXT, "StationNameShort", itmSIS_CsStdNme, psNONE, nullptr},
    {pkYESNO, "StationNameShortAppend", itmSIS_CLL_SGN_STD_NME, psNONE, nullptr},
    {pkTEXT, "SystemName", itmSYSTEM_NAME, psNONE, nullptr},
    {pkTEXT, "StationNameUniversal", itmSIS_CsUnvNme, psNONE, nullptr},
    {pkTEXT, "StationNameLong", itmSIS_SlgnStd, psNONE, nullptr},
    {pkTEXT, "Slogan", itmSIS_SlgnUnvNme, psNONE, nullptr},
    {pkYESNO, "EnableBothSlogans", itmSIS_SlgnUnvEnbl, psNONE, nullptr},
    {pkTEXT, "StationMessage", itmSIS_StnMsgMsg, psNONE, nullptr},
    {pkINT, "StationMessagePriority", itmSIS_StnMsgPrrty, psNONE, nullptr},
    {pkINT, "DstSchedule", itmDSTSchedule, psNONE, nullptr},
    {pkINT, "MpsProgramType", itmMPS_StnInfPrgTyp, psNONE, nullptr},
    {pkTEXT, "CountryCode", itmSIS_CNTRY_CD_ASCII, psNONE, nullptr},
    {pkINT, "FccId", itmSIS_FccId, psNONE, nullptr},
    {pkINT, "AudioProcessing", itmMPS_StnInfProcInf, psNONE, nullptr},
    {pkINT, "E2xProtocol", itmExcter_Prtcl, psNONE, nullptr},
    {pkIP, "ExgineIp", itmExctr_IP_Addr, psNONE, nullptr},
    {pkINT, "E2xPort", itmEXCITER_PORT, psNONE, nullptr},
    {pkINT, "PsdInterval", itmMPS_PSD_INTERVAL, psNONE, nullptr},
    {pkINT, "PsdReceivePort", itmMPS_PSD_PORT, psNONE, nullptr},
    {pkINT, "TimeZoneOffset", itmTimeZone, psNONE, nullptr},
    {pkYESNO, "DstTransmitSchedule", itmDSTTxSchedule, psNONE, nullptr},
    {pkINT, "DstObserved", itmDSTObserved, psNONE, nullptr},
    {pkINT, "DstInEffect", itmDSTActive, psNONE, nullptr},
    {pkYESNO, "UseGpsTime", itmUseGPSTime, psNONE, nullptr},
    {pkYESNO, "ExgineMacEnable", itmExctr_MAC_Enbl, psNONE, nullptr},
    {pkMAC, "ExgineMac", itmExctr_MAC_Addr, psNONE, nullptr},
    {pkINT, "OperatingMode", itmPrmryCarrierCfg, psOPMODE, nullptr},
    {pkYESNO, "SetDefaultSchedule", itmSET_DFAULT_SIS, psNONE, nullptr},
    {pkEND, nullptr, -1, psNONE, nullptr}};

/* Names the typed name has to begin with; the first hit wins.  The live
** status rows print through app/statusAccess.cpp. */
const paramRow paramPrefixNames[] = {
    {pkINT, "SisSchedule", itmSIS_Nplds_00, psSIS, nullptr},
    {pkSTATUS, "SoftwareVersion", -1, psNONE, printSoftwareVersion},
    {pkTEXT, "AntennaLat", itmAntennaLatitude, psNONE, nullptr},
    {pkTEXT, "AntennaLong", itmAntennaLongitude, psNONE, nullptr},
    {pkINT, "AntennaAlt", itmAntennaAltitude, psNONE, nullptr},
    {pkINT, "Eth0Mode", itmETH0_OP_MODE, psNONE, nullptr},
    {pkIP, "Eth0IPAddress", itmETH0_IP_ADDR, psNONE, nullptr},
    {pkIP, "Eth0Netmask", itmETH0_NETMASK, psNONE, nullptr},
    {pkINT, "Eth1Mode", itmETH1_OP_MODE, psNONE, nullptr},
    {pkIP, "Eth1IPAddress", itmETH1_IP_ADDR, psNONE, nullptr},
    {pkIP, "Eth1Netmask", itmETH1_NETMASK, psNONE, nullptr},
    {pkIP, "DefaultGateway", itmDEFAULT_GATEWAY, psNONE, nullptr},
    {pkIP, "DNSServer", itmDNS_SERVER, psNONE, nullptr},
    {pkYESNO, "EnableIpForwarding", itmENABLE_IP_FORWARD, psNONE, nullptr},
    {pkYESNO, "SingleAudioInputMode", itmAutoRteA2D, psNONE, nullptr},
    {pkINT, "MPSHDCMode", itmHDCC_CHANNEL_MODE_CORE, psHDCMODE, nullptr},
    {pkINT, "DigitalGain", itmVolume_Adjust, psNONE, nullptr},
    {pkYESNO, "AnalogAudioBypass", itmBypass_Enbl, psNONE, nullptr},
    {pkYESNO, "MuteAnalog", itmMute_Analog, psNONE, nullptr},
    {pkYESNO, "MuteDigital", itmMute_Digital, psNONE, nullptr},
    {pkYESNO, "InvertDigital", itmINVERT_DIGITAL, psNONE, nullptr},
    {pkYESNO, "InvertAnalog", itmINVERT_ANALOG, psNONE, nullptr},
    {pkYESNO, "DelayRampUpDown", itmDvrstyDly_Anlg_Enbl, psNONE, nullptr},
    {pkFLOAT, "DiversityDelay", itmDvrstyDly_Reqd_Anlg, psNONE, nullptr},
    {pkINT, "RampRate", itmDvrstyDly_Rate_Anlg, psNONE, nullptr},
    {pkINT, "RampIncrement", itmDvrstyDly_Incr_Anlg, psNONE, nullptr},
    {pkINT, "BlendControl", itmBlend_Control, psNONE, nullptr},
    {pkINT, "PresentLeapSeconds", itmPresentLeapSeconds, psNONE, nullptr},
    {pkINT, "PendingLeapSeconds", itmPendingLeapSeconds, psNONE, nullptr},
    {pkINT, "EasNumSisBlocks", itmEAS_NUM_SIS_BLKS, psNONE, nullptr},
    {pkSTATUS, "MonitorDivDelay", -1, psNONE, printMonitorDivDelay},
    {pkSTATUS, "AudioStatus", -1, psNONE, printAudioStatus},
    {pkSTATUS, "SystemStatus", -1, psNONE, printSystemStatus},
    {pkSTATUS, "GPSStatus", -1, psNONE, printGpsStatus},
    {pkSTATUS, "SystemTime", -1, psNONE, printSystemTime},
    {pkSTATUS, "Eth0Status", -1, psNONE, printEth0Status},
    {pkSTATUS, "Eth1Status", -1, psNONE, printEth1Status},
    {pkEND, nullptr, -1, psNONE, nullptr}};

/* Operating modes of item 77, by value 1..5. */
static const char* const opModeNames[] = {"FM MP1-MP3 Dynamic", "FM MP5 Dynamic",
                                          "FM MP6 Dynamic", "AM MA1", "AM MA3"};

/* SIS messages by payload number (each at most 34 characters). */
static const char* const sisNames[16] = {"STATION ID",
                                         "STATION NAME SHORT",
                                         "STN NAME LONG (LEGACY SLOGAN)",
                                         "STATION TIME",
                                         "STATION LOCATION",
                                         "UNIVERSAL STATION NAME SHORT",
                                         "SLOGAN (RECOMMENDED FORMAT)",
                                         "STATION MESSAGE",
                                         "SERVICE MESSAGE",
                                         "STATION PARAMETER",
                                         "", "", "", "", "", ""};

/* The SIS schedule: 16 blocks of (payload count, payload 1, payload 2). */
enum { sisBLOCKS = 16, sisFIRST = 150, sisLAST = 197 };

/* Echo wait after a set: ten polls 10 ms apart. */
enum { echoPolls = 10, echoPollUsec = 10000 };

const char* operatingModeName(int mode) {
  return (mode >= 1 && mode <= 5) ? opModeNames[mode - 1] : nullptr;
}

const char* sisMessageName(int payload) {
  return (payload >= 0 && payload < sisBLOCKS) ? sisNames[payload] : nullptr;
}

static const paramRow* findIn(const paramRow* table, const char* typed, bool prefix) {
  for (const paramRow* r = table; r->kind != pkEND; r++) {
    size_t n = strlen(r->name);
    if (prefix ? strncmp(typed, r->name, n) == 0 : strcmp(typed, r->name) == 0) return r;
  }
  return nullptr;
}

const paramRow* findParam(const char* typedName) {
  const paramRow* r = findIn(paramExactNames, typedName, false);
  return r ? r : findIn(paramPrefixNames, typedName, true);
}

/* ---- one request ------------------------------------------------------- */

/* What the command line asks: the typed name, the value, whether to set. */
struct paramRequest {
  char name[paramNAME_SIZE];
  char setText[paramSET_SIZE];
  const char* value;
  bool setWanted;
  int item;
};

static void copyCut(char* dst, int size, const char* src, int len) {
  if (len > size - 1) len = size - 1;
  memcpy(dst, src, (size_t)len);
  dst[len] = '\0';
}

/* Steps of the switches: "-s" gives name and value split at the first
** comma of the joined text; "-v" gives the name and forbids the set.
** Returns false after "Set requires parameter.". */
static bool readRequest(consoleApp& app, paramRequest& rq) {
  rq.name[0] = rq.setText[0] = '\0';
  rq.value = "";
  rq.setWanted = true;
  if (app.parser->isPresent(SW_SET)) {
    app.parser->join(SW_SET, 2, rq.setText, sizeof rq.setText, ',');
    char* comma = strchr(rq.setText, ',');
    if (comma == nullptr) {
      printf("Set requires parameter.\n");
      return false;
    }
    copyCut(rq.name, sizeof rq.name, rq.setText, (int)(comma - rq.setText));
    rq.value = comma + 1;
  }
  if (app.parser->isPresent(SW_VIEW)) {
    app.parser->join(SW_VIEW, 1, rq.name, sizeof rq.name, ',');
    rq.setWanted = false;
  }
  return true;
}

static void printModeLine(generic_cfg& cfg) {
  int mode = 0;
  cfg.readInt(itmPrmryCarrierCfg, &mode);
  const char* name = operatingModeName(mode);
  if (name)
    printf("OperatingMode=%s\n", name);
  else
    printf("OperatingMode=unknown(%d)\n", mode);
}

/* "SisScheduleB%dPL%d" chooses one payload item; anything else shows the
** schedule only. */
static void chooseSisItem(paramRequest& rq) {
  int32_t bp[2] = {0, 0};
  rq.item = sisFIRST;
  if (scanInt32(rq.name, "SisScheduleB%dPL%d", bp, 2) == 2) {
    int block = bp[0], payload = bp[1];
    printf("Block %d Payload %d\n", block, payload);
    if ((payload == 1 || payload == 2) && block >= 0 && block < sisBLOCKS)
      rq.item = sisFIRST + 3 * block + payload;
    else
      rq.setWanted = false;
    return;
  }
  if (rq.setWanted)
    printf("No SIS Block or Payload specified - displaying SISSchedule only.\n");
  rq.setWanted = false;
}

static bool parseIp(const char* text, ip_addr_s* ip) {
  int32_t a[4];
  if (scanInt32(text, "%u.%u.%u.%u", a, 4) != 4) return false;
  for (int i = 0; i < 4; i++) ip->octet[i] = (uint8_t)(a[i] & 0xff);
  return true;
}

static bool parseMac(const char* text, mac_addr_s* mac) {
  int32_t a[6];
  if (scanInt32(text, "%x:%x:%x:%x:%x:%x", a, 6) != 6) return false;
  for (int i = 0; i < 6; i++) mac->octet[i] = (uint8_t)(a[i] & 0xff);
  return true;
}

static void setValue(generic_cfg& cfg, const paramRow& row, int item, const char* value) {
  switch (row.kind) {
    case pkTEXT: {
      const char* key = cfg.getItemName(item);
      if (key) cfg.sendChangeRequest(key, value, true);
      break;
    }
    case pkINT: cfg.writeInt(item, atoiSat(value)); break;
    case pkFLOAT: cfg.writeFloat(item, (float)atof(value)); break;
    case pkIP: {
      ip_addr_s ip;
      if (parseIp(value, &ip))
        cfg.writeIp(item, ip);
      else
        printf("ERROR: Unable to parse IP address\n");
      break;
    }
    case pkYESNO: cfg.writeInt(item, atoiSat(value) != 0 ? 1 : 0); break;
    case pkMAC: {
      mac_addr_s mac;
      if (parseMac(value, &mac))
        cfg.writeMac(item, mac);
      else
        printf("ERROR: Unable to parse MAC address\n");
      break;
    }
    default: printf("Unknown item type.\n"); break;
  }
}

/* About 100 ms for the master to echo the change back. */
static void waitForEcho(generic_cfg& cfg) {
  for (int i = 0; i < echoPolls; i++) {
    usleep(echoPollUsec);
    cfg.serviceCfg(0, 0);
  }
}

/* The value of an int, bool or yes/no item whatever its stored type. */
static int itemInt(generic_cfg& cfg, int item) {
  data_itm_Base* it = cfg.getItem(item);
  return it ? (int)it->intValue() : 0;
}

static void printValue(generic_cfg& cfg, const paramRow& row, int item, const char* name) {
  switch (row.kind) {
    case pkTEXT: {
      static char text[8192]; /* a text value travels in one record: < 8 KiB */
      text[0] = '\0';
      cfg.readText(item, text, sizeof text);
      printf("%s=%s\n", name, text);
      break;
    }
    case pkINT: printf("%s=%d\n", name, itemInt(cfg, item)); break;
    case pkFLOAT: {
      float f = 0.0f;
      cfg.readFloat(item, &f);
      printf("%s=%9.6f\n", name, (double)f);
      break;
    }
    case pkIP: {
      ip_addr_s ip{};
      cfg.readIp(item, &ip);
      printf("%s=%u.%u.%u.%u\n", name, ip.octet[0], ip.octet[1], ip.octet[2], ip.octet[3]);
      break;
    }
    case pkYESNO: printf("%s=%s\n", name, itemInt(cfg, item) ? "yes" : "no"); break;
    case pkMAC: {
      mac_addr_s m{};
      cfg.readMac(item, &m);
      printf("ExgineMac=%02x:%02x:%02x:%02x:%02x:%02x\n", m.octet[0], m.octet[1], m.octet[2],
             m.octet[3], m.octet[4], m.octet[5]);
      break;
    }
    default: break;
  }
}

/* The whole schedule, one line per block; a payload outside the name
** table (negative: "empty") prints a blank. */
static void printSchedule(generic_cfg& cfg) {
  for (int b = 0; b < sisBLOCKS; b++) {
    int first = sisFIRST + 3 * b;
    const char* p1 = sisMessageName(itemInt(cfg, first + 1));
    const char* p2 = sisMessageName(itemInt(cfg, first + 2));
    printf("%2d: %-35s %-35s\n", b, p1 ? p1 : " ", p2 ? p2 : " ");
  }
}

static void accessItem(consoleApp& app, const paramRow& row, paramRequest& rq) {
  generic_cfg& cfg = *app.cfg;
  rq.item = row.item;
  if (row.special == psOPMODE) printModeLine(cfg);
  if (row.special == psSIS) chooseSisItem(rq);
  if (row.special == psHDCMODE) {
    int v = atoiSat(rq.value);
    if (v != 1 && v != 2 && v != 4) rq.value = "1";
  }
  if (rq.setWanted && app.parser->isPresent(SW_SET)) {
    setValue(cfg, row, rq.item, rq.value);
    waitForEcho(cfg);
  }
  if (rq.item >= sisFIRST && rq.item <= sisLAST)
    printSchedule(cfg);
  else
    printValue(cfg, row, rq.item, rq.name);
}

static int finish(consoleApp& app) {
  fflush(stdout);
  delete app.cfg;
  app.cfg = nullptr;
  return 0;
}

int paramAccess(consoleApp& app) {
  paramRequest rq;
  if (app.parser == nullptr || app.cfg == nullptr || !readRequest(app, rq)) return finish(app);
  const paramRow* row = findParam(rq.name);
  if (row == nullptr) {
    printf("ERROR: Item %s not found.\n", rq.name);
    return finish(app);
  }
  if (row->kind == pkSTATUS) {
    if (row->status) row->status(app, rq.name);
    return finish(app);
  }
  accessItem(app, *row, rq);
  return finish(app);
}
