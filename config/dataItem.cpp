/*
** Typed configuration items: text output, text input with the clamping
** rules of each type, the binary value record and change booking.
**
** One template over the seven value types; the per-type differences live in
** small overloaded helpers below (format, scan, encode, decode), so every
** item operation reads the same for every type.
*/
#include "config/dataItem.h"
#include "config/genericConfig.h"
#include "config/cfgInternal.h"

#include "diag/numParse.h"
#include "diag/trace.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace {

const char* const kInvalidLookup = "Invalid Lookup";

/* ---- type codes ---------------------------------------------------------- */
template <typename T> constexpr int typeCodeOf();
template <> constexpr int typeCodeOf<int>() { return dtINT; }
template <> constexpr int typeCodeOf<float>() { return dtFLOAT; }
template <> constexpr int typeCodeOf<bool>() { return dtBOOL; }
template <> constexpr int typeCodeOf<ip_addr_s>() { return dtIP_ADDR; }
template <> constexpr int typeCodeOf<mac_addr_s>() { return dtMAC_ADDR; }
template <> constexpr int typeCodeOf<kvtime_s>() { return dtKVTIME; }
template <> constexpr int typeCodeOf<string_wrapper_s>() { return dtSTRING; }

/* Length of a text record's value field: u16 length and the characters. */
int valueBytes(const string_wrapper_s& v) { return 2 + textWireLen(v.text); }

/* ---- text out ------------------------------------------------------------ */
int fmtValue(char* b, int room, const char* f, const int& v) { return cfgPutf(b, room, f, v); }
int fmtValue(char* b, int room, const char* f, const float& v) {
  return cfgPutf(b, room, f, (double)v);
}
int fmtValue(char* b, int room, const char* f, const bool& v) { return cfgPutf(b, room, f, v ? 1 : 0); }
int fmtValue(char* b, int room, const char* f, const ip_addr_s& v) {
  return cfgPutf(b, room, f, v.octet[0], v.octet[1], v.octet[2], v.octet[3]);
}
int fmtValue(char* b, int room, const char* f, const mac_addr_s& v) {
  return cfgPutf(b, room, f, v.octet[0], v.octet[1], v.octet[2], v.octet[3], v.octet[4],
                 v.octet[5]);
}
int fmtValue(char* b, int room, const char* f, const kvtime_s& v) {
  return cfgPutf(b, room, f, v.year, v.month, v.day, v.hour, v.minute, v.second);
}
int fmtValue(char* b, int room, const char*, const string_wrapper_s& v) {
  return cfgPutf(b, room, "%s", v.text.c_str());
}

/* The display format turned into a scan format ("%i" reads as decimal, so a
** zero-padded "08" is eight).  Integer conversions are read by scanInt32,
** which saturates a number beyond 32 bits on every width instead of
** wrapping it. */
std::string scanFormat(const char* fmt) {
  std::string s(fmt ? fmt : "");
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') continue;
    size_t j = i + 1;
    if (j < s.size() && s[j] == '%') { i = j; continue; }
    while (j < s.size() && (isdigit((unsigned char)s[j]) || s[j] == '-' || s[j] == '*')) ++j;
    if (j < s.size() && s[j] == 'i') s[j] = 'd';
    i = j;
  }
  return s;
}

/* ---- equality ------------------------------------------------------------ */
bool sameValue(const int& a, const int& b) { return a == b; }
bool sameValue(const float& a, const float& b) { return a == b; } /* NaN differs */
bool sameValue(const bool& a, const bool& b) { return a == b; }
bool sameValue(const ip_addr_s& a, const ip_addr_s& b) { return !memcmp(a.octet, b.octet, 4); }
bool sameValue(const mac_addr_s& a, const mac_addr_s& b) { return !memcmp(a.octet, b.octet, 6); }
bool sameValue(const kvtime_s& a, const kvtime_s& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}
bool sameValue(const string_wrapper_s& a, const string_wrapper_s& b) { return a.text == b.text; }

/* ---- binary value field -------------------------------------------------- */
void encode(uint8_t* p, const int& v) { putLe32(p, (uint32_t)v); }
void encode(uint8_t* p, const float& v) {
  uint32_t bits;
  memcpy(&bits, &v, 4);
  putLe32(p, bits);
}
void encode(uint8_t* p, const bool& v) { putLe32(p, v ? 1u : 0u); }
void encode(uint8_t* p, const ip_addr_s& v) { memcpy(p, v.octet, 4); }
void encode(uint8_t* p, const mac_addr_s& v) { memcpy(p, v.octet, 6); }
void encode(uint8_t* p, const kvtime_s& v) {
  const int32_t f[6] = {v.year, v.month, v.day, v.hour, v.minute, v.second};
  for (int i = 0; i < 6; ++i) putLe32(p + 4 * i, (uint32_t)f[i]);
}
void encode(uint8_t* p, const string_wrapper_s& v) {
  int len = textWireLen(v.text);
  p[0] = (uint8_t)(len & 0xff);
  p[1] = (uint8_t)(len >> 8);
  memcpy(p + 2, v.text.data(), (size_t)len);
}

