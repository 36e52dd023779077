/*
** Names the menu tree editor shares with its front ends and with the
** console unit: editor key codes, item kinds, access levels, the special
** ID ranges and the row layout of a menu definition table.
**
** A front end translates its own keys (LCD key frames, ncurses codes) into
** the treeKEY_ codes below; printable characters 32..127 pass unchanged.
*/
#ifndef MENU_TREEDEFS_H
#define MENU_TREEDEFS_H

/* Editor key codes.  4110..4112 are second codes some front ends send for
** delete, insert and backspace; they act exactly as their first codes. */
enum treeKeyCode {
  treeKEY_UP = 4097,
  treeKEY_UP5 = 4098,
  treeKEY_DOWN = 4099,
  treeKEY_BACKSPACE = 4100,
  treeKEY_LEFT = 4101,
  treeKEY_DELETE = 4102,
  treeKEY_RIGHT = 4103,
  treeKEY_INSERT = 4104,
  treeKEY_ENTER = 4105,
  treeKEY_AUX = 4106,
  treeKEY_HELP = 4107,
  treeKEY_ESCAPE = 4108,
  treeKEY_REDRAW = 4109,
  treeKEY_DELETE_ALT = 4110,
  treeKEY_INSERT_ALT = 4111,
  treeKEY_BACKSPACE_ALT = 4112
};

/* Fold the alternative codes onto their first codes; anything that is not
** a printable character or a known code becomes 0 (ignored everywhere). */
int treeNormalizeKey(int key);

/* Kind of a menu item (column 2 of a definition row). */
enum treeItemType {
  tit_MENU = 0,          /* navigation node with children */
  tit_EDIT = 1,          /* bound to a configuration item, editable */
  tit_VIEW = 2,          /* bound to a configuration item, shown only */
  tit_SPECIAL = 3,       /* live status screen or front-panel setting */
  tit_SPECIAL_TEXT = 4   /* scrolling text screen */
};

/* Display modes of the editor: the current item's kind, except editing. */
enum treeDisplayMode {
  tdm_MENU = 0,
  tdm_EDIT = 1,
  tdm_VIEW = 2,
  tdm_SPECIAL = 3,
  tdm_TEXT = 4
};

/* Access levels: an item is listed when its level is not above the
** editor's.  The console unit runs at level 2. */
enum treeAccessLevel {
  tal_VIEW_ONLY = 0,
  tal_BASIC_EDIT = 1,
  tal_FULL_EDIT = 2,
  tal_FACTORY_1 = 3,
  tal_FACTORY_2 = 4
};
extern const char* const treeAccessLevelNames[5]; /* "View Only" .. "Factory 2" */

/* ID ranges: configuration items below 320, specials strictly between the
** two bounds, navigation nodes from 347 on. */
enum {
  treeITM_CONFIG_END = 320,
  treeITM_SPECIAL_START = 319,
  treeITM_SPECIAL_END = 346,
  treeITM_NAV_START = 347,
  treeITM_ACTION_FIRST = 322,   /* front-panel settings handed to the front end */
  treeITM_ACTION_LAST = 328,
  treeITM_SCREEN_FIRST = 330    /* status screen handlers 330..345 */
};

/* Special item IDs with a screen. */
enum {
  treeSCR_DIGITAL_LEVELS = 330,
  treeSCR_ANALOG_LEVELS = 331,
  treeSCR_GPS = 334,
  treeSCR_DATE_TIME = 335,
  treeSCR_VERSION = 336,
  treeSCR_SW_UPDATE = 337,
  treeSCR_AUDIO_STATUS = 339,
  treeSCR_DELAY_MONITOR = 341,
  treeSCR_ETH0 = 342,
  treeSCR_ETH1 = 343,
  treeSCR_ALARMS = 345
};

/* One row of a menu definition table.  A table ends with a row whose
** parentItemID and itemID are both -1.  An empty label takes the other. */
struct treeItemDef {
  int parentItemID;        /* -1 = top level */
  int itemID;              /* configuration, special or navigation ID */
  int kind;                /* treeItemType */
  int level;               /* lowest access level that lists the item */
  const char* shortLabel;  /* upper case; header of the menu it opens */
  const char* longLabel;   /* mixed case; menu lines, value view, messages */
  const char* helpText;    /* null: the bound configuration item's help */
};

#endif
