/*
** lcdEmu.x -v: the front panel drawn in the terminal (see panelView.h).
**
** One thread polls the pty line and the keyboard every 5 ms, like the
** command mode, and redraws at most every 40 ms; ncurses sends only the
** cells that changed, so a flashing LED costs a few bytes.
**
**   row 0     title with the device path
**   rows 1..6 the screen in a frame; the LEDs beside it, one a row
**   row 7     backlight, contrast, and "X held" while a combination waits
**   rows 9..  the keys
*/
/* the line's own key names (KEY_UP ...) come before curses.h's macros */
#include "tools/lcdEmu/emuLine.h"
#include "tools/lcdEmu/panelView.h"

#define NCURSES_NOMACROS 1
#include <curses.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int POLL_MS = 5;
const uint32_t DRAW_MS = 40;
const int SCREEN_TOP = 1, SCREEN_LEFT = 2, LED_LEFT = 27;

enum { PAIR_RED = 1, PAIR_GREEN, PAIR_YELLOW, PAIR_LIT, PAIR_DARK };

/* The LEDs from the top of the panel down, with the status each shows
** (the console unit drives LED 3 - n from its status line n). */
struct ledRow {
  int led;
  const char* label;
};
const ledRow ledRows[] = {{3, "System"}, {2, "Audio"}, {1, "GPS"}, {0, "Importer"}, {-1, nullptr}};

/* Keyboard key -> the panel's key name for emuLine::pressKeys. */
struct keyRow {
  int key;
  const char* panelKey;
};
const keyRow keyRows[] = {
    {KEY_UP, "up"}, {KEY_DOWN, "down"}, {KEY_LEFT, "left"}, {KEY_RIGHT, "right"},
    {'\n', "select"}, {'\r', "select"}, {KEY_ENTER, "select"}, {0, nullptr},
};

const char* const helpLines[] = {
    "Keys: arrows  up down left right     Enter  select (V)",
    "      x, Esc  X alone (back; \"no\" in a box)   q  quit",
    "      Space   hold X for the next key: X+Up x5, X+Down backspace,",
    "              X+Left delete, X+Right insert, X+Enter help",
    nullptr,
};

/* Text at (row, column), cut at the window's right edge (never wrapped). */
void put(int row, int column, const char* text, int attrs = 0) {
  int rows, cols;
  getmaxyx(stdscr, rows, cols);
  int n = (int)strlen(text);
  if (row < 0 || row >= rows || column >= cols) return;
  if (n > cols - column) n = cols - column;
  if (attrs) wattron(stdscr, attrs);
  mvwaddnstr(stdscr, row, column, text, n);
  if (attrs) wattroff(stdscr, attrs);
}

class panelView {
public:
  panelView(emuLine& l, const std::string& dev) : line(l), device(dev) {}

  bool start() {
    if (!isatty(0) || !isatty(1)) return false;
    fflush(stdout);
    scr = newterm(nullptr, stdout, stdin);
    if (scr == nullptr) return false;
    set_term(scr);
    set_escdelay(100);
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    wtimeout(stdscr, 0);
    colours = has_colors();
    if (colours) {
      start_color();
      init_pair(PAIR_RED, COLOR_BLACK, COLOR_RED);
      init_pair(PAIR_GREEN, COLOR_BLACK, COLOR_GREEN);
      init_pair(PAIR_YELLOW, COLOR_BLACK, COLOR_YELLOW);
      init_pair(PAIR_LIT, COLOR_BLACK, COLOR_CYAN);
      init_pair(PAIR_DARK, COLOR_WHITE, COLOR_BLACK);
    }
    return true;
  }
  ~panelView() {
    if (scr == nullptr) return;
    endwin();
    delscreen(scr);
  }

  /* Every waiting key; false when the operator quits. */
  bool readKeys() {
    for (int k; (k = wgetch(stdscr)) != ERR;) {
      if (k == 'q' || k == 'Q') return false;
      if (k == KEY_RESIZE) {
        werase(stdscr);
        continue;
      }
      if (k == ' ') {
        xCombo = !xCombo;
        continue;
      }
      if (k == 'x' || k == 'X' || k == 27) {
        xCombo = false;
        line.pressKeys("x");
        continue;
      }
      for (const keyRow* r = keyRows; r->panelKey; ++r) {
        if (r->key != k) continue;
        std::string keys = xCombo ? std::string("x+") + r->panelKey : r->panelKey;
        line.pressKeys(keys.c_str());
        xCombo = false;
        break;
      }
    }
    return true;
  }

