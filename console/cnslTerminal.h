/*
** cnslTerminal: the one door of the terminal front end to ncurses.
**
** treeEditorCnsl draws and reads keys only through this small interface,
** so the ncurses macros (refresh, clear, timeout ...) never meet the
** editor's own names, and a test can stand a recording screen in for the
** terminal.  cnslCursesTerminal (cnslCurses.cpp) is the real one.
**
** Rows and columns are the terminal's, from 0.  Text that would run past
** the right edge is cut there (never wrapped onto the next row).
*/
#ifndef CONSOLE_CNSLTERMINAL_H
#define CONSOLE_CNSLTERMINAL_H

/* Colour pairs of the terminal front end. */
enum cnslColourPair {
  cnslPAIR_GREEN_ON_BLACK = 1,
  cnslPAIR_BLACK_ON_GREEN = 2,   /* ok */
  cnslPAIR_BLACK_ON_YELLOW = 3,  /* warning */
  cnslPAIR_YELLOW_ON_RED = 4     /* error, unknown */
};

class cnslTerminal {
public:
  virtual ~cnslTerminal() {}
  /* Open the terminal (initscr); false when it cannot be driven (also
  ** when standard input or output is not a terminal). */
  virtual bool start() = 0;
  virtual bool hasColours() = 0;
  /* start_color and the four pairs above. */
  virtual void startColours() = 0;
  /* On: cbreak, noecho, reads do not wait, keypad.  Off: nocbreak, echo,
  ** reads wait, keypad off, endwin. */
  virtual void rawMode(bool on) = 0;
  /* endwin without leaving raw mode first (raw mode already off). */
  virtual void end() = 0;
  /* The next waiting key (ncurses code), or -1 when none waits. */
  virtual int readKey() = 0;
  virtual void put(int row, int column, const char* text, int length) = 0;
  /* Colour `cells` cells from (row, column) with a pair; 0 = plain. */
  virtual void colour(int row, int column, int cells, int pair) = 0;
  virtual void moveCursor(int row, int column) = 0;
  virtual void flush() = 0;       /* wrefresh */
  virtual void clearAll() = 0;    /* blank the whole window (resize) */
  /* The window's rows and columns, also before start; 0 x 0 when the
  ** size cannot be told (no limit then). */
  virtual void size(int* rows, int* columns) = 0;
};

/* The real terminal on the process's standard input and output.  While it
** is in raw mode, standard output and standard error (and so whatever a
** child started meanwhile prints) go to the stray output file instead of
** over the screen; ncurses itself draws through a private copy of the
** terminal's descriptor. */
cnslTerminal* cnslNewCursesTerminal();
/* The stray output file ("doVA.console.log" in the working directory until
** set); opened for appending each time the terminal goes raw. */
void cnslSetStrayOutputFile(const char* path);

/* A terminal key as the editor's key code:
**   line feed 10, carriage return 13      treeKEY_ENTER
**   escape 27, KEY_BACKSPACE, KEY_DC      treeKEY_ESCAPE
**   KEY_DOWN / KEY_UP                     treeKEY_DOWN / treeKEY_UP
**   KEY_LEFT / KEY_RIGHT                  treeKEY_LEFT / treeKEY_RIGHT
**   KEY_IC                                treeKEY_INSERT_ALT (4111)
**   KEY_F(1)                              treeKEY_HELP (the panel's X key:
**                                         "no" in a message box)
**   KEY_F(2)                              treeKEY_AUX
**   anything else                         unchanged
** Backspace and Delete do not erase: they open the save prompt. */
int cnslMapKey(int key);
/* The terminal changed its size (KEY_RESIZE): the front end repaints. */
bool cnslIsResize(int key);

#endif
