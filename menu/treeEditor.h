/*
** treeEditor: the front-end-independent menu of the console unit.
**
** It builds the menu tree from definition tables (menuTables.h), binds the
** leaves to configuration items, keeps one text buffer per display row
** and turns editor key codes (treeDefs.h) into movements through the tree,
** item edits (editControl.h), status screens (statusScreens.h) and
** front-panel actions.  A front end derives from it, implements init,
** paint, service and setStatusLine, and only:
**   - sets its display characters, markers and key names (setters below);
**   - feeds keys to processKey() and polls takePendingAction();
**   - calls pollChanges() and refresh() when something happened;
**   - paints the rows that takeRowChange() reports, and puts its cursor
**     where editCursor() says.
**
** Rows: header rows first, then body rows, then footer rows; each row is a
** 301-byte buffer, blank-filled, terminated at the column count (at most
** 300).  A row is repainted from the smallest column marked changed since
** the last paint (-1: unchanged).
**
** Results: processKey returns 1 when the screen must be redrawn, 0 when
** the key did nothing.  init/TreeEditInitBase return 0, or 1 on the first
** bad table row (errors 21001..21003, module "treeEdit").
*/
#ifndef MENU_TREEEDITOR_H
#define MENU_TREEEDITOR_H

#include "menu/editControl.h"
#include "menu/statusScreens.h"
#include "menu/treeDefs.h"
#include "menu/treeItem.h"

#include <map>
#include <string>
#include <vector>

class ErrTrcLog;
class generic_cfg;
class treeEditor;

/* Completion of a message box: yes = closed with treeKEY_ENTER. */
typedef void (*treeMsgBoxDone)(treeEditor* editor, bool yes);
/* One step of the software update screen: runs step *step, may change it,
** writes the screen text into text (NUL-terminated, at most textSize). */
typedef int (*treeUpdateStepFn)(void* ctx, int* step, char* text, int textSize);

class treeEditor {
public:
  enum {
    MAX_COLS = 300,
    ROW_BYTES = MAX_COLS + 1,
    MAX_ROWS = 64,
    DISPLAY_CHARS = 10,
    STATUS_LINES = 8,
    MSG_TITLE_MAX = 19,
    MSG_TEXT_MAX = 62,
    MSG_WIDTH = 20,
    MARKER_MAX = 4
  };
  /* Display character indices. */
  enum { DC_MORE_ABOVE = 0, DC_MORE_BELOW = 1, DC_DELETE = 2, DC_INSERT = 3 };
  /* Menu cursor sub-states. */
  enum { MC_BROWSE = 0, MC_VALUE = 1, MC_HELP = 2 };

  treeEditor();
  virtual ~treeEditor();
  treeEditor(const treeEditor&) = delete;
  treeEditor& operator=(const treeEditor&) = delete;

  /* ---- operations a front end implements or may override ----------- */
  virtual int init(generic_cfg* cfg, const treeItemDef* mainTable, ErrTrcLog* errLog,
                   int bodyRows, int headerRows, int footerRows, int columns, int* traceLevel,
                   int frontEndWord, int accessLevel, const treeItemDef* secondTable) = 0;
  virtual void refresh();
  virtual int paint() = 0;
  virtual int service() = 0;
  virtual int processKey(int key);
  virtual void dispBootText(int row, const char* text, bool commit);
  virtual void setLedPowerUp(int statusLine, int word, bool commit);
  virtual void idleHook();
  virtual void addLogLine(const char* text);
  virtual int openDisplay(int rows, int columns, int* traceLevel, ErrTrcLog* errLog);
  virtual void setStatusLine(int line, int status, bool longBlink) = 0;

  /* The common part of init: builds the tree and the rows. */
  int TreeEditInitBase(generic_cfg* cfg, const treeItemDef* mainTable, ErrTrcLog* errLog,
                       int bodyRows, int headerRows, int footerRows, int columns,
                       int* traceLevel, int frontEndWord, int accessLevel,
                       const treeItemDef* secondTable);

  /* Another display size (a terminal window resized): the rows come back
  ** blank, everything is recomposed and marked changed.  Refused (1) while
  ** an item is edited, since the edit control writes into the rows. */
  int resizeDisplay(int bodyRows, int columns);

  /* ---- rows ----------------------------------------------------------- */
  int rowCount() const { return totalRows; }
  int headerRowCount() const { return headerRows; }
  int bodyRowCount() const { return bodyRows; }
  int columnCount() const { return columns; }
  const char* rowText(int row) const;              /* "" outside the rows */
  int rowChangedFrom(int row) const;               /* -1 unchanged */
  /* Changed-from column of a row, unmarking it; -1 when unchanged. */
  int takeRowChange(int row);
  /* Mark `row` changed from `column`; an earlier mark wins.  A bad row is
  ** reported (21005, priority 4) and ignored. */
  void somethingChanged(int row, int column);
  void markAllChanged();
  bool screenChanged;                              /* any row marked */

  /* ---- state ---------------------------------------------------------- */
  int displayMode() const { return dispMode; }
  int menuCursorState() const { return cursorState; }
  treeItem* currentItem() const { return current; }
  treeItem* rootItem() const { return root; }
  treeItem* findNavItem(int id) const;
  int itemCount() const { return nItems; }
  int accessLevel() const { return accessLvl; }
  void setAccessLevel(int level);
  /* While a text field is being entered: its row (of all rows) and column. */
  bool editCursor(int* row, int* column) const;
  bool isEditing() const { return dispMode == tdm_EDIT; }
  bool textScreenShown() const { return dispMode == tdm_TEXT; }

