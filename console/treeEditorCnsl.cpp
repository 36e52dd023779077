/*
** treeEditorCnsl: set-up, service and painting of the terminal front end
** (see treeEditorCnsl.h).  Every terminal call goes through cnslTerminal.
*/
#include "console/treeEditorCnsl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <algorithm>

#include "console/cnslTerminal.h"

namespace {

const float BLINK_PHASE_SECONDS = 0.5f;
const float BLINK_SECONDS = 10.0f;
const float LONG_BLINK_SECONDS = 134217728.0f;  /* until the next change */
const int MENU_COLUMN = 5;
const int LABELLED_MENU_EXTRA = 10;
const int ROW_CLEAR = 21;
const int KEYS_PER_SERVICE = 256;  /* a paste cannot hold the loop */
const int MIN_ROWS = 2;            /* the smallest display the owner makes */
const int MIN_COLUMNS = 16;
const int SEQUENCE_MAX = 16;       /* bytes of an unknown escape sequence */

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

/* Character codes of the panel's own glyphs that reach the rows (the
** update box names its keys with the tick 2 and the cross 1) and the
** terminal character each is drawn with, one cell each, as the power-down
** box writes them.  Any other code outside the printable range is drawn as
** '?': nothing may expand to "^B" and push the row's end out. */
const unsigned char panelGlyphs[][2] = {
    {1, 'X'},
    {2, 'V'},
    {0, 0},
};
char terminalCell(unsigned char c) {
  for (const auto& g : panelGlyphs) {
    if (g[0] == 0) break;
    if (g[0] == c) return (char)g[1];
  }
  return c < 32 || c > 126 ? '?' : (char)c;
}

}  // namespace

treeEditorCnsl::treeEditorCnsl(cnslTerminal* terminal)
    : term(terminal ? terminal : cnslNewCursesTerminal()), running(false), rawOn(false),
      colours(false), showLabels(false), forcedRefresh(false), darkPhase(false),
      statusDue(false), anyBlink(false), blinkSeconds(BLINK_SECONDS), paintedColumn(-1),
      askedBody(0), askedColumns(0), fittedColumn(-1), resizePending(false), tooSmall(false) {
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
  const char* t = getenv("TERM");
  bool supported = terminalSupported(t);
  askedBody = body;
  askedColumns = cols;
  bool fits = !supported || fitToTerminal(header + footer, &body, &cols);
  int built = TreeEditInitBase(c, mainTable, errLog, body, header, footer, cols, traceLevel,
                               word, level, second);
  if (!supported) {
    printf(refusedText, t ? t : "");
    fflush(stdout);
  }
  if (built != 0) return built;
  if (!supported) return 1;
  if (!fits) {
    printf("%s\n", tooSmallText().c_str());
    fflush(stdout);
    return 1;
  }
  if (!term->start()) {
    printf("Cannot drive the terminal '%s': standard input and output must be a terminal\n", t);
    fflush(stdout);
    return 1;
  }
  running = true;
  fittedColumn = menuColumn();
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

/* ---- the window's size -------------------------------------------------- */

/* The display asked for, cut to what the terminal holds: `fixedRows`
** header and footer rows plus the body, and from the menu column one blank
** and the columns.  False when not even the smallest display (2 x 16)
** fits; the sizes are then left alone. */
bool treeEditorCnsl::fitToTerminal(int fixedRows, int* body, int* cols) {
  int rows = 0, columns = 0;
  term->size(&rows, &columns);
  if (rows <= 0 || columns <= 0) return true;  /* size unknown: as asked */
  int fitBody = std::min(askedBody, rows - fixedRows);
  int fitCols = std::min(askedColumns, columns - menuColumn() - 1);
  if (fitBody + fixedRows < MIN_ROWS || fitBody < 1 || fitCols < MIN_COLUMNS) return false;
  *body = fitBody;
  *cols = fitCols;
  return true;
}

std::string treeEditorCnsl::tooSmallText() const {
  char text[128];
  snprintf(text, sizeof text, "Terminal too small: the menu needs at least %i columns and %i rows",
           menuColumn() + 1 + MIN_COLUMNS, MIN_ROWS);
  return text;
}

/* After a resize (or the labels moving the menu column): the display takes
** the size that fits, or the window shows what size it needs.  Not while
** an item is edited: the edit keeps its rows and is painted as far as it
** fits; the new size comes when the edit ends. */
void treeEditorCnsl::refit() {
  if (isEditing()) {
    term->clearAll();
    markAllChanged();
    return;
  }
  resizePending = false;
  fittedColumn = menuColumn();
  int body = bodyRowCount(), cols = columnCount();
  int fixed = rowCount() - bodyRowCount();
  tooSmall = !fitToTerminal(fixed, &body, &cols);
  term->clearAll();
  if (tooSmall) {
    showTooSmall();
    return;
  }
  if (body != bodyRowCount() || cols != columnCount()) resizeDisplay(body, cols);
  markAllChanged();
}

/* The needed size, word-wrapped into whatever the window has. */
void treeEditorCnsl::showTooSmall() {
  int rows = 0, columns = 0;
  term->size(&rows, &columns);
  std::string text = tooSmallText();
  int row = 0;
  size_t at = 0;
  while (at < text.size() && row < rows && columns > 0) {
    size_t n = std::min(text.size() - at, (size_t)columns);
    if (at + n < text.size()) {
      size_t blank = text.rfind(' ', at + n);
      if (blank != std::string::npos && blank > at) n = blank - at;
    }
    term->put(row++, 0, text.c_str() + at, (int)n);
    at += n;
    while (at < text.size() && text[at] == ' ') ++at;
  }
  term->moveCursor(0, 0);
  term->flush();
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

/* An escape sequence ncurses did not know (a key this terminal type has
** no name for): the rest of it is read and dropped, so its bytes do not
** reach a text field as typed characters.  CSI sequences end with a byte
** 0x40..0x7e, SS3 sequences after one byte. */
void treeEditorCnsl::skipSequence(int introducer) {
  if (introducer == 'O') {
    term->readKey();
    return;
  }
  for (int i = 0; i < SEQUENCE_MAX; ++i) {
    int k = term->readKey();
    if (k < 0 || (k >= 0x40 && k <= 0x7e)) return;
  }
}

/* Every waiting key goes to the editor; returns how many were read. */
int treeEditorCnsl::readKeys() {
  int n = 0;
  int next = -1;
  for (int k; n < KEYS_PER_SERVICE; ++n) {
    k = next >= 0 ? next : term->readKey();
    next = -1;
    if (k < 0) break;
    if (cnslIsResize(k)) {
      resizePending = true;
      continue;
    }
    if (k == 27) {
      next = term->readKey();
      if (next == '[' || next == 'O') {
        skipSequence(next);
        next = -1;
        continue;
      }
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
  if (resizePending || menuColumn() != fittedColumn) refit();
  if (changes > 0 || keys > 0 || forcedRefresh) {
    forcedRefresh = false;
    refresh();
  }
  if (menuColumn() != paintedColumn) markAllChanged();
  if (tooSmall) {
    screenChanged = false;
    statusDue = false;
  } else if (!screenChanged) {
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
  if (tooSmall) return 0;
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
    if (n >= (int)sizeof line) n = (int)sizeof line - 1;
    for (int i = 0; i < n; ++i) line[i] = terminalCell((unsigned char)line[i]);
    term->put(r, menuCol, line, n);
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
  /* the dark phase shows blanks in the indicator's colour */
  if (colours) term->colour(i, 1, 4, pair);
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
  if (!running || tooSmall) return;
  paintStatusLines();
  placeCursor(menuColumn());
  term->flush();
}
