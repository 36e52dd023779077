/*
** treeEditorCnsl: set-up, service and painting of the terminal front end
** (see treeEditorCnsl.h).  Every terminal call goes through cnslTerminal.
*/
#include "console/treeEditorCnsl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/cnslTerminal.h"

namespace {

const float BLINK_PHASE_SECONDS = 0.5f;
const float BLINK_SECONDS = 10.0f;
const float LONG_BLINK_SECONDS = 134217728.0f;  /* until the next change */
const int MENU_COLUMN = 5;
const int LABELLED_MENU_EXTRA = 10;
const int ROW_CLEAR = 21;
const int KEYS_PER_SERVICE = 256;  /* a paste cannot hold the loop */

const char refusedText[] = "Terminal emulator\n%s not supported\nuse 'vt100' or 'xterm'\n";

/* Display characters 0..9 of the terminal (0 = none). */
const int TERMINAL_DISPLAY_CHARS[treeEditor::DISPLAY_CHARS] = {'^', '^', '<', '>', '^',
                                                               0,   '^', 0,   '<', '>'};

/* Indicator per status value: short text, labelled text, colour pair.
** The last row (value -1) serves every unknown value. */
struct indicatorRow {
  int value;
  const char* shortText;
  const char* labelText;
  int pair;
};
const indicatorRow indicators[] = {
    {0, " ok ", "OK     ", cnslPAIR_BLACK_ON_GREEN},
    {1, "Warn", "WARN   ", cnslPAIR_BLACK_ON_YELLOW},
    {2, "Err!", "ERR    ", cnslPAIR_YELLOW_ON_RED},
    {-1, " ?? ", "xxxxxxx ", cnslPAIR_YELLOW_ON_RED},
};
const indicatorRow& indicatorFor(int status) {
  for (const indicatorRow& r : indicators)
    if (r.value == status || r.value == -1) return r;
  return indicators[3];
}

}  // namespace

treeEditorCnsl::treeEditorCnsl(cnslTerminal* terminal)
    : term(terminal ? terminal : cnslNewCursesTerminal()), running(false), rawOn(false),
      colours(false), showLabels(false), forcedRefresh(false), darkPhase(false),
      statusDue(false), anyBlink(false), blinkSeconds(BLINK_SECONDS), paintedColumn(-1) {
  for (statusLine& l : lines) {
    l.defined = false;
    l.value = 0;
    l.blink = false;
  }
}

/* The terminal is handed back as it was found: cooked, echoing. */
treeEditorCnsl::~treeEditorCnsl() {
  if (rawOn)
    setRawMode(false);
  else if (running)
    term->end();
  delete term;
}

bool treeEditorCnsl::terminalSupported(const char* t) {
  return t != nullptr && (strcmp(t, "xterm") == 0 || strcmp(t, "vt100") == 0);
}

const char* treeEditorCnsl::indicatorText(int status, bool labels) {
  const indicatorRow& r = indicatorFor(status);
  return labels ? r.labelText : r.shortText;
}

int treeEditorCnsl::indicatorPair(int status) { return indicatorFor(status).pair; }

int treeEditorCnsl::init(generic_cfg* c, const treeItemDef* mainTable, ErrTrcLog* errLog,
                         int body, int header, int footer, int cols, int* traceLevel, int word,
                         int level, const treeItemDef* second) {
  int built = TreeEditInitBase(c, mainTable, errLog, body, header, footer, cols, traceLevel,
                               word, level, second);
  const char* t = getenv("TERM");
  bool supported = terminalSupported(t);
  if (!supported) {
    printf(refusedText, t ? t : "");
    fflush(stdout);
  }
  if (built != 0) return built;
  if (!supported) return 1;
  if (!term->start()) {
    printf("Cannot open the terminal '%s'\n", t);
    fflush(stdout);
    return 1;
  }
  running = true;
  colours = term->hasColours();
  if (colours) term->startColours();
  setRawMode(true);
  refresh();
  paint();
  applyTerminalSettings();
  blinkTimer.setPeriod(BLINK_PHASE_SECONDS);
  blinkTimer.restart();
  return 0;
}

/* Prompts name the keys "Enter" and "Esc" (no key characters); the list
** margins use '^' for both directions. */
void treeEditorCnsl::applyTerminalSettings() {
  setEditHint(" ('Enter' to edit)");
  setSaveCancelChars(0, 0);
  for (int i = 0; i < DISPLAY_CHARS; ++i) setDisplayChar(i, TERMINAL_DISPLAY_CHARS[i]);
  screens.glyphs = ssTerminalMeter;
}

void treeEditorCnsl::setRawMode(bool on) {
  if (!running || on == rawOn) return;
  term->rawMode(on);
  rawOn = on;
}

int treeEditorCnsl::menuColumn() const {
  return showLabels ? statusLabelWidth() - 1 + LABELLED_MENU_EXTRA : MENU_COLUMN;
}

/* ---- service ------------------------------------------------------------ */

