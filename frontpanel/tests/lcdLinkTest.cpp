/*
** The LCD link against the display's firmware on a real pseudo-terminal:
** the start-up exchange, every request byte for byte, key frames to key
** events, bad bytes on the line, response timeouts, dimming and the
** display's adjustment screens.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "frontpanel/LCD4x20.h"
#include "frontpanel/tests/ptyDisplay.h"

namespace {

int quiet = 0;  /* trace level: errors only */

frameBytes fb(std::initializer_list<int> b) {
  frameBytes f;
  for (int x : b) f.push_back((uint8_t)x);
  return f;
}

/* Service the link for up to ms, collecting its events; stop early at the
** first event when until is 0, at the event `until` when it is above 0
** (an adjustment screen reports 27 on every idle call). */
std::vector<int> eventsFor(LCD4x20& lcd, int ms, int until = -1) {
  std::vector<int> evs;
  kvTimeStamp start;
  getTimeStamp(&start);
  while ((int)elapsedMs(&start) < ms) {
    int ev = lcd.service();
    if (ev != 0) evs.push_back(ev);
    if (ev != 0 && (until == 0 || ev == until)) break;
    usleep(500);
  }
  return evs;
}
/* The first event within timeoutMs; 0 when none came. */
int nextEvent(LCD4x20& lcd, int timeoutMs) {
  std::vector<int> evs = eventsFor(lcd, timeoutMs, 0);
  return evs.empty() ? 0 : evs.back();
}
bool waitEvent(LCD4x20& lcd, int wanted, int timeoutMs) {
  std::vector<int> evs = eventsFor(lcd, timeoutMs, wanted);
  return !evs.empty() && evs.back() == wanted;
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
  /* Service the link until the display has received `frame`. */
  bool serviceUntilFrame(const frameBytes& frame, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs * 2; ++waited) {
      std::vector<frameBytes> f = display.frames();
      if (std::find(f.begin(), f.end(), frame) != f.end()) return true;
      lcd.service();
      usleep(500);
    }
    return false;
  }
  void settle() {
    lcd.waitQueueEmpty(1.0f, "test");
    eventsFor(lcd, 20);
  }
  ptyDisplay display;
  LCD4x20 lcd;
};

}  // namespace

TEST_F(LcdLink, startUpPingsReadsBothSettingsBlocksAndLoadsTheMenuGlyphs) {
  open();
  std::vector<frameBytes> f = display.frames();
  ASSERT_GE(f.size(), 6u);
  EXPECT_EQ(fb({0, 0}), f[0]);                 // ping
  EXPECT_EQ(fb({23, 2, '?', '?'}), f[1]);
  EXPECT_EQ(fb({14, 1, 60}), f[2]);            // default normal backlight
  EXPECT_EQ(fb({30, 0}), f[3]);
  EXPECT_EQ(fb({3, 0}), f[4]);
  EXPECT_EQ(fb({23, 2, '?', '?'}), f[5]);
  // the display's user block (normal 80, LED brightness 50) took over
  EXPECT_EQ(80, lcd.userSettings()[lcdUS_NORMAL]);
  EXPECT_EQ(1u, display.framesOf(14).size() - 1);
  EXPECT_EQ(fb({14, 1, 80}), display.framesOf(14).back());
  std::vector<frameBytes> glyphs = display.framesOf(9);
  ASSERT_EQ(3u, glyphs.size());
  EXPECT_EQ(fb({9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0}), glyphs[0]);
  EXPECT_EQ(fb({9, 9, 2, 0x00, 0x00, 0x01, 0x03, 0x36, 0x3C, 0x18, 0x00}), glyphs[1]);
  EXPECT_EQ(fb({9, 9, 1, 0x33, 0x33, 0x1E, 0x0C, 0x1E, 0x33, 0x33, 0x00}), glyphs[2]);
  EXPECT_EQ(120, lcd.settings()[lcdSETTINGS_CONTRAST]);
  EXPECT_EQ(1, lcd.answeredCount(0));
}

