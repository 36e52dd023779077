/*
** treeItem: one node of the menu tree, made from one definition row (or
** the root).  It keeps its children in table order and, separately, the
** children the current access level lets the operator see, together with
** the browsing state of that list (selected line, first line shown).
**
** Levels propagate upward when a child is added: a menu is visible as
** soon as any of its descendants is.
*/
#ifndef MENU_TREEITEM_H
#define MENU_TREEITEM_H

#include "menu/treeDefs.h"
#include "menu/cfgAccess.h"

#include <vector>

class treeItem {
public:
  enum { LABEL_COUNT = 4, LBL_SHORT = 1, LBL_LONG = 2 };

  treeItem();
  virtual ~treeItem();   /* deletes the children */
  treeItem(const treeItem&) = delete;
  treeItem& operator=(const treeItem&) = delete;

  /* Rebuild the visible children for `accessLevel` (only when it differs
  ** from the level last used), keeping the selected and first-shown lines on
  ** the same children where they stay visible.  Returns the visible count;
  ** a leaf returns 0. */
  virtual int setAccessLevel(int accessLevel);

  /* Copy a definition row; bind `data` for kinds 1 and 2 (its choices,
  ** units and, when the row has none, its help text).  Returns 1, or 0 when
  ** a data-bound kind comes without data. */
  int fill(const treeItemDef& row, data_itm_Base* data);

  /* Append in table order, lower the ancestors' levels to the child's and
  ** widen the label maxima.  Takes ownership. */
  void addChild(treeItem* child);
  bool hasChild(int id) const;

  int visibleCount() const { return (int)visible.size(); }
  treeItem* visibleChild(int i) const;
  treeItem* selectedChild() const { return visibleChild(selected); }
  const char* shortLabel() const { return labels[LBL_SHORT]; }
  const char* longLabel() const { return labels[LBL_LONG]; }
  bool isAction() const {
    return kind == tit_SPECIAL && itemID >= treeITM_ACTION_FIRST && itemID <= treeITM_ACTION_LAST;
  }

  int itemID;
  int parentItemID;
  int kind;
  bool dataBound;
  int level;
  const char* labels[LABEL_COUNT];   /* 0 and 3 stay empty */
  const char* helpText;
  data_itm_Base* data;
  std::vector<treeChoice> choices;   /* ascending value order */
  const char* units;
  treeItem* parent;
  std::vector<treeItem*> children;   /* owned, table order */
  std::vector<treeItem*> visible;
  int selected;       /* index into visible, -1 = none */
  int firstShown;     /* first visible child on screen */
  int lastVisible;    /* visible.size() - 1 */
  int labelWidth[LABEL_COUNT];
  bool special;       /* made by the special-handler path: screen paging */

private:
  void lowerAncestorLevels(int childLevel);
  int levelUsed;      /* -1 = never built */
};

#endif
