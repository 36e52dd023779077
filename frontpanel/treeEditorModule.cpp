/*
** treeEditorModule: start-up log, key translation, painting and LEDs of
** the menu on the front panel (see treeEditorModule.h).
*/
#include "frontpanel/treeEditorModule.h"

#include <cstdio>
#include <cstring>

#include "diag/trace.h"

namespace {

const char MODULE[] = "treeEditModule";
const float LOG_SECONDS = 1.0f;
const float BLINK_SECONDS = 10.0f;
const float LONG_BLINK_SECONDS = 134217728.0f;
const float STATUS_TICK = 0.5f;
const int EVENTS_PER_SERVICE = 64;  /* a stuck line cannot hold the loop */
const int LOG_INDICATOR_COLUMN = 4;
const int CURSOR_SHOWN = 4;

/* Display event -> editor key, ended by event -1. */
const int keyMap[][2] = {
    {lcdEV_UP, treeKEY_UP},          {lcdEV_DOWN, treeKEY_DOWN},
    {lcdEV_LEFT, treeKEY_LEFT},      {lcdEV_RIGHT, treeKEY_RIGHT},
    {lcdEV_SELECT, treeKEY_ENTER},   {lcdEV_X, treeKEY_HELP},
    {lcdEV_X_ALONE, treeKEY_ESCAPE}, {13, treeKEY_UP5},
    {14, treeKEY_BACKSPACE},         {15, treeKEY_DELETE},
    {16, treeKEY_INSERT},            {17, treeKEY_AUX},
    {lcdEV_X_AFTER_COMBO, treeKEY_REDRAW}, {-1, 0},
};

/* Front-panel settings items and the display screen each one starts. */
const int actionScreens[][2] = {
    {322, lcdADJ_CONTRAST}, {323, lcdADJ_BACKLIGHT}, {324, lcdADJ_DIMMED},
    {325, lcdADJ_TIMEOUT},  {326, lcdADJ_LED},       {-1, 0},
};

/* The display's own character codes: up, down, left, right arrows. */
const int PANEL_DISPLAY_CHARS[treeEditor::DISPLAY_CHARS] = {222, 224, 225, 223, 222,
                                                            0,   224, 0,   18,  19};

}  // namespace

treeEditorModule::treeEditorModule()
    : opened(false), initDone(false), initialised(false), logOffset(-1), logDisplay(true),
      logDirty(false), logRows(LCD4x20::ROWS), cursorOn(false), cursorRow(-1), cursorCol(-1),
      forcedRefresh(false), logCols(LCD4x20::COLS) {
  getTimeStamp(&created);
  for (ledLine& l : lines) {
    l.status = 0;
    l.blink = false;
  }
  statusTimer.setPeriod(STATUS_TICK);
  statusTimer.restart();
}

treeEditorModule::~treeEditorModule() {}

int treeEditorModule::editorKey(int event) {
  for (int i = 0; keyMap[i][0] >= 0; ++i)
    if (keyMap[i][0] == event) return keyMap[i][1];
  return 0;
}

int treeEditorModule::statusColour(int status) {
  if (status == 0) return lcdLED_OK;
  if (status == 1) return lcdLED_WARN;
  return lcdLED_ERROR;
}

const char* treeEditorModule::logLine(int i) const {
  return (i >= 0 && i < (int)logLines.size()) ? logLines[i].c_str() : "";
}

/* ---- opening and initialisation ----------------------------------------- */

int treeEditorModule::openDisplay(int rows, int cols, int* traceLevel, ErrTrcLog* errLog) {
  pTraceLevel = traceLevel;
  pErrLog = errLog;
  logRows = rows < LCD4x20::ROWS ? rows : LCD4x20::ROWS;
  if (logRows < 1) logRows = 1;
  logCols = cols < LCD4x20::COLS ? cols : LCD4x20::COLS;
  int found = lcd.lcdInit(traceLevel, errLog);
  if (found == 2) return 2; /* stopped during the search: nothing to report */
  if (found != 0) {
    printf("tem: Error(s) initializing LCD display module\n");
    fflush(stdout);
    addLogLine("LCD Init Fail");
    return 1;
  }
  opened = true;
  for (int i = 0; i < LCD4x20::LEDS; ++i) lcd.setLed(i, lcdLED_OFF, false);
  for (int i = 0; i < DISPLAY_CHARS; ++i) setDisplayChar(i, PANEL_DISPLAY_CHARS[i]);
  screens.glyphs = ssFrontPanelMeter;
  logDirty = true;
  paint();
  return 0;
}

