/*
** The console window end to end: the real doVA.x drawing with ncurses in
** a tmux pane (TERM=xterm), against a real cfgMaster.x and statusWriter.x,
** all keyed on a private bin directory and a private status region.  Keys
** go in with send-keys, the screen comes back with capture-pane; each tmux
** server has its own socket.  Without tmux the window tests are skipped.
*/
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

class ConsoleWindow : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    startMaster();
    startWriter({"-lock", "0", "-dspfault", "0", "-audiofault", "0"});  // every alarm of the writer
  }
};

}  // namespace

/* The root menu and indicators; an edit travels through the master; Esc
** goes back to the top; a 1 x 1 window and back (the shrink in between:
** the recording editor); a master that shuts down ends the window and the
** terminal is handed back. */
TEST_F(ConsoleWindow, rootMenuAndIndicatorsShowAnEditTravelsThroughTheMasterAndItsShutdownEndsTheWindow) {
  if (!openPane("-mc 4 20")) return;
  ASSERT_TRUE(pane->waitForRow(0, 5, " MAIN MENU    TORV-FM", 8000)) << pane->screen();
  EXPECT_EQ(" ->Edit Settings", pane->row(1).substr(5, 16));
  EXPECT_EQ("   View Status", pane->row(2).substr(5, 14));
  // four indicators at the left edge; they blink, so catch a lit phase
  const char* lit[] = {"Err!", " ok ", "Warn", "Warn"};
  for (int r = 0; r < 4; r++) EXPECT_TRUE(pane->waitForRow(r, 1, lit[r], 2000)) << pane->screen();

  pane->keys({"Right", "Right", "Right", "Enter"});  // SETTINGS, SYSTEM, System Name
  ASSERT_TRUE(pane->waitFor("***System Name***", 2000)) << pane->screen();
  pane->type("Relay 7");
  ASSERT_TRUE(pane->waitFor("New:Relay 7", 2000)) << pane->screen();
  std::string cursor;
  pane->run({"display-message", "-p", "-t", "w", "#{cursor_y},#{cursor_x}"}, &cursor);
  EXPECT_EQ("3,19\n", cursor);  // after "  New:Relay 7" from column 6
  pane->keys({"Enter", "Enter"}, 100);  // the save prompt, then save
  // the value view shows the value the master echoed into the item
  EXPECT_TRUE(pane->waitForRow(2, 6, "       Relay 7", 3000)) << pane->screen();
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Relay 7", 8000)) << readFile(savedFile());
  pane->keys({"Escape"});
  EXPECT_TRUE(pane->waitForRow(0, 5, " MAIN MENU", 3000)) << pane->screen();
  ASSERT_TRUE(pane->resize(1, 1));  // ncurses with no room at all survives
  usleep(300000);
  ASSERT_TRUE(pane->resize(100, 30));  // and the asked size comes back
  EXPECT_TRUE(pane->waitForRow(0, 5, " MAIN MENU    TORV-FM", 3000)) << pane->screen();

  EXPECT_EQ(0, master.stop(3000));
  ASSERT_TRUE(pane->waitFor("EXIT=0", 3000)) << pane->screen();
  EXPECT_TRUE(pane->waitFor("icanon echo", 2000)) << pane->screen();
}

