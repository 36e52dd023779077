/*
** Checks on the catalogue tables themselves: shape of the index space,
** unique names, well-formed choice lists, defaults that make sense for
** their limits and lists, and index constants that name the right rows.
*/
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dataset/choiceLists.h"
#include "dataset/itemCatalogue.h"
#include "dataset/itemIndex.h"

namespace {

struct expandedItem {
  int index;
  std::string name;
  int type;
  double dflt;
  float min, max;
  const choiceEntry* list;
};

/* Every item the tables describe, singles and family members alike. */
std::vector<expandedItem> expandAll() {
  std::vector<expandedItem> out;
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r)
    out.push_back({r->index, r->name, r->type, r->dflt, r->min, r->max, r->list});
  for (const itemFamily* f = itemFamilies; f->first >= 0; ++f)
    for (int n = 0; n < f->count; ++n)
      for (int m = 0; m < f->stride; ++m) {
        char name[64];
        EXPECT_GT(familyItemName(*f, n, m, name, sizeof name), 0);
        const familyMember& mem = f->members[m];
        out.push_back({familyIndex(f->first, f->stride, n, m), name, mem.type,
                       (double)familyDefault(*f, n, m), mem.min, mem.max, mem.list});
      }
  return out;
}

bool listHas(const choiceEntry* list, int32_t key) {
  for (int i = 0; i < choiceCount(list); ++i)
    if (list[i].key == key) return true;
  return false;
}

}  // namespace

TEST(CatalogueRows, fill311IndicesOnceEachLeavingTheNineEmptySlots) {
  std::vector<int> uses(catMAX_ITEM, 0);
  for (const expandedItem& it : expandAll()) {
    ASSERT_GE(it.index, 0);
    ASSERT_LT(it.index, catMAX_ITEM);
    ++uses[it.index];
  }
  int filled = 0;
  std::vector<int> empty;
  for (int i = 0; i < catMAX_ITEM; ++i) {
    EXPECT_LE(uses[i], 1) << "index " << i << " used twice";
    if (uses[i]) ++filled; else empty.push_back(i);
  }
  EXPECT_EQ(311, filled);
  EXPECT_EQ((std::vector<int>{67, 68, 69, 70, 71, 72, 314, 315, 319}), empty);
  int prev = -1;
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r) {
    EXPECT_GT(r->index, prev) << r->name << " out of ascending order";
    prev = r->index;
  }
}

TEST(CatalogueRows, nameEveryItemUniquely) {
  std::set<std::string> names;
  for (const expandedItem& it : expandAll()) {
    EXPECT_FALSE(it.name.empty());
    EXPECT_TRUE(names.insert(it.name).second) << "duplicate name " << it.name;
  }
}

TEST(ChoiceLists, areClosedHoldTwoOrMoreChoicesAndNameEachValueOnce) {
  int lists = 0;
  for (const choiceListRow* r = choiceListTable; r->name != nullptr; ++r, ++lists) {
    int n = choiceCount(r->list);
    EXPECT_GE(n, 2) << r->name;
    const choiceEntry& close = r->list[n];
    bool nullClose = close.text == nullptr && close.key == 0;
    bool emptyClose = close.text != nullptr && close.text[0] == '\0' && close.key == -1;
    EXPECT_TRUE(nullClose || emptyClose) << r->name << " closes badly";
    std::set<int32_t> keys;
    for (int i = 0; i < n; ++i)
      EXPECT_TRUE(keys.insert(r->list[i].key).second) << r->name << " repeats " << r->list[i].key;
    EXPECT_EQ(r->list, findChoiceList(r->name));
  }
  EXPECT_EQ(23, lists);
  EXPECT_EQ(nullptr, findChoiceList("lstNothing"));
}

TEST(ChoiceLists, goOnlyToIntOrBoolItemsAndHoldEachDefault) {
  for (const expandedItem& it : expandAll()) {
    if (it.list == nullptr) continue;
    ASSERT_TRUE(it.type == dtINT || it.type == dtBOOL) << it.name;
    if (it.type == dtBOOL) {
      EXPECT_EQ(2, choiceCount(it.list)) << it.name;
      EXPECT_TRUE(listHas(it.list, 0) && listHas(it.list, 1)) << it.name;
    }
    EXPECT_TRUE(listHas(it.list, (int32_t)it.dflt)) << it.name << " default " << it.dflt;
  }
}

TEST(CatalogueRows, keepNumberDefaultsInRangeExceptTheAccessLevel) {
  std::vector<std::string> outside;
  for (const expandedItem& it : expandAll()) {
    if (it.type != dtINT && it.type != dtBOOL && it.type != dtFLOAT) continue;
    EXPECT_LE(it.min, it.max) << it.name;
    if (it.dflt < it.min || it.dflt > it.max) outside.push_back(it.name);
  }
  /* The access level starts at 1 and is clamped to 4 once it is set. */
  EXPECT_EQ(std::vector<std::string>{"LCD_AccessLvl"}, outside);
}

