/*
** What the menu editor reads from a configuration item, in one place:
** the choice list in ascending value order, units, help, and the value as
** the operator sees it.  Keeps the tree and the edit control free of the
** item classes' field layout.
*/
#ifndef MENU_CFGACCESS_H
#define MENU_CFGACCESS_H

#include "config/dataItem.h"
#include "config/genericConfig.h"

#include <vector>

struct treeChoice {
  int value;
  const char* text;
};

/* Choices in ascending value order (empty when the item has none). */
void cfgItemChoices(const data_itm_Base* item, std::vector<treeChoice>* out);
const char* cfgItemUnits(const data_itm_Base* item);  /* "" when none */
/* The item's help text, else its description, else null. */
const char* cfgItemHelp(const data_itm_Base* item);
/* The value in the item's own format, no units; returns its length. */
int cfgItemValueText(data_itm_Base* item, char* buf, int size);
/* The text of a text item (type 8), else "". */
const char* cfgItemString(data_itm_Base* item);

#endif
