/*
** The real terminal of the console editor: ncurses on standard input and
** output.  Nothing else in the project includes curses.h, because its
** macros (refresh, clear, erase, timeout ...) would rewrite the editor's
** own operations of the same names.
**
** While ncurses owns the terminal nothing else may write to it: ncurses
** draws through its own copy of the terminal's descriptor, and standard
** output and standard error (the update's "Downloading", the power watch's
** "Forcing restart ...", the error log's LOG_PERROR copies, and whatever
** the maintenance tool prints, since it inherits them) go to the stray
** output file until the terminal is handed back.
*/
#define NCURSES_NOMACROS 1
#include <curses.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "console/cnslTerminal.h"
#include "menu/treeDefs.h"

namespace {

std::string strayOutputPath = "doVA.console.log";

/* A descriptor that children (the maintenance tool, the shell) do not get. */
int privateDup(int fd) {
  int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  return copy;
}

/* Standard output and standard error into the stray output file, and back.
** When the file cannot be opened they go to /dev/null: the screen matters
** more than a progress line. */
class strayOutput {
public:
  void divert() {
    if (savedOut >= 0) return;
    fflush(stdout);
    fflush(stderr);
    int fd = open(strayOutputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    savedOut = privateDup(1);
    savedErr = privateDup(2);
    dup2(fd, 1);
    dup2(fd, 2);
    close(fd);
  }
  void restore() {
    if (savedOut < 0) return;
    fflush(stdout);
    fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    savedOut = savedErr = -1;
  }

private:
  int savedOut = -1, savedErr = -1;
};

class cursesTerminal : public cnslTerminal {
public:
  ~cursesTerminal() override {
    if (scr != nullptr) delscreen(scr);
    stray.restore();
    if (screenOut != nullptr) fclose(screenOut);
  }
  /* newterm, not initscr: a terminal that cannot be driven returns null
  ** here instead of ending the process from inside the library.  ncurses
  ** writes to its own copy of standard output, which stays the terminal
  ** while standard output itself is diverted. */
  bool start() override {
    if (scr != nullptr) return true;
    /* keys from a file or a pipe, or a screen into one, is no window */
    if (!isatty(0) || !isatty(1)) return false;
    fflush(stdout);
    int fd = privateDup(1);
    if (fd < 0) return false;
    screenOut = fdopen(fd, "w");
    if (screenOut == nullptr) {
      close(fd);
      return false;
    }
    scr = newterm(nullptr, screenOut, stdin);
    if (scr == nullptr) {
      fclose(screenOut);
      screenOut = nullptr;
      return false;
    }
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
      stray.divert();
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
      stray.restore();
    }
  }
  void end() override {
    endwin();
    stray.restore();
  }
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

  void size(int* rows, int* columns) override {
    if (scr != nullptr) {
      getmaxyx(stdscr, *rows, *columns);
      return;
    }
    struct winsize ws;
    if (ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
      *rows = ws.ws_row;
      *columns = ws.ws_col;
      return;
    }
    *rows = *columns = 0;
  }

private:
  SCREEN* scr = nullptr;
  FILE* screenOut = nullptr;
  strayOutput stray;
};

}  // namespace

cnslTerminal* cnslNewCursesTerminal() { return new cursesTerminal(); }

void cnslSetStrayOutputFile(const char* path) {
  if (path != nullptr && *path) strayOutputPath = path;
}

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
    {KEY_F(1), treeKEY_HELP},   /* the panel's X: "no" in a message box */
    {KEY_F(2), treeKEY_AUX},
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
