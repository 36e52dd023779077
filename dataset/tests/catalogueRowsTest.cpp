/*
** Checks on the catalogue tables themselves: shape of the index space,
** unique names, well-formed choice lists, defaults that make sense for
** their limits and lists.
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

TEST(CatalogueRows, fill311IndicesOnceEachUnderUniqueNamesLeavingTheNineEmptySlots) {
  std::vector<int> uses(catMAX_ITEM, 0);
  std::set<std::string> names;
  for (const expandedItem& it : expandAll()) {
    ASSERT_GE(it.index, 0);
    ASSERT_LT(it.index, catMAX_ITEM);
    ++uses[it.index];
    EXPECT_FALSE(it.name.empty());
    EXPECT_TRUE(names.insert(it.name).second) << "duplicate name " << it.name;
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

