/*
** treeEditor: construction, building the tree from the definition tables
** and the row buffers.
*/
#include "menu/treeEditor.h"

#include "config/genericConfig.h"
#include "diag/ErrTrcLog.h"
#include "diag/trace.h"

#include <cstdio>
#include <cstring>

const char* const treeAccessLevelNames[5] = {"View Only", "Basic Edit", "Full Edit", "Factory 1",
                                             "Factory 2"};

int treeNormalizeKey(int key) {
  if (key >= 32 && key <= 127) return key;
  if (key == treeKEY_DELETE_ALT) return treeKEY_DELETE;
  if (key == treeKEY_INSERT_ALT) return treeKEY_INSERT;
  if (key == treeKEY_BACKSPACE_ALT) return treeKEY_BACKSPACE;
  if (key >= treeKEY_UP && key <= treeKEY_REDRAW) return key;
  return 0;
}

namespace {
/* Status screens read a few items (GPS time, Ethernet modes) as integers. */
int readCfgItem(void* ctx, int itemId) {
  data_itm_Base* it = static_cast<generic_cfg*>(ctx)->getItem(itemId);
  return it ? it->intValue() : 0;
}
const treeItemDef ROOT_ROW = {-1, -1, tit_MENU, 0, "Top Level", "Top Level", nullptr};
const int DEFAULT_DISPLAY_CHARS[treeEditor::DISPLAY_CHARS] = {'^', 'v', '<', '>', '^',
                                                              0,   'v', 0,   '<', '>'};
}  // namespace

treeEditor::treeEditor()
    : screenChanged(false), cfg(nullptr), pErrLog(nullptr), pTraceLevel(nullptr), root(nullptr),
      current(nullptr), nItems(0), accessLvl(tal_FULL_EDIT), totalRows(0), bodyRows(0),
      headerRows(0), footerRows(0), columns(0), dispMode(tdm_MENU), cursorState(MC_BROWSE),
      editHint(" ('SELECT' to edit)"), fillChar(' '), markerChar1('~'), markerChar2('.'),
      saveChar(0), cancelChar(0), saveName("Enter"), quitName("Esc"), band(0), labelWidth(0),
      boxShown(false), boxDone(nullptr), boxUser(nullptr), pendingAction(0), lastChange{0, 0},
      helpScroll(0), updateFn(nullptr), updateCtx(nullptr), updateStep(0),
      updateFinished(false), updateScroll(0) {
  strcpy(marker, ">");
  strcpy(callSign, "TORV");
  strcpy(labelFormat, "%0s: ");
  boxTitle[0] = boxText[0] = '\0';
  for (int i = 0; i < DISPLAY_CHARS; ++i) dispChars[i] = DEFAULT_DISPLAY_CHARS[i];
  for (int i = 0; i < MAX_ROWS; ++i) {
    rows[i] = shadow[i] = nullptr;
    changedFrom[i] = -1;
  }
  edit.setDisplayChars(dispChars);
}

treeEditor::~treeEditor() {
  delete root;
  freeRows();
}

/* Base versions of the front-end operations that only some front ends have. */
void treeEditor::dispBootText(int, const char*, bool) {}
void treeEditor::setLedPowerUp(int, int, bool) {}
void treeEditor::idleHook() {}
void treeEditor::addLogLine(const char*) {}
int treeEditor::openDisplay(int, int, int*, ErrTrcLog*) { return 0; }

/* Errors of the tree build are reported as TreeEditInitBase's, wherever
** the row check sits: the log line names the operation the owner called. */
int treeEditor::initError(const char* message, const treeItemDef& row, int line) {
  const char* label = row.longLabel ? row.longLabel : (row.shortLabel ? row.shortLabel : "");
  reportError(pErrLog, 3, 21001, "treeEdit", "TreeEditInitBase", line,
              "Error in tree edit init: %s. Item='%s' ID=%i", message, label, row.itemID);
  return 1;
}

treeItem* treeEditor::makeItem(const treeItemDef& row) {
  treeItem* item = new treeItem;
  data_itm_Base* data = nullptr;
  if ((row.kind == tit_EDIT || row.kind == tit_VIEW) && cfg) data = cfg->getItem(row.itemID);
  if (!item->fill(row, data)) {
    delete item;
    return nullptr;
  }
  return item;
}

