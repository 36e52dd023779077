/*
** Power-off and restart watch: the maintenance tool runs only when an item
** stays set for more than 10 seconds, then every 11 seconds, and a cleared
** item forgets its timer.  Commands are captured at the shell seam.
*/
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/doVA.h"
#include "dataset/doviduConfig.h"
#include "diag/shellSeam.h"

namespace {

struct ShellCapture {
  std::vector<std::string> commands;
  ShellCapture() {
    unsetenv("DOVA_RUN_DIR");
    setShellHook([this](const std::string& cmd, std::string*) {
      commands.push_back(cmd);
      return 0;
    });
  }
  ~ShellCapture() {
    setShellHook(shellHook());
    unsetenv("DOVA_RUN_DIR");
  }
};

}  // namespace

TEST(PowerWatch, PowerOffRunsAfterMoreThanTenSecondsThenEveryElevenSeconds) {
  ShellCapture shell;
  consoleApp app;
  for (uint32_t t = 1000; t <= 1010; t++) powerWatchAt(app, true, false, t);
  EXPECT_TRUE(shell.commands.empty());
  powerWatchAt(app, true, false, 1011);
  ASSERT_EQ(shell.commands.size(), 1u);
  EXPECT_EQ(shell.commands[0], "/mnt/run/kvUpgrade.x -s");
  powerWatchAt(app, true, false, 1021);
  EXPECT_EQ(shell.commands.size(), 1u);
  powerWatchAt(app, true, false, 1022);
  EXPECT_EQ(shell.commands.size(), 2u);
}

TEST(PowerWatch, ClearingTheItemForgetsTheTimer) {
  ShellCapture shell;
  consoleApp app;
  powerWatchAt(app, true, false, 500);
  powerWatchAt(app, false, false, 509);
  powerWatchAt(app, true, false, 511);
  powerWatchAt(app, true, false, 521);
  EXPECT_TRUE(shell.commands.empty());
  powerWatchAt(app, true, false, 522);
  EXPECT_EQ(shell.commands.size(), 1u);
}

TEST(PowerWatch, RestartAnnouncesItselfAndUsesItsOwnTimer) {
  ShellCapture shell;
  consoleApp app;
  powerWatchAt(app, true, false, 100);
  powerWatchAt(app, true, true, 105);
  testing::internal::CaptureStdout();
  powerWatchAt(app, true, true, 111);
  std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(shell.commands.size(), 1u);
  EXPECT_EQ(shell.commands[0], "/mnt/run/kvUpgrade.x -s");
  EXPECT_EQ(out, "");
  testing::internal::CaptureStdout();
  powerWatchAt(app, true, true, 116);
  out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(shell.commands.size(), 2u);
  EXPECT_EQ(shell.commands[1], "/mnt/run/kvUpgrade.x -r");
  EXPECT_EQ(out, "Forcing restart ...\n");
}

TEST(PowerWatch, ReadsThePowerItemsOfTheDataSet) {
  ShellCapture shell;
  int level = 0;
  consoleApp app;
  powerWatch(app); /* no data set yet: nothing happens */
  EXPECT_EQ(app.powerOffSince, 0u);

  dovidu_config cfg(&level, nullptr);
  ASSERT_GT(cfg.addAllItems(2), 300);
  app.cfg = &cfg;
  powerWatch(app);
  EXPECT_EQ(app.powerOffSince, 0u);

  ASSERT_EQ(cfg.parseItem(cfg.getItemName(itmSYSRESTART_CMD), "1"), 0);
  testing::internal::CaptureStdout();
  powerWatch(app);
  ASSERT_NE(app.restartSince, 0u);
  EXPECT_EQ(app.powerOffSince, 0u);
  app.restartSince -= 11; /* as if it had stayed set for 11 seconds */
  powerWatch(app);
  std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(shell.commands.size(), 1u);
  EXPECT_EQ(shell.commands[0], "/mnt/run/kvUpgrade.x -r");
  EXPECT_EQ(out, "Forcing restart ...\n");

  ASSERT_EQ(cfg.parseItem(cfg.getItemName(itmSYSRESTART_CMD), "0"), 0);
  powerWatch(app);
  EXPECT_EQ(app.restartSince, 0u);
  app.cfg = nullptr;
}