/* decode: returns bytes consumed, -1 when `avail` is short. */
int decode(const uint8_t* p, int avail, int& v) {
  if (avail < 4) return -1;
  v = (int)getLe32(p);
  return 4;
}
int decode(const uint8_t* p, int avail, float& v) {
  if (avail < 4) return -1;
  uint32_t bits = getLe32(p);
  memcpy(&v, &bits, 4);
  return 4;
}
int decode(const uint8_t* p, int avail, bool& v) {
  if (avail < 4) return -1;
  v = getLe32(p) != 0;
  return 4;
}
int decode(const uint8_t* p, int avail, ip_addr_s& v) {
  if (avail < 4) return -1;
  memcpy(v.octet, p, 4);
  return 4;
}
int decode(const uint8_t* p, int avail, mac_addr_s& v) {
  if (avail < 6) return -1;
  memcpy(v.octet, p, 6);
  return 6;
}
int decode(const uint8_t* p, int avail, kvtime_s& v) {
  if (avail < 24) return -1;
  int32_t* f[6] = {&v.year, &v.month, &v.day, &v.hour, &v.minute, &v.second};
  for (int i = 0; i < 6; ++i) *f[i] = (int32_t)getLe32(p + 4 * i);
  return 24;
}
int decode(const uint8_t* p, int avail, string_wrapper_s& v) {
  if (avail < 2) return -1;
  int len = p[0] | (p[1] << 8);
  if (avail < 2 + len) return -1;
  v.text.assign((const char*)p + 2, (size_t)len);
  return 2 + len;
}

int truncLimit(float f) {
  if (!(f == f)) return 0;
  if (f >= 2147483647.0f) return INT32_MAX;
  if (f <= -2147483648.0f) return INT32_MIN;
  return (int)f;
}

/* ---- text in, per type; each returns true when the value changed -------- */
bool scanInto(data_itm<int>& it, const char* text) {
  int32_t v = it.value;
  if (scanInt32(text, scanFormat(it.valueFormat).c_str(), &v, 1) != 1) return false;
  int lo = truncLimit(it.min), hi = truncLimit(it.max);
  if (v < lo) v = lo;
  else if (v > hi) v = hi;
  bool changed = v != it.value;
  it.value = v;
  return changed;
}

/* A float is stored as its text reads back: what the master holds is what
** it reads from its file after a restart.  NaN and infinities are refused
** like any text that does not parse. */
bool scanInto(data_itm<float>& it, const char* text) {
  float v = it.value;
  std::string fmt = scanFormat(it.valueFormat);
  if (sscanf(text, fmt.c_str(), &v) != 1 || !std::isfinite(v)) return false;
  char shown[64];
  float again = v;
  if (cfgPutf(shown, sizeof shown, it.valueFormat, (double)v) > 0 &&
      sscanf(shown, fmt.c_str(), &again) == 1 && std::isfinite(again))
    v = again;
  float lo = (float)truncLimit(it.min), hi = (float)truncLimit(it.max);
  if (v < lo) v = lo;
  else if (v > hi) v = hi;
  bool changed = !sameValue(v, it.value);
  it.value = v;
  return changed;
}

bool scanInto(data_itm<bool>& it, const char* text) {
  int32_t v = it.value ? 1 : 0;
  if (scanInt32(text, scanFormat(it.valueFormat).c_str(), &v, 1) != 1) return false;
  int lo = it.min != 0.0f ? 1 : 0, hi = it.max != 0.0f ? 1 : 0;
  if (v < lo) v = lo;
  else if (v > hi) v = hi;
  bool nv = v != 0;
  bool changed = nv != it.value;
  it.value = nv;
  return changed;
}

bool scanInto(data_itm<ip_addr_s>& it, const char* text) {
  int32_t f[4];
  for (int i = 0; i < 4; ++i) f[i] = it.value.octet[i];
  scanInt32(text, scanFormat(it.valueFormat).c_str(), f, 4);
  ip_addr_s nv;
  for (int i = 0; i < 4; ++i) nv.octet[i] = (uint8_t)f[i];
  bool changed = !sameValue(nv, it.value);
  it.value = nv;
  return changed;
}