/* Another terminal type is refused with its name; the right type without
** a terminal on stdin and stdout says so.  SIGTERM (on a vt100, with the
** indicators labelled: the labels' cells are the recording editor's) and
** Ctrl-C in the middle of an edit end the window and give the terminal back. */
TEST_F(ConsoleWindow, otherTerminalsAreRefusedSigtermAndCtrlCEndTheWindowAndGiveTheTerminalBack) {
  std::string out;
  EXPECT_EQ(0, runProgram(doVA({"-mc", "4", "20"}), &out, nullptr, {"TERM=xterm-256color", env()[0]}));
  EXPECT_EQ("Terminal emulator\nxterm-256color not supported\nuse 'vt100' or 'xterm'\n", out);
  EXPECT_EQ(0, runProgram(doVA({"-mc"}), &out, nullptr, {"TERM=xterm", env()[0]}));
  EXPECT_EQ("Cannot drive the terminal 'xterm': standard input and output must be a terminal\n", out);
  if (!openPane("-mc 4 20 -sl", "vt100")) return;
  ASSERT_TRUE(pane->waitForRow(0, 18, " MAIN MENU", 8000)) << pane->screen();  // moved for the labels
  pid_t pid = pane->programPid("./doVA.x", 2000);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(0, kill(pid, SIGTERM));
  ASSERT_TRUE(pane->waitFor("EXIT=0", 3000)) << pane->screen();
  EXPECT_TRUE(pane->waitFor("icanon echo", 2000)) << pane->screen();
  EXPECT_EQ(std::string::npos, pane->screen().find("MAIN MENU")) << pane->screen();

  openPane("-mc 4 20");
  ASSERT_TRUE(pane->waitForRow(0, 5, " MAIN MENU", 8000)) << pane->screen();
  pane->keys({"Right", "Right", "Right", "Enter"});
  ASSERT_TRUE(pane->waitFor("***System Name***", 3000)) << pane->screen();
  pane->keys({"C-c"});
  ASSERT_TRUE(pane->waitFor("EXIT=0", 3000)) << pane->screen();
  EXPECT_TRUE(pane->waitFor("icanon echo", 2000)) << pane->screen();
}

/* scripts/demo in a terminal opens the live menu (10 x 80 in a 100 x 30
** pane: the band at column 84); Ctrl-C leaves it, and the demo stops and
** removes all it started.  With --panel the menu runs on the emulated panel
** drawn in the pane; q leaves it the same way. */
TEST(Demo, inATerminalItOpensTheLiveMenuOrThePanelAndLeavesNothingBehind) {
  std::string tmux = findProgram("tmux");
  if (tmux.empty()) GTEST_SKIP() << "tmux is not installed (scripts/test installs it)";
  const struct { const char *opt, *menu, *band, *settings, *quit; int row, col, bandCol; } runs[] = {
      {"", " MAIN MENU", "FM", " SETTINGS", "C-c", 0, 5, 5 + 1 + 78},
      {" --panel", "|MAIN MENU    TORV-FM|", "FM|", "|SETTINGS          FM|", "q", 2, 2, 2 + 19}};
  for (const auto& r : runs) {
    SCOPED_TRACE(r.quit);
    tmuxPane pane(tmux, "dovaDemo");
    ASSERT_TRUE(pane.start("cd '" DOVA_SOURCE_DIR "' && DOVA_DEMO_BIN='" DOVA_BIN_DIR "' scripts/demo" +
                           std::string(r.opt) + "; echo DEMO_EXIT=$?; sleep 60"));
    ASSERT_TRUE(pane.waitForRow(r.row, r.col, r.menu, 20000)) << pane.screen();
    EXPECT_EQ(r.band, pane.row(r.row).substr(r.bandCol, strlen(r.band))) << pane.screen();
    pane.keys({"Right"});
    ASSERT_TRUE(pane.waitForRow(r.row, r.col, r.settings, 3000)) << pane.screen();
    pane.keys({r.quit});
    ASSERT_TRUE(pane.waitFor("DEMO_EXIT=0", 20000)) << pane.screen();
    EXPECT_TRUE(pane.waitFor("nothing left behind", 100)) << pane.screen();
    std::string screen = pane.screen();
    size_t at = screen.find("private bin directory ");
    ASSERT_NE(std::string::npos, at) << screen;
    std::string binDir = screen.substr(at + 22, screen.find(',', at) - at - 22);
    EXPECT_NE(0, access(binDir.c_str(), F_OK)) << binDir;
  }
}
