/*
** Maintenance actions: the factory reset's tool calls, the power watch in
** a moved run directory, and the software update on the menu's update
** screen.  Commands are either captured at the shell seam or run for real
** against the kvUpgrade.x stand-in linked into a private run directory,
** whose call log shows what the tool was asked.
*/
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/displayLoop.h"
#include "app/doVA.h"
#include "app/maintenance.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "diag/shellSeam.h"
#include "menu/menuTables.h"
#include "menu/tests/menuTestUtil.h"
#include "tests/support/testSupport.h"

namespace {

using clk = std::chrono::steady_clock;

/* Lines of the stand-in's call log, without their time stamps. */
std::vector<std::string> toolCalls(const std::string& log) {
  std::vector<std::string> calls;
  std::string text = testsup::readFile(log);
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(at, nl - at);
    size_t tab = line.find('\t');
    calls.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    at = nl + 1;
  }
  return calls;
}

/* A data set in the master role (a value set here is the item's value at
** once), a menu front end, and a run directory holding the stand-in tool,
** which is also the working directory. */
class Maintenance : public ::testing::Test {
protected:
  void SetUp() override {
    char buf[4096];
    ASSERT_NE(nullptr, getcwd(buf, sizeof buf));
    oldDir = buf;
    bin.link("kvUpgrade.x");
    ASSERT_EQ(0, chdir(bin.path().c_str()));
    setenv("DOVA_RUN_DIR", bin.path().c_str(), 1);
    unsetenv("KVUPGRADE_LOG");
    cfg = std::make_unique<dovidu_config>(&app.traceLevel, nullptr);
    ASSERT_EQ(0, cfg->initDataSet(&app.traceLevel, nullptr, 1, "cfgMaster.x", 0, -1));
    app.cfg = cfg.get();
    app.runMode = RUNMODE_DISPLAY;
    fe = new testFrontEnd();
    ASSERT_EQ(0, fe->init(cfg.get(), treeMainMenuTable(), nullptr, 3, 1, 0, 20, &app.traceLevel,
                          1, tal_FULL_EDIT, nullptr));
    app.frontEnd = fe;
    update.setApp(&app);
    fe->setUpdateStep(&softwareUpdate::stepFn, &update);
    resetChangeHandling();
    handleChangedData(app);
  }
  void TearDown() override {
    setShellHook(shellHook());
    for (const char* v : {"DOVA_RUN_DIR", "KVUPGRADE_MS", "KVUPGRADE_SIZE", "KVUPGRADE_RESULT"})
      unsetenv(v);
    destroyFrontEnd(app);
    app.cfg = nullptr;
    cfg.reset();
    if (chdir(oldDir.c_str()) != 0) ADD_FAILURE() << "cannot return to " << oldDir;
  }
  void capture() {
    setShellHook([this](const std::string& cmd, std::string* output) {
      commands.push_back(cmd);
      if (output != nullptr) *output = fakeOutput(cmd);
      return 0;
    });
  }
  /* The captured download "fetches" by writing the file it was asked for. */
  std::string fakeOutput(const std::string& cmd) {
    if (cmd.find(" -t ") != std::string::npos) {
      mkdir(bin.file("update").c_str(), 0755);
      testsup::writeFile(bin.file("update/pkg.tar"), std::string(5000, 'u'));
      return "Fetching pkg.tar\n";
    }
    return "Installing console ...\nUpdate complete\n";
  }
  void setItem(int item, const char* text) { ASSERT_EQ(0, cfg->parseItem(cfg->getItemName(item), text)); }
  /* From the root to MAINTENANCE > SW UPDATE. */
  void openUpdateScreen() {
    fe->key(treeKEY_RIGHT);
    for (int i = 0; i < 9; ++i) fe->key(treeKEY_DOWN);
    fe->key(treeKEY_RIGHT);
    for (int i = 0; i < 6; ++i) fe->key(treeKEY_DOWN);
    fe->key(treeKEY_RIGHT);
  }
  /* Display passes until the update has finished; each pass must return
  ** at once whatever the tool is doing.  Returns the screens seen. */
  std::vector<std::string> runUpdate(int timeoutMs) {
    std::vector<std::string> screens;
    auto end = clk::now() + std::chrono::milliseconds(timeoutMs);
    while (fe->updateStepNumber() != softwareUpdate::STEP_FINISHED && clk::now() < end) {
      auto t0 = clk::now();
      fe->refresh();
      fe->paint();
      auto took = std::chrono::duration_cast<std::chrono::milliseconds>(clk::now() - t0).count();
      EXPECT_LT(took, 200) << "a display pass waited for the tool";
      if (screens.empty() || screens.back() != fe->screen()) screens.push_back(fe->screen());
      usleep(20000);
    }
    return screens;
  }

