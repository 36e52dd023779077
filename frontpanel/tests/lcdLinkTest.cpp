/* The LCD link against the display's firmware on a real pseudo-terminal:
** requests byte for byte, keys, bad bytes, timeouts, dimming, adjustments. */
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "frontpanel/LCD4x20.h"
#include "frontpanel/tests/ptyDisplay.h"
#include "tests/support/testSupport.h"

namespace {

int quiet = 0;  /* trace level: errors only */

frameBytes fb(std::initializer_list<int> b) { return frameBytes(b.begin(), b.end()); }

std::vector<uint8_t> wire(uint8_t command, const std::vector<uint8_t>& data) {
  uint8_t out[lcdFRAME_MAX];
  int n = lcdBuildFrame(command, data.data(), (int)data.size(), out);
  return std::vector<uint8_t>(out, out + n);
}

class LcdLink : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(display.ok());
    display.select();
  }
  void open() {
    lcd.setSearchPasses(1);
    ASSERT_EQ(0, lcd.lcdInit(&quiet, nullptr));
    lcd.waitQueueEmpty(1.0f, "test start");
    ASSERT_TRUE(lcd.idle());
  }
  /* Service the link for up to ms; the event that ends the wait (the first
  ** when until is 0, else `until`: an adjustment screen reports 27 on every
  ** idle call), 0 when none came; *seen counts every event. */
  int eventFor(int ms, int until = 0, int* seen = nullptr) {
    kvTimeStamp start;
    for (getTimeStamp(&start); (int)elapsedMs(&start) < ms; usleep(500)) {
      int ev = lcd.service();
      if (ev != 0 && seen) ++*seen;
      if (ev != 0 && (until == 0 || ev == until)) return ev;
    }
    return 0;
  }
  /* Service the link until the display has received `frame`. */
  bool serviceUntilFrame(const frameBytes& frame, int ms) {
    return testsup::waitUntil([&] {
      lcd.service();
      std::vector<frameBytes> f = display.frames();
      return std::find(f.begin(), f.end(), frame) != f.end();
    }, ms, 1);
  }
  void settle() {
    lcd.waitQueueEmpty(1.0f, "test");
    eventFor(20, -1);
  }
  std::string row(int r) {
    std::string s;
    display.with([&](emuLine& l) { s.assign((const char*)l.panel.screen[r], 20); });
    return s;
  }
  ptyDisplay display;
  LCD4x20 lcd;
};

}  // namespace

/* The link and the firmware share the frame code: only known values catch
** a slip in the check value (X.25; the user block's uncomplemented) or in
** the layout (command, length, data, check value little-endian). */
TEST(LcdFrame, checkValuesAndLayoutAreTheDisplaysOwn) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'}, user[14] = {10, 60, 80, 50};
  EXPECT_EQ(0x906E, lcdCrc16(text, 9));
  EXPECT_EQ(0xEADB, lcdCrc16(user, 14, false));
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x00, 0x47, 0x0F}), wire(0, {}));
  EXPECT_EQ((std::vector<uint8_t>{0x0B, 0x02, 0x03, 0x01, 0x92, 0xB2}), wire(11, {3, 1}));
  std::vector<uint8_t> big = wire(31, std::vector<uint8_t>(30, 'x'));  // 22 data bytes at most
  EXPECT_TRUE(big.size() == 26u && big[1] == 22);
}

TEST_F(LcdLink, startUpThenEveryRequestByteForByteAndGlyphsOnlyWhenTheSetChanges) {
  open();
  std::vector<frameBytes> f = display.frames();
  ASSERT_GE(f.size(), 6u);
  std::vector<frameBytes> first = {fb({0, 0}), fb({23, 2, '?', '?'}), fb({14, 1, 60}),
                                   fb({30, 0}), fb({3, 0}), fb({23, 2, '?', '?'})};
  EXPECT_EQ(first, std::vector<frameBytes>(f.begin(), f.begin() + 6));  // 60: default backlight
  // the display's user block (normal 80, LED brightness 50) took over
  EXPECT_EQ(80, lcd.userSettings()[lcdUS_NORMAL]);
  EXPECT_EQ((std::vector<frameBytes>{fb({14, 1, 60}), fb({14, 1, 80})}), display.framesOf(14));
  EXPECT_EQ(3u, display.framesOf(9).size());   /* the key glyphs */
  EXPECT_EQ(120, lcd.settings()[lcdSETTINGS_CONTRAST]);
  EXPECT_EQ(1, lcd.answeredCount(0));
  // every request goes out byte for byte, one at a time
  display.clearFrames();
  lcd.writeRow(2, 5, "Hello", 5);
  lcd.setCursorPos(1, 3);
  lcd.setCursorStyle(4);
  lcd.setBacklight(70);
  lcd.setContrast(100);
  lcd.setLed(1, lcdLED_WARN, false);
  lcd.setLed(1, lcdLED_KEEP, false);   // nothing changed: nothing sent
  lcd.setLed(3, lcdLED_ERROR, false);
  lcd.fillRow(0, '-');
  settle();
  frameBytes fill = fb({31, 22, 0, 0});
  fill.resize(24, '-');
  std::vector<frameBytes> expect = {
      fb({31, 7, 5, 2, 'H', 'e', 'l', 'l', 'o'}), fb({11, 2, 3, 1}), fb({12, 1, 4}),
      fb({14, 1, 70}), fb({13, 1, 100}),
      fb({34, 2, 8, 50}), fb({34, 2, 7, 50}),  // LED 1: outputs 2x1+6 and 2x1+5
      fb({34, 2, 12, 50}),                     // LED 3, first element only: colour 1
      fill};
  EXPECT_EQ(expect, display.frames());
  EXPECT_EQ("     Hello          ", row(2));
  // every request was answered before the next went out
  EXPECT_EQ(1, lcd.answeredCount(14 + 2));
  EXPECT_EQ(3, lcd.answeredCount(5));  // two at start-up
  display.clearFrames();  // the level-meter glyphs load once
  lcd.loadCharSet(1);
  lcd.loadCharSet(1);
  testing::internal::CaptureStdout();
  int q = 1;
  lcd.pTraceLevel = &q;
  lcd.loadCharSet(2);
  lcd.pTraceLevel = &quiet;
  std::string out = testing::internal::GetCapturedStdout();
  settle();
  std::vector<frameBytes> g = display.framesOf(9);
  ASSERT_EQ(8u, g.size());
  EXPECT_EQ(fb({9, 9, 7, 0x01, 0x01, 0x11, 0x2D, 0x03, 0x01, 0x01, 0x00}), g[7]);
  EXPECT_NE(std::string::npos, out.find("Invalid special character set requested (2)")) << out;
  EXPECT_EQ(1, lcd.loadedCharSet());
}

