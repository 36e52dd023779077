/*
** The real terminal of the console editor: ncurses on standard input and
** output.  Nothing else in the project includes curses.h, because its
** macros (refresh, clear, erase, timeout ...) would rewrite the editor's
** own operations of the same names.
*/
#define NCURSES_NOMACROS 1
#include <curses.h>

#include <cstdio>

#include "console/cnslTerminal.h"
#include "menu/treeDefs.h"

namespace {

class cursesTerminal : public cnslTerminal {
public:
  ~cursesTerminal() override {
    if (scr != nullptr) delscreen(scr);
  }
  /* newterm, not initscr: a terminal that cannot be driven returns null
  ** here instead of ending the process from inside the library. */
  bool start() override {
    if (scr != nullptr) return true;
    scr = newterm(nullptr, stdout, stdin);
    if (scr == nullptr) return false;
    set_term(scr);
    /* a lone Esc is a key of its own here: do not wait a second for the
    ** rest of a sequence that a person typing never sends */
    set_escdelay(100);
    return true;
  }
  bool hasColours() override { return has_colors(); }
  void startColours() override {
    start_color();
    init_pair(cnslPAIR_GREEN_ON_BLACK, COLOR_GREEN, COLOR_BLACK);
    init_pair(cnslPAIR_BLACK_ON_GREEN, COLOR_BLACK, COLOR_GREEN);
    init_pair(cnslPAIR_BLACK_ON_YELLOW, COLOR_BLACK, COLOR_YELLOW);
    init_pair(cnslPAIR_YELLOW_ON_RED, COLOR_YELLOW, COLOR_RED);
  }
  void rawMode(bool on) override {
    if (on) {
      cbreak();
      noecho();
      wtimeout(stdscr, 0);
      keypad(stdscr, TRUE);
    } else {
      nocbreak();
      echo();
      wtimeout(stdscr, -1);
      keypad(stdscr, FALSE);
      endwin();
    }
  }
  void end() override { endwin(); }
  int readKey() override {
    int k = wgetch(stdscr);
    return k == ERR ? -1 : k;
  }
  void put(int row, int column, const char* text, int length) override {
    int maxY, maxX;
    getmaxyx(stdscr, maxY, maxX);
    if (row < 0 || row >= maxY || column < 0 || column >= maxX || length <= 0) return;
    if (length > maxX - column) length = maxX - column;
    mvwaddnstr(stdscr, row, column, text, length);
  }
  void colour(int row, int column, int cells, int pair) override {
    int maxY, maxX;
    getmaxyx(stdscr, maxY, maxX);
    if (row < 0 || row >= maxY || column < 0 || column >= maxX || cells <= 0) return;
    if (cells > maxX - column) cells = maxX - column;
    if (wmove(stdscr, row, column) == ERR) return;
    wchgat(stdscr, cells, A_NORMAL, (short)pair, nullptr);
  }
  void moveCursor(int row, int column) override {
    int maxY, maxX;
    getmaxyx(stdscr, maxY, maxX);
    if (row >= maxY) row = maxY - 1;
    if (column >= maxX) column = maxX - 1;
    wmove(stdscr, row < 0 ? 0 : row, column < 0 ? 0 : column);
  }
  void flush() override { wrefresh(stdscr); }
  void clearAll() override {
    werase(stdscr);
    clearok(stdscr, TRUE);
  }

private:
  SCREEN* scr = nullptr;
};

}  // namespace

cnslTerminal* cnslNewCursesTerminal() { return new cursesTerminal(); }

/* Key map of the terminal; rows are (terminal key, editor key), -1 ends. */
static const int keyMap[][2] = {
    {10, treeKEY_ENTER},
    {13, treeKEY_ENTER},
    {27, treeKEY_ESCAPE},
    {KEY_BACKSPACE, treeKEY_ESCAPE},
    {KEY_DC, treeKEY_ESCAPE},
    {KEY_DOWN, treeKEY_DOWN},
    {KEY_UP, treeKEY_UP},
    {KEY_LEFT, treeKEY_LEFT},
    {KEY_RIGHT, treeKEY_RIGHT},
    {KEY_IC, treeKEY_INSERT_ALT},
    {-1, -1},
};

int cnslMapKey(int key) {
  for (const auto& row : keyMap) {
    if (row[0] == -1) break;
    if (row[0] == key) return row[1];
  }
  return key;
}

bool cnslIsResize(int key) { return key == KEY_RESIZE; }
