/*
** The terminal front end on a recording screen: what lands in which
** terminal cell and colour, the status indicators and their blinking, the
** edit's keys and cursor, and resizes.  The menu is the real main menu over
** the real data set (the menu tests' fixture).  The real ncurses terminal
** is driven in consoleWindowTest.cpp.
*/
#define NCURSES_NOMACROS 1
#include <curses.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "console/cnslTerminal.h"
#include "console/treeEditorCnsl.h"
#include "menu/tests/menuTestUtil.h"

namespace {

const int SCREEN_ROWS = 12;
const int SCREEN_COLS = 110;

/* A terminal that keeps its cells and colours in memory. */
struct screenLog {
  std::vector<std::string> cells = std::vector<std::string>(SCREEN_ROWS, std::string(SCREEN_COLS, ' '));
  std::vector<std::vector<int>> pairs =
      std::vector<std::vector<int>>(SCREEN_ROWS, std::vector<int>(SCREEN_COLS, 0));
  std::deque<int> keys;
  int rows = SCREEN_ROWS, cols = SCREEN_COLS;  /* the window's size as told */
  int cursorRow = -1, cursorCol = -1;
  bool started = false, raw = false, colours = true;
  int rawOffCalls = 0;
};

class recordingTerminal : public cnslTerminal {
public:
  explicit recordingTerminal(screenLog* l) : log(l) {}
  bool start() override { return log->started = true; }
  bool hasColours() override { return log->colours; }
  void startColours() override {}
  void rawMode(bool on) override {
    log->raw = on;
    log->rawOffCalls += on ? 0 : 1;
  }
  void end() override {}
  int readKey() override {
    if (log->keys.empty()) return -1;
    int k = log->keys.front();
    log->keys.pop_front();
    return k;
  }
  void put(int row, int col, const char* text, int len) override {
    if (row >= log->rows) return;
    for (int i = 0; i < len && col + i < log->cols; i++) log->cells.at(row)[col + i] = text[i];
  }
  void colour(int row, int col, int cells, int pair) override {
    if (row >= log->rows) return;
    for (int i = 0; i < cells && col + i < log->cols; i++) log->pairs.at(row)[col + i] = pair;
  }
  void moveCursor(int row, int col) override {
    log->cursorRow = row;
    log->cursorCol = col;
  }
  void flush() override {}
  void clearAll() override {
    for (auto& r : log->cells) r.assign(SCREEN_COLS, ' ');
  }
  void size(int* rows, int* cols) override {
    *rows = log->rows;
    *cols = log->cols;
  }

private:
  screenLog* log;
};

/* The menu's data-set fixture with TERM=xterm: the console's own editor. */
class ConsoleEditor : public MenuOnDataSet {
protected:
  void SetUp() override {
    MenuOnDataSet::SetUp();
    const char* t = getenv("TERM");
    if (t) oldTerm = t;
    setenv("TERM", "xterm", 1);
  }
  void TearDown() override {
    con.reset();
    if (oldTerm.empty()) unsetenv("TERM"); else setenv("TERM", oldTerm.c_str(), 1);
    MenuOnDataSet::TearDown();
  }
  /* The console unit's call for a rows x cols window. */
  int open(int rows, int cols) {
    con = std::make_unique<treeEditorCnsl>(new recordingTerminal(&log));
    return con->init(cfg.get(), treeMainMenuTable(), nullptr, rows - 1, 1, 0, cols, &traceLevel,
                     cols > 60 ? 2 : 1, tal_FULL_EDIT, nullptr);
  }
  void press(std::initializer_list<int> keys) {
    for (int k : keys) log.keys.push_back(k);
    con->service();
  }
  std::string cells(int row, int col, int n) const { return log.cells.at(row).substr(col, n); }
  int pairAt(int row, int col) const { return log.pairs.at(row).at(col); }
  struct cellText { int row, col; const char* text; };
  struct cellPair { int row, col, pair; };
  void expectCells(std::initializer_list<cellText> want) {
    for (const auto& w : want) EXPECT_EQ(w.text, cells(w.row, w.col, (int)strlen(w.text))) << w.row << "," << w.col;
  }
  void expectPairs(std::initializer_list<cellPair> want) {
    for (const auto& w : want) EXPECT_EQ(w.pair, pairAt(w.row, w.col)) << w.row << "," << w.col;
  }

  std::string oldTerm;
  std::unique_ptr<treeEditorCnsl> con;
  screenLog log;
};

}  // namespace

