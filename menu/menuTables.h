/*
** The menu definition tables of the console unit: the main menu (settings,
** status, maintenance) and the front-panel settings menu that is appended
** only when the front-panel module runs.
**
** Both are arrays of treeItemDef ended by the (-1, -1) row, ready for
** treeEditor::init.  The 32 SIS schedule rows of the main menu are written
** once, from their rule, the first time the table is asked for.
*/
#ifndef MENU_MENUTABLES_H
#define MENU_MENUTABLES_H

#include "menu/treeDefs.h"

/* The main table (fixed rows plus the generated schedule rows).  The array
** is built on the first call and lives for the process. */
const treeItemDef* treeMainMenuTable();
int treeMainMenuRowCount();   /* rows before the terminator */

/* The front-panel table: "LCD Settings" and its five settings. */
extern const treeItemDef treeFrontPanelMenuTable[];

#endif