/* Every waiting key goes to the editor; returns how many were read. */
int treeEditorCnsl::readKeys() {
  int n = 0;
  for (int k; n < KEYS_PER_SERVICE && (k = term->readKey()) >= 0; ++n) {
    if (cnslIsResize(k)) {
      term->clearAll();
      markAllChanged();
      continue;
    }
    processKey(cnslMapKey(k));
    (void)takePendingAction();  /* no front-panel table: never an action */
  }
  return n;
}

int treeEditorCnsl::service() {
  if (!running) return -1;
  setRawMode(true);
  /* live text screens and a running update are redrawn every 16th call */
  if (screens.forcedRefreshDue(textScreenShown() || updateRunning())) forcedRefresh = true;
  int keys = readKeys();
  blinkTick();
  int changes = pollChanges();
  if (changes > 0 || keys > 0 || forcedRefresh) {
    forcedRefresh = false;
    refresh();
  }
  if (menuColumn() != paintedColumn) markAllChanged();
  if (!screenChanged) {
    if (statusDue) {
      paintStatusLines();
      placeCursor(menuColumn());
      term->flush();
    }
  } else {
    paint();
  }
  return changes > 0 ? 1 : 0;
}

/* Each 0.5 s: flip the phase while a line blinks, stop lines whose time
** is up, and ask for a status repaint. */
void treeEditorCnsl::blinkTick() {
  if (!blinkTimer.checkAndRestart()) return;
  statusDue = true;
  if (!anyBlink) return;
  darkPhase = !darkPhase;
  bool still = false;
  for (statusLine& l : lines) {
    if (l.blink && l.timer.isExpired()) l.blink = false;
    still = still || l.blink;
  }
  anyBlink = still;
  if (!anyBlink) darkPhase = false;
}

bool treeEditorCnsl::lineBlinking(int line) const {
  return line >= 0 && line < STATUS_LINES && lines[line].blink;
}

/* ---- painting ----------------------------------------------------------- */

int treeEditorCnsl::paint() {
  if (!screenChanged) return 0;
  screenChanged = false;
  int menuCol = menuColumn();
  /* labels switched on or off since the last paint: the rows move */
  if (paintedColumn >= 0 && menuCol != paintedColumn) {
    term->clearAll();
    markAllChanged();
    screenChanged = false;
  }
  paintedColumn = menuCol;
  paintRows(menuCol);
  paintStatusLines();
  placeCursor(menuCol);
  term->flush();
  return 0;
}

/* Each changed row is blanked and written whole: " %s" from the menu
** column. */
void treeEditorCnsl::paintRows(int menuCol) {
  static const char blanks[ROW_CLEAR + 1] = "                     ";
  char line[ROW_BYTES + 1];
  for (int r = 0; r < rowCount(); ++r) {
    if (takeRowChange(r) < 0) continue;
    term->put(r, menuCol, blanks, ROW_CLEAR);
    int n = snprintf(line, sizeof line, " %s", rowText(r));
    term->put(r, menuCol, line, n < (int)sizeof line ? n : (int)sizeof line - 1);
  }
}

void treeEditorCnsl::paintStatusLines() {
  statusDue = false;
  for (int i = 0; i < STATUS_LINES; ++i)
    if (lines[i].defined) paintStatusLine(i);
}

void treeEditorCnsl::paintStatusLine(int i) {
  const statusLine& l = lines[i];
  int pair = indicatorPair(l.value);
  if (showLabels) {
    char label[64];
    int n = snprintf(label, sizeof label, statusLabelFormat(), statusLabel(i));
    if (n < 0) n = 0;
    if (n >= (int)sizeof label) n = (int)sizeof label - 1;
    term->put(i, 1, label, n);
    const char* text = indicatorText(l.value, true);
    int col = statusLabelWidth() + 3;
    term->put(i, col, text, (int)strlen(text));
    if (colours) term->colour(i, col, 6, pair);
    return;
  }
  bool dark = l.blink && darkPhase;
  const char* text = dark ? "    " : indicatorText(l.value, false);
  term->put(i, 1, text, (int)strlen(text));
  /* the dark phase shows plain blanks, so the blink is seen */
  if (colours) term->colour(i, 1, 4, dark ? 0 : pair);
}

/* On the edited character while a text field is entered, else home. */
void treeEditorCnsl::placeCursor(int menuCol) {
  int row, col;
  if (editCursor(&row, &col))
    term->moveCursor(row, menuCol + 1 + col);
  else
    term->moveCursor(0, 0);
}

/* ---- status lines ------------------------------------------------------- */

void treeEditorCnsl::setStatusLine(int line, int status, bool longBlink) {
  if (line < 0 || line >= STATUS_LINES) return;
  statusLine& l = lines[line];
  l.defined = true;
  l.value = status;
  l.timer.setPeriod(longBlink ? LONG_BLINK_SECONDS : blinkSeconds);
  l.timer.restart();
  l.blink = true;
  anyBlink = true;
  if (!running) return;
  paintStatusLines();
  placeCursor(menuColumn());
  term->flush();
}