TEST_F(ConsoleEditor, menuRowsStartAtColumnFiveIndicatorsSitAtTheLeftEdgeInColourAndLabelsMoveTheMenu) {
  EXPECT_FALSE(treeEditorCnsl::terminalSupported(nullptr));  // no TERM (a type by name: the window tests)
  ASSERT_EQ(0, open(4, 20));
  EXPECT_TRUE(log.started);
  EXPECT_TRUE(log.raw);
  // no status line defined yet: blanks at the left edge
  expectCells({{0, 5, " MAIN MENU    TORV-FM"}, {1, 5, " ->Edit Settings"}, {2, 5, "   View Status"}, {0, 0, "     "}});
  for (int line = 0; line < 4; line++) con->setStatusLine(line, line == 3 ? 7 : line, false);
  // four coloured cells each; the menu text still starts where it did
  expectCells({{0, 1, " ok "}, {1, 1, "Warn"}, {2, 1, "Err!"}, {3, 1, " ?? "}, {1, 5, " ->Edit Settings"}});
  expectPairs({{0, 1, cnslPAIR_BLACK_ON_GREEN}, {0, 4, cnslPAIR_BLACK_ON_GREEN}, {0, 5, 0},
               {1, 1, cnslPAIR_BLACK_ON_YELLOW}, {2, 2, cnslPAIR_YELLOW_ON_RED}, {3, 3, cnslPAIR_YELLOW_ON_RED}});
  EXPECT_EQ(0, log.cursorRow);
  EXPECT_EQ(0, log.cursorCol);
  con.reset();  // raw mode is left once
  EXPECT_FALSE(log.raw);
  EXPECT_EQ(1, log.rawOffCalls);

  log = screenLog();  // without colours the indicators are plain text
  log.colours = false;
  ASSERT_EQ(0, open(4, 20));
  EXPECT_FALSE(con->coloursOn());
  con->setStatusLine(2, 2, false);
  EXPECT_EQ("Err!", cells(2, 1, 4));
  EXPECT_EQ(0, pairAt(2, 1));

  log = screenLog();  // labels move the menu to the longest label plus ten and widen the indicators
  ASSERT_EQ(0, open(10, 80));
  con->setShowLabels(true);
  const char* names[] = {"System", "Audio", "GPS", "Importer"};
  for (int i = 0; i < 4; i++) con->setStatusLabel(i, names[i]);
  for (int i = 0; i < 4; i++) con->setStatusLine(i, i == 3 ? 9 : i, false);
  con->service();
  EXPECT_EQ(18, con->menuColumn());
  expectCells({{0, 0, "    System: OK     "}, {1, 0, "     Audio: WARN   "}, {2, 0, "       GPS: ERR    "},
               {3, 0, "  Importer: xxxxxxx "}, {0, 19, "MAIN MENU    TORV-"}, {0, 19 + 78, "FM"},
               {1, 19, "->Edit Settings"}});
  // six coloured cells from label width + 3 = 12
  expectPairs({{0, 11, 0}, {0, 12, cnslPAIR_BLACK_ON_GREEN}, {0, 17, cnslPAIR_BLACK_ON_GREEN}, {0, 18, 0},
               {3, 12, cnslPAIR_YELLOW_ON_RED}});
  // the stale rows painted at column 5 before the labels came are gone
  EXPECT_EQ(21u, log.cells[1].find("Edit Settings"));
}

TEST_F(ConsoleEditor, aStatusChangeBlinksInHalfSecondPhasesAndThenShowsSteadily) {
  ASSERT_EQ(0, open(4, 20));
  con->setBlinkSeconds(1.6f);
  con->setStatusLine(0, 2, false);
  con->setStatusLine(1, 1, true);  // long blink: until the next change
  EXPECT_TRUE(con->lineBlinking(0));
  std::string seen;  // each change of the indicator's four cells
  int darkPair = -1;  /* the dark phase shows blanks in the indicator's colour */
  kvTimeStamp start;
  getTimeStamp(&start);
  while (elapsedSeconds(&start) < 2.8f) {
    con->service();
    if (seen.size() < 4 || seen.compare(seen.size() - 4, 4, cells(0, 1, 4)) != 0) seen += cells(0, 1, 4);
    if (cells(0, 1, 4) == "    ") darkPair = pairAt(0, 1) == pairAt(0, 4) ? pairAt(0, 1) : -2;
    usleep(20000);
  }
  EXPECT_EQ(cnslPAIR_YELLOW_ON_RED, darkPair);
  // lit, dark, lit, dark (about 0.5 s each), then steady
  EXPECT_EQ(0u, seen.find("Err!    Err!    ")) << seen;
  EXPECT_FALSE(con->lineBlinking(0));
  EXPECT_EQ("Err!", cells(0, 1, 4));
  EXPECT_TRUE(con->lineBlinking(1));
  // a change restarts the blink with the new indicator, lit first
  con->setStatusLine(1, 0, false);
  EXPECT_TRUE(con->lineBlinking(1));
  EXPECT_TRUE(cells(1, 1, 4) == " ok " || cells(1, 1, 4) == "    ") << cells(1, 1, 4);
}

