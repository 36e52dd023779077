/*
** dovidu_config: builds the exporter data set from the catalogue tables.
** The code walks the tables; every value lives in itemCatalogue.cpp and
** choiceLists.cpp.
*/
#include "dataset/doviduConfig.h"

#include <cstdio>

#include "diag/trace.h"

namespace {

/* Files, in file-number order.  The primary file takes the flash record
** given to initDataSet; the others have none. */
struct fileRow {
  const char* name;            /* null: items never saved */
  const char* description;     /* null ends the table */
  int delaySec;
  bool takesFlashRecord;
  int spare;
};

const fileRow fileTable[] = {
  {nullptr, "Not saved data", 2, false, 5},
  {"kvPrimeConfig.cfg", "Primary System Configuration", 2, true, 5},
  {"kvSecondaryConfig.cfg", "Secondary configuration data", 2, false, 5},
  {nullptr, nullptr, 0, false, 0},
};

struct groupRow {
  int32_t id;                  /* -1 ends the table */
  const char* name;
};

const groupRow groupTable[] = {
  {1, "Basic config Parameters"},
  {2, "Core operating Parameters"},
  {4, "SMX Parameters"},
  {8, "Station Information Parameters"},
  {16, "Scheduling Parameters"},
  {32, "Service Information parameters"},
  {64, "Service Detail Data"},
  {-1, nullptr},
};

/* Indices that hold no item and need not even a trace. */
bool isEmptySlot(int index) {
  return (index >= 67 && index <= 72) || index == 314 || index == 315 || index == 319;
}

ip_addr_s parseIp(const char* text) {
  ip_addr_s ip{{0, 0, 0, 0}};
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (text != nullptr && std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d) == 4) {
    ip.octet[0] = (uint8_t)a; ip.octet[1] = (uint8_t)b;
    ip.octet[2] = (uint8_t)c; ip.octet[3] = (uint8_t)d;
  }
  return ip;
}

