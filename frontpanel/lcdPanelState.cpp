/*
** LCD4x20, the display's own state: LEDs and their blinking, the custom
** character sets, the boot (power-up) state, the shutdown state and the
** five adjustment screens the display runs on its own rows.
*/
#include "frontpanel/LCD4x20.h"

#include <cstdio>
#include <cstring>

#include "diag/trace.h"

namespace {

const float FLASH_PHASE = 0.3f;
const float AUTO_STEP = 0.04f;
const int AUTO_SWEEPS = 6;

/* Custom characters: set, glyph, 8 pattern rows; ended by set -1. */
struct glyphRow {
  int set;
  int glyph;
  uint8_t rows[8];
};
const glyphRow glyphRows[] = {
    {0, 0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {0, 2, {0x00, 0x00, 0x01, 0x03, 0x36, 0x3C, 0x18, 0x00}},
    {0, 1, {0x33, 0x33, 0x1E, 0x0C, 0x1E, 0x33, 0x33, 0x00}},
    {1, 0, {0x2A, 0x15, 0x2A, 0x15, 0x2A, 0x15, 0x2A, 0x00}},
    {1, 1, {0x00, 0x00, 0x10, 0x2D, 0x02, 0x00, 0x00, 0x00}},
    {1, 2, {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00}},
    {1, 3, {0x10, 0x10, 0x10, 0x20, 0x10, 0x10, 0x10, 0x00}},
    {1, 4, {0x08, 0x08, 0x18, 0x28, 0x08, 0x08, 0x08, 0x00}},
    {1, 5, {0x04, 0x04, 0x14, 0x2C, 0x04, 0x04, 0x04, 0x00}},
    {1, 6, {0x02, 0x02, 0x12, 0x2E, 0x02, 0x02, 0x02, 0x00}},
    {1, 7, {0x01, 0x01, 0x11, 0x2D, 0x03, 0x01, 0x01, 0x00}},
    {-1, 0, {0}},
};

/* The adjustment screens: value line, small and large steps (up/down,
** right/left), range, idle limit in seconds, automatic sweep range. */
struct adjustDef {
  int screen;
  const char* format;
  const char* zeroText;
  int small, large;
  int low, high;
  float idleLimit;
  int autoLow, autoHigh;
};
const adjustDef adjustDefs[] = {
    {lcdADJ_CONTRAST, "CONTRAST=%03i **** ", nullptr, 2, 15, 5, 250, 5.0f, 30, 180},
    {lcdADJ_BACKLIGHT, "NORMAL BCKLIGHT=%03i ", nullptr, 1, 8, 0, 100, 5.0f, 0, 100},
    {lcdADJ_DIMMED, "DIMMED BCKLIGHT=%03i ", nullptr, 1, 8, 0, 100, 5.0f, 0, 100},
    {lcdADJ_TIMEOUT, "BACKLGHT TIMEOUT=%03i", "BACKLGHT TIMEOUT OFF", 5, 20, 0, 250, 5.0f, 0, 250},
    {lcdADJ_LED, " LED BRIGHTNESS=%03i", nullptr, 1, 7, 2, 100, 10.0f, 2, 100},
    {-1, nullptr, nullptr, 0, 0, 0, 0, 0.0f, 0, 0},
};
const adjustDef* adjustFor(int screen) {
  for (const adjustDef* d = adjustDefs; d->screen >= 0; ++d)
    if (d->screen == screen) return d;
  return nullptr;
}

/* A whole row: the text blank-padded to the width, so no earlier
** character stays behind a shorter line. */
void padRow(char* line, int size) {
  size_t n = strlen(line);
  while ((int)n < LCD4x20::COLS && (int)n + 1 < size) line[n++] = ' ';
  line[n] = '\0';
}

}  // namespace

/* ---- LEDs --------------------------------------------------------------- */

/* Element 0 is output 2*led+6 (slots 6..9), element 1 output 2*led+5
** (slots 10..13). */
void LCD4x20::sendLedElement(int led, int element, int level) {
  uint8_t data[2] = {(uint8_t)(2 * led + (element == 0 ? 6 : 5)), (uint8_t)level};
  send((element == 0 ? 6 : 10) + led, data, 2);
}

void LCD4x20::setLed(int led, int colour, bool flash) {
  if (led < 0 || led >= LEDS) return;
  ledState& l = leds[led];
  if (colour == lcdLED_KEEP) colour = l.colour;
  for (int e = 0; e < 2; ++e) {
    int bit = 1 << e;
    bool changed = (colour & bit) != (l.colour & bit) || l.brightness != ledBrightness;
    if (changed) sendLedElement(led, e, (colour & bit) ? ledBrightness : 0);
  }
  l.colour = colour;
  l.brightness = ledBrightness;
  bool flashChanged = l.flash != flash;
  l.flash = flash;
  if (flashChanged) setFlashing();
}

void LCD4x20::setAllLeds(int colour, int brightness, bool flash) {
  int kept = ledBrightness;
  ledBrightness = brightness;
  for (int i = 0; i < LEDS; ++i) setLed(i, colour, flash);
  ledBrightness = kept;
}

void LCD4x20::setFlashing() {
  bool any = false;
  for (const ledState& l : leds) any = any || l.flash;
  if (any == flashing) return;
  flashing = any;
  TRACE(pTraceLevel, 1, "LED Flashing now %s\n", any ? "enabled" : " DISabled");
  flashPhase = false;
  flashTimer.setPeriod(FLASH_PHASE);
  flashTimer.restart();
  if (!any) refreshLeds();
}

/* Every LED sent again at the current brightness (after a settings
** change or when flashing stops). */
void LCD4x20::refreshLeds() {
  for (int i = 0; i < LEDS; ++i)
    for (int e = 0; e < 2; ++e) sendLedElement(i, e, (leds[i].colour & (1 << e)) ? ledBrightness : 0);
  for (ledState& l : leds) l.brightness = ledBrightness;
}

void LCD4x20::blinkTick() {
  if (!flashing || !flashTimer.checkAndRestart()) return;
  flashPhase = !flashPhase;
  for (int i = 0; i < LEDS; ++i) {
    if (!leds[i].flash) continue;
    for (int e = 0; e < 2; ++e)
      if (leds[i].colour & (1 << e)) sendLedElement(i, e, flashPhase ? 0 : ledBrightness);
  }
}

void LCD4x20::setLedPowerUp(int led, int colour) {
  if (led >= 0 && led < LEDS) leds[led].powerUp = colour;
}

/* ---- custom characters -------------------------------------------------- */

void LCD4x20::loadCharSet(int set) {
  if (set != 0 && set != 1) {
    TRACE(pTraceLevel, 0, "Invalid special character set requested (%i)\n", set);
    return;
  }
  if (set == charSet) return;
  for (const glyphRow* g = glyphRows; g->set >= 0; ++g) {
    if (g->set != set) continue;
    if (g->glyph >= 8) {
      TRACE(pTraceLevel, 0, "Invalid special character number : %i\n", g->glyph);
      break;
    }
    uint8_t data[9];
    data[0] = (uint8_t)g->glyph;
    memcpy(data + 1, g->rows, 8);
    send(23 + g->glyph, data, 9);
  }
  charSet = set;
}

/* ---- boot and shutdown state -------------------------------------------- */

void LCD4x20::setBootRow(int row, const char* text) {
  if (row < 0 || row >= ROWS) return;
  snprintf(bootText[row], sizeof bootText[row], "%-20.20s", text ? text : "");
  bootValid = true;
}

void LCD4x20::writeBootState() {
  if (bootValid) {
    TRACE(pTraceLevel, 1, "Boot text is valid.\n");
    for (int r = 0; r < ROWS; ++r) writeRow(r, 0, bootText[r], COLS);
  } else {
    TRACE(pTraceLevel, 1, "Boot text is NOT valid.........\n");
  }
  waitQueueEmpty(0.3f, "pre power up state write");
  ledState saved[LEDS];
  memcpy(saved, leds, sizeof saved);
  for (int i = 0; i < LEDS; ++i) setLed(i, leds[i].powerUp, false);
  setCursorStyle(0);
  waitQueueEmpty(0.2f, "led power up state config");
  send(1, nullptr, 0);
  waitQueueEmpty(0.3f, "writing power up state");
  for (int i = 0; i < LEDS; ++i) setLed(i, saved[i].colour, saved[i].flash);
}

void LCD4x20::sendShutdownState() {
  setBacklight(user[lcdUS_NORMAL]);
  setAllLeds(lcdLED_ERROR, 5, false);
  setCursorStyle(0);
  waitQueueEmpty(0.3f, "shutdown messages.");
}

void LCD4x20::writeUserSettings() {
  uint8_t data[lcdUS_SIZE + 2];
  memcpy(data, user, lcdUS_SIZE);
  uint16_t cs = lcdCrc16(user, lcdUS_SIZE, false);
  data[lcdUS_SIZE] = (uint8_t)(cs & 0xFF);
  data[lcdUS_SIZE + 1] = (uint8_t)(cs >> 8);
  send(21, data, sizeof data);
  TRACE(pTraceLevel, 1, "Flash data written. Calc CS = %04x\n", cs);
}

/* ---- adjustment screens ------------------------------------------------- */

int LCD4x20::startAdjust(int screen, bool automatic) {
  const adjustDef* d = adjustFor(screen);
  if (d == nullptr) return 0;
  adjust.screen = screen;
  adjust.automatic = automatic;
  switch (screen) {
    case lcdADJ_CONTRAST: adjust.value = settingsBlock[lcdSETTINGS_CONTRAST]; break;
    case lcdADJ_BACKLIGHT: adjust.value = user[lcdUS_NORMAL]; break;
    case lcdADJ_DIMMED: adjust.value = user[lcdUS_DIMMED]; break;
    case lcdADJ_TIMEOUT: adjust.value = user[lcdUS_TIMEOUT]; break;
    default: adjust.value = user[lcdUS_LED]; break;
  }
  if (adjust.value < d->low) adjust.value = d->low;
  if (adjust.value > d->high) adjust.value = d->high;
  adjust.saved = adjust.value;
  adjust.direction = 1;
  adjust.sweeps = 0;
  adjust.idle.setPeriod(d->idleLimit);
  adjust.idle.restart();
  adjust.step.setPeriod(AUTO_STEP);
  adjust.step.restart();
  char line[COLS + 8];
  snprintf(line, sizeof line, " %c/%c=+/-%i %c/%c=+/-%02i ", 0xE0, 0xDE, d->small, 0xE1, 0xDF,
           d->large);
  padRow(line, sizeof line);
  writeRow(1, 0, line, COLS);
  snprintf(line, sizeof line, "       %c to Accept   ", 2);
  padRow(line, sizeof line);
  writeRow(2, 0, line, COLS);
  snprintf(line, sizeof line, "       %c to Cancel   ", 1);
  padRow(line, sizeof line);
  writeRow(3, 0, line, COLS);
  setCursorStyle(0);
  adjustShow();
  return lcdEV_ADJUST_START;
}

void LCD4x20::adjustShow() {
  const adjustDef* d = adjustFor(adjust.screen);
  char line[COLS + 8];
  if (d->zeroText != nullptr && adjust.value == 0)
    snprintf(line, sizeof line, "%s", d->zeroText);
  else
    snprintf(line, sizeof line, d->format, adjust.value);
  padRow(line, sizeof line);
  writeRow(0, 0, line, COLS);
}

/* Contrast and backlight show at once so the operator sees them. */
void LCD4x20::adjustApply(int value) {
  if (adjust.screen == lcdADJ_CONTRAST) setContrast(value);
  if (adjust.screen == lcdADJ_BACKLIGHT || adjust.screen == lcdADJ_DIMMED) setBacklight(value);
}

int LCD4x20::adjustKey(int k) {
  const adjustDef* d = adjustFor(adjust.screen);
  adjust.automatic = false;
  adjust.idle.restart();
  int step = 0;
  switch (k) {
    case lcdEV_UP: step = d->small; break;
    case lcdEV_DOWN: step = -d->small; break;
    case lcdEV_LEFT: step = -d->large; break;
    case lcdEV_RIGHT: step = d->large; break;
    case lcdEV_SELECT: return adjustEnd(true);
    case lcdEV_X: return adjustEnd(false);
    default: return lcdEV_ADJUST_RUN;
  }
  int v = adjust.value + step;
  if (v < d->low) v = d->low;
  if (v > d->high) v = d->high;
  adjust.value = v;
  adjustApply(v);
  adjustShow();
  return lcdEV_ADJUST_RUN;
}

int LCD4x20::adjustRun() {
  const adjustDef* d = adjustFor(adjust.screen);
  if (adjust.automatic) {
    if (!adjust.step.checkAndRestart()) return lcdEV_ADJUST_RUN;
    int v = adjust.value + adjust.direction * d->small;
    if (v >= d->autoHigh || v <= d->autoLow) {
      v = v >= d->autoHigh ? d->autoHigh : d->autoLow;
      adjust.direction = -adjust.direction;
      if (++adjust.sweeps >= AUTO_SWEEPS) return adjustEnd(false);
    }
    adjust.value = v;
    adjustApply(v);
    adjustShow();
    adjust.idle.restart();
    return lcdEV_ADJUST_RUN;
  }
  if (adjust.idle.isExpired()) return adjustEnd(true);
  return lcdEV_ADJUST_RUN;
}

int LCD4x20::adjustEnd(bool accept) {
  int screen = adjust.screen;
  int v = accept ? adjust.value : adjust.saved;
  if (!accept) adjustApply(v);
  adjust.screen = lcdADJ_NONE;
  if (accept) {
    switch (screen) {
      case lcdADJ_CONTRAST: settingsBlock[lcdSETTINGS_CONTRAST] = (uint8_t)v; break;
      case lcdADJ_BACKLIGHT: user[lcdUS_NORMAL] = (uint8_t)v; break;
      case lcdADJ_DIMMED: user[lcdUS_DIMMED] = (uint8_t)v; break;
      case lcdADJ_TIMEOUT: user[lcdUS_TIMEOUT] = (uint8_t)v; break;
      default: user[lcdUS_LED] = (uint8_t)v; ledBrightness = v; refreshLeds(); break;
    }
    if (screen != lcdADJ_CONTRAST) writeUserSettings();
    if (screen == lcdADJ_CONTRAST || screen == lcdADJ_BACKLIGHT) writeBootState();
  }
  setBacklight(user[lcdUS_NORMAL]);
  backlightTimer.setPeriod(user[lcdUS_TIMEOUT] ? user[lcdUS_TIMEOUT] : 1000.0f);
  backlightTimer.restart();
  return lcdEV_ADJUST_END;
}