/* In an edit, typed letters go over the old name in capitals; an escape
** sequence ncurses does not know is dropped whole instead of reaching the
** field; a lone Esc asks to save, and the cursor is parked after it.  (The
** cursor while typing, F1 answering a box, the box's glyphs: the window
** tests.) */
TEST_F(ConsoleEditor, typingMovesTheCursorAndUnknownSequencesAreDropped) {
  ASSERT_EQ(0, open(4, 20));
  // SETTINGS, STATION INFO (eighth line), short name, value view, edit
  press({KEY_RIGHT, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN});
  press({KEY_RIGHT, KEY_RIGHT, '\n'});
  ASSERT_TRUE(con->isEditing());
  press({27, '[', '1', '5', ';', '2', '~', 'w', 27, 'O', 'R', 'x'});  // Shift-F5, an F3 of vt100
  EXPECT_EQ("  New:WXRV", cells(3, 6, 10));
  EXPECT_TRUE(con->isEditing());
  press({27});  // a lone Esc asks to save
  EXPECT_EQ("Enter=Save Esc=Quit", cells(1, 6, 19));
  press({'\r'});
  EXPECT_FALSE(con->isEditing());
  EXPECT_EQ(0, log.cursorRow);  // the cursor is parked again
  EXPECT_EQ(0, log.cursorCol);
}

/* A window smaller than the display asked for shrinks the display (the
** selection stays on screen); too small a window says what it needs; a
** larger one brings the asked size back. */
TEST_F(ConsoleEditor, theDisplayFitsTheWindowAndFollowsItsResizes) {
  log.rows = 6;
  log.cols = 30;
  ASSERT_EQ(0, open(10, 80));
  press({KEY_RIGHT});
  for (int i = 0; i < 9; i++) press({KEY_DOWN});   // MAINTENANCE, the tenth line
  int shown = -1;
  for (int r = 0; r < log.rows; r++)
    if (cells(r, 6, 15) == "->Maintenance  ") shown = r;
  EXPECT_GT(shown, 0) << log.cells[5];

  log.rows = log.cols = 1;
  press({KEY_RESIZE});
  EXPECT_EQ("T", cells(0, 0, 1));
  log.rows = 4;
  log.cols = 21;   // room for 15 columns
  press({KEY_RESIZE});
  expectCells({{0, 0, "Terminal too small:  "}, {1, 0, "the menu needs at    "}, {2, 0, "least 22 columns and "},
               {3, 0, "2 rows               "}});
  press({KEY_DOWN});   // keys still reach the menu meanwhile

  log.rows = SCREEN_ROWS;
  log.cols = SCREEN_COLS;
  press({KEY_RESIZE});  // the asked size again (its rows: the window tests)

  // a resize while an item is edited waits for the edit to end
  for (int i = 0; i < 12; i++) press({KEY_UP});
  press({KEY_RIGHT, KEY_RIGHT, '\n'});   // SYSTEM, System Name
  ASSERT_TRUE(con->isEditing());
  log.rows = 6;
  log.cols = 30;
  press({KEY_RESIZE});
  EXPECT_TRUE(con->isEditing());
  EXPECT_EQ(10, con->rowCount());
  press({27, 27});   // the save prompt, then cancel
  EXPECT_FALSE(con->isEditing());
  EXPECT_EQ(6, con->rowCount());
  EXPECT_EQ(24, con->columnCount());   // 30 - menu column 5 - one blank

  con.reset();
  log.rows = 1;   // at start-up: the message, and no menu
  testing::internal::CaptureStdout();
  EXPECT_EQ(1, open(10, 80));
  EXPECT_EQ("Terminal too small: the menu needs at least 22 columns and 2 rows\n",
            testing::internal::GetCapturedStdout());
}
