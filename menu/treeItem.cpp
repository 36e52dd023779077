/*
** treeItem: building one node and keeping its visible-children list.
*/
#include "menu/treeItem.h"

#include <algorithm>
#include <cstring>

treeItem::treeItem()
    : itemID(-1), parentItemID(-1), kind(tit_MENU), dataBound(false), level(0), helpText(nullptr),
      data(nullptr), units(nullptr), parent(nullptr), selected(-1), firstShown(0), lastVisible(-1),
      special(false), levelUsed(-1) {
  for (int i = 0; i < LABEL_COUNT; ++i) {
    labels[i] = "";
    labelWidth[i] = 0;
  }
}

treeItem::~treeItem() {
  for (treeItem* c : children) delete c;
}

treeItem* treeItem::visibleChild(int i) const {
  if (i < 0 || i >= (int)visible.size()) return nullptr;
  return visible[i];
}

int treeItem::fill(const treeItemDef& row, data_itm_Base* item) {
  parentItemID = row.parentItemID;
  itemID = row.itemID;
  kind = row.kind;
  level = row.level;
  const char* s = row.shortLabel ? row.shortLabel : "";
  const char* l = row.longLabel ? row.longLabel : "";
  labels[LBL_SHORT] = *s ? s : l;
  labels[LBL_LONG] = *l ? l : s;
  helpText = row.helpText;
  dataBound = (kind == tit_EDIT || kind == tit_VIEW);
  if (!dataBound) return 1;
  if (item == nullptr) return 0;
  data = item;
  cfgItemChoices(item, &choices);
  units = cfgItemUnits(item);
  if (helpText == nullptr) helpText = cfgItemHelp(item);
  return 1;
}

bool treeItem::hasChild(int id) const {
  for (const treeItem* c : children)
    if (c->itemID == id) return true;
  return false;
}

void treeItem::lowerAncestorLevels(int childLevel) {
  for (treeItem* a = this; a != nullptr; a = a->parent) {
    if (a->level <= childLevel) break;
    a->level = childLevel;
  }
}

void treeItem::addChild(treeItem* child) {
  child->parent = this;
  children.push_back(child);
  lowerAncestorLevels(child->level);
  for (int i = 0; i < LABEL_COUNT; ++i) {
    int w = (int)strlen(child->labels[i]);
    if (w > labelWidth[i]) labelWidth[i] = w;
  }
}

int treeItem::setAccessLevel(int accessLevel) {
  if (children.empty()) {
    levelUsed = accessLevel;
    return 0;
  }
  if (accessLevel == levelUsed) return (int)visible.size();
  treeItem* wasSelected = selectedChild();
  treeItem* wasFirst = visibleChild(firstShown);
  visible.clear();
  for (treeItem* c : children)
    if (c->level <= accessLevel) visible.push_back(c);
  levelUsed = accessLevel;
  lastVisible = (int)visible.size() - 1;
  /* Same children where they stay visible; otherwise the old positions,
  ** clamped into the new list. */
  for (int i = 0; i < (int)visible.size(); ++i) {
    if (visible[i] == wasSelected) selected = i;
    if (visible[i] == wasFirst) firstShown = i;
  }
  if (visible.empty()) {
    selected = -1;
    firstShown = 0;
    return 0;
  }
  selected = std::max(0, std::min(selected, lastVisible));
  firstShown = std::max(0, std::min(firstShown, selected));
  return (int)visible.size();
}
