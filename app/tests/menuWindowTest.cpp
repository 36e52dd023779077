/*
** The menu window end to end: the real doVA.x menu in a tmux pane against a
** real cfgMaster.x, statusWriter.x and the kvUpgrade.x stand-in (private run
** directory).  The update and factory reset through the tool, the power-down
** request answered in the window, and the faults the menu must survive.
*/
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <string>

#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

class MenuWindow : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    // an update needs a host (the default 0.0.0.0 is refused); the rest stays default
    writeFile(savedFile(), "UPDATE_HOST_IP: 10.0.0.9\n");
    startMaster();
    startWriter();
    run.link("kvUpgrade.x");  // the console's working directory (bin) has one too
    if (!openPane("-mc 10 80", "xterm", tmuxPane::COLS, tmuxPane::ROWS,
                  "DOVA_RUN_DIR='" + run.path() + "' KVUPGRADE_MS=2500 KVUPGRADE_SIZE=3000000"))
      return;
    ASSERT_TRUE(pane->waitForRow(0, 5, " MAIN MENU", 8000)) << pane->screen();
  }
  BinDir run;
};

}  // namespace

/* The update box is answered both ways (F1 is the panel's X); a confirmed
** update shows the growing download and the installer's lines while its
** "Downloading" goes to the console log, not over the menu: the header and
** every row stay whole.  Then a factory reset saved in the menu. */
TEST_F(MenuWindow, updateBoxAnswersBothWaysTheRunningUpdateLeavesTheScreenWholeAndAResetReachesTheTool) {
  tmuxPane& pane = *this->pane;
  ASSERT_TRUE(pane.press({"Right"}, "SETTINGS")) << pane.screen();  // > MAINTENANCE > Run SW Update
  ASSERT_TRUE(pane.press({"Down", "Down", "Down", "Down", "Down", "Down", "Down", "Down", "Down", "Right"},
                         "MAINTENANCE")) << pane.screen();
  ASSERT_TRUE(pane.press({"Down", "Down", "Down", "Down", "Down", "Down", "Right"}, "**Run Update?**"))
      << pane.screen();
  /* the glyphs of the panel's confirm and cancel keys, one cell each */
  const char* box[] = {"!! **Run Update?** !", "!  V to continue   !", "!  X to cancel     !"};
  for (int r = 0; r < 3; r++) EXPECT_EQ(box[r], pane.row(r).substr(6, 20)) << pane.screen();
  ASSERT_TRUE(pane.press({"F1"}, "Upgrade canceled")) << pane.screen();
  ASSERT_TRUE(pane.press({"Left", "Right"}, "**Run Update?**")) << pane.screen();
  pane.keys({"Enter"}, 30);

  /* the download's size grows on the screen while the tool runs (no
  ** display pass waits for the tool), then the installer's lines */
  std::set<std::string> sizes;
  bool ip = false;
  ASSERT_TRUE(waitUntil([&] {
    std::string s = pane.screen();
    size_t at = s.find("Downloaded ");
    if (at != std::string::npos) sizes.insert(s.substr(at, 20));
    ip = ip || s.find("IP: 10.0.0.9") != std::string::npos;
    return s.find("Update complete, restart to apply") != std::string::npos;
  }, 15000, 50)) << pane.screen();
  EXPECT_GE(sizes.size(), 3u) << pane.screen();  // two or more on the way, then the whole file
  EXPECT_TRUE(ip) << pane.screen();
  EXPECT_TRUE(pane.press({"Up", "Up", "Up", "Up", "Up", "Up", "Up", "Up", "Up", "Up"}, "Downloaded   3.000MB"))
      << pane.screen();  // scrolled back to the top
  std::string screen = pane.screen();
  EXPECT_EQ(" SW UPDATE" + std::string(69, ' ') + "FM", pane.row(0).substr(5, 81)) << screen;
  EXPECT_EQ(std::string::npos, screen.find("Downloading")) << screen;
  for (int r = 0; r < tmuxPane::ROWS; r++) {  /* nothing left of the rows, nothing past them */
    std::string row = pane.row(r);
    EXPECT_TRUE(r < 4 || row.compare(0, 5, "     ") == 0) << screen;
    EXPECT_EQ(std::string(tmuxPane::COLS - 86, ' '), row.substr(86)) << screen;
  }
  EXPECT_NE(std::string::npos, readFile(bin.file("doVA.console.log")).find("Downloading\n"));

  /* the menu is still live: another key leaves the screen */
  EXPECT_TRUE(pane.press({"Escape"}, "->Run SW Update")) << pane.screen();

  /* a reset to defaults saved in the menu: the master echoes the request,
  ** the alert shows, then the tool of the working directory (not the run
  ** directory's) wipes and restarts, once */
  ASSERT_TRUE(pane.press({"Down", "Down"}, "->Reset to Defaults")) << pane.screen();
  ASSERT_TRUE(pane.press({"Right", "Enter"}, "Reset to Defaults")) << pane.screen();
  ASSERT_TRUE(pane.press({"Down"}, "YES!")) << pane.screen();
  ASSERT_TRUE(pane.press({"Enter", "Enter"}, "Factory Defaults", 5000, 100)) << pane.screen();  // prompt, save
  EXPECT_TRUE(waitForFile(bin.file("kvUpgrade.log"), "\t-r\n", 5000));
  std::string calls = readFile(bin.file("kvUpgrade.log")), updates = readFile(run.file("kvUpgrade.log"));
  EXPECT_LT(calls.find("\t-d\n"), calls.find("\t-r\n")) << calls;
  EXPECT_EQ(2u, countOf(calls, "\t")) << calls;
  EXPECT_EQ(1u, countOf(updates, "\t")) << updates;
  EXPECT_NE(std::string::npos, updates.find("\t-t 10.0.0.9 update.tgz\n")) << updates;
}

