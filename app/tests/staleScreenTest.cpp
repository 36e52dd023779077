/*
** No stale screen: the real doVA.x in a tmux pane, a real cfgMaster.x and
** statusWriter.x on a private bin directory and status region, and the
** faults an operator's console must survive and say so - the status
** region truncated and recreated under the menu, the master killed with
** SIGKILL and started again - plus the parameter access without a master:
** stopped by SIGTERM in its waits, and after earlier runs that were killed
** with their messages still in the shared queue.
*/
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/testSupport.h"
#include "tests/support/tmuxPane.h"

using namespace testsup;

namespace {

class StaleScreen : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* p : {"doVA.x", "cfgMaster.x", "statusWriter.x"}) bin.link(p);
  }
  void TearDown() override {
    pane.reset();
    writer.stop(3000);
    master.stop(3000);
  }
  void startMaster() {
    ASSERT_TRUE(master.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}, {},
                             bin.path()));
    ASSERT_TRUE(master.waitForOutput("configuration master ready", 5000)) << master.err();
  }
  void startWriter() {
    ASSERT_TRUE(writer.start({bin.prog("statusWriter.x"), "-shm", shm.str(), "-q"}));
    for (int i = 0; i < 200 && access(("/dev/shm" + shm.str()).c_str(), F_OK) != 0; i++)
      usleep(10000);
  }
  /* doVA.x from the bin directory: exit status, stdout, stderr. */
  int console(const std::vector<std::string>& args, std::string* out, std::string* err = nullptr) {
    std::vector<std::string> argv{bin.prog("doVA.x")};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, out, err, {"DOVA_STATUS_SHM=" + shm.str()}, 15000, bin.path());
  }

  BinDir bin;
  TempDir work;
  ShmName shm;
  Proc master, writer;
  std::unique_ptr<tmuxPane> pane;
};

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST_F(StaleScreen, menuSurvivesARegionAndAMasterThatGoAwayAndComeBack) {
  std::string tmux = findProgram("tmux");
  if (tmux.empty()) GTEST_SKIP() << "tmux is not installed (scripts/test installs it)";
  startMaster();
  startWriter();
  pane.reset(new tmuxPane(tmux, "dovaStale"));
  ASSERT_TRUE(pane->start("cd '" + bin.path() + "' && env TERM=xterm DOVA_STATUS_SHM='" +
                          shm.str() + "' ./doVA.x -mc 4 20; echo \"EXIT=$?\"; sleep 60"));
  ASSERT_TRUE(pane->waitForRow(0, 5, " MAIN MENU", 8000)) << pane->screen();

  // the audio status screen, then its region cut to nothing under it
  pane->keys({"Down", "Right"});
  ASSERT_TRUE(pane->waitFor("Status and Alarms", 3000)) << pane->screen();
  pane->keys({"Down", "Right"});
  ASSERT_TRUE(pane->waitFor("Analog  OK", 3000)) << pane->screen();
  writer.signal(SIGKILL);
  writer.wait(2000);
  ASSERT_EQ(truncate(("/dev/shm" + shm.str()).c_str(), 0), 0);
  EXPECT_TRUE(pane->waitFor(" -no data available-", 3000)) << pane->screen();
  // a writer that removes the name and makes a new region: followed
  ASSERT_EQ(unlink(("/dev/shm" + shm.str()).c_str()), 0);
  startWriter();
  EXPECT_TRUE(pane->waitFor("Analog  OK", 3000)) << pane->screen();
  EXPECT_EQ(std::string::npos, pane->screen().find("EXIT="));

  // the master killed without a word: lost within 5 s, an edit refused
  pane->keys({"Escape", "Escape"}, 100);
  ASSERT_TRUE(pane->waitForRow(0, 5, " MAIN MENU", 3000)) << pane->screen();
  master.signal(SIGKILL);
  master.wait(2000);
  auto killedAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(pane->waitFor("MASTER LOST", 5000)) << pane->screen();
  EXPECT_LT(secondsSince(killedAt), 5.0);
  pane->keys({"Enter", "Up", "Right", "Right", "Right"}, 100);
  ASSERT_TRUE(pane->waitFor("('Enter' to edit)", 2000)) << pane->screen();
  pane->keys({"Enter"});
  ASSERT_TRUE(pane->waitFor("***System Name***", 2000)) << pane->screen();
  pane->type("Lost 1");
  pane->keys({"Enter", "Enter"}, 100);
  EXPECT_TRUE(pane->waitFor("NOT SAVED", 3000)) << pane->screen();
  pane->keys({"Enter"});

  // a master again: the console links by itself and shows its values
  startMaster();
  auto startedAt = std::chrono::steady_clock::now();
  std::string out;
  ASSERT_TRUE(waitForFile(work.file("kvPrimeConfig.cfg"), "SYSTEM_NAME", 5000));
  EXPECT_EQ(0, console({"-s", "SystemName", "Back 2"}, &out)) << out;
  EXPECT_EQ("SystemName=Back 2\n", out);
  EXPECT_TRUE(pane->waitFor("Back 2", 5000)) << pane->screen();
  EXPECT_LT(secondsSince(startedAt), 5.0);
  EXPECT_EQ(std::string::npos, pane->screen().find("MASTER LOST"));
  EXPECT_EQ(std::string::npos, readFile(work.file("kvPrimeConfig.cfg")).find("Lost 1"));

  // restarted at once, before any ping could miss: the new master's
  // answers give it away and the console subscribes to it
  master.signal(SIGKILL);
  master.wait(2000);
  startMaster();
  startedAt = std::chrono::steady_clock::now();
  EXPECT_EQ(0, console({"-s", "SystemName", "Quick 3"}, &out)) << out;
  EXPECT_TRUE(pane->waitFor("Quick 3", 5000)) << pane->screen();
  EXPECT_LT(secondsSince(startedAt), 5.0);
}

TEST_F(StaleScreen, parameterAccessWithoutMasterStopsAtOnceAndLeavesTheQueueUsable) {
  startWriter();
  // five runs killed in their waits, their messages left in the queue
  Proc killed[5];
  for (Proc& p : killed)
    ASSERT_TRUE(p.start({bin.prog("doVA.x"), "-v", "SystemName"}, {"DOVA_STATUS_SHM=" + shm.str()},
                        bin.path()));
  usleep(3300 * 1000);  // past the registration wait: every list is offered
  for (Proc& p : killed) p.signal(SIGKILL);
  for (Proc& p : killed) p.wait(2000);

  // SIGTERM one second into the waits: out at once, nothing false reported
  Proc stopped;
  ASSERT_TRUE(stopped.start({bin.prog("doVA.x"), "-v", "SystemName"},
                            {"DOVA_STATUS_SHM=" + shm.str()}, bin.path()));
  usleep(1000 * 1000);
  auto t0 = std::chrono::steady_clock::now();
  stopped.signal(SIGTERM);
  EXPECT_EQ(0, stopped.wait(2000));
  EXPECT_LT(secondsSince(t0), 0.1);
  EXPECT_EQ("", stopped.out());
  EXPECT_EQ(std::string::npos, stopped.err().find("2000")) << stopped.err();
  EXPECT_EQ(std::string::npos, stopped.err().find("Invalid index")) << stopped.err();

  // the sixth run: exactly its value line, within the waits without a master
  std::string out, err;
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(0, console({"-v", "SystemName"}, &out, &err));
  double secs = secondsSince(t0);
  EXPECT_EQ("SystemName=  \n", out) << err;
  EXPECT_LT(secs, 6.5);
  EXPECT_NE(std::string::npos, err.find("20003")) << err;
}
