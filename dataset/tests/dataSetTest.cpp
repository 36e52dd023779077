/*
** The exporter data set: the catalogue's invariants, and the data set as a
** configuration object builds it from the catalogue.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dataset/choiceLists.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemCatalogue.h"
#include "dataset/itemIndex.h"
#include "diag/cppUtils.h"
#include "tests/support/testSupport.h"

namespace {

/* Every item the tables describe, singles and family members alike, as a
** catalogue row (a member has no units, valid characters, description or
** default text of its own). */
struct expandedItem {
  catalogueRow row;
  std::string name;
  bool member;
};
std::vector<expandedItem> expandAll() {
  std::vector<expandedItem> out;
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r) out.push_back({*r, r->name, false});
  for (const itemFamily* f = itemFamilies; f->first >= 0; ++f)
    for (int n = 0; n < f->count; ++n)
      for (int m = 0; m < f->stride; ++m) {
        char name[64];
        EXPECT_GT(familyItemName(*f, n, m, name, sizeof name), 0);
        const familyMember& mem = f->members[m];
        out.push_back({{familyIndex(f->first, f->stride, n, m), nullptr, mem.type, f->file, f->groupMask,
                        (double)familyDefault(*f, n, m), nullptr, mem.min, mem.max, mem.list, nullptr, nullptr,
                        nullptr, mem.help},
                       name, true});
      }
  return out;
}

}  // namespace

/* What a typo in a catalogue row breaks: a list with one choice or a value
** twice, a list on a non-integer item, a default outside its list, its
** limits, its length or its valid characters. */
TEST(Catalogue, listsAndDefaultsAreWellFormed) {
  for (const choiceListRow* r = choiceListTable; r->name != nullptr; ++r) {
    std::set<int32_t> keys;
    for (int i = 0; i < choiceCount(r->list); ++i) keys.insert(r->list[i].key);
    EXPECT_TRUE(keys.size() >= 2 && (int)keys.size() == choiceCount(r->list)) << r->name;
  }
  std::vector<std::string> outside;
  for (const expandedItem& e : expandAll()) {
    const catalogueRow& it = e.row;
    auto isDefault = [&](const choiceEntry& c) { return c.key == (int32_t)it.dflt; };
    bool inList = it.list && std::any_of(it.list, it.list + choiceCount(it.list), isDefault);
    EXPECT_TRUE(!it.list || ((it.type == dtINT || it.type == dtBOOL) && inList)) << e.name;
    if (it.type == dtSTRING && !e.member) {
      size_t len = std::strlen(it.dfltText);
      bool valid = !it.validChars || std::strspn(it.dfltText, it.validChars) == len;
      EXPECT_TRUE(len <= (size_t)it.max && len >= (size_t)it.min && valid) << e.name;
    }
    bool number = it.type == dtINT || it.type == dtBOOL || it.type == dtFLOAT;
    if (number && (it.min > it.max || it.dflt < it.min || it.dflt > it.max)) outside.push_back(e.name);
  }
  /* The access level starts at 1 and is clamped to 4 once it is set. */
  EXPECT_EQ(std::vector<std::string>{"LCD_AccessLvl"}, outside);
}

/* Each test runs in its own directory: the files and the queue key path. */
class DataSetInTempDir : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(dir.enter()); }
  void TearDown() override { EXPECT_TRUE(dir.leave()); }
  /* A master data set: items added, the files of the directory read. */
  std::unique_ptr<dovidu_config> master(int aux = 0, int flashRecord = -1) {
    auto cfg = std::make_unique<dovidu_config>(&traceLevel, nullptr);
    EXPECT_EQ(0, cfg->initDataSet(&traceLevel, nullptr, 1, "cfgMaster.x", aux, flashRecord));
    return cfg;
  }
  static std::string valueText(generic_cfg& cfg, int index) {
    char buf[400];
    cfg.getItem(index)->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
    return buf;
  }

  testsup::WorkDir dir;
  int traceLevel = 0;
};

