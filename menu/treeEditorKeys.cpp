/*
** treeEditor: what each key does in each display mode.
**
** Menu mode has two sub-states: browsing the visible children, and the
** value view of the selected child (plus the help view that treeKEY_AUX
** opens from the value view).  Editing hands keys to the edit control;
** status screens page between special siblings; text screens scroll.
** A message box swallows every key but Enter and Help.
*/
#include "menu/treeEditor.h"

#include "diag/trace.h"

#include <cstring>

namespace {
bool isData(const treeItem* it) { return it && (it->kind == tit_EDIT || it->kind == tit_VIEW); }
}  // namespace

int treeEditor::processKey(int rawKey) {
  int key = treeNormalizeKey(rawKey);
  if (key == 0 || root == nullptr || totalRows == 0) return 0;
  if (boxShown) return messageBoxKey(key);
  switch (dispMode) {
    case tdm_EDIT: return editKey(key);
    case tdm_VIEW: return viewKey(key);
    case tdm_SPECIAL: return specialKey(key);
    case tdm_TEXT: return textScreenKey(key);
    default: break;
  }
  if (cursorState == MC_HELP) return helpKey(key);
  return menuKey(key);
}

int treeEditor::messageBoxKey(int key) {
  if (key != treeKEY_ENTER && key != treeKEY_HELP) return 0;
  boxShown = false;
  if (!boxSaved.empty()) {
    for (int r = 0; r < totalRows && r < (int)boxSaved.size(); ++r) {
      memcpy(rows[r], boxSaved[r].data(), columns);
      somethingChanged(r, 0);
    }
    boxSaved.clear();
  }
  markAllChanged();
  /* A completion answers one box: an alert shown later must not run the
  ** power-down answer again.  It may show the next box itself. */
  treeMsgBoxDone done = boxDone;
  boxDone = nullptr;
  if (done) done(this, key == treeKEY_ENTER);
  return 1;
}

/* Selection moves by one; in the value view only onto data children. */
int treeEditor::moveSelection(int step, bool dataOnly) {
  treeItem* menu = current;
  int n = menu->visibleCount();
  int i = menu->selected + step;
  while (i >= 0 && i < n && dataOnly && !isData(menu->visibleChild(i))) i += step;
  if (i < 0 || i >= n) return 0;
  menu->selected = i;
  return 1;
}

/* Leaving the update screen after the update finished: entering it again
** asks for confirmation again. */
static void resetFinishedUpdate(treeItem* leaving, bool* finished, int* step) {
  if (*finished && leaving && leaving->itemID == treeSCR_SW_UPDATE) {
    *step = 0;
    *finished = false;
  }
}

int treeEditor::enterItem(treeItem* item) {
  if (item == current) return 0;
  resetFinishedUpdate(current, &updateFinished, &updateStep);
  current = item;
  dispMode = item->kind;
  item->setAccessLevel(accessLvl);
  if (item->kind == tit_SPECIAL || item->kind == tit_SPECIAL_TEXT) screens.enterScreen(item->itemID);
  if (item->itemID == treeSCR_SW_UPDATE) updateScroll = 0;
  markAllChanged();
  return 1;
}

int treeEditor::goUp() {
  if (current == nullptr || current->parent == nullptr) return 0;
  treeItem* p = current->parent;
  resetFinishedUpdate(current, &updateFinished, &updateStep);
  current = p;
  dispMode = p->kind;
  p->setAccessLevel(accessLvl);
  markAllChanged();
  return 1;
}

int treeEditor::openTarget(treeItem* target) {
  if (target == nullptr) return 0;
  if (target->isAction()) {
    TRACE(pTraceLevel, 1, "SPECIAL ACTION is ---------   %i\n", target->itemID);
    pendingAction = target->itemID;
    return 0;
  }
  if (target->kind == tit_SPECIAL || target->kind == tit_SPECIAL_TEXT) return enterItem(target);
  if (target->kind == tit_MENU && target->setAccessLevel(accessLvl) > 0) {
    cursorState = MC_BROWSE;
    return enterItem(target);
  }
  if (cursorState == MC_VALUE) return 0;
  cursorState = MC_VALUE;
  return 1;
}

