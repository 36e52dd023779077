/*
** generic_cfg: item creation and registration, by-index access, choice
** lists for the editors and value changes.  Files live in cfgFiles.cpp,
** the master/client link in cfgLink.cpp.
*/
#include "config/genericConfig.h"
#include "config/cfgInternal.h"

#include "diag/trace.h"

#include <cstring>

static const char* const kModule = "genericConfig";

/* Highest index accepted: the index table is a plain vector. */
enum { cfgINDEX_LIMIT = 1 << 20 };

generic_cfg::generic_cfg(int* traceLevel, ErrTrcLog* errLog)
    : pTraceLevel(traceLevel ? traceLevel : &ownTraceLevel), pErrLog(errLog) {}

generic_cfg::~generic_cfg() {
  closeLink();
  for (data_itm_Base* it : itemsInOrder) data_itm_Base::destroy(it);
  for (cfgGroup* g : groupsInOrder) delete g;
  for (cfgFile* f : files) delete f;
}

/* ---- creation ------------------------------------------------------------ */

bool generic_cfg::fileNumOk(int fileNum) const { return fileNum >= 0 && fileNum < nFiles; }

int generic_cfg::addItemHelper(data_itm_Base* item, int fileNum, int index, uint32_t groupMask,
                               uint32_t userFlags, const choiceEntry_s* choices) {
  if (nameMap.count(item->name)) {
    ERRLOG(pErrLog, 4, 13019, kModule, "Duplicate data item ignored: %s", item->name.c_str());
    data_itm_Base::destroy(item);
    return 0;
  }
  item->pErrLog = pErrLog;
  item->pChangedSet = &changedSet;
  item->pDataChanged = &dataChanged;
  item->pPending = &pendingExport;
  item->index = index;
  item->userFlags = userFlags;
  item->file = files[(size_t)fileNum];

  itemsInOrder.push_back(item);
  for (cfgGroup* g : groupsInOrder)
    if ((uint32_t)g->id & groupMask) g->items.push_back(item);
  changedSet.insert(index);
  nameMap[item->name] = item;
  item->file->items.push_back(item);

  /* The index table never shrinks; a taken slot keeps its first item. */
  if (indexTable.capacity() <= (size_t)index) indexTable.reserve((size_t)index + 20);
  if ((size_t)index < indexTable.size()) {
    data_itm_Base* old = indexTable[(size_t)index];
    if (old) {
      ERRLOG(pErrLog, 4, 13017, kModule, "Attempt to assign item: %s with same index as: %s",
             item->name.c_str(), old->name.c_str());
      return 0;
    }
    indexTable[(size_t)index] = item;
  } else {
    indexTable.resize((size_t)index, nullptr);
    indexTable.push_back(item);
  }

  if (choices && item->loadChoices(choices)) {
    ERRLOG(pErrLog, 4, 13018, kModule,
           "Invalid lookup for %s. Type (must be int or bool) or size (must be 2 for bool)",
           item->name.c_str());
    return 0;
  }
  return 1;
}

/* Common creation checks; a refused file number or index creates nothing. */
#define CFG_CHECK_CREATE()                                                   \
  do {                                                                       \
    if (!fileNumOk(fileNum) || index < 0 || index >= cfgINDEX_LIMIT || !name) \
      return 0;                                                              \
  } while (0)

static void setCommon(data_itm_Base* it, const char* name, const char* description,
                      const char* valueFmt, const char* help, float min, float max) {
  it->name = name;
  it->description = description;
  if (valueFmt) it->valueFormat = valueFmt;
  it->helpText = help;
  it->min = min;
  it->max = max;
}

int generic_cfg::addItemInt(int fileNum, int index, uint32_t groupMask, uint32_t userFlags, int def,
                            float min, float max, const char* name, const char* description,
                            const char* valueFmt, const char* help, const choiceEntry_s* choices,
                            const char* units) {
  CFG_CHECK_CREATE();
  auto* it = new data_itm<int>(def);
  setCommon(it, name, description, valueFmt, help, min, max);
  it->units = units;
  return addItemHelper(it, fileNum, index, groupMask, userFlags, choices);
}

int generic_cfg::addItemBool(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                             bool def, float min, float max, const char* name,
                             const char* description, const char* valueFmt, const char* help,
                             const choiceEntry_s* choices) {
  CFG_CHECK_CREATE();
  auto* it = new data_itm<bool>(def);
  setCommon(it, name, description, valueFmt, help, min, max);
  return addItemHelper(it, fileNum, index, groupMask, userFlags, choices);
}

