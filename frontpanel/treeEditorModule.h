/*
** treeEditorModule: the menu editor on the front panel (the default LCD
** mode of doVA.x).  It paints the editor's rows on the 4x20 display through
** LCD4x20, turns the display's key events into editor keys, keeps the
** start-up log the panel shows until the menu is ready, drives the four
** LEDs from status lines 0..3, hands front-panel settings (322..326) to the
** display's adjustment screens and writes the display's boot text.
**
**   openDisplay  find the display; 0 ok, 1 "LCD Init Fail", 2 stopped
**                while searching (link().setStopFlag)
**   init         open if needed, build the tree (front-panel table as the
**                second table); the tree build result
**   service      -2 display lost, 1 configuration changes pending, 0 not
**
** Key events of the display and the editor keys they become:
**   1..5 up/down/left/right/select  UP, DOWN, LEFT, RIGHT, ENTER
**   6 X pressed HELP, 12 X released alone ESCAPE
**   13..17 X+up/down/left/right/select  UP5, BACKSPACE, DELETE, INSERT, AUX
**   24 X released after a combination  REDRAW
*/
#ifndef FRONTPANEL_TREEEDITORMODULE_H
#define FRONTPANEL_TREEEDITORMODULE_H

#include <string>
#include <vector>

#include "diag/cppUtils.h"
#include "frontpanel/LCD4x20.h"
#include "menu/treeEditor.h"

class treeEditorModule : public treeEditor {
public:
  enum { LOG_LINES = 20 };
  treeEditorModule();
  ~treeEditorModule() override;

  int init(generic_cfg* cfg, const treeItemDef* mainTable, ErrTrcLog* errLog, int bodyRows,
           int headerRows, int footerRows, int columns, int* traceLevel, int frontEndWord,
           int accessLevel, const treeItemDef* secondTable) override;
  int paint() override;
  int service() override;
  void dispBootText(int row, const char* text, bool commit) override;
  void setLedPowerUp(int statusLine, int word, bool commit) override;
  void addLogLine(const char* text) override;
  int openDisplay(int rows, int columns, int* traceLevel, ErrTrcLog* errLog) override;
  void setStatusLine(int line, int status, bool longBlink) override;

  /* Editor key of a display event, 0 when the event is not a key. */
  static int editorKey(int event);
  /* LED colour of a status value: 0 -> 2, 1 -> 3, anything else -> 1. */
  static int statusColour(int status);

  bool logShown() const { return logDisplay; }
  int logCount() const { return (int)logLines.size(); }
  const char* logLine(int i) const;
  LCD4x20& link() { return lcd; }

private:
  void paintLog();
  void paintMenu();
  void logKey(int event);
  int handleEvent(int event, bool* keyHandled);
  void takeSpecialAction();
  void updateLeds();
  int visibleLogStart() const;

  LCD4x20 lcd;
  bool opened, initDone, initialised;
  std::vector<std::string> logLines;
  int logOffset;      /* first line shown; -1 follows the newest */
  bool logDisplay;
  bool logDirty;      /* the log must be repainted */
  int logRows;
  bool cursorOn;
  int cursorRow, cursorCol;
  deadlineTimer logTimer;
  kvTimeStamp created;
  bool forcedRefresh;
  int logCols;
  struct ledLine {
    int status;
    bool blink;
    deadlineTimer timer;
  };
  ledLine lines[4];
  deadlineTimer statusTimer;
};

#endif