int treeEditor::menuKey(int key) {
  treeItem* sel = current->selectedChild();
  switch (key) {
    case treeKEY_UP: return moveSelection(-1, cursorState == MC_VALUE);
    case treeKEY_DOWN: return moveSelection(1, cursorState == MC_VALUE);
    case treeKEY_LEFT:
      if (cursorState == MC_VALUE) {
        cursorState = MC_BROWSE;
        return 1;
      }
      return goUp();
    case treeKEY_RIGHT: return openTarget(sel);
    case treeKEY_ESCAPE: {
      int moved = cursorState != MC_BROWSE;
      cursorState = MC_BROWSE;
      if (current != root) {
        resetFinishedUpdate(current, &updateFinished, &updateStep);
        current = root;
        dispMode = tdm_MENU;
        root->setAccessLevel(accessLvl);
        moved = 1;
      }
      if (moved) markAllChanged();
      return moved;
    }
    case treeKEY_ENTER:
      if (cursorState != MC_VALUE || sel == nullptr || sel->kind != tit_EDIT) return 0;
      edit.setDisplayChars(dispChars);
      snapshotBody();
      if (!edit.editControlInit(cfg, sel, rows + headerRows, bodyRows, columns, pErrLog, saveChar,
                                cancelChar, saveName.c_str(), quitName.c_str()))
        return 1;   /* refused: the value view stays */
      dispMode = tdm_EDIT;
      markBodyDiffs();
      return 1;
    case treeKEY_AUX:
      if (cursorState == MC_VALUE && isData(sel)) return openHelp();
      return 0;
    default: return 0;
  }
}

int treeEditor::editKey(int key) {
  snapshotBody();
  int r = edit.processKey(key);
  markBodyDiffs();
  if (r == treeEditControl::ER_CANCELLED || r == treeEditControl::ER_SAVED) {
    dispMode = tdm_MENU;
    cursorState = MC_VALUE;
    if (edit.item) queueChanged(edit.item->itemID);
    markAllChanged();
  }
  return 1;
}

int treeEditor::viewKey(int key) {
  if (key == treeKEY_UP || key == treeKEY_DOWN) {
    /* show the neighbouring data item in the parent's value view */
    treeItem* p = current->parent;
    if (p == nullptr) return 0;
    goUp();
    cursorState = MC_VALUE;
    moveSelection(key == treeKEY_UP ? -1 : 1, true);
    return 1;
  }
  if (key == treeKEY_LEFT || key == treeKEY_ESCAPE) return goUp();
  return 0;
}

int treeEditor::specialKey(int key) {
  if (key == treeKEY_RIGHT) return 0;
  if (key == treeKEY_UP || key == treeKEY_DOWN) {
    treeItem* p = current->parent;
    if (p == nullptr) return 0;
    int step = key == treeKEY_UP ? -1 : 1;
    int i = -1;
    for (int k = 0; k < p->visibleCount(); ++k)
      if (p->visibleChild(k) == current) i = k;
    for (i += step; i >= 0 && i < p->visibleCount(); i += step) {
      treeItem* s = p->visibleChild(i);
      if (s->special) {
        p->selected = i;
        return enterItem(s);
      }
    }
    return 0;
  }
  return goUp();
}

int treeEditor::textScreenKey(int key) {
  if (key == treeKEY_RIGHT) return 0;
  if ((key == treeKEY_UP || key == treeKEY_DOWN) && current->itemID == treeSCR_SW_UPDATE) {
    int r = updateScrollKey(key);
    if (r > 0) markAllChanged();
    return r;
  }
  if (key == treeKEY_UP || key == treeKEY_DOWN) {
    int r = screens.scrollKey(key, bodyRows, columns);
    if (r >= 0) {
      if (r > 0) markAllChanged();
      return r;
    }
  }
  return goUp();
}

int treeEditor::takePendingAction() {
  int a = pendingAction;
  pendingAction = 0;
  return a;
}

bool treeEditor::editCursor(int* row, int* column) const {
  if (dispMode != tdm_EDIT || boxShown) return false;
  int r, c;
  if (!edit.cursor(&r, &c)) return false;
  *row = headerRows + r;
  *column = c;
  return true;
}