namespace {
std::string textOf(const char* p) { return p ? std::string("\"") + p + "\"" : "<null>"; }

/* Group mask of an item as the groups hold it. */
int32_t maskOf(generic_cfg& cfg, data_itm_Base* it) {
  int32_t mask = 0;
  for (cfgGroup* g : cfg.groupList())
    for (data_itm_Base* x : g->items)
      if (x == it) mask |= g->id;
  return mask;
}

/* The item's choices equal the list's entries (or both are empty). */
bool sameChoices(data_itm_Base* it, const choiceEntry* list) {
  std::map<int32_t, std::string> want;
  for (int i = 0; i < choiceCount(list); ++i) want[list[i].key] = list[i].text;
  return want == std::map<int32_t, std::string>(it->choices.begin(), it->choices.end());
}
}  // namespace

/* Every creation parameter of a row must land in the matching field of the
** item: a swapped or dropped argument shows up here.  Then the switches that
** reach files and groups, and definitions repeated or out of place. */
TEST_F(DataSetInTempDir, masterHolds311ItemsAndEveryRowsCreationParametersReachItsItem) {
  auto cfg = master(5, 3);
  /* 311 items under unique names; the nine slots no row fills stay empty */
  EXPECT_EQ(311u, cfg->allItems().size());
  std::set<std::string> names;
  std::vector<int> empty;
  for (data_itm_Base* it : cfg->allItems()) {
    EXPECT_TRUE(names.insert(it->name).second && it == cfg->getItem(it->index)) << it->name;
    EXPECT_EQ(255u, it->userFlags);
  }
  for (int i = 0; i < catMAX_ITEM; ++i)
    if (cfg->getItem(i) == nullptr) empty.push_back(i);
  EXPECT_EQ((std::vector<int>{67, 68, 69, 70, 71, 72, 314, 315, 319}), empty);
  struct { int index; const char* name; } spots[] = {
    {0, "USER_IF_VERSION"}, {121, "MpsSize_10"}, {150, "SIS_Nplds_00"}, {197, "SIS_Plid1_15"},
    {233, "SrvInf_A_CA_Lvl_07"}, {306, "SrvInf_D_CA_Lvl_23"}, {318, "DNS_SERVER"}};
  for (const auto& s : spots) EXPECT_STREQ(s.name, cfg->getItemName(s.index)) << s.index;
  EXPECT_STREQ("   SMX_STATE_smxCfg[04].mpsSize", cfg->getItem(103)->description);
  EXPECT_STREQ("ServiceInfo.AudioInfo[23].caLevel", cfg->getItem(306)->description);
  for (const expandedItem& e : expandAll()) {
    const catalogueRow& r = e.row;
    data_itm_Base* it = cfg->getItem(r.index);
    ASSERT_NE(nullptr, it) << e.name;
    EXPECT_EQ(e.name, it->name);
    EXPECT_EQ(r.type, cfg->getItemType(r.index)) << e.name;
    EXPECT_EQ(textOf(r.help), textOf(it->helpText)) << e.name;
    EXPECT_EQ(cfg->getFile(r.file), it->file) << e.name;
    EXPECT_EQ(r.groupMask, maskOf(*cfg, it)) << e.name;
    EXPECT_TRUE(sameChoices(it, r.list)) << e.name;
    EXPECT_EQ(r.type == dtKVTIME ? 19.0f : r.min, it->min) << e.name;
    EXPECT_EQ(r.type == dtKVTIME ? 19.0f : r.max, it->max) << e.name;
    bool number = r.type == dtINT || r.type == dtBOOL;
    if (number && r.index != itmSmxActChan_00 + 1) {  /* MpsSize_00: the carrier rule */
      EXPECT_EQ((int32_t)r.dflt, it->intValue()) << e.name;
    }
    if (e.member) continue;
    EXPECT_EQ(textOf(r.description), textOf(it->description)) << e.name;
    EXPECT_EQ(textOf(r.units), textOf(it->units)) << e.name;
    EXPECT_EQ(r.validChars, it->validChars) << e.name;
    if (r.type == dtFLOAT) {
      EXPECT_EQ((float)r.dflt, cfg->readFloat(r.index)) << e.name;
    } else if (!number) {
      EXPECT_EQ(r.dfltText, valueText(*cfg, r.index)) << e.name;
    }
  }
  EXPECT_EQ(5, cfg->auxSetting());
  EXPECT_EQ(3, cfg->getFile(1)->flashArea);
  EXPECT_EQ(-1, cfg->getFile(2)->flashArea);
  cfg->defineFiles();
  EXPECT_EQ(3, cfg->fileCount());
  EXPECT_EQ(7u, cfg->groupList().size());
  for (int index : {91, 320, -4, 67}) EXPECT_EQ(0, cfg->defineItem(index)) << index; /* 91: in the SMX family */
  EXPECT_EQ(311u, cfg->allItems().size());
}