TEST_F(LcdLink, everyRequestGoesOutByteForByteOneAtATime) {
  open();
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
  std::vector<frameBytes> expect = {
      fb({31, 7, 5, 2, 'H', 'e', 'l', 'l', 'o'}),
      fb({11, 2, 3, 1}),
      fb({12, 1, 4}),
      fb({14, 1, 70}),
      fb({13, 1, 100}),
      fb({34, 2, 8, 50}),   // LED 1, first element (output 2x1+6)
      fb({34, 2, 7, 50}),   // LED 1, second element (output 2x1+5)
      fb({34, 2, 12, 50}),  // LED 3, first element only: colour 1
      fb({31, 22, 0, 0, '-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-',
          '-', '-', '-', '-', '-', '-'}),
  };
  EXPECT_EQ(expect, display.frames());
  {
    std::lock_guard<std::mutex> g(display.lock());
    EXPECT_EQ(0, memcmp("     Hello          ", display.panel.screen[2], 20));
  }
  // every request was answered before the next went out
  EXPECT_EQ(1, lcd.answeredCount(14 + 2));
  EXPECT_EQ(3, lcd.answeredCount(5));  // two at start-up
}

TEST_F(LcdLink, theLevelMeterGlyphsLoadOnlyWhenTheSetChanges) {
  open();
  display.clearFrames();
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

TEST_F(LcdLink, keysBecomeEventsAndXCombinationsAreTold) {
  open();
  display.key(3);
  EXPECT_EQ(lcdEV_LEFT, nextEvent(lcd, 4000));
  // X, then up while X is held, then X released: 6, 13, 24
  { std::lock_guard<std::mutex> g(display.lock()); display.panel.xHeld = true; }
  display.key(6);
  EXPECT_EQ(lcdEV_X, nextEvent(lcd, 4000));
  settle();  // the key state (X held) is known before the next key
  EXPECT_EQ(4, lcd.keyState());
  display.key(1);
  EXPECT_EQ(13, nextEvent(lcd, 4000));
  settle();
  { std::lock_guard<std::mutex> g(display.lock()); display.panel.xHeld = false; }
  display.key(12);
  EXPECT_EQ(lcdEV_X_AFTER_COMBO, nextEvent(lcd, 4000));
  settle();
  // X pressed and released alone: 6, 12
  { std::lock_guard<std::mutex> g(display.lock()); display.panel.xHeld = true; }
  display.key(6);
  EXPECT_EQ(lcdEV_X, nextEvent(lcd, 4000));
  settle();
  { std::lock_guard<std::mutex> g(display.lock()); display.panel.xHeld = false; }
  display.key(12);
  EXPECT_EQ(lcdEV_X_ALONE, nextEvent(lcd, 4000));
  // every key asked for the key state
  settle();
  EXPECT_EQ(6u, display.framesOf(24).size());
}

TEST_F(LcdLink, garbagePartialFramesAndBadCheckValuesNeverBecomeKeys) {
  open();
  display.inject({0xFF, 0x3F, 0x00, 0x99, 0x12});
  std::vector<uint8_t> bad = wireFrame(0x80, {2});
  bad.back() ^= 0x01;
  display.inject(bad);
  std::vector<uint8_t> longFrame = {0x80, 23};
  longFrame.insert(longFrame.end(), 23, 1);
  uint16_t crc = lcdCrc16(longFrame.data(), (int)longFrame.size());
  longFrame.push_back((uint8_t)(crc & 0xFF));
  longFrame.push_back((uint8_t)(crc >> 8));
  display.inject(longFrame);
  std::vector<int> evs = eventsFor(lcd, 200);
  EXPECT_TRUE(evs.empty()) << evs.size() << " first " << (evs.empty() ? 0 : evs[0]);
  // a key frame cut in two arrives whole
  std::vector<uint8_t> key = wireFrame(0x80, {4});
  display.inject(std::vector<uint8_t>(key.begin(), key.begin() + 2));
  EXPECT_EQ(0, nextEvent(lcd, 100));
  display.inject(std::vector<uint8_t>(key.begin() + 2, key.end()));
  EXPECT_EQ(lcdEV_RIGHT, nextEvent(lcd, 4000));
  EXPECT_TRUE(lcd.isOpen());
}

TEST_F(LcdLink, threeUnansweredRequestsInARowMeanTheDisplayIsLost) {
  open();
  display.silent = true;
  lcd.setBacklight(10);
  lcd.setBacklight(20);
  lcd.setBacklight(30);
  kvTimeStamp start;
  getTimeStamp(&start);
  EXPECT_EQ(lcdEV_COMM_FAIL, nextEvent(lcd, 2000));
  EXPECT_GE(elapsedMs(&start), 700u);  // three times 0.25 s
}

TEST_F(LcdLink, aDisplayWhoseLineHangsUpIsLost) {
  open();
  display.hangUp();
  lcd.setBacklight(10);
  lcd.setBacklight(20);
  lcd.setBacklight(30);
  EXPECT_EQ(lcdEV_COMM_FAIL, nextEvent(lcd, 3000));
}

TEST_F(LcdLink, aLateReplyIsNotTakenForTheNextRequestOfAnotherCommand) {
  open();
  display.silent = true;
  lcd.setContrast(90);
  EXPECT_EQ(0, nextEvent(lcd, 400));  // timed out
  lcd.setBacklight(40);               // now outstanding
  display.inject(wireFrame(13, {}));  // the contrast answer, too late
  eventsFor(lcd, 50);
  EXPECT_EQ(0, lcd.answeredCount(4));
  EXPECT_EQ(0, lcd.answeredCount(5) - 2);  // only the two of the start-up
  display.inject(wireFrame(14 | 0x40, {}));  // bit 6 set: still its answer
  eventsFor(lcd, 50);
  EXPECT_EQ(3, lcd.answeredCount(5));
  EXPECT_TRUE(lcd.idle());
}

TEST_F(LcdLink, anIdlePanelDimsAndTheFirstKeyOnlyWakesIt) {
  {
    std::lock_guard<std::mutex> g(display.lock());
    display.panel.user[lcdUS_TIMEOUT] = 1;
  }
  open();
  display.clearFrames();
  eventsFor(lcd, 1400);
  ASSERT_TRUE(lcd.backlightDimmed());
  EXPECT_EQ(fb({14, 1, 10}), display.framesOf(14).back());
  EXPECT_EQ(2u, display.framesOf(24).size());  // two key-state looks first
  display.key(5);
  EXPECT_EQ(0, nextEvent(lcd, 200));           // woken, no select
  EXPECT_FALSE(lcd.backlightDimmed());
  EXPECT_EQ(fb({14, 1, 80}), display.framesOf(14).back());
  display.key(5);
  EXPECT_EQ(lcdEV_SELECT, nextEvent(lcd, 4000));
}

TEST_F(LcdLink, aBacklightTimeoutOfZeroNeverDims) {
  {
    std::lock_guard<std::mutex> g(display.lock());
    display.panel.user[lcdUS_TIMEOUT] = 0;
  }
  open();
  eventsFor(lcd, 1300);
  EXPECT_FALSE(lcd.backlightDimmed());
  EXPECT_TRUE(display.framesOf(24).empty());
}

TEST_F(LcdLink, theContrastScreenRunsOnTheDisplayAndAcceptingStoresThePowerUpState) {
  open();
  display.clearFrames();
  EXPECT_EQ(lcdEV_ADJUST_START, lcd.startAdjust(lcdADJ_CONTRAST));
  settle();
  {
    std::lock_guard<std::mutex> g(display.lock());
    EXPECT_EQ(0, memcmp("CONTRAST=120 ****   ", display.panel.screen[0], 20));
    EXPECT_EQ(0, memcmp("       \x02 to Accept   ", display.panel.screen[2], 20));
    EXPECT_EQ(0, memcmp("       \x01 to Cancel   ", display.panel.screen[3], 20));
    EXPECT_EQ((char)0xE0, (char)display.panel.screen[1][1]);
  }
  display.key(1);
  display.key(4);
  EXPECT_TRUE(serviceUntilFrame(fb({13, 1, 137}), 5000));  // 120 + 2 + 15
  display.key(5);
  EXPECT_TRUE(waitEvent(lcd, lcdEV_ADJUST_END, 2000));
  EXPECT_EQ(137, lcd.settings()[lcdSETTINGS_CONTRAST]);
  EXPECT_EQ(1u, display.framesOf(4).size());  // stored as the power-up state
  EXPECT_EQ(lcdADJ_NONE, lcd.adjustScreen());
}

TEST_F(LcdLink, cancellingRestoresAndAcceptingATimeoutWritesTheUserBlock) {
  open();
  lcd.startAdjust(lcdADJ_BACKLIGHT);
  display.key(3);  // -8
  EXPECT_TRUE(serviceUntilFrame(fb({14, 1, 72}), 5000));
  display.key(6);  // X cancels
  EXPECT_TRUE(waitEvent(lcd, lcdEV_ADJUST_END, 5000));
  settle();
  EXPECT_EQ(fb({14, 1, 80}), display.framesOf(14).back());
  EXPECT_EQ(80, lcd.userSettings()[lcdUS_NORMAL]);

  display.clearFrames();
  lcd.startAdjust(lcdADJ_TIMEOUT);
  display.key(1);  // +5
  display.key(5);
  EXPECT_TRUE(waitEvent(lcd, lcdEV_ADJUST_END, 5000));
  settle();
  std::vector<frameBytes> w = display.framesOf(2);
  ASSERT_EQ(1u, w.size());
  ASSERT_EQ(18u, w[0].size());
  EXPECT_EQ(65, w[0][2 + lcdUS_TIMEOUT]);
  uint16_t cs = lcdCrc16(&w[0][2], 14, false);
  EXPECT_EQ(cs & 0xFF, w[0][16]);
  EXPECT_EQ(cs >> 8, w[0][17]);
  std::lock_guard<std::mutex> g(display.lock());
  EXPECT_EQ(65, display.panel.user[lcdUS_TIMEOUT]);  // the display took it
}

TEST_F(LcdLink, holdingLeftAndRightSweepsTheContrastByItself) {
  open();
  { std::lock_guard<std::mutex> g(display.lock()); display.panel.forcedKeyBits = 24; }
  display.key(3);
  // it steps every 0.04 s by itself
  for (int i = 0; i < 4000 && display.framesOf(13).size() < 4; ++i) {
    lcd.service();
    usleep(500);
  }
  { std::lock_guard<std::mutex> g(display.lock()); display.panel.forcedKeyBits = 0; }
  EXPECT_EQ(lcdADJ_CONTRAST, lcd.adjustScreen());
  EXPECT_GE(display.framesOf(13).size(), 4u);
  display.key(6);
  EXPECT_TRUE(waitEvent(lcd, lcdEV_ADJUST_END, 5000));
}

/*
** The test display itself: keys the test injects while the firmware thread
** is busy answering must all reach the line, and so must every answer.
** Both threads write the same pty master; a lost write here shows up as a
** rare key or answer missing in the link and module tests.
*/
TEST(PtyDisplay, keysInjectedWhileTheFirmwareAnswersAreNeverLost) {
  ptyDisplay display;
  ASSERT_TRUE(display.ok());
  int line = open(display.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(line, 0);

  const int kPings = 400, kKeys = 400;
  std::vector<uint8_t> ping = wireFrame(0, {});
  int pingsSent = 0, keysSeen = 0, answers = 0;
  std::thread keys([&] {
    for (int i = 0; i < kKeys; ++i) {
      display.key(1 + i % 5);
      if (i % 8 == 0) usleep(200);
    }
  });
  lcdRxRing ring;
  kvTimeStamp start;
  getTimeStamp(&start);
  // pings go out while the keys come in; read until everything arrived
  while ((keysSeen < kKeys || answers < kPings) && elapsedMs(&start) < 20000) {
    if (pingsSent < kPings && pingsSent - answers < 4 &&
        write(line, ping.data(), ping.size()) == (ssize_t)ping.size())
      ++pingsSent;
    uint8_t buf[lcdRING_SIZE];
    ssize_t n = read(line, buf, (size_t)ring.room());
    if (n > 0) ring.push(buf, (int)n);
    lcdFrame f;
    unsigned bad, calc;
    for (int r; (r = lcdParseFrame(ring, &f, true, &bad, &calc)) != lcdPARSE_NEED_MORE;) {
      ASSERT_EQ(lcdPARSE_FRAME, r) << "a garbled frame on the line";
      if (f.command == lcdCMD_KEY) ++keysSeen;
      else if ((f.command & lcdCMD_MASK) == 0) ++answers;
    }
    if (n <= 0) usleep(100);
  }
  keys.join();
  close(line);
  EXPECT_EQ(kKeys, keysSeen);
  EXPECT_EQ(kPings, answers);
}
