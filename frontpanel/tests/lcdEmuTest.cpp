/*
** lcdEmu.x as the display's firmware for the real link: it answers with
** bit 6 set (-r), its key commands arrive as the events the panel's keys
** give, garbage it puts on the line is skipped, and its dump shows what
** the link wrote.
*/
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "frontpanel/LCD4x20.h"
#include "tests/support/testSupport.h"

using namespace testsup;

namespace {

int quiet = 0;

class LcdEmulator : public ::testing::Test {
protected:
  void SetUp() override {
    bin.link("lcdEmu.x");
    ASSERT_TRUE(emu.start({bin.prog("lcdEmu.x"), "-r", "-o", bin.file("dev")}, {}, bin.path(),
                          true));
    ASSERT_TRUE(emu.waitForOutput("LCD device: /dev/pts/", 3000)) << emu.err();
    std::string dev = readFile(bin.file("dev"));
    while (!dev.empty() && dev.back() == '\n') dev.pop_back();
    const char* old = getenv("DOVA_LCD_DEVICE");
    if (old) saved = old;
    hadEnv = old != nullptr;
    setenv("DOVA_LCD_DEVICE", dev.c_str(), 1);
    lcd.setSearchPasses(5);  /* a freshly started emulator may be slow to answer */
    ASSERT_EQ(0, lcd.lcdInit(&quiet, nullptr));
    lcd.waitQueueEmpty(1.0f, "test");
  }
  void TearDown() override {
    if (hadEnv) setenv("DOVA_LCD_DEVICE", saved.c_str(), 1);
    else unsetenv("DOVA_LCD_DEVICE");
    emu.writeStdin("quit\n");
    EXPECT_EQ(0, emu.wait(3000));
  }
  /* Events until `count` came or ms passed. */
  std::vector<int> events(size_t count, int ms = 3000) {
    std::vector<int> evs;
    kvTimeStamp start;
    getTimeStamp(&start);
    while ((int)elapsedMs(&start) < ms && evs.size() < count) {
      int ev = lcd.service();
      if (ev != 0) evs.push_back(ev);
      usleep(500);
    }
    return evs;
  }
  BinDir bin;
  Proc emu;
  LCD4x20 lcd;
  std::string saved;
  bool hadEnv = false;
};

}  // namespace

TEST_F(LcdEmulator, keyCommandsArriveAsThePanelsKeyEvents) {
  EXPECT_EQ(80, lcd.userSettings()[lcdUS_NORMAL]);  // its user block was valid
  emu.writeStdin("key x+select\n");
  EXPECT_EQ((std::vector<int>{lcdEV_X, 17, lcdEV_X_AFTER_COMBO}), events(3));
  emu.writeStdin("key x\n");
  EXPECT_EQ((std::vector<int>{lcdEV_X, lcdEV_X_ALONE}), events(2));
  emu.writeStdin("raw ff 3f 00 80 17\nkey up\nframe 80 02\n");
  EXPECT_EQ((std::vector<int>{lcdEV_UP, lcdEV_DOWN}), events(2));
}

TEST_F(LcdEmulator, theDumpShowsWhatTheLinkWrote) {
  lcd.writeRow(1, 3, "Hello", 5);
  lcd.setLed(0, lcdLED_OK, false);
  lcd.setCursorPos(1, 4);
  lcd.setCursorStyle(4);
  lcd.waitQueueEmpty(1.0f, "test");
  emu.writeStdin("dump\nbogus\n");
  ASSERT_TRUE(emu.waitForOutput("? unknown command: bogus", 2000)) << emu.out();
  std::string out = emu.out();
  EXPECT_NE(std::string::npos, out.find("|   Hello            |\n")) << out;
  EXPECT_NE(std::string::npos, out.find("cursor 1,4 style 4 backlight 80 contrast 120 leds 0/50"))
      << out;
}

TEST(LcdEmulatorHelp, helpListsTheCommandLanguage) {
  BinDir bin;
  bin.link("lcdEmu.x");
  std::string out;
  EXPECT_EQ(0, runProgram({bin.prog("lcdEmu.x"), "-h"}, &out, nullptr, {}, 3000));
  EXPECT_NE(std::string::npos, out.find("DOVA_LCD_DEVICE")) << out;
  EXPECT_NE(std::string::npos, out.find("key up|down|left|right|select|enter|x|x+KEY")) << out;
  EXPECT_EQ(2, runProgram({bin.prog("lcdEmu.x"), "-z"}, &out, nullptr, {}, 3000));
}

TEST_F(LcdEmulator, anIdleLinkPingsTheDisplayAndASilentOneIsLostWithinSeconds) {
  // nothing asked for 2 s: a ping goes out and is answered, no event
  EXPECT_TRUE(events(1, 2600).empty());
  EXPECT_GE(lcd.sentCount(0), 1 + 1);  // the search's ping and the idle one
  emu.signal(SIGSTOP);                 // the display falls silent
  kvTimeStamp start;
  getTimeStamp(&start);
  EXPECT_EQ((std::vector<int>{lcdEV_COMM_FAIL}), events(1, 10000));
  EXPECT_LT(elapsedMs(&start), 8000u);
  emu.signal(SIGCONT);
}