int generic_cfg::addItemFloat(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                              float def, float min, float max, const char* name,
                              const char* description, const char* valueFmt, const char* help,
                              const char* units) {
  CFG_CHECK_CREATE();
  auto* it = new data_itm<float>(def);
  setCommon(it, name, description, valueFmt, help, min, max);
  it->units = units;
  return addItemHelper(it, fileNum, index, groupMask, userFlags, nullptr);
}

int generic_cfg::addItemIp(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                           const ip_addr_s& def, const char* name, const char* description,
                           const char* valueFmt, const char* help) {
  CFG_CHECK_CREATE();
  auto* it = new data_itm<ip_addr_s>(def);
  setCommon(it, name, description, valueFmt, help, 0, 0);
  return addItemHelper(it, fileNum, index, groupMask, userFlags, nullptr);
}

int generic_cfg::addItemMac(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                            const mac_addr_s& def, const char* name, const char* description,
                            const char* valueFmt, const char* help) {
  CFG_CHECK_CREATE();
  auto* it = new data_itm<mac_addr_s>(def);
  setCommon(it, name, description, valueFmt, help, 0, 0);
  return addItemHelper(it, fileNum, index, groupMask, userFlags, nullptr);
}

int generic_cfg::addItemTime(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                             const kvtime_s& def, const char* name, const char* description,
                             const char* valueFmt, const char* help) {
  CFG_CHECK_CREATE();
  auto* it = new data_itm<kvtime_s>(def);
  /* 19: the length of the date-time text */
  setCommon(it, name, description, valueFmt, help, 19.0f, 19.0f);
  return addItemHelper(it, fileNum, index, groupMask, userFlags, nullptr);
}

int generic_cfg::addItemText(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                             const char* def, float minLen, float maxLen, const char* name,
                             const char* description, const char* valueFmt, const char* help,
                             const char* validChars) {
  CFG_CHECK_CREATE();
  string_wrapper_s v;
  v.minLen = (int32_t)minLen;
  v.maxLen = (int32_t)maxLen;
  v.text = def ? def : "";
  auto* it = new data_itm<string_wrapper_s>(v);
  setCommon(it, name, description, valueFmt, help, minLen, maxLen);
  it->validChars = validChars;
  if (validChars) TRACE(pTraceLevel, 2, "Valid char list for %s = %s\n", name, validChars);
  return addItemHelper(it, fileNum, index, groupMask, userFlags, nullptr);
}

/* ---- lookup -------------------------------------------------------------- */

data_itm_Base* generic_cfg::getItem(int index) {
  if (index < 0 || (size_t)index >= indexTable.size()) return nullptr;
  return indexTable[(size_t)index];
}

data_itm_Base* generic_cfg::findItem(const char* name) {
  if (!name) return nullptr;
  auto it = nameMap.find(name);
  return it == nameMap.end() ? nullptr : it->second;
}

const char* generic_cfg::getItemName(int index) {
  data_itm_Base* it = getItem(index);
  return it ? it->name.c_str() : nullptr;
}

int generic_cfg::getItemType(int index) {
  data_itm_Base* it = getItem(index);
  return it ? it->typeCode : -1;
}

int generic_cfg::getNumChoices(int index) {
  data_itm_Base* it = getItem(index);
  return it ? (int)it->choices.size() : 0;
}

const char* generic_cfg::getUnits(int index) {
  data_itm_Base* it = getItem(index);
  return it ? it->units : nullptr;
}

/* Item at index for a typed read, with the traces of a bad index. */
static data_itm_Base* itemForRead(generic_cfg* cfg, int index) {
  if (index < 0 || index >= cfg->indexTableSize()) {
    TRACE(cfg->pTraceLevel, -1, "Invalid index: %i\n", index);
    return nullptr;
  }
  data_itm_Base* it = cfg->getItem(index);
  if (!it) TRACE(cfg->pTraceLevel, -1, "Data item for index %i is NULL\n", index);
  return it;
}

/* The item as data_itm<T> when its type code says so. */
template <typename T>
static data_itm<T>* typed(data_itm_Base* it, int code) {
  return (it && it->typeCode == code) ? static_cast<data_itm<T>*>(it) : nullptr;
}

int generic_cfg::readInt(int index, int* out) {
  data_itm_Base* it = itemForRead(this, index);
  if (!it || !out) return 1;
  if (it->typeCode != dtINT && it->typeCode != dtBOOL) return 1;
  *out = it->intValue();
  return 0;
}

int generic_cfg::readFloat(int index, float* out) {
  auto* it = typed<float>(itemForRead(this, index), dtFLOAT);
  if (!it || !out) return 1;
  *out = it->value;
  return 0;
}

