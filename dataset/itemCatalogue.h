/*
** The exporter data set's catalogue, held as data: one row per single item
** and one descriptor per family of repeated items.  dovidu_config walks
** these tables to create the items; the menus, the parameter access and the
** tests read them too.  Nothing here touches a configuration object.
**
** Single items: itemCatalogue[], ascending index, ended by a row with index
** -1.  Per type the row uses:
**   int, float, bool   dflt, min, max (min/max are applied as integers for
**                      int and bool), list (int and bool only), units
**   text               dfltText, min/max = length limits, validChars
**   ip, mac, date-time dfltText in written form ("10.10.10.100",
**                      "00:00:00:00:00:00", "2000-01-01 00:00:00")
** A maximum of 2147483648 (the change counters) means "no upper limit" and
** is applied as the largest signed 32-bit value.
**
** Families: itemFamilies[], ended by a row with first -1.  Instance n of a
** family occupies indices first + n * stride ... first + n * stride +
** stride - 1, members in listed order.  A member's name is its prefix plus
** the two-digit instance number NN, its description descPre + NN + descPost.
*/
#ifndef DATASET_ITEMCATALOGUE_H
#define DATASET_ITEMCATALOGUE_H

#include <cstdint>

#include "dataset/choiceEntry.h"

/* Configuration files of the data set, by file number. */
enum catFileNumber {
  fileNOSAVE = 0,      /* N: never saved */
  filePRIMARY = 1,     /* P: "kvPrimeConfig.cfg" */
  fileSECONDARY = 2    /* S: "kvSecondaryConfig.cfg" (holds no item) */
};

/* Every item of the data set is created with these user flags. */
enum { catUSER_FLAGS = 255 };

struct catalogueRow {
  int32_t index;               /* -1 ends the table */
  const char* name;
  int32_t type;                /* type code: dtINT, dtFLOAT, ... dtSTRING */
  int32_t file;                /* catFileNumber */
  int32_t groupMask;
  double dflt;                 /* number default (int, float, bool) */
  const char* dfltText;        /* text, ip, mac and date-time default */
  float min;
  float max;
  const choiceEntry* list;     /* null: none */
  const char* units;           /* null: none */
  const char* validChars;      /* null: the editor's own set */
  const char* description;     /* null: none */
  const char* help;            /* null: none */
};

extern const catalogueRow itemCatalogue[];

struct familyMember {
  const char* prefix;          /* null ends the member list */
  int32_t type;                /* dtINT or dtBOOL */
  float min;
  float max;
  const choiceEntry* list;
  const char* descPre;
  const char* descPost;
  const char* help;
};

/* A default that depends on another item at the moment the family is
** created: member `member` of instance `instance` takes `altDflt` when the
** item at `condIndex` holds `condValue` (MpsSize_00 and the carrier mode). */
struct familyDefaultRule {
  int32_t instance;
  int32_t member;
  int32_t condIndex;
  int32_t condValue;
  int32_t altDflt;
};

struct itemFamily {
  int32_t first;               /* -1 ends the table */
  int32_t stride;              /* members per instance */
  int32_t count;               /* instances */
  int32_t groupMask;
  int32_t file;
  const familyMember* members;
  const int32_t* defaults;     /* count x stride values, or null */
  int32_t commonDflt;          /* the default of every item when defaults is null */
  const familyDefaultRule* rule; /* null: none */
};

extern const itemFamily itemFamilies[];

/* Data set shape. */
enum { catMAX_ITEM = 320, catITEM_COUNT = 311 };

/* Catalogue lookups (linear walks over a few hundred rows; fine at start-up
** and in tests). */
const catalogueRow* findCatalogueRow(int index);
const itemFamily* findFamily(int index);   /* the family whose block holds index */

/* Default of member m of instance n, before any rule applies. */
int32_t familyDefault(const itemFamily& fam, int instance, int member);

/* Write the name / description of member m of instance n into out.
** Returns the length written, or -1 when it does not fit. */
int familyItemName(const itemFamily& fam, int instance, int member, char* out, int size);
int familyItemDescription(const itemFamily& fam, int instance, int member, char* out, int size);

#endif