  void draw() {
    const emuPanel& p = line.panel;
    char text[128];
    snprintf(text, sizeof text, "Front panel on %s", device.c_str());
    put(0, 0, text, A_BOLD);
    put(SCREEN_TOP, SCREEN_LEFT, "+--------------------+");
    put(SCREEN_TOP + emuPanel::ROWS + 1, SCREEN_LEFT, "+--------------------+");
    int lcd = colours ? COLOR_PAIR(p.backlight > 0 ? PAIR_LIT : PAIR_DARK) : 0;
    for (int r = 0; r < emuPanel::ROWS; ++r) {
      char row[emuPanel::COLS + 1];
      for (int c = 0; c < emuPanel::COLS; ++c) row[c] = p.printable(p.screen[r][c]);
      row[emuPanel::COLS] = '\0';
      put(SCREEN_TOP + 1 + r, SCREEN_LEFT, "|");
      put(SCREEN_TOP + 1 + r, SCREEN_LEFT + 1, row, lcd);
      put(SCREEN_TOP + 1 + r, SCREEN_LEFT + 1 + emuPanel::COLS, "|");
    }
    for (int i = 0; ledRows[i].led >= 0; ++i) drawLed(SCREEN_TOP + 1 + i, ledRows[i]);
    snprintf(text, sizeof text, "backlight %3d  contrast %3d  %-28s", p.backlight, p.contrast,
             xCombo ? "X held: the next key is X+key" : "");
    put(SCREEN_TOP + emuPanel::ROWS + 2, SCREEN_LEFT, text);
    for (int i = 0; helpLines[i]; ++i) put(SCREEN_TOP + emuPanel::ROWS + 4 + i, 0, helpLines[i]);
    placeCursor();
    wrefresh(stdscr);
  }

private:
  /* "[    ] System    green" with the cells in the LED's colour: the first
  ** element is red, the second green, both lit yellow. */
  void drawLed(int row, const ledRow& r) {
    const emuPanel& p = line.panel;
    bool red = p.ledLevel[r.led][0] > 0, green = p.ledLevel[r.led][1] > 0;
    const char* name = red && green ? "yellow" : red ? "red" : green ? "green" : "off";
    int pair = red && green ? PAIR_YELLOW : red ? PAIR_RED : green ? PAIR_GREEN : 0;
    put(row, LED_LEFT, "[");
    put(row, LED_LEFT + 1, "    ", colours && pair ? COLOR_PAIR(pair) : 0);
    char text[48];
    snprintf(text, sizeof text, "] %-9s%-7s", r.label, name);
    put(row, LED_LEFT + 5, text);
  }
  /* The display's own cursor where it is switched on, else out of the way. */
  void placeCursor() {
    const emuPanel& p = line.panel;
    bool on = p.cursorStyle != 0 && p.cursorRow >= 0 && p.cursorRow < emuPanel::ROWS &&
              p.cursorCol >= 0 && p.cursorCol < emuPanel::COLS;
    curs_set(on ? 1 : 0);
    if (on)
      wmove(stdscr, SCREEN_TOP + 1 + p.cursorRow, SCREEN_LEFT + 1 + p.cursorCol);
    else
      wmove(stdscr, 0, 0);
  }

  emuLine& line;
  std::string device;
  SCREEN* scr = nullptr;
  bool colours = false;
  bool xCombo = false;  /* Space pressed: the next key goes with X held */
};

}  // namespace

int runPanelView(emuLine& line, const std::string& device, volatile sig_atomic_t* stop) {
  panelView view(line, device);
  if (!view.start()) {
    fprintf(stderr, "lcdEmu: -v needs a terminal on standard input and output (TERM=%s)\n",
            getenv("TERM") ? getenv("TERM") : "");
    return 1;
  }
  uint32_t lastDraw = 0;
  bool first = true;
  while (!*stop) {
    struct pollfd p[2] = {{line.fd(), POLLIN, 0}, {0, POLLIN, 0}};
    int n = poll(p, 2, POLL_MS);
    if (n > 0 && (p[0].revents & POLLIN)) line.readLine();
    if (!view.readKeys()) break;
    line.sendDue();
    uint32_t now = line.nowMs();
    if (first || now - lastDraw >= DRAW_MS) {
      view.draw();
      lastDraw = now;
      first = false;
    }
  }
  return 0;
}