TEST_F(LcdLink, keysAndXCombinationsBecomeEventsAndGarbageNever) {
  open();
  struct {
    int key, xAfter, event;
  } steps[] = {
      {3, -1, lcdEV_LEFT},
      {6, 1, lcdEV_X},  // X, up while X is held, X released: 6, 13, 24
      {1, -1, 13},
      {12, 0, lcdEV_X_AFTER_COMBO},
      {6, 1, lcdEV_X},  // X pressed and released alone: 6, 12
      {12, 0, lcdEV_X_ALONE},
  };
  for (const auto& s : steps) {
    display.key(s.key, s.xAfter);
    EXPECT_EQ(s.event, eventFor(4000)) << "key " << s.key;
    settle();  // the key state is known before the next key
    EXPECT_TRUE(s.xAfter != 1 || lcd.keyState() == 4) << lcd.keyState();
  }
  EXPECT_EQ(6u, display.framesOf(24).size());  // every key asked for the key state
  display.inject({0xFF, 0x3F, 0x00, 0x99, 0x12});
  std::vector<uint8_t> bad = wire(0x80, {2});
  bad.back() ^= 0x01;
  display.inject(bad);
  std::vector<uint8_t> longFrame(25, 1);   /* 23 data bytes, one more than a frame holds */
  longFrame[0] = 0x80, longFrame[1] = 23;
  uint16_t crc = lcdCrc16(longFrame.data(), 25);
  longFrame.insert(longFrame.end(), {(uint8_t)(crc & 0xFF), (uint8_t)(crc >> 8)});
  display.inject(longFrame);
  int seen = 0;
  eventFor(200, -1, &seen);
  EXPECT_EQ(0, seen);
  // a key frame cut in two arrives whole
  std::vector<uint8_t> key = wire(0x80, {4});
  display.inject(std::vector<uint8_t>(key.begin(), key.begin() + 2));
  EXPECT_EQ(0, eventFor(100));
  display.inject(std::vector<uint8_t>(key.begin() + 2, key.end()));
  EXPECT_EQ(lcdEV_RIGHT, eventFor(4000));
  EXPECT_TRUE(lcd.isOpen());
}

TEST_F(LcdLink, aLateReplyIsNotTakenForAnotherRequestAndThreeUnansweredLoseTheDisplay) {
  open();
  display.with([](emuLine& l) { l.silent = true; });
  lcd.setContrast(90);
  EXPECT_EQ(0, eventFor(400));  // timed out
  lcd.setBacklight(40);          // now outstanding
  display.inject(wire(13, {}));  // the contrast answer, too late
  eventFor(50, -1);
  EXPECT_EQ(0, lcd.answeredCount(4));
  EXPECT_EQ(0, lcd.answeredCount(5) - 2);  // only the two of the start-up
  display.inject(wire(14 | 0x40, {}));     // bit 6 set: still its answer
  eventFor(50, -1);
  EXPECT_EQ(3, lcd.answeredCount(5));
  EXPECT_TRUE(lcd.idle());
  for (int b : {10, 20, 30}) lcd.setBacklight(b);
  kvTimeStamp start;
  getTimeStamp(&start);
  EXPECT_EQ(lcdEV_COMM_FAIL, eventFor(2000));
  EXPECT_GE(elapsedMs(&start), 700u);  // three times 0.25 s
}