float generic_cfg::readFloat(int index) {
  float v = 0.0f;
  return readFloat(index, &v) ? 0.0f : v;
}

int generic_cfg::readBool(int index, bool* out) {
  data_itm_Base* it = itemForRead(this, index);
  if (!it || !out || (it->typeCode != dtBOOL && it->typeCode != dtINT)) return 1;
  *out = it->intValue() != 0;
  return 0;
}

int generic_cfg::readIp(int index, ip_addr_s* out) {
  auto* it = typed<ip_addr_s>(itemForRead(this, index), dtIP_ADDR);
  if (!it || !out) return 1;
  *out = it->value;
  return 0;
}

int generic_cfg::readMac(int index, mac_addr_s* out) {
  auto* it = typed<mac_addr_s>(itemForRead(this, index), dtMAC_ADDR);
  if (!it || !out) return 1;
  *out = it->value;
  return 0;
}

int generic_cfg::readTime(int index, kvtime_s* out) {
  auto* it = typed<kvtime_s>(itemForRead(this, index), dtKVTIME);
  if (!it || !out) return 1;
  *out = it->value;
  return 0;
}

int generic_cfg::readText(int index, char* out, int outSize) {
  auto* it = typed<string_wrapper_s>(itemForRead(this, index), dtSTRING);
  if (!it || !out || outSize <= 0) return 1;
  cfgPutf(out, outSize, "%s", it->value.text.c_str());
  return 0;
}

int generic_cfg::readTextOrFlag(int index, char* out, int outSize, bool asText) {
  if (asText) return readText(index, out, outSize);
  data_itm_Base* it = itemForRead(this, index);
  if (!it || !out || outSize <= 0) return 1;
  out[0] = (char)(it->intValue() & 0xff);
  return 0;
}

int generic_cfg::getChoiceList(data_itm_Base* item, std::vector<cfgChoiceRow>* out) {
  if (!item || !out) return -1;
  out->clear();
  int pos = -1;
  int32_t cur = item->intValue();
  for (const auto& c : item->choices) {
    if (c.first == cur) pos = (int)out->size();
    out->push_back(cfgChoiceRow{c.first, c.second, (int32_t)strlen(c.second)});
  }
  return pos;
}

bool generic_cfg::isChanged(int index, bool clear) {
  data_itm_Base* it = getItem(index);
  if (!it) return false;
  bool was = it->changed;
  if (clear) it->changed = false;
  return was;
}

int generic_cfg::takeChangedIndexes(std::vector<int32_t>* out) {
  int n = (int)changedSet.size();
  if (out) out->assign(changedSet.begin(), changedSet.end());
  changedSet.clear();
  dataChanged = false;
  return n;
}

/* ---- changes ------------------------------------------------------------- */

int generic_cfg::changeValue(int index, const char* text) {
  data_itm_Base* it = getItem(index);
  if (!it || !text) {
    ERRLOG(pErrLog, 3, 13029, kModule, "Invalid configuration item ID (%i)", index);
    return 1;
  }
  std::string v(text);
  it->filterValidChars(&v[0]);
  if (master == 1) return changeDataItem(it, v.c_str());
  return sendChangeRequest(it->name.c_str(), v.c_str(), false);
}

int generic_cfg::writeInt(int index, int value) {
  int cur;
  if (readInt(index, &cur) || cur == value) return 0;
  char t[32];
  snprintf(t, sizeof t, "%i", value);
  return changeValue(index, t);
}

int generic_cfg::writeFloat(int index, float value) {
  float cur;
  if (readFloat(index, &cur) || cur == value) return 0;
  char t[64];
  snprintf(t, sizeof t, "%f", (double)value);
  return changeValue(index, t);
}

int generic_cfg::writeIp(int index, const ip_addr_s& value) {
  ip_addr_s cur;
  if (readIp(index, &cur) || !memcmp(cur.octet, value.octet, 4)) return 0;
  char t[32];
  snprintf(t, sizeof t, "%u.%u.%u.%u", value.octet[0], value.octet[1], value.octet[2],
           value.octet[3]);
  return changeValue(index, t);
}

int generic_cfg::writeMac(int index, const mac_addr_s& value) {
  mac_addr_s cur;
  if (readMac(index, &cur) || !memcmp(cur.octet, value.octet, 6)) return 0;
  char t[32];
  snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", value.octet[0], value.octet[1],
           value.octet[2], value.octet[3], value.octet[4], value.octet[5]);
  return changeValue(index, t);
}
