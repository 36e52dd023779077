/*
** Typed configuration items: one value of the data set with its name, fixed
** index, limits, optional choice list and its text and binary encodings.
**
** Items are created and owned by generic_cfg (config/genericConfig.h) through
** its addItem operations; nothing else creates or deletes them.  An item
** knows how to print itself ("%25s: " name, value, comment column), how to
** take a new value from text (clamped to its limits) and how to move as one
** binary record between the master and its clients.
**
** Every change of value goes through noteChange(): the item, its file, the
** configuration's changed-index set and every subscribed client other than
** the one that caused the change learn of it.
**
** Binary value record (all integers little-endian; the box is a 32-bit
** build, the master may be 64-bit, so the layout is explicit):
**
**   offset width content
**   0      4     item index (signed)
**   4      1     type code (1..8)
**   5      3     not written by the sender, ignored by the receiver
**   8      n     value: int 4, float 4 (IEEE single), bool 4 (0/1, any
**                non-zero reads true), ip 4 octets, mac 6 octets,
**                date-time 24 (six signed 32-bit fields), text: u16 length
**                L then L characters, no NUL
**
**   record length: 12 int/float/bool/ip, 14 mac, 32 date-time, 10 + L text
*/
#ifndef CONFIG_DATAITEM_H
#define CONFIG_DATAITEM_H

#include <cstdint>
#include <map>
#include <set>
#include <string>

class ErrTrcLog;
class cfgFile;

/* Type codes: stored in the item and carried in binary records. */
enum {
  dtNONE = 0,     /* no class; format "%d" */
  dtINT = 1,      /* data_itm<int> */
  dtFLOAT = 2,    /* data_itm<float> */
  dtBOOL = 3,     /* data_itm<bool> */
  dtIP_ADDR = 4,  /* data_itm<ip_addr_s> */
  dtMAC_ADDR = 5, /* data_itm<mac_addr_s> */
  dtOLD_TIME = 6, /* no class; format "%04i:%03i:%02i:%02i:%02i" */
  dtKVTIME = 7,   /* data_itm<kvtime_s> */
  dtSTRING = 8    /* data_itm<string_wrapper_s> */
};

/* Header bytes of a binary record before the value. */
enum { binREC_HDR = 8 };

struct ip_addr_s {
  uint8_t octet[4]; /* a.b.c.d, first octet first */
};

struct mac_addr_s {
  uint8_t octet[6]; /* in written order */
};

struct kvtime_s {
  int32_t year, month, day, hour, minute, second;
};

struct string_wrapper_s {
  int32_t minLen; /* stored, not enforced */
  int32_t maxLen; /* longer text is cut to this */
  std::string text;
};

/* One row of a choice list: a static array ended by a row whose text is
** null or empty. */
struct choiceEntry_s {
  int32_t key;
  const char* text;
};

/* Client ID -> indexes of items changed since the last export to that
** client.  hasWork is set whenever a set gains an index. */
struct cfgExportTable {
  std::map<int32_t, std::set<int32_t>> clients;
  bool hasWork = false;
};

/* Default value format of a type code; "ERROR IN DATA TYPE" outside 0..8. */
const char* defaultValueFormat(int typeCode);

class data_itm_Base {
public:
  /* Text form of the value.  nameFmt (or null) is printed first with the
  ** item's name; commentCol >= 1 pads to that column of the item's text and
  ** appends " # " and the description; newline appends "\n".  Bounded by
  ** size (the text always ends with a NUL when size > 0).  Returns the
  ** number of characters written. */
  virtual int strOut(char* buf, int size, const char* nameFmt, int commentCol,
                     const char* valueFmt, bool newline) = 0;
  /* Binary record for client `clientId` (negative: always).  Returns the
  ** record length; 0 when the client has not subscribed.  Nothing is
  ** written when the record does not fit `size`. */
  virtual int binOut(uint8_t* buf, int size, int32_t clientId) = 0;
  /* Take the value from a record's value field (`avail` bytes readable).
  ** Returns the value bytes consumed, or -1 when the record is cut short
  ** (nothing is changed then). */
  virtual int binIn(const uint8_t* value, int avail, int32_t sourceClient) = 0;
  /* Choice text of the current value, "Invalid Lookup" when none. */
  virtual const char* lookupText() = 0;
  /* int value, bool 0/1, every other type 0. */
  virtual int32_t intValue() = 0;
  /* New value from text, clamped to the limits; see dataItem.cpp. */
  virtual void strIn(const char* text) = 0;

  /* Book a change caused by client `sourceClient` (0: file or local). */
  void noteChange(int32_t sourceClient);
  /* Load a choice list; 0 accepted, 1 refused (size or type rules). */
  int loadChoices(const choiceEntry_s* list);
  /* Replace, in place, every character not in validChars by its first one. */
  void filterValidChars(char* text) const;
  /* Length of the item's binary record now (12, 14, 32 or 10 + L). */
  int recordLength() const;
  /* Release an item of any type (items have no virtual destructor). */
  static void destroy(data_itm_Base* item);

  ErrTrcLog* pErrLog = nullptr;
  std::set<int32_t>* pChangedSet = nullptr;  /* the configuration's */
  bool* pDataChanged = nullptr;              /* the configuration's */
  cfgExportTable* pPending = nullptr;        /* the configuration's */
  const char* helpText = nullptr;
  const char* units = nullptr;
  bool changed = true;
  uint32_t userFlags = 0;
  const char* validChars = nullptr;
  int32_t changeCount = 0;
  std::set<int32_t> subscribers;
  std::map<int32_t, const char*> choices;
  int32_t typeCode = dtNONE;
  int32_t index = -1;
  bool noSubscribe = false;
  const char* valueFormat = "%d";
  std::string name;
  const char* description = nullptr;
  cfgFile* file = nullptr;
  float min = 0.0f;
  float max = 0.0f;

protected:
  data_itm_Base() = default;
  ~data_itm_Base() = default;
  data_itm_Base(const data_itm_Base&) = delete;
  data_itm_Base& operator=(const data_itm_Base&) = delete;
  /* Common part of strOut: name, then `valueLen` characters already at
  ** buf + pos, then the comment and newline. */
  int finishStrOut(char* buf, int size, int start, int pos, int commentCol, bool newline);
};

/* One concrete item class per value type T: int, float, bool, ip_addr_s,
** mac_addr_s, kvtime_s, string_wrapper_s. */
template <typename T>
class data_itm final : public data_itm_Base {
public:
  explicit data_itm(const T& defaultValue);
  ~data_itm() = default;

  int strOut(char* buf, int size, const char* nameFmt, int commentCol, const char* valueFmt,
             bool newline) override;
  int binOut(uint8_t* buf, int size, int32_t clientId) override;
  int binIn(const uint8_t* value, int avail, int32_t sourceClient) override;
  const char* lookupText() override;
  int32_t intValue() override;
  void strIn(const char* text) override;

  T value;
  T defValue;
};

extern template class data_itm<int>;
extern template class data_itm<float>;
extern template class data_itm<bool>;
extern template class data_itm<ip_addr_s>;
extern template class data_itm<mac_addr_s>;
extern template class data_itm<kvtime_s>;
extern template class data_itm<string_wrapper_s>;

#endif