int treeEditorModule::init(generic_cfg* c, const treeItemDef* mainTable, ErrTrcLog* errLog,
                           int body, int header, int footer, int cols, int* traceLevel,
                           int word, int level, const treeItemDef* second) {
  pErrLog = errLog;
  pTraceLevel = traceLevel;
  TRACE(pTraceLevel, 1, "tem: Derived class (treeEditorModule) called\n");
  if (!opened && openDisplay(header + body + footer, cols, traceLevel, errLog) != 0) return 1;
  addLogLine("Tree Edit Init");
  int built = TreeEditInitBase(c, mainTable, errLog, body, header, footer, cols, traceLevel, word,
                               level, second);
  setSelectionMarker("\x10");
  if (built == 0) {
    logTimer.setPeriod(LOG_SECONDS);
    refresh();
    paint();
    initialised = true;
    setFillChar(148);
  }
  char hint[21];
  snprintf(hint, sizeof hint, " Press %c to EDIT", 2);
  setEditHint(hint);
  setSaveCancelChars(2, 1);
  initDone = true;
  addLogLine("Tree Init Done");
  logTimer.setPeriod(LOG_SECONDS);
  logTimer.restart();
  return built;
}

/* ---- service ------------------------------------------------------------ */

int treeEditorModule::service() {
  if (!opened) return 0;
  if (screens.forcedRefreshDue(textScreenShown() || updateRunning())) forcedRefresh = true;
  bool keyHandled = false;
  for (int n = 0; n < EVENTS_PER_SERVICE; ++n) {
    int ev = lcd.service();
    if (ev == 0) break;
    int r = handleEvent(ev, &keyHandled);
    if (r != 1) return r;
  }
  int changes = pollChanges();
  if (changes > 0 || keyHandled || forcedRefresh) {
    forcedRefresh = false;
    refresh();
  }
  if (logDisplay && initDone && logTimer.isExpired()) {
    logDisplay = false;
    markAllChanged();
  }
  if (screenChanged || (logDisplay && logDirty))
    paint();
  else if (statusTimer.checkAndRestart())
    updateLeds();
  return changes > 0 ? 1 : 0;
}

/* One display event; 1 goes on with the next, anything else ends the
** service with that value. */
int treeEditorModule::handleEvent(int ev, bool* keyHandled) {
  if (ev == lcdEV_COMM_FAIL) {  /* lost even while the log shows */
    printf("tem: LCD Communication failure\n");
    fflush(stdout);
    return -2;
  }
  if (logDisplay) {
    logKey(ev);
    return 1;
  }
  if (ev == lcdEV_ADJUST_START || ev == lcdEV_ADJUST_RUN) return 0;
  if (ev == lcdEV_ADJUST_END) {  /* the screen was the display's: draw ours again */
    markAllChanged();
    cursorRow = cursorCol = -1;
    return 1;
  }
  int key = editorKey(ev);
  if (key == 0) {
    TRACE(pTraceLevel, 1, "item: Unhandled action code: %i \n", ev);
    return 1;
  }
  processKey(key);
  *keyHandled = true;
  takeSpecialAction();
  return 1;
}

void treeEditorModule::takeSpecialAction() {
  int action = takePendingAction();
  for (int i = 0; actionScreens[i][0] >= 0; ++i)
    if (actionScreens[i][0] == action) lcd.startAdjust(actionScreens[i][1]);
}

/* Up and down move the window over the log; 7..10 are ignored; any other
** key ends the log once the menu is ready. */
void treeEditorModule::logKey(int ev) {
  int count = (int)logLines.size();
  int maxStart = count > logRows ? count - logRows : 0;
  if (ev == lcdEV_UP || ev == lcdEV_DOWN) {
    if (logOffset < 0) logOffset = maxStart;
    logOffset += ev == lcdEV_DOWN ? 1 : -1;
    if (logOffset < 0) logOffset = 0;
    if (logOffset > maxStart) logOffset = maxStart;
    logTimer.restart();
    logDirty = true;
    return;
  }
  if (ev >= 7 && ev <= 10) return;
  if (!initDone) return;
  TRACE(pTraceLevel, 1, "tem: Exit with btn %i\n", ev);
  logDisplay = false;
  markAllChanged();
}

/* ---- painting ----------------------------------------------------------- */

int treeEditorModule::visibleLogStart() const {
  int count = (int)logLines.size();
  int maxStart = count > logRows ? count - logRows : 0;
  if (logOffset < 0 || count <= logRows) return maxStart;
  return logOffset < maxStart ? logOffset : maxStart;
}

int treeEditorModule::paint() {
  /* the display's adjustment screen owns the rows until it ends */
  if (!lcd.isOpen() || lcd.adjustScreen() != lcdADJ_NONE) return 0;
  if (logDisplay) {
    screenChanged = false;
    if (logDirty) paintLog();
    logDirty = false;
    return 0;
  }
  if (screenChanged) {
    screenChanged = false;
    paintMenu();
  }
  updateLeds();
  return 0;
}

