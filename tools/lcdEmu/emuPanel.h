/*
** The emulated front-panel display: a 4x20 character screen, cursor,
** contrast, backlight, four two-colour LEDs, the settings and user settings
** blocks and the custom characters, changed by the frames the console unit
** sends and answered as the display's firmware answers them.
**
** Requests and answers (command byte; every request is answered with its
** own command byte, with bit 6 set when replyBit6 is on):
**   0 ping, 4 store power-up state, 11 cursor (column,row), 12 cursor style,
**   13 contrast, 14 backlight, 34 LED element (output, level),
**   31 write (column, row, text), 23 "??", 9 custom character,
**   2 write user settings (14 B + check value)     -> empty answers
**   30 read settings   -> 15 bytes, byte 13 the contrast
**   24 key state       -> 1 byte: 0x04 X held, plus the forced bits
**   3 read user block  -> 14 bytes + uncomplemented check value (LE)
** Key frames to the console unit: command 0x80, one byte (1 up, 2 down,
** 3 left, 4 right, 5 select, 6 X pressed, 12 X released).
*/
#ifndef TOOLS_LCDEMU_EMUPANEL_H
#define TOOLS_LCDEMU_EMUPANEL_H

#include <cstdint>
#include <string>

#include "frontpanel/lcdFrame.h"

class emuPanel {
public:
  enum { ROWS = 4, COLS = 20, LEDS = 4 };
  emuPanel();

  /* Handle one frame; writes the answer (if any) into out and returns its
  ** length (0: no answer).  *changed is set when the screen changed. */
  int handle(const lcdFrame& f, uint8_t* out, bool* changed);

  /* Screen as text: a frame around 4 rows, display codes shown as
  ** readable characters, then a state line, then "END". */
  std::string dump() const;
  std::string stateLine() const;
  /* Display codes as readable characters; custom characters 0..7 by the
  ** set loaded: menus ' ' 'X' 'V', level meters '#' '-' '|'. */
  char printable(uint8_t c) const;
  bool meterGlyphs;        /* the level-meter set is loaded (glyph 3 defined) */
  uint8_t glyph[8][8];     /* custom characters 0..7 as loaded: 8 rows, 5 bits each */

  bool replyBit6;
  bool xHeld;
  int forcedKeyBits;
  uint8_t screen[ROWS][COLS];
  int cursorRow, cursorCol, cursorStyle;
  int contrast, backlight;
  int ledLevel[LEDS][2];   /* element 0: output 2L+6, element 1: 2L+5 */
  uint8_t settings[15];
  uint8_t user[14];
  int frames;              /* frames handled */
  int powerUpStores;       /* command 4 count */
  uint8_t powerUpScreen[ROWS][COLS];
};

#endif