/* Check one row in the documented order; 0 added, 1 rejected. */
int treeEditor::addRow(const treeItemDef& row) {
  const char* label = row.longLabel ? row.longLabel : "";
  TRACE(pTraceLevel, 3, "Adding %s  it=%i  parent=%i\n", label, row.itemID, row.parentItemID);
  if (row.itemID < 0) {
    reportError(pErrLog, 3, 21003, "treeEdit", "TreeEditInitBase", __LINE__,
                "Tree item list must end with itemID=-1 and parentItemID=-1");
    return 1;
  }
  auto pit = navMap.find(row.parentItemID);
  if (pit == navMap.end()) return initError("Parent item does not exist", row, __LINE__);
  treeItem* parent = pit->second;
  if (parent->hasChild(row.itemID))
    return initError("Parent already contains this item", row, __LINE__);
  bool special = false;
  switch (row.kind) {
    case tit_EDIT:
    case tit_VIEW:
      if (cfg == nullptr || cfg->getItem(row.itemID) == nullptr)
        return initError("Not a registered / subscribed to item", row, __LINE__);
      break;
    case tit_MENU:
      if (navMap.count(row.itemID))
        return initError("Navigation item appears more than once", row, __LINE__);
      break;
    case tit_SPECIAL:
    case tit_SPECIAL_TEXT:
      if (row.kind != tit_SPECIAL_TEXT &&
          (row.itemID <= treeITM_SPECIAL_START || row.itemID >= treeITM_SPECIAL_END))
        return initError(
            "'Special' edit items must be between treeITM_SPECIAL_START and treeITM_SPECIAL_END",
            row, __LINE__);
      if (!(row.kind == tit_SPECIAL && row.itemID >= treeITM_ACTION_FIRST &&
            row.itemID <= treeITM_ACTION_LAST)) {
        int h = row.itemID - treeITM_SCREEN_FIRST;
        if (h < 0 || h > 15 || h == 10)
          return initError("Special handler does not exist for item", row, __LINE__);
        TRACE(pTraceLevel, 1, "Init special item %i\n", row.itemID);
        special = true;
      }
      break;
    default:
      return initError("Error in data init structure", row, __LINE__);
  }
  treeItem* item = makeItem(row);
  if (item == nullptr)
    return initError(row.kind >= tit_SPECIAL ? "Error in special item init structure"
                                             : "Error in data init structure",
                     row, __LINE__);
  item->special = special;
  parent->addChild(item);
  if (row.kind == tit_MENU) navMap[row.itemID] = item;
  ++nItems;
  return 0;
}

int treeEditor::buildTable(const treeItemDef* table) {
  if (table == nullptr) return 0;
  for (int i = 0;; ++i) {
    const treeItemDef& row = table[i];
    if (row.parentItemID == -1 && row.itemID == -1) return 0;
    if (addRow(row)) return 1;
  }
}

int treeEditor::TreeEditInitBase(generic_cfg* c, const treeItemDef* mainTable, ErrTrcLog* errLog,
                                 int body, int header, int footer, int cols, int* traceLevel,
                                 int /*frontEndWord*/, int level, const treeItemDef* second) {
  cfg = c;
  pErrLog = errLog;
  pTraceLevel = traceLevel;
  screens.pTraceLevel = traceLevel;
  if (cfg) screens.setItemReader(readCfgItem, cfg);
  accessLvl = level < tal_VIEW_ONLY ? tal_VIEW_ONLY : level > tal_FACTORY_2 ? tal_FACTORY_2 : level;
  nItems = 0;
  delete root;
  navMap.clear();
  root = makeItem(ROOT_ROW);
  if (root == nullptr) {
    reportError(pErrLog, 3, 21002, "treeEdit", "TreeEditInitBase", __LINE__,
                "Cannot initialize root menu item");
    return 1;
  }
  navMap[-1] = root;
  nItems = 1;
  current = root;
  if (buildTable(mainTable) || buildTable(second)) return 1;
  for (auto& kv : navMap) kv.second->setAccessLevel(accessLvl);
  dispMode = tdm_MENU;
  cursorState = MC_BROWSE;
  headerRows = header < 0 ? 0 : header;
  bodyRows = body < 1 ? 1 : body;
  footerRows = footer < 0 ? 0 : footer;
  if (headerRows + bodyRows + footerRows > MAX_ROWS) bodyRows = MAX_ROWS - headerRows - footerRows;
  columns = cols < 1 ? 1 : cols > MAX_COLS ? MAX_COLS : cols;
  allocRows();
  return 0;
}

void treeEditor::allocRows() {
  freeRows();
  totalRows = headerRows + bodyRows + footerRows;
  for (int r = 0; r < totalRows; ++r) {
    rows[r] = new char[ROW_BYTES];
    shadow[r] = new char[ROW_BYTES];
    memset(rows[r], ' ', MAX_COLS);
    rows[r][columns] = '\0';
    memcpy(shadow[r], rows[r], ROW_BYTES);
    changedFrom[r] = 0;
  }
  screenChanged = true;
}

void treeEditor::freeRows() {
  for (int r = 0; r < MAX_ROWS; ++r) {
    delete[] rows[r];
    delete[] shadow[r];
    rows[r] = shadow[r] = nullptr;
  }
  totalRows = 0;
}

void treeEditor::setAccessLevel(int level) {
  if (level < tal_VIEW_ONLY || level > tal_FACTORY_2) return;
  accessLvl = level;
  for (auto& kv : navMap) kv.second->setAccessLevel(level);
  markAllChanged();
}

treeItem* treeEditor::findNavItem(int id) const {
  auto it = navMap.find(id);
  return it == navMap.end() ? nullptr : it->second;
}