void treeEditorModule::paintLog() {
  int count = (int)logLines.size();
  if (count == 0) return;
  int start = visibleLogStart();
  char line[LCD4x20::COLS + 1];
  for (int r = 0; r < logRows; ++r) {
    int i = start + r;
    if (i >= count) {
      memset(line, ' ', LCD4x20::COLS);
      lcd.writeRow(r, 0, line, LCD4x20::COLS);
      continue;
    }
    snprintf(line, sizeof line, "%-20.20s", logLines[i].c_str());
    char mark = ' ';
    if (r == 0 && start > 0) mark = (char)displayChar(DC_MORE_ABOVE);
    if (r == logRows - 1 && start + logRows < count) mark = (char)displayChar(DC_MORE_BELOW);
    line[LOG_INDICATOR_COLUMN] = mark;
    lcd.writeRow(r, 0, line, LCD4x20::COLS);
  }
  lcd.waitQueueEmpty(1.0f, "Log Display Update");
  lcd.setCursorStyle(0);
  cursorOn = false;
}

void treeEditorModule::paintMenu() {
  bool meters = displayMode() == tdm_SPECIAL && currentItem() != nullptr &&
                (currentItem()->itemID == treeSCR_DIGITAL_LEVELS ||
                 currentItem()->itemID == treeSCR_ANALOG_LEVELS);
  lcd.loadCharSet(meters ? 1 : 0);
  int shown = rowCount() < LCD4x20::ROWS ? rowCount() : LCD4x20::ROWS;
  for (int r = 0; r < shown; ++r) {
    int from = takeRowChange(r);
    if (from < 0 || from >= LCD4x20::COLS) continue;
    /* raw bytes: the level meters use custom character 0 */
    char line[LCD4x20::COLS];
    memset(line, ' ', sizeof line);
    memcpy(line, rowText(r), (size_t)(columnCount() < LCD4x20::COLS ? columnCount() : LCD4x20::COLS));
    lcd.writeRow(r, from, line + from, LCD4x20::COLS - from);
  }
  for (int r = shown; r < rowCount(); ++r) (void)takeRowChange(r);
  int row, col;
  if (editCursor(&row, &col) && row < LCD4x20::ROWS && col < LCD4x20::COLS) {
    if (!cursorOn || row != cursorRow || col != cursorCol) {
      lcd.setCursorPos(row, col);
      lcd.setCursorStyle(CURSOR_SHOWN);
    }
    cursorOn = true;
    cursorRow = row;
    cursorCol = col;
  } else if (cursorOn || cursorRow < 0) {
    lcd.setCursorStyle(0);
    cursorOn = false;
    cursorRow = cursorCol = 0;
  }
}

/* ---- log, boot text, LEDs ----------------------------------------------- */

void treeEditorModule::addLogLine(const char* text) {
  char line[LCD4x20::COLS + 64];
  snprintf(line, sizeof line, "%04.1f %s", elapsedSeconds(&created), text ? text : "");
  std::string s(line);
  if ((int)s.size() < logCols) s.append((size_t)(logCols - (int)s.size()), ' ');
  if ((int)logLines.size() >= LOG_LINES) logLines.erase(logLines.begin());
  logLines.push_back(s);
  TRACE(pTraceLevel, 1, "tem: Adding to log:<%s> Quant = %i\n", s.c_str(), (int)logLines.size());
  logDirty = true;
  paint();
}

void treeEditorModule::dispBootText(int row, const char* text, bool commit) {
  if (!initialised) {
    ERRLOG(pErrLog, 3, 22001, MODULE, "Module initialization must be done before writing to display.");
    return;
  }
  if (row >= 0) lcd.setBootRow(row, text);
  if (!commit) return;
  lcd.writeBootState();
  markAllChanged();
  logDirty = true;
  cursorRow = -1;
  paint();
}

void treeEditorModule::setLedPowerUp(int line, int /*word*/, bool commit) {
  if (line < 0 || line >= LCD4x20::LEDS) return;
  lcd.setLedPowerUp(LCD4x20::LEDS - 1 - line, line == 0 ? lcdLED_ERROR : lcdLED_WARN);
  if (!commit || !initialised) return;
  lcd.writeBootState();
  markAllChanged();
  logDirty = true;
  paint();
}

void treeEditorModule::setStatusLine(int line, int status, bool longBlink) {
  if (line < 0 || line >= STATUS_LINES) return;
  if (line >= LCD4x20::LEDS) return;  /* the panel has four LEDs */
  ledLine& l = lines[line];
  l.status = status;
  bool known = status == 0 || status == 1 || status == 2;
  l.timer.setPeriod(longBlink || !known ? LONG_BLINK_SECONDS : BLINK_SECONDS);
  l.timer.restart();
  l.blink = true;
  lcd.setLed(LCD4x20::LEDS - 1 - line, statusColour(status), true);
}

/* Lines whose blink time is up stop; when none blinks, flashing stops on
** all four LEDs and the colours stay. */
void treeEditorModule::updateLeds() {
  bool any = false, stopped = false;
  for (ledLine& l : lines) {
    if (l.blink && l.timer.isExpired()) {
      l.blink = false;
      stopped = true;
    }
    any = any || l.blink;
  }
  if (stopped && !any)
    for (int i = 0; i < LCD4x20::LEDS; ++i) lcd.setLed(i, lcdLED_KEEP, false);
}