  testsup::BinDir bin;
  std::string oldDir;
  consoleApp app;
  std::unique_ptr<dovidu_config> cfg;
  testFrontEnd* fe = nullptr;
  softwareUpdate update;
  std::vector<std::string> commands;
};

bool anyContains(const std::vector<std::string>& texts, const std::string& part) {
  for (const std::string& t : texts)
    if (t.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace

/* ---- factory reset and power watch ------------------------------------- */

TEST_F(Maintenance, factoryResetShowsItsAlertThenWipesAndRestartsFromTheWorkingDirectory) {
  capture();
  setItem(itmRESET_TO_FACTORY_DEFAULTS, "1");
  fe->queueChanged(itmRESET_TO_FACTORY_DEFAULTS);
  handleChangedData(app);
  EXPECT_EQ((std::vector<std::string>{"./kvUpgrade.x -d", "./kvUpgrade.x -r"}), commands);
  EXPECT_NE(std::string::npos, fe->row(0).find("Factory Defaults"));
  EXPECT_EQ(" Please wait for    ", fe->row(1));
}

TEST_F(Maintenance, factoryResetReachesTheRealToolAsDefaultsThenRestart) {
  setItem(itmRESET_TO_FACTORY_DEFAULTS, "1");
  fe->queueChanged(itmRESET_TO_FACTORY_DEFAULTS);
  handleChangedData(app);
  EXPECT_EQ((std::vector<std::string>{"-d", "-r"}), toolCalls(bin.file("kvUpgrade.log")));
  /* a cleared request does nothing */
  setItem(itmRESET_TO_FACTORY_DEFAULTS, "0");
  fe->queueChanged(itmRESET_TO_FACTORY_DEFAULTS);
  handleChangedData(app);
  EXPECT_EQ(2u, toolCalls(bin.file("kvUpgrade.log")).size());
}

TEST_F(Maintenance, powerWatchRunsTheToolOfTheMovedRunDirectory) {
  ASSERT_EQ(0, chdir("/"));  /* not found through the working directory */
  powerWatchAt(app, true, false, 10);
  powerWatchAt(app, true, false, 21);
  testing::internal::CaptureStdout();
  powerWatchAt(app, false, true, 30);
  powerWatchAt(app, false, true, 41);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("Forcing restart ...\n"));
  EXPECT_EQ((std::vector<std::string>{"-s", "-r"}), toolCalls(bin.file("kvUpgrade.log")));
}

/* ---- software update, commands captured ---------------------------------- */

TEST_F(Maintenance, updateAsksFirstAndCancelsOnTheHelpKey) {
  capture();
  openUpdateScreen();
  EXPECT_TRUE(fe->messageBoxShown());
  EXPECT_NE(std::string::npos, fe->row(0).find("**Run Update?**"));
  EXPECT_EQ("!  \x02 to continue   !", fe->row(1));
  EXPECT_EQ("!  \x01 to cancel     !", fe->row(2));
  fe->key(treeKEY_HELP);
  runUpdate(2000);
  EXPECT_EQ(padRow("Upgrade canceled", 20), fe->row(1));
  EXPECT_TRUE(commands.empty());
}

TEST_F(Maintenance, confirmedUpdateDownloadsThenRunsTheInstallerOfTheRunDirectory) {
  capture();
  setItem(itmUPDATE_HOST_IP, "10.1.2.3");
  setItem(itmUPDATE_FILE, "pkg.tar");
  openUpdateScreen();
  testing::internal::CaptureStdout();
  fe->key(treeKEY_ENTER);
  std::vector<std::string> screens = runUpdate(3000);
  EXPECT_EQ("Downloading\n", testing::internal::GetCapturedStdout());
  std::string run = bin.path();
  ASSERT_EQ(2u, commands.size());
  EXPECT_EQ(run + "/kvUpgrade.x -t 10.1.2.3 pkg.tar", commands[0]);
  EXPECT_EQ("if [ -s " + run + "/update/update.sh ] ; then " + run + "/update/update.sh ; fi",
            commands[1]);
  EXPECT_NE(std::string::npos, std::string(update.output()).find("Downloaded   5.000kB\nIP: 10.1.2.3\npkg.tar"));
  EXPECT_NE(std::string::npos, std::string(update.output()).find("Update complete"));
  EXPECT_TRUE(anyContains(screens, "Update complete"));
}

TEST_F(Maintenance, theBoxRunDirectoryIsTheDefault) {
  capture();
  unsetenv("DOVA_RUN_DIR");
  setItem(itmUPDATE_HOST_IP, "192.168.0.7");
  setItem(itmUPDATE_FILE, "my_update.tgz");
  int step = softwareUpdate::STEP_START;
  char text[64];
  update.runStep(&step, text, sizeof text);
  ASSERT_EQ(1u, commands.size());
  EXPECT_EQ("/mnt/run/kvUpgrade.x -t 192.168.0.7 my_update.tgz", commands[0]);
  EXPECT_EQ(softwareUpdate::STEP_DOWNLOAD, step);
  EXPECT_EQ(std::string("/mnt/run/update/my_update.tgz"), update.downloadPath());
}

/* Any client can set the name and the host: an option, a path, a blank,
** shell characters or a host that is no address never reach the tool. */
TEST_F(Maintenance, anUpdateNameOrHostThatIsNoPlainFileOrAddressRunsNothingAndSaysWhy) {
  capture();
  const struct {
    const char* host;
    const char* file;
    const char* says;
  } rows[] = {
      {"10.1.2.3", "-r", "file name starts with -"},
      {"10.1.2.3", "../x", "file name holds .."},
      {"10.1.2.3", "a b", "file name holds a blank"},
      {"10.1.2.3", "$(id)", "file name holds $"},
      {"10.1.2.3", "a/b.tgz", "file name holds /"},
      {"0.0.0.0", "pkg.tar", "update host 0.0.0.0 is no valid address"},
      {"255.255.255.255", "pkg.tar", "update host 255.255.255.255 is no valid address"},
  };
  for (const auto& r : rows) {
    setItem(itmUPDATE_HOST_IP, r.host);
    cfg->getItem(itmUPDATE_FILE)->strIn(r.file); /* as the master holds it, unfiltered */
    int step = softwareUpdate::STEP_START;
    char text[softwareUpdate::OUTPUT_SIZE];
    update.runStep(&step, text, sizeof text);
    EXPECT_EQ(softwareUpdate::STEP_FINISHED, step) << r.file;
    EXPECT_EQ(std::string("Update not run:\n") + r.says, update.output()) << r.file;
  }
  EXPECT_TRUE(commands.empty()) << commands[0];
}

TEST(DownloadSize, sizeTextChangesUnitByTheNumberOfDigits) {
  char t[32];
  const struct {
    int64_t bytes;
    const char* text;
  } rows[] = {{0, "      0B"},           {999, "    999B"},          {1000, "  1.000kB"},
              {999999, "999.999kB"},    {1234567, "  1.235MB"},      {4200000000LL, "  4.200GB"},
              {1234567890123LL, "  1.235TB"}, {-1, nullptr}};
  for (int i = 0; rows[i].text != nullptr; i++) {
    downloadSizeText(t, sizeof t, rows[i].bytes);
    EXPECT_STREQ(rows[i].text, t) << rows[i].bytes;
  }
}

/* ---- software update with the real tool ----------------------------------- */

TEST_F(Maintenance, updateScreenShowsTheGrowingDownloadAndTheInstallerLinesWithoutWaiting) {
  setenv("KVUPGRADE_MS", "1000", 1);
  setenv("KVUPGRADE_SIZE", "1234567", 1);
  setItem(itmUPDATE_HOST_IP, "10.1.2.3");
  setItem(itmUPDATE_FILE, "pkg.tar");
  openUpdateScreen();
  testing::internal::CaptureStdout();
  fe->key(treeKEY_ENTER);
  std::vector<std::string> screens = runUpdate(15000);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(softwareUpdate::STEP_FINISHED, fe->updateStepNumber());
  EXPECT_FALSE(update.pipeOpen());
  /* several sizes while the tool was still writing, then the whole file */
  int downloading = 0;
  for (const std::string& s : screens)
    if (s.find("Downloaded") != std::string::npos && s.find("1.235MB") == std::string::npos) downloading++;
  EXPECT_GE(downloading, 2);
  std::string out = update.output();
  EXPECT_EQ(0u, out.find("Downloaded   1.235MB\nIP: 10.1.2.3\npkg.tar\n"));
  EXPECT_NE(std::string::npos, out.find("Verifying package ...\n"));
  EXPECT_NE(std::string::npos, out.find("Update complete, restart to apply\n"));
  EXPECT_TRUE(anyContains(screens, "restart to apply"));
  for (int i = 0; i < 10; i++) fe->key(treeKEY_UP);  /* the operator scrolls back to the top */
  EXPECT_EQ("Downloaded   1.235MB", fe->row(1));
  EXPECT_EQ((std::vector<std::string>{"-t 10.1.2.3 pkg.tar"}), toolCalls(bin.file("kvUpgrade.log")));
}

TEST_F(Maintenance, aToolThatFetchesNothingOrAnEmptyFileEndsTheUpdateWithoutTheInstaller) {
  setenv("KVUPGRADE_MS", "0", 1);
  setItem(itmUPDATE_HOST_IP, "10.0.0.2");
  setItem(itmUPDATE_FILE, "pkg.tar");
  const struct {
    const char* result;
    const char* report;
  } cases[] = {{"none", "Error! No Such File"}, {"empty", "\nError Downloading File(s)"}, {nullptr, nullptr}};
  for (int i = 0; cases[i].result != nullptr; i++) {
    setenv("KVUPGRADE_RESULT", cases[i].result, 1);
    unlink(bin.file("update/pkg.tar").c_str());
    softwareUpdate u(&app);
    int step = softwareUpdate::STEP_START;
    char text[softwareUpdate::OUTPUT_SIZE] = "";
    auto end = clk::now() + std::chrono::seconds(10);
    while (step != softwareUpdate::STEP_FINISHED && clk::now() < end) {
      u.runStep(&step, text, sizeof text);
      usleep(5000);
    }
    EXPECT_EQ(softwareUpdate::STEP_FINISHED, step) << cases[i].result;
    EXPECT_NE(std::string::npos, std::string(text).find(cases[i].report)) << text;
    EXPECT_EQ(-1, access(bin.file("update/update.sh").c_str(), F_OK));
  }
}

TEST_F(Maintenance, theStandInLogsEveryCallToItsLogAndRefusesBadArguments) {
  std::string log = bin.file("calls.log");
  std::string out, err;
  std::vector<std::string> env = {"KVUPGRADE_LOG=" + log, "KVUPGRADE_MS=0"};
  std::string tool = bin.prog("kvUpgrade.x");
  EXPECT_EQ(0, testsup::runProgram({tool, "-h"}, &out, &err, env));
  EXPECT_NE(std::string::npos, out.find("-t  <host-ip> <file>"));
  EXPECT_EQ(0, testsup::runProgram({tool, "-s"}, &out, &err, env));
  EXPECT_EQ(2, testsup::runProgram({tool, "-x"}, &out, &err, env));
  EXPECT_NE(std::string::npos, err.find("unknown switch '-x'"));
  EXPECT_EQ(2, testsup::runProgram({tool, "-t", "10.0.0.1"}, &out, &err, env));
  EXPECT_EQ(2, testsup::runProgram({tool, "-t", "10.0.0.300", "pkg"}, &out, &err, env));
  EXPECT_EQ(2, testsup::runProgram({tool, "-t", "10.0.0.1", "../escape"}, &out, &err, env));
  EXPECT_EQ(-1, access(bin.file("escape").c_str(), F_OK));
  EXPECT_EQ((std::vector<std::string>{"-h", "-s", "-x", "-t 10.0.0.1", "-t 10.0.0.300 pkg",
                                      "-t 10.0.0.1 ../escape"}),
            toolCalls(log));
  EXPECT_EQ(-1, access(bin.file("kvUpgrade.log").c_str(), F_OK));  /* the log moved */
}

TEST_F(Maintenance, installerOutputIsKeptPrintableAndWithinTheScreenText) {
  std::string noisy = std::string("ok\0hidden?\r\n\x1b[2Jtab\there\n", 25) + std::string(5000, 'z');
  setShellHook([&](const std::string& cmd, std::string* output) {
    if (output == nullptr) return 0;
    if (cmd.find(" -t ") != std::string::npos) {
      mkdir(bin.file("update").c_str(), 0755);
      testsup::writeFile(bin.file("update/pkg.tar"), "x");
    } else {
      *output = noisy;
    }
    return 0;
  });
  setItem(itmUPDATE_HOST_IP, "10.0.0.3");
  setItem(itmUPDATE_FILE, "pkg.tar");
  int step = softwareUpdate::STEP_START;
  char text[softwareUpdate::OUTPUT_SIZE];
  for (int i = 0; i < 6 && step != softwareUpdate::STEP_FINISHED; i++) update.runStep(&step, text, sizeof text);
  ASSERT_EQ(softwareUpdate::STEP_FINISHED, step);
  std::string out = update.output();
  EXPECT_EQ((size_t)softwareUpdate::OUTPUT_SIZE - 1, out.size());
  EXPECT_NE(std::string::npos, out.find("\nokhidden?\n [2Jtab here\nzzz")) << out.substr(0, 80);
  EXPECT_EQ(out, std::string(text));
}
