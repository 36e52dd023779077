/*
** treeEditorCnsl: the menu editor in a text terminal (the "-mc" console
** window of doVA.x).
**
** It paints the editor's rows from a menu column on, shows up to eight
** status lines at the left edge (a coloured 4-character indicator, or a
** label and a 7-character indicator when the owner switched labels on),
** and turns terminal keys into editor key codes (cnslMapKey).  Only the
** terminal types "xterm" and "vt100" are driven; any other TERM is refused
** with a message and init fails.
**
**   init           build the tree, check TERM, start ncurses and colours,
**                  raw mode, first paint, terminal settings, blink timer;
**                  0 ok, 1 tree build failed or terminal refused
**   service        keys, change poll, refresh, paint; 1 when configuration
**                  changes are pending, 0 otherwise, -1 when not started
**   setStatusLine  line 0..7, value (0 ok, 1 warning, 2 error, other
**                  unknown), long blink (until the next change, else 10 s)
**   destruction    leaves raw mode and ends ncurses
**
** A terminal smaller than the display asked for shrinks the display to
** what fits (at least 2 x 16 from the menu column on) and grows it back up
** to the asked size when resized; a window too small for even that shows
** the size it needs until it grows.  Glyph codes of the panel (the tick 2
** and the cross 1 of the update box) are drawn as 'V' and 'X', one cell.
**
** Screen layout (terminal rows = editor rows; status line n on row n):
**
**   col 0  1..4   5 (menu column, no labels)
**       |  " ok " | " MAIN MENU  TORV-   FM"
**   col 1: "%9s: " label, indicator "OK     " from label width + 3, menu
**          column = longest label + 10
*/
#ifndef CONSOLE_TREEEDITORCNSL_H
#define CONSOLE_TREEEDITORCNSL_H

#include <string>

#include "diag/cppUtils.h"
#include "menu/treeEditor.h"

class cnslTerminal;

class treeEditorCnsl : public treeEditor {
public:
  enum { STATUS_OK = 0, STATUS_WARN = 1, STATUS_ERROR = 2 };

  /* terminal: the screen to drive (owned); null = the real ncurses one. */
  explicit treeEditorCnsl(cnslTerminal* terminal = nullptr);
  ~treeEditorCnsl() override;

  int init(generic_cfg* cfg, const treeItemDef* mainTable, ErrTrcLog* errLog, int bodyRows,
           int headerRows, int footerRows, int columns, int* traceLevel, int frontEndWord,
           int accessLevel, const treeItemDef* secondTable) override;
  int paint() override;
  int service() override;
  void setStatusLine(int line, int status, bool longBlink) override;

  /* The owner's "-sl": labels in front of the indicators. */
  void setShowLabels(bool on) { showLabels = on; }
  bool labelsShown() const { return showLabels; }
  /* Column the menu rows are printed from: 5, or longest label + 10. */
  int menuColumn() const;
  bool rawModeOn() const { return rawOn; }
  bool coloursOn() const { return colours; }
  bool started() const { return running; }
  /* A status line's indicator blinks now (its timer runs). */
  bool lineBlinking(int line) const;
  /* How long a status change blinks (10 s); tests shorten it. */
  void setBlinkSeconds(float seconds) { blinkSeconds = seconds; }

  /* TERM check: exactly "xterm" or "vt100". */
  static bool terminalSupported(const char* term);
  /* Indicator text of a status value: 4 characters (" ?? " + " " for an
  ** unknown value) without labels, 7 ("xxxxxxx" + " ") with labels. */
  static const char* indicatorText(int status, bool labels);
  static int indicatorPair(int status);

private:
  struct statusLine {
    bool defined;
    int value;
    bool blink;
    deadlineTimer timer;
  };
  void setRawMode(bool on);
  void applyTerminalSettings();
  void paintRows(int menuCol);
  void paintStatusLines();
  void paintStatusLine(int line);
  void placeCursor(int menuCol);
  void blinkTick();
  int readKeys();
  void skipSequence(int introducer);
  bool fitToTerminal(int fixedRows, int* body, int* cols);
  void refit();
  void showTooSmall();
  std::string tooSmallText() const;

  cnslTerminal* term;
  bool running;       /* ncurses started by init */
  bool rawOn;
  bool colours;
  bool showLabels;
  bool forcedRefresh;
  deadlineTimer blinkTimer;  /* 0.5 s: blink phase and status repaint */
  bool darkPhase;
  bool statusDue;     /* the blink timer expired: repaint the status lines */
  bool anyBlink;
  float blinkSeconds;
  int paintedColumn;  /* menu column of the last paint, -1 before it */
  int askedBody, askedColumns;  /* the display the owner asked for */
  int fittedColumn;   /* menu column the display size was fitted for */
  bool resizePending; /* the terminal was resized: fit again */
  bool tooSmall;      /* the window shows the size it needs, not the menu */
  statusLine lines[STATUS_LINES];
};

#endif
