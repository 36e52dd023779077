/*
** The front panel between real processes: lcdEmu.x plays the display on a
** pty (bit-6 answers, a screen dump on every change), doVA.x -i runs its
** menu on it against cfgMaster.x and statusWriter.x; then lcdEmu.x -v draws
** the panel in a tmux pane whose keys walk the menu (skipped without tmux).
*/
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "tests/support/appFixture.h"

using namespace testsup;

class PanelEndToEnd : public AppFixture {};

TEST_F(PanelEndToEnd, logMenuContrastScreenAStoppedPanelAndThePanelDrawnInATerminal) {
  Proc emu, console;
  bin.link("lcdEmu.x");
  startMaster();
  startWriter({"-lock", "0"});
  ASSERT_TRUE(emu.start({bin.prog("lcdEmu.x"), "-w", "-r", "-o", work.file("lcd.dev")}, {},
                        bin.path(), true));
  ASSERT_TRUE(emu.waitForOutput("LCD device: ", 3000)) << emu.err();
  std::string device = readFile(work.file("lcd.dev"));
  device.erase(device.find('\n'));
  ASSERT_EQ(0u, device.find("/dev/pts/")) << device;
  setenv("DOVA_LCD_DEVICE", device.c_str(), 1);
  startConsole(console, {"-i"}, false);
  size_t mark = 0;
  auto seen = [&](const std::string& text, int ms) {
    return waitUntil([&] { return emu.out().find(text, mark) != std::string::npos; }, ms, 20);
  };
  auto keys = [&](const std::string& commands) {
    mark = emu.out().size();
    emu.writeStdin(commands);
  };
  auto tail = [&] {  // the last dumps
    std::string o = emu.out();
    return o.substr(o.size() - std::min<size_t>(o.size(), 1200));
  };

  // the start-up log, then the root menu
  ASSERT_TRUE(seen(" Cfg Init 1", 8000)) << tail() << console.out();
  ASSERT_TRUE(seen(" Subscribe Done", 5000)) << tail();
  ASSERT_TRUE(seen("|MAIN MENU    TORV-FM|", 5000)) << tail();
  ASSERT_TRUE(seen("|->Edit Settings     |", 2000)) << tail();
  EXPECT_LT(emu.out().find(" Subscribe Done"), emu.out().find("|MAIN MENU"));

  // garbage on the line is skipped; a frame typed in hex is the down key
  keys("raw ff 3f 00 80 17\nframe 80 02\n");
  ASSERT_TRUE(seen("|->View Status", 2000)) << tail();
  // the display's own contrast screen from the front-panel menu, without
  // the menu painted over it; X cancels and the menu comes back
  keys("key down\nkey right\nkey right\n");
  ASSERT_TRUE(seen("|CONTRAST=120", 3000)) << tail();
  keys("key up\n");
  ASSERT_TRUE(seen("|CONTRAST=122", 3000)) << tail();
  keys("key x\n");
  ASSERT_TRUE(seen("|->LCD Contrast", 3000)) << tail();
  keys("key x\ndump\nbogus\n");
  EXPECT_TRUE(seen("|MAIN MENU", 3000)) << tail();
  EXPECT_TRUE(seen("? unknown command: bogus", 2000)) << tail();
  EXPECT_TRUE(seen(" backlight 80 contrast 120 leds ", 100)) << tail();

  // a display that stops (SIGSTOP) ends the front-panel mode
  emu.signal(SIGSTOP);
  EXPECT_EQ(0, console.wait(8000)) << console.out();
  EXPECT_NE(std::string::npos, console.out().find("tem: LCD Communication failure"));
  // a console searching the silent display (6 s) ends at once on SIGTERM,
  // without a word
  startConsole(console, {"-i"}, false);
  usleep(700 * 1000);
  console.signal(SIGTERM);
  auto signalledAt = std::chrono::steady_clock::now();
  EXPECT_EQ(0, console.wait(8000));
  EXPECT_LT(secondsSince(signalledAt), 1.0);
  EXPECT_EQ("", console.out() + console.err());
  emu.signal(SIGCONT);
  emu.writeStdin("quit\n");
  EXPECT_EQ(0, emu.wait(3000));
  std::string out;
  EXPECT_EQ(0, runProgram({bin.prog("lcdEmu.x"), "-h"}, &out, nullptr, {}, 3000));
  EXPECT_NE(std::string::npos, out.find("key up|down|left|right|select|enter|x|x+KEY")) << out;
  EXPECT_EQ(2, runProgram({bin.prog("lcdEmu.x"), "-z"}, &out, nullptr, {}, 3000));

  // lcdEmu.x -v draws the panel in its terminal (a tmux pane) and takes
  // the keys typed there
  std::string tmux = findProgram("tmux");
  if (tmux.empty()) return skipWithoutTmux();
  tmuxPane pane(tmux, "dovaPanel");
  ASSERT_TRUE(pane.start("cd '" + bin.path() + "' && TERM=xterm ./lcdEmu.x -v -o '" +
                         work.file("view.dev") + "'; echo EXIT=$?; sleep 60", 80, 24));
  ASSERT_TRUE(waitForFile(work.file("view.dev"), "/dev/pts/", 3000));
  device = readFile(work.file("view.dev"));
  device.erase(device.find('\n'));
  setenv("DOVA_LCD_DEVICE", device.c_str(), 1);
  startConsole(console, {"-i"}, false);
  ASSERT_TRUE(pane.waitForRow(2, 2, "|MAIN MENU    TORV-FM|", 10000)) << pane.screen();
  EXPECT_EQ("Front panel on " + device, pane.row(0).substr(0, 15 + device.size()));
  EXPECT_EQ("] System", pane.row(2).substr(32, 8)) << pane.screen();
  EXPECT_TRUE(pane.waitFor("backlight", 100)) << pane.screen();
  pane.keys({"Right"}, 150);
  ASSERT_TRUE(pane.waitForRow(2, 2, "|SETTINGS          FM|", 3000)) << pane.screen();
  pane.keys({"Down", "Right"}, 150);
  ASSERT_TRUE(pane.waitForRow(2, 2, "|DATE & TIME       FM|", 3000)) << pane.screen();
  pane.keys({"Right", "Enter"}, 150);   /* Time Zone Offset: its editor */
  ASSERT_TRUE(pane.waitFor("New:-300", 3000)) << pane.screen();
  pane.keys({"Space", "Up"}, 150);      /* X+up: the digit five steps on */
  EXPECT_TRUE(pane.waitFor("New:4300", 3000)) << pane.screen();
  pane.keys({"x"}, 150);                /* X: the save prompt, X again cancels */
  ASSERT_TRUE(pane.waitFor("=Cancel", 3000)) << pane.screen();
  pane.keys({"Escape"}, 150);
  EXPECT_TRUE(pane.waitFor("Time Zone Offset", 3000)) << pane.screen();
  pane.keys({"q"});
  EXPECT_TRUE(pane.waitFor("EXIT=0", 3000)) << pane.screen();
  EXPECT_EQ(0, console.stop(3000));
}