  /* The front-panel action (322..328) the last key selected, cleared. */
  int takePendingAction();
  /* Move the configuration's changed items into the changed-item queue;
  ** returns the queue length (plus one when the current status screen
  ** has new data). */
  int pollChanges();
  int changedCount() const { return (int)changedIds.size(); }
  int changedItem(int k) const;  /* -1 outside the queue */
  void clearChanged() { changedIds.clear(); }
  void queueChanged(int id);

  /* ---- decorations ------------------------------------------------------ */
  void setBand(int am);                     /* 0 "FM", 1 "AM" */
  void setCallSign(const char* tag);        /* first 4 characters, "TORV" */
  /* Title (<= 19) and text (<= 62, lines split at '\n'); ignored while a
  ** box is shown.  Returns 1 when shown.  Enter or Help closes the box and
  ** calls the completion set for it (once: the next box starts without). */
  int showMessageBox(const char* title, const char* text);
  /* A confirmation: the box with its completion, which is set only when
  ** the box is shown (a dropped box never answers for the shown one). */
  int showMessageBox(const char* title, const char* text, treeMsgBoxDone done, void* user);
  bool messageBoxShown() const { return boxShown; }
  /* The completion of the box shown next (or of the one shown now). */
  void setMessageBoxCallback(treeMsgBoxDone done, void* user);
  void* messageBoxUser() const { return boxUser; }
  void setStatusLabel(int index, const char* text);
  const char* statusLabel(int index) const;
  const char* statusLabelFormat() const { return labelFormat; }  /* "%9s: " */
  int statusLabelWidth() const { return labelWidth; }            /* longest + 1 */
  /* Accepted only when shorter than 5 characters; 0 ok, 1 refused. */
  int setSelectionMarker(const char* text);

  void setDisplayChar(int index, int c);
  int displayChar(int index) const;
  void setFillChar(int c) { fillChar = (char)c; }
  void setMarkerChars(int first, int second);
  void setEditHint(const char* text);
  void setSaveCancelChars(int save, int cancel);
  void setKeyNames(const char* saveName, const char* quitName);

  /* Software update screen (337): the owner's step function. */
  void setUpdateStep(treeUpdateStepFn fn, void* ctx);
  int updateStepNumber() const { return updateStep; }
  /* Downloading (steps 3, 4) or installing (step 2): front ends force a
  ** refresh every 16th service call meanwhile (screens.forcedRefreshDue). */
  bool updateRunning() const { return updateStep == 2 || updateStep == 3 || updateStep == 4; }

  /* Status records and screens (setters and level glyphs live here). */
  statusScreens screens;

  generic_cfg* cfg;
  ErrTrcLog* pErrLog;
  int* pTraceLevel;

protected:
  /* Errors of the tree build: "Error in tree edit init: %s. Item='%s' ID=%i". */
  int initError(const char* message, const treeItemDef& row, int line);
  const char* rowPtr(int bodyRow) const { return rows[headerRows + bodyRow]; }

private:
  int buildTable(const treeItemDef* table);
  int addRow(const treeItemDef& row);
  treeItem* makeItem(const treeItemDef& row);
  void allocRows();
  void freeRows();

  /* keys */
  int menuKey(int key);
  int viewKey(int key);
  int specialKey(int key);
  int textScreenKey(int key);
  int editKey(int key);
  int helpKey(int key);
  int messageBoxKey(int key);
  int moveSelection(int step, bool dataOnly);
  int openTarget(treeItem* target);
  int enterItem(treeItem* item);
  int goUp();
  int openHelp();

  /* composition */
  void composeHeader();
  void composeBrowse();
  void composeValueView();
  void composeHelp();
  void composeSpecial();
  void composeUpdate(char* const* body);
  int updateScrollKey(int key);
  void composeMessageBox();
  void scrollWindow(treeItem* menu);
  void valueText(treeItem* item, char* out, int size);
  void putRow(int row, int column, const char* text, int maxLen);
  void blankRow(int row, char fill);
  void snapshotBody();
  void markBodyDiffs();
  bool dataNeighbour(treeItem* menu, int from, int step) const;

  /* tree */
  treeItem* root;
  std::map<int, treeItem*> navMap;
  treeItem* current;
  int nItems;
  int accessLvl;

  /* display */
  int totalRows, bodyRows, headerRows, footerRows, columns;
  char* rows[MAX_ROWS];
  char* shadow[MAX_ROWS];
  int changedFrom[MAX_ROWS];
  int dispMode;
  int cursorState;

  /* decorations */
  char marker[MARKER_MAX + 1];
  std::string editHint;
  int dispChars[DISPLAY_CHARS];
  char fillChar;
  char markerChar1, markerChar2;
  int saveChar, cancelChar;
  std::string saveName, quitName;
  int band;
  char callSign[5];
  std::string labels[STATUS_LINES];
  char labelFormat[16];
  int labelWidth;

  /* message box */
  bool boxShown;
  char boxTitle[MSG_TITLE_MAX + 1];
  char boxText[MSG_TEXT_MAX + 1];
  treeMsgBoxDone boxDone;
  void* boxUser;
  std::vector<std::string> boxSaved;   /* rows under a box shown while editing */

  /* edit, help, actions, changes */
  treeEditControl edit;
  int pendingAction;
  std::vector<int> changedIds;
  kvTimeStamp lastChange;
  std::vector<std::string> helpLines;
  int helpScroll;
  treeUpdateStepFn updateFn;
  void* updateCtx;
  int updateStep;
  bool updateFinished;
  int updateScroll;   /* first line shown on the update screen */
};

#endif