/* The master's power-down request, answered in the window: F1 (the panel's
** X) withdraws it and commands nothing (asked in a narrow window, where the
** box is laid out again); Enter commands the power-down.  The
** test is a second client of the same master (keys of the bin directory),
** which also sees the version the menu announced once linked. */
TEST_F(MenuWindow, f1DeclinesThePowerDownRequestAndEnterAcceptsIt) {
  int level = 0;
  dovidu_config client(&level, nullptr);
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here) != nullptr && chdir(bin.path().c_str()) == 0);
  int started = client.initDataSet(&level, nullptr, 0, "doVA.x", 0, -1);
  ASSERT_EQ(0, chdir(here));
  ASSERT_EQ(0, started);
  client.addAllItems(2);
  ASSERT_EQ(0, client.subscribeListSend());
  auto item = [&](int index, int ms) {  /* the client's copy after `ms` of polling */
    waitUntil([&] { return client.serviceCfg(0, 0), false; }, ms, 5);
    int v = -1;
    client.readInt(index, &v);
    return v;
  };
  auto waitItem = [&](int index, int want) { return waitUntil([&] { return item(index, 50) == want; }, 3000, 50); };
  auto request = [&](const char* shown) {
    client.sendChangeRequest("POWEROFF_REQ", "1", false);
    return pane->waitFor(shown, 3000);
  };

  ASSERT_TRUE(waitItem(itmPOWEROFF_CMD, 0));
  EXPECT_TRUE(waitItem(itmUSER_IF_VERSION, 0x01080003));  // the menu announced its version
  /* a 22 x 4 window leaves a display of 16 columns: every word of the
  ** question and of its answer keys is still inside it */
  ASSERT_TRUE(pane->resize(22, 4));
  ASSERT_TRUE(request("X to cancel")) << pane->screen();
  std::string shown;
  for (int r = 0; r < 4; r++) shown += pane->row(r).substr(6, 16) + " ";
  for (const char* word : {"Power", "Down", "Request", "V to continue", "X to cancel"})
    EXPECT_NE(std::string::npos, shown.find(word)) << word << "\n" << pane->screen();
  pane->keys({"F1"});
  EXPECT_TRUE(waitItem(itmPOWEROFF_REQ, 0));
  EXPECT_EQ(0, item(itmPOWEROFF_CMD, 500));
  EXPECT_TRUE(pane->waitFor("MAIN MENU", 2000)) << pane->screen();
  ASSERT_TRUE(pane->resize(tmuxPane::COLS, tmuxPane::ROWS));
  ASSERT_TRUE(request("Power Down Request")) << pane->screen();
  EXPECT_TRUE(pane->waitFor("!  X to cancel     !", 100)) << pane->screen();
  pane->keys({"Enter"});
  EXPECT_TRUE(waitItem(itmPOWEROFF_CMD, 1));
  EXPECT_EQ(0, item(itmPOWEROFF_REQ, 0));
  EXPECT_TRUE(pane->waitFor("!!! Power Down !!!", 3000)) << pane->screen();
}

