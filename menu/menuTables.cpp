/*
** The menu tables as data: one row per menu line, in the order the
** operator sees them.  Reviewers compare these rows one by one with the
** menu list of the box; nothing here is computed except the 32 SIS
** schedule lines, which follow one rule (block b, payload p, ID 151+3b+p-1).
*/
#include "menu/menuTables.h"

#include <cstdio>

namespace {

/* Marks the place of the generated schedule rows inside the fixed table. */
const int SCHEDULE_RULE_KIND = -2;

enum { M = tit_MENU, E = tit_EDIT, S = tit_SPECIAL, T = tit_SPECIAL_TEXT };

const treeItemDef mainFixedRows[] = {
  {-1, 347, M, 0, "SETTINGS", "Edit Settings", nullptr},
  {-1, 361, M, 0, "STATUS", "View Status", nullptr},
  {347, 349, M, 0, "SYSTEM", "System Settings", nullptr},
  {349, 313, E, 1, "SYSTEM NAME", "System Name", nullptr},
  {349, 77, E, 1, "OP MODE", "Operating Mode", nullptr},
  {349, 51, E, 1, "RESTART", "System Restart", nullptr},
  {349, 50, E, 1, "POWER DOWN", "Power Down", nullptr},
  {347, 353, M, 0, "DATE & TIME", "Date & Time", nullptr},
  {353, 16, E, 1, "TIME ZONE", "Time Zone Offset", nullptr},
  {353, 20, E, 1, "DST SCHEDULE", "DST Schedule", nullptr},
  {353, 21, E, 1, "TX SCHEDULE", "Transmit Schedule", nullptr},
  {353, 18, E, 1, "DST OBSERVED", "DST Observed", nullptr},
  {353, 19, E, 1, "DST IN EFFECT", "DST In Effect", nullptr},
  {353, 17, E, 1, "GPS TIME", "Use GPS Time", nullptr},
  {353, 23, E, 1, "LEAP SECONDS", "Leap Seconds", nullptr},
  {353, 22, E, 1, "PEND LEAP SEC", "Pend Leap Sec", nullptr},
  {347, 352, M, 0, "EXCITER", "Exciter Config", nullptr},
  {352, 5, E, 1, "E2X Protocol", "E2X Protocol", nullptr},
  {352, 6, E, 1, "IP ADDRESS", "Dest IP Address", nullptr},
  {352, 7, E, 1, "PORT NUMBER", "Dest Port Number", nullptr},
  {352, 8, E, 1, "MAC ADDRESS", "Dest MAC Address", nullptr},
  {352, 9, E, 1, "MAC ENABLE", "MAC Address Enable", nullptr},
  {347, 356, M, 0, "NETWORK CONFIG", "Network Config", nullptr},
  {356, 41, E, 0, "ETH0 MODE", "Eth0 Mode", nullptr},
  {356, 42, E, 0, "ETH0 IP", "Eth0 IP Address", nullptr},
  {356, 43, E, 0, "ETH0 MASK", "Eth0 Netmask", nullptr},
  {356, 44, E, 0, "ETH1 MODE", "Eth1 Mode", nullptr},
  {356, 45, E, 0, "ETH1 IP", "Eth1 IP Address", nullptr},
  {356, 46, E, 0, "ETH1 MASK", "Eth1 Netmask", nullptr},
  {356, 47, E, 0, "DEF GATEWAY", "Default Gateway", nullptr},
  {356, 318, E, 0, "DNS Server", "DNS Server IP", nullptr},
  {356, 48, E, 0, "IP FORWARDING", "Enable IP Forward", nullptr},
  {347, 357, M, 0, "AUDIO CONTROL", "Audio Control", nullptr},
  {357, 30, E, 1, "AUDIO INPUT", "Audio Input Mode", nullptr},
  {357, 308, E, 1, "MPS HDC MODE", "MPS HDC Mode", nullptr},
  {357, 3, E, 1, "DIGITAL VOL", "Digital Gain", nullptr},
  {357, 10, E, 0, "BYPASS", "Audio Bypass", nullptr},
  {357, 25, E, 1, "MUTE ANALOG", "Mute Analog", nullptr},
  {357, 26, E, 1, "MUTE DIGITAL", "Mute Digital", nullptr},
  {357, 34, E, 1, "INVERT DIGITAL", "Invert Digital", nullptr},
  {357, 33, E, 1, "INVERT ANALOG", "Invert Analog", nullptr},
  {347, 358, M, 0, "DIVERSITY DELAY", "Diversity Delay", nullptr},
  {358, 128, E, 1, "RAMP STATE", "Delay Ramp Up/Dn", nullptr},
  {358, 125, E, 1, "SET DELAY", "Set Delay", nullptr},
  {358, 126, E, 1, "DIV RAMP RATE", "Set Ramp Rate", nullptr},
  {358, 127, E, 1, "DIV INCREMENT", "Set Increment", nullptr},
  {358, 4, E, 1, "BLEND CONTROL", "Blend Control", nullptr},
  {358, 341, S, 0, "MONITOR DELAY", "Monitor Delay", nullptr},
  {347, 369, M, 0, "AUDIO MONITOR", "Audio Monitor", nullptr},
  {369, 13, E, 1, "SOURCE", "Audio Source", nullptr},
  {369, 40, E, 1, "HEADPHONE VOL", "Headphone Volume", nullptr},
  {369, 38, E, 1, "SET FREQUENCY", "Test Tone Freq", nullptr},
  {369, 14, E, 1, "TEST TONE VOL", "Test Tone Volume", nullptr},
  {369, 39, E, 1, "SET CHANNEL", "Tone Left-Right", nullptr},
  {347, 354, M, 0, "STATION INFO", "Station Info", nullptr},
  {354, 135, E, 1, "SHORT NAME", "Stn. Name Short", nullptr},
  {354, 136, E, 1, "APPEND AM/FM", "Append AM/FM", nullptr},
  {354, 137, E, 1, "SHORT NAME UNV", "Stn. Name Universal", nullptr},
  {354, 140, E, 1, "LONG NAME", "Stn. Name Long", nullptr},
  {354, 141, E, 1, "STATION SLOGAN", "Station Slogan", nullptr},
  {354, 143, E, 1, "ENA BOTH SLOGANS", "Ena Both Slogans", nullptr},
  {354, 144, E, 1, "STATION MESSAGE", "Station Message", nullptr},
  {354, 145, E, 1, "MESSAGE PRIORITY", "Message Priority", nullptr},
  {354, 84, E, 1, "PROG TYPE", "Program Type", nullptr},
  {354, 86, E, 1, "AUDIO PROC", "Audio Processing", nullptr},
  {354, 133, E, 1, "COUNTRY CODE", "Country Code", nullptr},
  {354, 134, E, 1, "FCC ID", "FCC ID", nullptr},
  {354, 147, E, 1, "ANT LONGITUDE", "Antenna Longitude", nullptr},
  {354, 148, E, 1, "ANT LATITUDE", "Antenna Latitude", nullptr},
  {354, 149, E, 1, "ANT ALTITUDE", "Antenna Altitude", nullptr},
  {354, 83, E, 1, "PSD PORT", "PSD Receive Port", nullptr},
  {354, 82, E, 1, "PSD INTERVAL", "PSD Interval", nullptr},
  {354, 317, E, 1, "EAS SIS BLOCKS", "EAS SIS Blocks", nullptr},
  {347, 350, M, 0, "SIS SCHEDULE", "SIS Schedule", nullptr},
  {350, 310, E, 1, "SET BASIC SIS", "Set Basic Schedule", nullptr},
  {350, 311, E, 1, "SET DEFAULT SIS", "Set Def Schedule", nullptr},
  {350, 151, SCHEDULE_RULE_KIND, 1, nullptr, nullptr, nullptr},
  {347, 360, M, 0, "MAINTENANCE", "Maintenance", nullptr},
  {360, 313, E, 1, "SYSTEM NAME", "System Name", nullptr},
  {360, 336, T, 1, "VERSION", "View SW Version", nullptr},
  {360, 51, E, 1, "RESTART", "System Restart", nullptr},
  {360, 50, E, 1, "POWER DOWN", "Power Down", nullptr},
  {360, 1, E, 1, "SW UPDATE HOST", "Update Host IP", nullptr},
  {360, 2, E, 1, "SW UPDATE FILE", "Update File", nullptr},
  {360, 337, T, 1, "SW UPDATE", "Run SW Update", nullptr},
  {360, 65, E, 1, "WD Enable", "Watchdog Enable", nullptr},
  {360, 316, E, 1, "Rst Factory Def", "Reset to Defaults", nullptr},
  {360, 129, E, 1, "10 MHz CAL", "10 MHz Calibration", nullptr},
  {347, 351, M, 4, "Logs", "Log Levels", nullptr},
  {351, 75, E, 4, "LogCore", "Core Log Level", nullptr},
  {351, 81, E, 4, "LogMPS", "MPS Log Level", nullptr},
  {351, 123, E, 4, "LogSMX", "SMX Log Level", nullptr},
  {361, 345, T, 0, "SYSTEM STATUS", "Status and Alarms", nullptr},
  {361, 339, S, 0, "AUDIO STATUS", "Audio Status", nullptr},
  {361, 331, S, 0, "ANALOG LEVELS", "Analog Levels", nullptr},
  {361, 330, S, 0, "DIGITAL LEVELS", "Digital Levels", nullptr},
  {361, 341, S, 0, "MONITOR DELAY", "Monitor Dvrsty Dly", nullptr},
  {361, 334, S, 0, "GPS STATUS", "GPS Status", nullptr},
  {361, 335, S, 0, "SYSTEM TIME", "Date & Time", nullptr},
  {361, 342, S, 0, "ETHERNET0", "Ethernet0 Status", nullptr},
  {361, 343, S, 0, "ETHERNET1", "Ethernet1 Status", nullptr},
  {-1, -1, 0, 0, nullptr, nullptr, nullptr},
};

/* The schedule rule: 16 blocks of 2 payloads, three item IDs per block
** (the block's payload count item precedes its two payload items). */
enum { SIS_BLOCKS = 16, SIS_PAYLOADS = 2, SIS_ID_STRIDE = 3, SIS_ROWS = SIS_BLOCKS * SIS_PAYLOADS };
const char* const sisShortFormat = "BLOCK %2d PAYLOAD %d";
const char* const sisLongFormat = "Block %2d Payload %d";

const int FIXED_ROWS = sizeof(mainFixedRows) / sizeof(mainFixedRows[0]);

treeItemDef mainRows[FIXED_ROWS - 1 + SIS_ROWS];
char sisShort[SIS_ROWS][24];
char sisLong[SIS_ROWS][24];
int mainRowCount = 0;

int expandScheduleRule(const treeItemDef& rule, int out) {
  for (int b = 0; b < SIS_BLOCKS; ++b) {
    for (int p = 1; p <= SIS_PAYLOADS; ++p) {
      int n = b * SIS_PAYLOADS + p - 1;
      snprintf(sisShort[n], sizeof sisShort[n], sisShortFormat, b, p);
      snprintf(sisLong[n], sizeof sisLong[n], sisLongFormat, b, p);
      mainRows[out++] = {rule.parentItemID, rule.itemID + SIS_ID_STRIDE * b + (p - 1), tit_EDIT,
                         rule.level, sisShort[n], sisLong[n], nullptr};
    }
  }
  return out;
}

void buildMainRows() {
  int out = 0;
  for (int i = 0; i < FIXED_ROWS; ++i) {
    if (mainFixedRows[i].kind == SCHEDULE_RULE_KIND)
      out = expandScheduleRule(mainFixedRows[i], out);
    else
      mainRows[out++] = mainFixedRows[i];
  }
  mainRowCount = out - 1;  // the terminator is not a row
}

}  // namespace

const treeItemDef* treeMainMenuTable() {
  static bool built = (buildMainRows(), true);
  (void)built;
  return mainRows;
}

int treeMainMenuRowCount() {
  treeMainMenuTable();
  return mainRowCount;
}

const treeItemDef treeFrontPanelMenuTable[] = {
  {-1, 372, tit_MENU, 0, "LCD Settings", "LCD Settings", nullptr},
  {372, 322, tit_SPECIAL, 0, "Contrast", "LCD Contrast", nullptr},
  {372, 323, tit_SPECIAL, 0, "BckLghtNrml", "Backlight Normal", nullptr},
  {372, 324, tit_SPECIAL, 0, "BckLghtDim", "Backlight Dimmed", nullptr},
  {372, 325, tit_SPECIAL, 0, "BckLghtTme", "Backlight Timeout", nullptr},
  {372, 326, tit_SPECIAL, 0, "LedBright", "LED Brightness", nullptr},
  {-1, -1, 0, 0, nullptr, nullptr, nullptr},
};