TEST(CatalogueRows, keepTextDefaultsWithinLengthAndValidCharacters) {
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r) {
    if (r->type != dtSTRING) {
      EXPECT_EQ(nullptr, r->validChars) << r->name;
      continue;
    }
    ASSERT_NE(nullptr, r->dfltText) << r->name;
    size_t len = std::strlen(r->dfltText);
    EXPECT_LE(len, (size_t)r->max) << r->name;
    EXPECT_GE(len, (size_t)r->min) << r->name;
    if (r->validChars != nullptr) {
      EXPECT_EQ(len, std::strspn(r->dfltText, r->validChars)) << r->name;
    }
  }
}

TEST(CatalogueRows, endExactlySixHelpTextsWithALineFeed) {
  std::set<std::string> withLf;
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r) {
    if (r->help == nullptr) continue;
    size_t len = std::strlen(r->help);
    ASSERT_GT(len, 0u) << r->name;
    if (r->help[len - 1] == '\n') withLf.insert(r->name);
  }
  EXPECT_EQ((std::set<std::string>{"Volume_Adjust", "INVERT_ANALOG", "INVERT_DIGITAL",
                                   "SET_DEF_SMX", "SYNC_DRIVE_INT_1PPS",
                                   "SYNC_ENABLE_TIME_ANNOUNCE"}),
            withLf);
}

TEST(CatalogueRows, useTheNoLimitMaximumOnlyForTheFourChangeCounters) {
  std::set<std::string> counters;
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r)
    if (r->max == 2147483648.0f) counters.insert(r->name);
  EXPECT_EQ((std::set<std::string>{"Sys_stat_count", "Audio_Status_Count", "GPS_Status_Count",
                                   "Imprtr_Status_count"}),
            counters);
}

TEST(ItemIndex, constantsNameTheCataloguesRows) {
#define ROW(n) {itm##n, #n}
  struct { int index; const char* name; } rows[] = {
    ROW(USER_IF_VERSION), ROW(UPDATE_HOST_IP), ROW(UPDATE_FILE), ROW(Volume_Adjust),
    ROW(Excter_Prtcl), ROW(LCD_AccessLvl), ROW(UseGPSTime), ROW(TimeDateChange),
    ROW(ETH0_IP_ADDR), ROW(ETH1_NETMASK), ROW(DEFAULT_GATEWAY), ROW(POWEROFF_REQ),
    ROW(POWEROFF_CMD), ROW(SYSRESTART_CMD), ROW(SYSRESTART_REQ), ROW(DSPHwFault),
    ROW(System_Status), ROW(Sys_stat_count), ROW(Audio_Status), ROW(Audio_Status_Count),
    ROW(GPS_Status_Count), ROW(GPS_Status), ROW(Imprtr_Status), ROW(Imprtr_Status_count),
    ROW(debug_mode), ROW(ANALOG_RTP_TX_IP), ROW(PrmryCarrierCfg), ROW(MPS_AnlgSrcCfg),
    ROW(SMX_LogLvl), ROW(DvrstyDly_Reqd_Anlg), ROW(SYNC_ENABLE_TIME_ANNOUNCE),
    ROW(SIS_CsStdNme), ROW(SIS_CLL_SGN_STD_NME), ROW(AntennaAltitude), ROW(SIS_LogLvl),
    ROW(SrvInf_N_Aud_Inf), ROW(SrvInf_N_Dta_Inf), ROW(HDCC_CHANNEL_MODE_ENH),
    ROW(EXT_IF_VERSION), ROW(SYSTEM_NAME), ROW(RESET_TO_FACTORY_DEFAULTS), ROW(DNS_SERVER),
  };
#undef ROW
  for (const auto& r : rows) {
    const catalogueRow* row = findCatalogueRow(r.index);
    ASSERT_NE(nullptr, row) << r.name;
    std::string expect = r.index == itmSIS_CLL_SGN_STD_NME ? std::string("itm") + r.name : r.name;
    EXPECT_EQ(expect, row->name);
  }
  EXPECT_EQ(itmSmxActChan_00, findFamily(itmSmxActChan_00)->first);
  EXPECT_EQ(itmSIS_Nplds_00, findFamily(itmSIS_Nplds_00)->first);
  EXPECT_EQ(itmSrvInf_A_PrgInf_00, findFamily(itmSrvInf_A_PrgInf_00)->first);
  EXPECT_EQ(itmSrvInf_D_DtaTyp_00, findFamily(itmSrvInf_D_DtaTyp_00)->first);
  EXPECT_EQ(320, itmMAX_ITEM);
  struct { int first, stride, count; } shapes[] = {
    {itmSmxActChan_00, famSMX_STRIDE, famSMX_COUNT}, {itmSIS_Nplds_00, famSIS_STRIDE, famSIS_COUNT},
    {itmSrvInf_A_PrgInf_00, famSRVA_STRIDE, famSRVA_COUNT},
    {itmSrvInf_D_DtaTyp_00, famSRVD_STRIDE, famSRVD_COUNT}};
  for (const auto& s : shapes) {
    const itemFamily* f = findFamily(s.first);
    EXPECT_EQ(s.stride, f->stride);
    EXPECT_EQ(s.count, f->count);
  }
}