TEST_F(DataSetInTempDir, mpsSize00FollowsTheCarrierModeWhenTheSmxFamilyIsCreated) {
  for (const char* carrier : {(const char*)nullptr, "4"}) {   /* the default, AM MA1 */
    dovidu_config cfg(&traceLevel, nullptr);
    ASSERT_EQ(0, cfg.linkInit("cfgMaster.x", ".", 65, 10000, 1, &traceLevel, nullptr));
    EXPECT_EQ(1, cfg.defineItem(itmPrmryCarrierCfg));  /* defines the files first */
    EXPECT_TRUE(cfg.filesDefined());
    if (carrier) cfg.changeValue(itmPrmryCarrierCfg, carrier);
    EXPECT_EQ(33, cfg.defineItem(itmSmxActChan_00));
    EXPECT_EQ(carrier ? "0" : "18011", valueText(cfg, 91));
    EXPECT_EQ("10", valueText(cfg, 103));
    EXPECT_EQ("1", valueText(cfg, 102));
  }
}

TEST_F(DataSetInTempDir, valuesSetFromTextStayWithinTheCataloguesLimits) {
  auto cfg = master();   /* (the access level's default 1 stands until first set: the row-by-row check) */
  struct { int index; const char* text; const char* stored; } cases[] = {
    {itmSys_stat_count, "2147483647", "2147483647"},  /* the limit is 2^31 as a float */
    {itmLCD_AccessLvl, "0", "4"},
    {itmEAS_NUM_SIS_BLKS, "7", "8"},
  };
  for (const auto& c : cases) {
    cfg->changeValue(c.index, c.text);
    EXPECT_EQ(c.stored, valueText(*cfg, c.index)) << cfg->getItemName(c.index) << " <- " << c.text;
  }
}

/* The console's start-up retries initDataSet on the same object: the first
** attempt finds no master and times out on the grant, the next one finds
** the endpoint open and succeeds at once.  The files and groups must still
** come once each. */
TEST_F(DataSetInTempDir, clientRetriedAfterAMissingGrantStillHasThreeFilesAndSevenGroups) {
  dovidu_config client(&traceLevel, nullptr);
  testing::internal::CaptureStdout();  /* the unanswered registration's reports */
  EXPECT_EQ(1, client.initDataSet(&traceLevel, nullptr, 0, "doVA.x", 0, -1));
  kvTimeStamp t0;
  getTimeStamp(&t0);
  EXPECT_EQ(0, client.initDataSet(&traceLevel, nullptr, 0, "doVA.x", 0, -1));
  EXPECT_LT(elapsedSeconds(&t0), 1.0f);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(3, client.fileCount());
  EXPECT_EQ(7u, client.groupList().size());
  EXPECT_EQ(311, client.addAllItems(2));
}