bool scanInto(data_itm<mac_addr_s>& it, const char* text) {
  int32_t f[6];
  for (int i = 0; i < 6; ++i) f[i] = it.value.octet[i];
  scanInt32(text, scanFormat(it.valueFormat).c_str(), f, 6);
  mac_addr_s nv;
  for (int i = 0; i < 6; ++i) nv.octet[i] = (uint8_t)f[i];
  bool changed = !sameValue(nv, it.value);
  it.value = nv;
  return changed;
}

bool scanInto(data_itm<kvtime_s>& it, const char* text) {
  kvtime_s nv = it.value;
  int32_t f[6] = {nv.year, nv.month, nv.day, nv.hour, nv.minute, nv.second};
  scanInt32(text, scanFormat(it.valueFormat).c_str(), f, 6);
  nv = kvtime_s{f[0], f[1], f[2], f[3], f[4], f[5]};
  bool changed = !sameValue(nv, it.value);
  it.value = nv;
  return changed;
}

/* A text is stored as the file gives it back: without blanks at its ends
** (also after the cut); an empty text, which the file holds as nothing
** after the colon and so gives back as the item's default, as that
** default; a text the file cannot hold ('#' starts a comment, a line end
** ends the line) is refused. */
bool scanInto(data_itm<string_wrapper_s>& it, const char* text) {
  if (strpbrk(text, "#\n") != nullptr) {
    ERRLOG(it.pErrLog, 4, 13030, "genericConfig",
           "Value for %s refused: a configuration file cannot hold '#' or a line end in it",
           it.name.c_str());
    return false;
  }
  std::string v = text;
  size_t maxLen = it.value.maxLen > 0 ? (size_t)it.value.maxLen : 0;
  size_t b = v.find_first_not_of(' ');
  v.erase(0, b == std::string::npos ? v.size() : b);
  if (v.size() > maxLen) v.resize(maxLen);
  v.erase(v.find_last_not_of(' ') + 1);
  if (v.empty()) v = it.defValue.text;
  if (it.value.text == text && v == text) return false; /* a cut text counts as a change */
  it.value.text = v;
  return true;
}

}  // namespace

/* ---- shared helpers (cfgInternal.h) -------------------------------------- */

int cfgPutf(char* buf, int room, const char* fmt, ...) {
  if (room <= 0) return 0;
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(buf, (size_t)room, fmt, ap);
  va_end(ap);
  if (n < 0) {
    buf[0] = '\0';
    return 0;
  }
  return n < room ? n : room - 1;
}

int textWireLen(const std::string& s) { return s.size() > 65535 ? 65535 : (int)s.size(); }

void putLe32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

uint32_t getLe32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

const char* defaultValueFormat(int typeCode) {
  static const char* const fmts[] = {"%d",
                                     "%d",
                                     "%f",
                                     "%d",
                                     "%d.%d.%d.%d",
                                     "%02X:%02X:%02X:%02X:%02X:%02X",
                                     "%04i:%03i:%02i:%02i:%02i",
                                     "%04i-%02i-%02i %02i:%02i:%02i",
                                     "%s"};
  if (typeCode < 0 || typeCode > 8) return "ERROR IN DATA TYPE";
  return fmts[typeCode];
}

/* ---- data_itm_Base ------------------------------------------------------- */

void data_itm_Base::noteChange(int32_t sourceClient) {
  if (pChangedSet) pChangedSet->insert(index);
  if (pDataChanged) *pDataChanged = true;
  if (file) file->markModified();
  changed = true;
  ++changeCount;
  if (!pPending) return;
  for (int32_t id : subscribers) {
    if (id == sourceClient) continue;
    pPending->clients[id].insert(index);
    pPending->hasWork = true;
  }
}

int data_itm_Base::loadChoices(const choiceEntry_s* list) {
  choices.clear();
  for (const choiceEntry_s* row = list; row && row->text && row->text[0]; ++row)
    choices[row->key] = row->text;
  if (choices.size() < 2) return 1;
  if (typeCode != dtINT && typeCode != dtBOOL) return 1;
  if (typeCode == dtBOOL && choices.size() != 2) return 1;
  return 0;
}

void data_itm_Base::filterValidChars(char* text) const {
  if (!validChars || !validChars[0] || !text) return;
  for (char* p = text; *p; ++p)
    if (!strchr(validChars, *p)) *p = validChars[0];
}

