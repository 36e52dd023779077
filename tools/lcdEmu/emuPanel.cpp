/*
** The emulated display's firmware (see emuPanel.h).
*/
#include "tools/lcdEmu/emuPanel.h"

#include <cstdio>
#include <cstring>

namespace {

/* Display codes and what the dump shows for them; ended by code -1. */
const int shownAs[][2] = {
    {222, '^'}, {224, 'v'}, {225, '<'}, {223, '>'}, {16, '>'}, {148, '.'},
    {2, 'V'},   {1, 'X'},   {0, ' '},   {18, '<'},  {19, '>'}, {-1, 0},
};

}  // namespace

emuPanel::emuPanel()
    : meterGlyphs(false), replyBit6(false), xHeld(false), forcedKeyBits(0), cursorRow(0), cursorCol(0),
      cursorStyle(0), contrast(120), backlight(0), frames(0), powerUpStores(0) {
  memset(screen, ' ', sizeof screen);
  memset(powerUpScreen, ' ', sizeof powerUpScreen);
  memset(ledLevel, 0, sizeof ledLevel);
  memset(glyph, 0, sizeof glyph);
  memset(settings, 0, sizeof settings);
  settings[13] = (uint8_t)contrast;
  memset(user, 0, sizeof user);
  user[0] = 10;  /* dimmed */
  user[1] = 60;  /* timeout s */
  user[2] = 80;  /* normal */
  user[3] = 50;  /* LED brightness */
}

char emuPanel::printable(uint8_t c) const {
  if (meterGlyphs && c < 8) return c == 0 ? '#' : (c == 1 ? '-' : '|');
  for (int i = 0; shownAs[i][0] >= 0; ++i)
    if (shownAs[i][0] == c) return (char)shownAs[i][1];
  return (c >= 32 && c < 127) ? (char)c : '?';
}

int emuPanel::handle(const lcdFrame& f, uint8_t* out, bool* changed) {
  ++frames;
  *changed = false;
  uint8_t reply[lcdFRAME_MAX_DATA];
  int n = 0;
  const uint8_t* d = f.data;
  switch (f.command) {
    case 0: case 23: break;
    case 9:  /* only the level-meter set defines glyphs beyond 2 */
      if (f.length >= 1 && f.data[0] == 3) meterGlyphs = true;
      if (f.length >= 1 && f.data[0] == 1) meterGlyphs = false;
      if (f.length >= 9 && f.data[0] < 8) memcpy(glyph[f.data[0]], f.data + 1, 8);
      *changed = true;
      break;
    case 4:
      ++powerUpStores;
      memcpy(powerUpScreen, screen, sizeof screen);
      break;
    case 11:
      if (f.length >= 2 && d[0] < COLS && d[1] < ROWS) { cursorCol = d[0]; cursorRow = d[1]; *changed = true; }
      break;
    case 12: if (f.length >= 1) { cursorStyle = d[0]; *changed = true; } break;
    case 13: if (f.length >= 1) { contrast = d[0]; settings[13] = d[0]; } break;
    case 14: if (f.length >= 1) backlight = d[0]; break;
    case 34:
      if (f.length >= 2 && d[0] >= 5 && d[0] <= 2 * (LEDS - 1) + 6)
        ledLevel[(d[0] - 5) / 2][(d[0] % 2 == 0) ? 0 : 1] = d[1];
      *changed = true;
      break;
    case 31:
      if (f.length >= 2 && d[1] < ROWS)
        for (int i = 2, col = d[0]; i < f.length && col < COLS; ++i, ++col) screen[d[1]][col] = d[i];
      *changed = true;
      break;
    case 30: memcpy(reply, settings, sizeof settings); n = (int)sizeof settings; break;
    case 24: reply[0] = (uint8_t)((xHeld ? 0x04 : 0) | forcedKeyBits); n = 1; break;
    case 2:
      if (f.length >= 16 && lcdCrc16(d, 14, false) == (uint16_t)(d[14] | (d[15] << 8)))
        memcpy(user, d, sizeof user);
      break;
    case 3: {
      memcpy(reply, user, sizeof user);
      uint16_t cs = lcdCrc16(user, 14, false);
      reply[14] = (uint8_t)(cs & 0xFF);
      reply[15] = (uint8_t)(cs >> 8);
      n = 16;
      break;
    }
    default: return 0;  /* unknown to this firmware: no answer */
  }
  return lcdBuildFrame((uint8_t)(f.command | (replyBit6 ? 0x40 : 0)), reply, n, out);
}

std::string emuPanel::stateLine() const {
  char s[256];
  snprintf(s, sizeof s,
           "cursor %d,%d style %d backlight %d contrast %d leds %d/%d %d/%d %d/%d %d/%d",
           cursorRow, cursorCol, cursorStyle, backlight, contrast, ledLevel[0][0], ledLevel[0][1],
           ledLevel[1][0], ledLevel[1][1], ledLevel[2][0], ledLevel[2][1], ledLevel[3][0],
           ledLevel[3][1]);
  return s;
}

std::string emuPanel::dump() const {
  std::string s = "+--------------------+\n";
  for (int r = 0; r < ROWS; ++r) {
    s += '|';
    for (int c = 0; c < COLS; ++c) s += printable(screen[r][c]);
    s += "|\n";
  }
  s += "+--------------------+\n";
  s += stateLine() + "\nEND\n";
  return s;
}