mac_addr_s parseMac(const char* text) {
  mac_addr_s mac{{0, 0, 0, 0, 0, 0}};
  unsigned v[6] = {0, 0, 0, 0, 0, 0};
  if (text != nullptr &&
      std::sscanf(text, "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) == 6)
    for (int i = 0; i < 6; ++i) mac.octet[i] = (uint8_t)v[i];
  return mac;
}

kvtime_s parseTime(const char* text) {
  kvtime_s t{0, 0, 0, 0, 0, 0};
  if (text != nullptr)
    std::sscanf(text, "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                &t.second);
  return t;
}

}  // namespace

dovidu_config::dovidu_config(int* pTraceLevel, ErrTrcLog* pErrLog)
    : generic_cfg(pTraceLevel, pErrLog) {}

dovidu_config::~dovidu_config() = default;

int dovidu_config::initDataSet(int* pTraceLvl, ErrTrcLog* pLog, int masterFlag,
                               const char* progName, int aux, int flashRecord) {
  pErrLog = pLog;
  auxValue = aux;
  flashRec = flashRecord;
  int isMasterInst = masterFlag != 0 ? 1 : 0;
  int result = linkInit(progName, ".", 65, 10000, isMasterInst, pTraceLvl, pLog);
  if (result == 0 && isMasterInst) {
    TRACE(pTraceLevel, 2, "Subscribe all...");
    defineFiles();
    addAllItems(1);
    TRACE(pTraceLevel, 2, "Read files...");
    readFilesAll();
  } else {
    defineFiles();
  }
  return result;
}

void dovidu_config::defineFiles() {
  if (haveFiles) return;  /* the nameless file would otherwise come twice */
  haveFiles = true;
  for (const fileRow* f = fileTable; f->description != nullptr; ++f)
    addCfgFile(f->name, f->description, f->delaySec, f->takesFlashRecord ? flashRec : -1,
               f->spare);
  for (const groupRow* g = groupTable; g->id >= 0; ++g) addCfgGroup(g->id, g->name, 0);
}

int dovidu_config::addAllItems(int mode) {
  (void)mode;  /* master (1) and console (2) build the same data set */
  int created = 0;
  for (int index = 0; index < itmMAX_ITEM; ++index) {
    TRACE(pTraceLevel, 8, "Add %i \n", index);
    created += defineItem(index);
  }
  TRACE(pTraceLevel, 3, "itmMAX_ITEM = %i\n", (int)itmMAX_ITEM);
  return created;
}

int dovidu_config::defineItem(int index) {
  if (!haveFiles) {
    TRACE(pTraceLevel, 4, "Initialize files");
    defineFiles();
    TRACE(pTraceLevel, 4, "Initialize files done");
  }
  if (index >= 0 && index < itmMAX_ITEM) {
    if (isEmptySlot(index)) return 0;
    if (const catalogueRow* row = findCatalogueRow(index)) return addSingle(*row);
    const itemFamily* fam = findFamily(index);
    if (fam != nullptr && fam->first == index) return addFamily(*fam);
  }
  TRACE(pTraceLevel, 7, "No work done to add %i\n", index);
  return 0;
}

/* One typed addItem per catalogue row; 1 when the item was created. */
int dovidu_config::addSingle(const catalogueRow& r) {
  const uint32_t grp = (uint32_t)r.groupMask;
  const uint32_t uf = catUSER_FLAGS;
  switch (r.type) {
    case dtINT:
      return addItemInt(r.file, r.index, grp, uf, (int)r.dflt, r.min, r.max, r.name,
                        r.description, nullptr, r.help, r.list, r.units);
    case dtFLOAT:
      return addItemFloat(r.file, r.index, grp, uf, (float)r.dflt, r.min, r.max, r.name,
                          r.description, nullptr, r.help, r.units);
    case dtBOOL:
      return addItemBool(r.file, r.index, grp, uf, r.dflt != 0.0, r.min, r.max, r.name,
                         r.description, nullptr, r.help, r.list);
    case dtIP_ADDR:
      return addItemIp(r.file, r.index, grp, uf, parseIp(r.dfltText), r.name, r.description,
                       nullptr, r.help);
    case dtMAC_ADDR:
      return addItemMac(r.file, r.index, grp, uf, parseMac(r.dfltText), r.name,
                        r.description, nullptr, r.help);
    case dtKVTIME:
      return addItemTime(r.file, r.index, grp, uf, parseTime(r.dfltText), r.name,
                         r.description, nullptr, r.help);
    case dtSTRING:
      return addItemText(r.file, r.index, grp, uf, r.dfltText ? r.dfltText : "", r.min, r.max,
                         r.name, r.description, nullptr, r.help, r.validChars);
    default:
      return 0;
  }
}

/* One pass per instance, members in order, indices running on from the
** family's first index. */
int dovidu_config::addFamily(const itemFamily& fam) {
  int created = 0;
  int index = fam.first;
  for (int n = 0; n < fam.count; ++n)
    for (int m = 0; m < fam.stride; ++m) created += addFamilyMember(fam, n, m, index++);
  return created;
}

int dovidu_config::addFamilyMember(const itemFamily& fam, int n, int m, int index) {
  char name[64];
  char label[96];
  if (familyItemName(fam, n, m, name, sizeof name) < 0) return 0;
  if (familyItemDescription(fam, n, m, label, sizeof label) < 0) label[0] = '\0';
  familyLabels.emplace_back(label);
  const char* desc = familyLabels.back().c_str();
  const familyMember& mem = fam.members[m];
  int32_t dflt = familyMemberDefault(fam, n, m);
  if (mem.type == dtBOOL)
    return addItemBool(fam.file, index, (uint32_t)fam.groupMask, catUSER_FLAGS, dflt != 0,
                       mem.min, mem.max, name, desc, nullptr, mem.help, mem.list);
  return addItemInt(fam.file, index, (uint32_t)fam.groupMask, catUSER_FLAGS, dflt, mem.min,
                    mem.max, name, desc, nullptr, mem.help, mem.list, nullptr);
}

/* The table's default, unless the family's rule names this member and the
** condition item holds the condition value right now. */
int32_t dovidu_config::familyMemberDefault(const itemFamily& fam, int n, int m) {
  int32_t dflt = familyDefault(fam, n, m);
  const familyDefaultRule* rule = fam.rule;
  if (rule != nullptr && rule->instance == n && rule->member == m) {
    int current = 0;
    if (readInt(rule->condIndex, &current) == 0 && current == rule->condValue)
      dflt = rule->altDflt;
  }
  return dflt;
}