void data_itm_Base::destroy(data_itm_Base* item) {
  if (!item) return;
  switch (item->typeCode) {
    case dtINT: delete static_cast<data_itm<int>*>(item); break;
    case dtFLOAT: delete static_cast<data_itm<float>*>(item); break;
    case dtBOOL: delete static_cast<data_itm<bool>*>(item); break;
    case dtIP_ADDR: delete static_cast<data_itm<ip_addr_s>*>(item); break;
    case dtMAC_ADDR: delete static_cast<data_itm<mac_addr_s>*>(item); break;
    case dtKVTIME: delete static_cast<data_itm<kvtime_s>*>(item); break;
    case dtSTRING: delete static_cast<data_itm<string_wrapper_s>*>(item); break;
    default: break; /* no class has another code */
  }
}

int data_itm_Base::finishStrOut(char* buf, int size, int start, int pos, int commentCol,
                                bool newline) {
  if (commentCol >= 1) {
    while (pos - start < commentCol && pos < size - 1) buf[pos++] = ' ';
    buf[pos < size ? pos : size - 1] = '\0';
    pos += cfgPutf(buf + pos, size - pos, " # %s", description ? description : "");
  }
  if (newline) pos += cfgPutf(buf + pos, size - pos, "\n");
  return pos - start;
}

/* ---- data_itm<T> --------------------------------------------------------- */

template <typename T>
data_itm<T>::data_itm(const T& defaultValue) : value(defaultValue), defValue(defaultValue) {
  typeCode = typeCodeOf<T>();
  valueFormat = defaultValueFormat(typeCode);
}

template <typename T>
int data_itm<T>::strOut(char* buf, int size, const char* nameFmt, int commentCol,
                        const char* valueFmt, bool newline) {
  if (!buf || size <= 0) return 0;
  buf[0] = '\0';
  int pos = 0;
  if (nameFmt) pos += cfgPutf(buf, size, nameFmt, name.c_str());
  if (typeCode < 0 || typeCode > 8)
    pos += cfgPutf(buf + pos, size - pos, "DataType ERR in strOut. Type=%i", typeCode);
  else
    pos += fmtValue(buf + pos, size - pos, valueFmt ? valueFmt : valueFormat, value);
  return finishStrOut(buf, size, 0, pos, commentCol, newline);
}

int data_itm_Base::recordLength() const {
  switch (typeCode) {
    case dtINT: case dtFLOAT: case dtBOOL: case dtIP_ADDR: return binREC_HDR + 4;
    case dtMAC_ADDR: return binREC_HDR + 6;
    case dtKVTIME: return binREC_HDR + 24;
    case dtSTRING:
      return binREC_HDR + valueBytes(static_cast<const data_itm<string_wrapper_s>*>(this)->value);
    default: return 0;
  }
}

template <typename T>
int data_itm<T>::binOut(uint8_t* buf, int size, int32_t clientId) {
  if (clientId >= 0 && !subscribers.count(clientId)) return 0;
  int len = recordLength();
  if (len > size || !buf) {
    if (!std::is_same<T, bool>::value && !std::is_same<T, string_wrapper_s>::value)
      ERRLOG(pErrLog, 4, 13013, "genericConfig", "Maximum buffer length reached");
    return len;
  }
  putLe32(buf, (uint32_t)index);
  buf[4] = (uint8_t)typeCode; /* bytes 5..7 are left as they are */
  encode(buf + binREC_HDR, value);
  return len;
}

template <typename T>
int data_itm<T>::binIn(const uint8_t* bytes, int avail, int32_t sourceClient) {
  T nv = value;
  int used = decode(bytes, avail, nv);
  if (used < 0) return -1;
  if (!sameValue(nv, value)) {
    value = nv;
    noteChange(sourceClient);
  }
  return used;
}

template <typename T>
const char* data_itm<T>::lookupText() {
  if (typeCode != dtINT && typeCode != dtBOOL) return kInvalidLookup;
  auto it = choices.find(intValue());
  return it == choices.end() ? kInvalidLookup : it->second;
}

template <typename T>
int32_t data_itm<T>::intValue() {
  if constexpr (std::is_same<T, int>::value) return value;
  if constexpr (std::is_same<T, bool>::value) return value ? 1 : 0;
  return 0;
}

template <typename T>
void data_itm<T>::strIn(const char* text) {
  if (!text) return;
  if (scanInto(*this, text)) noteChange(0);
}

template class data_itm<int>;
template class data_itm<float>;
template class data_itm<bool>;
template class data_itm<ip_addr_s>;
template class data_itm<mac_addr_s>;
template class data_itm<kvtime_s>;
template class data_itm<string_wrapper_s>;
