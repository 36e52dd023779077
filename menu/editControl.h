/*
** treeEditControl: the item editor the menu opens on a tit_EDIT item.
**
** It owns the editor's body rows while it runs and offers one of three
** entries: a choice list, number stepping, or text composed character by
** character from a valid set (with fixed formats for IPv4, MAC and
** date-time, and a window over the whole value for long texts).  Enter or
** Escape asks for confirmation; saving hands the value as text to the
** configuration client, which forwards it to the master.
**
** Results of processKey: 1 editing goes on, 3 cancelled, 4 saved.
** editControlInit returns 1 when editing started, 0 when it was refused
** (value missing from its choice list: 21004, priority 4).
**
** Field limits by data type (a number's field holds every value of its
** range: the wider of the printed minimum and maximum, "-800" is 4):
**   int      "%i" of min / max (text), or +5 columns when stepping
**   float    "%f" of min / max + 3         ip  15 ("%03i.%03i.%03i.%03i")
**   mac      17                            date-time 19 ("YYYY/MM/DD hh:mm:ss")
**   text     a window over the whole value (item maximum, at most 1024)
**
** Saved text per data type: the field as shown, trailing blanks cut (an
** IPv4 address goes as its zero-padded groups, "192.168.001.002"); a long
** text goes quoted, two blanks when emptied; a date-time sets the system
** clock through the "date" command and sends nothing.
*/
#ifndef MENU_EDITCONTROL_H
#define MENU_EDITCONTROL_H

#include <string>

class ErrTrcLog;
class generic_cfg;
class data_itm_Base;
class treeItem;

class treeEditControl {
public:
  enum { EK_CHOICE = 0, EK_NUMBER = 1, EK_TEXT = 2 };
  enum { ER_EDITING = 1, ER_REFUSED = 2, ER_CANCELLED = 3, ER_SAVED = 4 };
  enum { OVERLAY_ROWS = 10, LONG_TEXT_MAX = 1024, STEP_RANGE = 25 };

  treeEditControl();

  /* Start editing `item` in rows[0..nRows-1] (each width + 1 bytes).
  ** saveChar/cancelChar 0: prompts name the keys saveName/quitName. */
  int editControlInit(generic_cfg* cfg, treeItem* item, char* const* rows, int nRows,
                      int width, ErrTrcLog* errLog, int saveChar, int cancelChar,
                      const char* saveName, const char* quitName);
  /* The front end's display characters 0..3 (x5, backspace, delete, insert). */
  void setDisplayChars(const int* chars) { dispChars = chars; }
  int processKey(int key);

  /* Where the text cursor is (body row, column) while text is entered. */
  bool cursor(int* row, int* column) const;
  bool isConfirming() const { return confirming; }
  /* Re-draw every row from the edit state (after something overwrote them). */
  void redrawAll();

  int editKind;
  int dataType;
  int result;
  treeItem* item;

private:
  void layout();
  void layoutTitle();
  void layoutPrevNew();
  void setupText();
  void setupNumber();
  void setupChoices();
  int choiceKey(int key);
  int numberKey(int key);
  int textKey(int key);
  void drawChoices();
  void choiceLine(int choice, char* out, int size) const;
  void scrollChoices();
  void writeNumber();
  void stepChar(int delta);
  void moveRight();
  void moveLeft();
  bool skipAt(int column) const;
  void fixCursorChar();
  void loadWindow();
  void storeWindow();
  void showHints();
  void openConfirm();
  int confirmKey(int key);
  int save();
  void saveText(std::string* text);
  int submit(const char* text, bool quoted);
  void prompt(int row, const char* text);
  void restoreOverlay();
  void putText(int row, int column, const char* text, int maxLen);
  void blank(int row);
  int setPosOf(char c) const;

  generic_cfg* cfg;
  ErrTrcLog* pErrLog;
  data_itm_Base* data;
  char* const* rows;
  int nRows;
  int width;
  const int* dispChars;
  int saveChar, cancelChar;
  std::string saveName, quitName;
  bool confirming;

  /* choices */
  int choiceCount;
  int highlighted;
  int firstShown;
  int listRows;

  /* number */
  int number;
  int minVal, maxVal;

  /* text */
  char* field;
  int fieldCol;      /* column of the field in its row */
  int lastCol;
  int cur;
  std::string validSet;
  int setPos;
  bool freeForm;
  std::string longBuf;  /* type 8: the whole value, blank-filled */
  int winOffset;

  /* overlay store: rows saved under prompts */
  std::string overlay[OVERLAY_ROWS];
  bool overlaySaved[OVERLAY_ROWS];
};

#endif
