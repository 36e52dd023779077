/*
** The display's state as JSON for the page (see panelState.h).  Only
** numbers go out, so nothing from the line needs quoting.
*/
#include "tools/webPanel/panelState.h"

namespace {

void numbers(std::string* s, const char* name, const int* v, int n) {
  *s += '"';
  *s += name;
  *s += "\":[";
  for (int i = 0; i < n; ++i) {
    if (i > 0) *s += ',';
    *s += std::to_string(v[i]);
  }
  *s += "],";
}

}  // namespace

std::string panelStateJson(const emuPanel& p, bool link) {
  int screen[emuPanel::ROWS * emuPanel::COLS];
  for (int r = 0; r < emuPanel::ROWS; ++r)
    for (int c = 0; c < emuPanel::COLS; ++c) screen[r * emuPanel::COLS + c] = p.screen[r][c];
  int cursor[3] = {p.cursorRow, p.cursorCol, p.cursorStyle};
  int leds[emuPanel::LEDS * 2];
  for (int l = 0; l < emuPanel::LEDS; ++l) {
    leds[2 * l] = p.ledLevel[l][0];
    leds[2 * l + 1] = p.ledLevel[l][1];
  }
  int glyphs[64];
  for (int g = 0; g < 8; ++g)
    for (int r = 0; r < 8; ++r) glyphs[g * 8 + r] = p.glyph[g][r];
  std::string s = "{";
  s.reserve(700);
  numbers(&s, "screen", screen, emuPanel::ROWS * emuPanel::COLS);
  numbers(&s, "cursor", cursor, 3);
  numbers(&s, "leds", leds, emuPanel::LEDS * 2);
  numbers(&s, "glyphs", glyphs, 64);
  s += "\"backlight\":" + std::to_string(p.backlight) + ",\"normal\":" + std::to_string(p.user[2]) +
       ",\"contrast\":" + std::to_string(p.contrast) + ",\"link\":" + (link ? "true" : "false") +
       "}";
  return s;
}