/* The menu survives faults and says so. */
TEST_F(MenuWindow, menuSurvivesARegionAndAMasterThatGoAwayAndComeBack) {
  // the audio status screen, then its region cut to nothing under it
  ASSERT_TRUE(pane->press({"Down", "Right"}, "Status and Alarms", 3000, 0)) << pane->screen();
  ASSERT_TRUE(pane->press({"Down", "Right"}, "Analog  OK", 3000, 0)) << pane->screen();
  writer.signal(SIGKILL);
  writer.wait(2000);
  ASSERT_EQ(truncate(("/dev/shm" + shm.str()).c_str(), 0), 0);
  EXPECT_TRUE(pane->waitFor(" -no data available-", 3000)) << pane->screen();
  // a writer that removes the name and makes a new region: followed
  ASSERT_EQ(unlink(("/dev/shm" + shm.str()).c_str()), 0);
  startWriter();
  EXPECT_TRUE(pane->waitFor("Analog  OK", 3000)) << pane->screen();
  EXPECT_EQ(std::string::npos, pane->screen().find("EXIT="));

  // the master silent (killed or stopped): MASTER LOST within `bound` s
  auto lost = [&](int sig, double bound) {
    master.signal(sig);
    if (sig == SIGKILL) master.wait(2000);
    auto at = std::chrono::steady_clock::now();
    ASSERT_TRUE(pane->waitFor("MASTER LOST", 8000)) << pane->screen();
    EXPECT_LT(secondsSince(at), bound);
  };
  // then the System Name edit `toEdit` leads to is refused
  auto refused = [&](std::initializer_list<const char*> toEdit, const char* typed) {
    ASSERT_TRUE(pane->press(toEdit, "***System Name***", 3000, 100)) << pane->screen();
    pane->type(typed);
    EXPECT_TRUE(pane->press({"Enter", "Enter"}, "NOT SAVED", 3000, 100)) << pane->screen();
    pane->keys({"Enter"});
  };
  // a name set by a one-shot console shows in the menu within 5 s
  auto followed = [&](const std::string& name) {
    auto at = std::chrono::steady_clock::now();
    std::string out;
    EXPECT_EQ(0, console({"-s", "SystemName", name}, &out)) << out;
    EXPECT_EQ("SystemName=" + name + "\n", out);
    EXPECT_TRUE(pane->waitFor(name, 5000)) << pane->screen();
    EXPECT_LT(secondsSince(at), 5.0);
  };

  // the master killed without a word: lost, an edit refused; a master again:
  // the console links by itself and shows its values
  pane->keys({"Escape", "Escape"}, 100);
  ASSERT_TRUE(pane->waitForRow(0, 5, " MAIN MENU", 3000)) << pane->screen();
  lost(SIGKILL, 5.0);
  refused({"Enter", "Up", "Right", "Right", "Right", "Enter"}, "Lost 1");
  startMaster();
  followed("Back 2");
  EXPECT_EQ(std::string::npos, pane->screen().find("MASTER LOST"));
  EXPECT_EQ(std::string::npos, readFile(savedFile()).find("Lost 1"));

  // restarted at once, before any ping could miss: the new master's
  // answers give it away and the console subscribes to it
  master.signal(SIGKILL);
  master.wait(2000);
  startMaster();
  followed("Quick 3");

  // stopped (SIGSTOP), not gone: its silence to a ping makes it lost and
  // an edit is refused; continued, it serves the console again by itself,
  // keeps what it saved before and saves an edit made after
  ASSERT_TRUE(waitForFile(savedFile(), "Quick 3", 8000));
  lost(SIGSTOP, 6.0);
  refused({"Enter", "Enter"}, "Stop 4");
  master.signal(SIGCONT);
  EXPECT_NE(std::string::npos, readFile(savedFile()).find("Quick 3"));
  followed("Cont 5");
  ASSERT_TRUE(pane->press({"Enter"}, "***System Name***", 3000, 0)) << pane->screen();
  pane->type("Edit 6");
  pane->keys({"Enter", "Enter"});
  EXPECT_TRUE(waitForFile(savedFile(), "Edit 6", 8000)) << pane->screen();
  EXPECT_EQ(std::string::npos, readFile(savedFile()).find("Stop 4"));
}