TEST_F(LcdLink, anIdlePanelDimsATimeoutOfZeroNeverDimsAndAQuietOrHungUpDisplayIsLost) {
  display.with([](emuLine& l) { l.panel.user[lcdUS_TIMEOUT] = 1; });
  open();
  display.clearFrames();
  eventFor(1400, -1);
  ASSERT_TRUE(lcd.backlightDimmed());
  EXPECT_EQ(fb({14, 1, 10}), display.framesOf(14).back());
  EXPECT_EQ(2u, display.framesOf(24).size());  // two key-state looks first
  display.key(5);
  EXPECT_EQ(0, eventFor(200));                // woken, no select
  EXPECT_FALSE(lcd.backlightDimmed());
  EXPECT_EQ(fb({14, 1, 80}), display.framesOf(14).back());
  display.key(5);
  EXPECT_EQ(lcdEV_SELECT, eventFor(4000));
  // the same display with a timeout of zero: never dimmed; nothing asked
  // for 2 s, a ping goes out, so a display silent under an idle menu is lost
  LCD4x20 other;
  display.with([](emuLine& l) { l.panel.user[lcdUS_TIMEOUT] = 0; });
  other.setSearchPasses(1);
  ASSERT_EQ(0, other.lcdInit(&quiet, nullptr));
  display.clearFrames();
  int ev = 0;
  for (int i = 0; i < 2600 && ev == 0; ++i, usleep(1000)) ev = other.service();
  EXPECT_EQ(0, ev);
  EXPECT_FALSE(other.backlightDimmed());
  EXPECT_TRUE(display.framesOf(24).empty());
  EXPECT_EQ(1u, display.framesOf(0).size());
  display.with([](emuLine& l) { l.silent = true; });
  for (int i = 0; i < 6000 && ev == 0; ++i, usleep(1000)) ev = other.service();
  EXPECT_EQ(lcdEV_COMM_FAIL, ev);
  // the first link, when the line hangs up
  display.hangUp();
  for (int b : {10, 20, 30}) lcd.setBacklight(b);
  EXPECT_EQ(lcdEV_COMM_FAIL, eventFor(3000));
}

/* Contrast accepted (stored as the power-up state), backlight cancelled
** (restored on the display), timeout accepted (the user block written),
** and left and right held together sweeping the contrast by itself. */
TEST_F(LcdLink, theAdjustmentScreensRunOnTheDisplay) {
  open();
  display.clearFrames();
  EXPECT_EQ(lcdEV_ADJUST_START, lcd.startAdjust(lcdADJ_CONTRAST));
  settle();
  EXPECT_EQ("CONTRAST=120 ****   ", row(0));
  EXPECT_EQ("       \x02 to Accept  ", row(2));
  EXPECT_EQ("       \x01 to Cancel  ", row(3));
  EXPECT_EQ((char)0xE0, row(1)[1]);
  display.key(1);
  display.key(4);
  EXPECT_TRUE(serviceUntilFrame(fb({13, 1, 137}), 5000));  // 120 + 2 + 15
  display.key(5);
  EXPECT_EQ(lcdEV_ADJUST_END, eventFor(2000, lcdEV_ADJUST_END));
  EXPECT_EQ(137, lcd.settings()[lcdSETTINGS_CONTRAST]);
  EXPECT_EQ(1u, display.framesOf(4).size());
  EXPECT_EQ(lcdADJ_NONE, lcd.adjustScreen());

  lcd.startAdjust(lcdADJ_BACKLIGHT);
  display.key(3);  // -8
  EXPECT_TRUE(serviceUntilFrame(fb({14, 1, 72}), 5000));
  display.key(6);  // X cancels
  EXPECT_EQ(lcdEV_ADJUST_END, eventFor(5000, lcdEV_ADJUST_END));
  settle();
  EXPECT_EQ(fb({14, 1, 80}), display.framesOf(14).back());
  EXPECT_EQ(80, lcd.userSettings()[lcdUS_NORMAL]);

  display.clearFrames();
  lcd.startAdjust(lcdADJ_TIMEOUT);
  display.key(1);  // +5
  display.key(5);
  EXPECT_EQ(lcdEV_ADJUST_END, eventFor(5000, lcdEV_ADJUST_END));
  settle();
  EXPECT_EQ(1u, display.framesOf(2).size());   /* the firmware takes a block only with its check value */
  display.with([](emuLine& l) { EXPECT_EQ(65, l.panel.user[lcdUS_TIMEOUT]); });

  display.clearFrames();
  display.with([](emuLine& l) { l.panel.forcedKeyBits = 24; });
  display.key(3);
  for (int i = 0; i < 4000 && display.framesOf(13).size() < 4; ++i) {  // a step each 0.04 s
    lcd.service();
    usleep(500);
  }
  display.with([](emuLine& l) { l.panel.forcedKeyBits = 0; });
  EXPECT_EQ(lcdADJ_CONTRAST, lcd.adjustScreen());
  EXPECT_GE(display.framesOf(13).size(), 4u);
  display.key(6);
  EXPECT_EQ(lcdEV_ADJUST_END, eventFor(5000, lcdEV_ADJUST_END));
}
