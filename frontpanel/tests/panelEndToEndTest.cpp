/*
** The whole front-panel road between real processes: lcdEmu.x plays the
** display on a pty, doVA.x -i runs its menu on it against cfgMaster.x and
** statusWriter.x, all from one private bin directory with a private status
** region.  The emulator dumps its screen on every change (-w), so the test
** reads what the operator would have seen, in order.
*/
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "tests/support/testSupport.h"

using namespace testsup;

namespace {

class PanelEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* p : {"doVA.x", "cfgMaster.x", "statusWriter.x", "lcdEmu.x"}) bin.link(p);
    ASSERT_TRUE(master.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}, {},
                             bin.path()));
    ASSERT_TRUE(master.waitForOutput("configuration master ready", 5000)) << master.err();
    ASSERT_TRUE(writer.start({bin.prog("statusWriter.x"), "-shm", shm.str(), "-lock", "0"}));
    ASSERT_TRUE(writer.waitForOutput("statusWriter: writing", 5000)) << writer.err();
    ASSERT_TRUE(emu.start({bin.prog("lcdEmu.x"), "-w", "-o", work.file("lcd.dev")}, {},
                          bin.path(), true));
    ASSERT_TRUE(emu.waitForOutput("LCD device: ", 3000)) << emu.err();
    device = readFile(work.file("lcd.dev"));
    while (!device.empty() && device.back() == '\n') device.pop_back();
    ASSERT_EQ(0u, device.find("/dev/pts/")) << device;
  }
  void TearDown() override {
    console.stop(3000);
    emu.stop(3000);
    writer.stop(3000);
    master.stop(3000);
  }
  void startConsole() {
    ASSERT_TRUE(console.start({bin.prog("doVA.x"), "-i"},
                              {"DOVA_LCD_DEVICE=" + device, "DOVA_STATUS_SHM=" + shm.str()},
                              bin.path()));
  }
  /* The screen text appears in a dump after position `from` of the
  ** emulator's output. */
  bool seen(const std::string& text, size_t from, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
      if (emu.out().find(text, from) != std::string::npos) return true;
      usleep(20000);
    }
    return false;
  }
  size_t keys(const std::string& list) {
    size_t mark = emu.out().size();
    emu.writeStdin(list);
    return mark;
  }
  std::string tail() {
    std::string o = emu.out();
    return o.size() > 1200 ? o.substr(o.size() - 1200) : o;
  }

  BinDir bin;
  TempDir work;
  ShmName shm;
  Proc master, writer, emu, console;
  std::string device;
};

}  // namespace

TEST_F(PanelEndToEnd, startUpLogThenRootMenuThenAnEditSavedThroughThePanelReachesTheMaster) {
  startConsole();
  // the start-up log, then the root menu
  ASSERT_TRUE(seen(" Cfg Init 1", 0, 8000)) << tail() << console.out();
  ASSERT_TRUE(seen(" Subscribe Done", 0, 5000)) << tail();
  ASSERT_TRUE(seen("|MAIN MENU    TORV-FM|", 0, 5000)) << tail();
  ASSERT_TRUE(seen("|->Edit Settings     |", 0, 2000)) << tail();
  size_t log = emu.out().find(" Subscribe Done");
  EXPECT_LT(log, emu.out().find("|MAIN MENU"));

  // keys walk the menu
  size_t mark = keys("key down\n");
  ASSERT_TRUE(seen("|->View Status", mark, 2000)) << tail();
  mark = keys("key up\nkey right\n");
  ASSERT_TRUE(seen("|SETTINGS", mark, 2000)) << tail();
  mark = keys("key right\nkey right\n");
  ASSERT_TRUE(seen("|v Press V to EDIT", mark, 2000)) << tail();

  // edit the system name on the panel: one step up gives "A", then save
  mark = keys("key select\nkey up\n");
  ASSERT_TRUE(seen("|  New:A", mark, 2000)) << tail();
  mark = keys("key select\n");
  ASSERT_TRUE(seen("|  V=Save  X=Cancel  |", mark, 2000)) << tail();
  mark = keys("key select\n");
  EXPECT_TRUE(seen("|          A         |", mark, 3000)) << tail();
  EXPECT_TRUE(waitForFile(work.file("kvPrimeConfig.cfg"), "SYSTEM_NAME: A ", 8000))
      << readFile(work.file("kvPrimeConfig.cfg"));

  // X pressed and released alone goes back to the top
  mark = keys("key x\n");
  EXPECT_TRUE(seen("|MAIN MENU", mark, 2000)) << tail();
  EXPECT_TRUE(console.running());
}

TEST_F(PanelEndToEnd, levelMetersDrawWithTheDisplaysOwnBarGlyphs) {
  startConsole();
  ASSERT_TRUE(seen("|MAIN MENU", 0, 8000)) << tail() << console.out();
  ASSERT_TRUE(seen("|->Edit Settings", 0, 3000)) << tail();
  size_t mark = keys("key down\nkey right\n");
  ASSERT_TRUE(seen("Status and Alarms", mark, 3000)) << tail();
  mark = keys("key down\nkey down\nkey right\n");
  ASSERT_TRUE(seen("ANALOG LEVELS", mark, 3000)) << tail();
  // the writer's levels move: full cells (glyph 0) and partial cells show
  EXPECT_TRUE(seen("|L:#", mark, 3000)) << tail();
  EXPECT_TRUE(seen("|R:#", mark, 3000)) << tail();
  // back in the menus the menu glyphs are loaded again
  mark = keys("key x\n");
  EXPECT_TRUE(seen("|MAIN MENU", mark, 3000)) << tail();
}

TEST_F(PanelEndToEnd, aPanelThatStopsAnsweringEndsTheFrontPanelMode) {
  startConsole();
  ASSERT_TRUE(seen("|MAIN MENU", 0, 8000)) << tail() << console.out();
  emu.writeStdin("silent on\nkey down\n");
  EXPECT_EQ(0, console.wait(8000)) << console.out();
  EXPECT_NE(std::string::npos, console.out().find("tem: LCD Communication failure"));
}
