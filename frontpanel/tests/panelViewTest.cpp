/*
** lcdEmu.x -v, the panel drawn in a terminal: in a tmux pane it plays the
** display for a real doVA.x -i (against cfgMaster.x and statusWriter.x
** from one private bin directory), and keys typed in the pane walk the
** menu.  Without tmux the test is skipped.
*/
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/testSupport.h"
#include "tests/support/tmuxPane.h"

using namespace testsup;

TEST(PanelView, keysTypedInItsTerminalWalkTheMenuOfTheConsoleOnItsPty) {
  std::string tmux = findProgram("tmux");
  if (tmux.empty()) GTEST_SKIP() << "tmux is not installed (scripts/test installs it)";
  BinDir bin;
  TempDir work;
  ShmName shm;
  for (const char* p : {"doVA.x", "cfgMaster.x", "statusWriter.x", "lcdEmu.x"}) bin.link(p);
  Proc master, writer, console;
  ASSERT_TRUE(master.start({bin.prog("cfgMaster.x"), "-C", work.path()}, {}, bin.path()));
  ASSERT_TRUE(writer.start({bin.prog("statusWriter.x"), "-shm", shm.str(), "-q"}));
  tmuxPane pane(tmux, "dovaPanel");
  ASSERT_TRUE(pane.start("cd '" + bin.path() + "' && TERM=xterm ./lcdEmu.x -v -o '" +
                         work.file("dev") + "'; echo EXIT=$?; sleep 60", 80, 24));
  ASSERT_TRUE(waitForFile(work.file("dev"), "/dev/pts/", 3000));
  std::string device = readFile(work.file("dev"));
  device.erase(device.find('\n'));
  ASSERT_TRUE(console.start({bin.prog("doVA.x"), "-i"},
                            {"DOVA_LCD_DEVICE=" + device, "DOVA_STATUS_SHM=" + shm.str()},
                            bin.path()));

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
  console.stop(3000);
  writer.stop(3000);
  master.stop(3000);
}
