/*
** The display loop and the maintenance actions in process: the real data set
** in the master role under a menu front end that records indicators and boot
** text.  Commands are captured at the shell seam or run for real against the
** kvUpgrade.x stand-in in a private run directory, whose call log shows what
** the tool was asked.
*/
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/displayLoop.h"
#include "app/doVA.h"
#include "app/maintenance.h"
#include "app/statusAccess.h"
#include "dataset/itemIndex.h"
#include "diag/shellSeam.h"
#include "menu/tests/menuTestUtil.h"
#include "status/kvSharedMem.h"

namespace {

/* Lines of the stand-in's call log, without their time stamps. */
std::vector<std::string> toolCalls(const std::string& log) {
  std::vector<std::string> calls;
  std::istringstream in(testsup::readFile(log));
  for (std::string line; std::getline(in, line);) calls.push_back(line.substr(line.find('\t') + 1));
  return calls;
}

class recordingFrontEnd : public testFrontEnd {
public:
  void setStatusLine(int line, int status, bool) override {
    lastLine = line;
    lastStatus = status;
    statusCalls++;
  }
  void dispBootText(int row, const char* text, bool commit) override {
    boot[row & 3] = text;
    commits += commit;
  }
  int lastLine = -1, lastStatus = -1, statusCalls = 0, commits = 0;
  std::string boot[4];
};

/* The run directory holding the stand-in tool is also the working one. */
class Maintenance : public ::testing::Test {
protected:
  void SetUp() override {
    bin.link("kvUpgrade.x");
    ASSERT_TRUE(bin.enter());
    setenv("DOVA_RUN_DIR", bin.path().c_str(), 1);
    unsetenv("KVUPGRADE_LOG");
    cfg = std::make_unique<dovidu_config>(&app.traceLevel, nullptr);
    ASSERT_EQ(0, cfg->initDataSet(&app.traceLevel, nullptr, 1, "cfgMaster.x", 0, -1));
    app.cfg = cfg.get();
    app.runMode = RUNMODE_DISPLAY;
    fe = new recordingFrontEnd();
    ASSERT_EQ(0, fe->init(cfg.get(), treeMainMenuTable(), nullptr, 3, 1, 0, 20, &app.traceLevel,
                          1, tal_FULL_EDIT, nullptr));
    app.frontEnd = fe;
    update.setApp(&app);
    fe->setUpdateStep(&softwareUpdate::stepFn, &update);
    resetChangeHandling();
    handleChangedData(app);  // the first pass after start-up
  }
  void TearDown() override {
    setShellHook(shellHook());
    for (const char* v : {"DOVA_RUN_DIR", "KVUPGRADE_MS", "KVUPGRADE_SIZE", "KVUPGRADE_RESULT"})
      unsetenv(v);
    destroyFrontEnd(app);
    app.cfg = nullptr;
    cfg.reset();
    EXPECT_TRUE(bin.leave());
  }
  void setItem(int item, const char* text) { ASSERT_EQ(0, cfg->parseItem(cfg->getItemName(item), text)); }
  void set(int item, const char* value) { cfg->changeValue(item, value); }
  /* One display-loop pass over these changed items. */
  void changed(std::initializer_list<int> items) {
    for (int i : items) fe->queueChanged(i);
    handleChangedData(app);
  }
  /* Rows r .. r + n - 1 of the display, joined with '|'. */
  std::string text(int r, int n = 1) {
    fe->refresh();
    std::string rows = fe->rowText(r);
    while (--n > 0) rows = rows + "|" + fe->rowText(++r);
    return rows;
  }
  /* The update's steps from the start until it finishes (10 s at most). */
  int runUpdate(softwareUpdate& u, char (&text)[softwareUpdate::OUTPUT_SIZE]) {
    int step = softwareUpdate::STEP_START;
    auto finished = [&] { return u.runStep(&step, text, sizeof text), step == softwareUpdate::STEP_FINISHED; };
    testsup::waitUntil(finished, 10000, 5);
    return step;
  }
  testsup::WorkDir bin;
  consoleApp app;
  std::unique_ptr<dovidu_config> cfg;
  recordingFrontEnd* fe = nullptr;
  softwareUpdate update;
};

}  // namespace

TEST_F(Maintenance, changedItemsRefreshIndicatorsAndANewStationNameTheBootTextAndCallSign) {
  EXPECT_EQ(-1, indicatorItem(4));
  set(itmGPS_Status, "2");
  changed({itmGPS_Status_Count});
  EXPECT_EQ(2, fe->lastLine);
  EXPECT_EQ(2, fe->lastStatus);
  int calls = fe->statusCalls;
  changed({itmAudio_Status_Count});
  EXPECT_EQ(calls, fe->statusCalls);
  EXPECT_EQ(0, fe->changedCount());  // the queue is emptied after each pass
  set(itmSIS_CsStdNme, "KABCDEFGHIJK");
  changed({itmSIS_CsStdNme});
  const char* boot[] = {"  ...TORVAL....", "  KIVAREX RELAY", " for station KABC", "    initializing..."};
  for (int r = 0; r < 4; r++) EXPECT_EQ(boot[r], fe->boot[r]);  // the item holds four characters
  EXPECT_EQ(1, fe->commits);
  EXPECT_EQ("MAIN MENU    KABC-FM", text(0));
}

/* A changed mode is announced and switches the band, the first mode seen
** after start-up only switches it; the extended restart alert needs GPS
** time and interface 30; of two alerts in one pass only the first shows. */
TEST_F(Maintenance, alertsShowTheirTextsAModeChangeAfterTheFirstAndOnlyTheFirstOfTwoInOnePass) {
  int fm = -1;
  cfg->readInt(itmPrmryCarrierCfg, &fm);
  set(itmPrmryCarrierCfg, "4");
  changed({itmPrmryCarrierCfg});
  EXPECT_EQ("!!! AM/FM CHANGE !!!|! system will re-  !", text(0, 2));
  fe->key(treeKEY_ENTER);
  EXPECT_EQ("MAIN MENU    TORV-AM", text(0));
  changed({itmPrmryCarrierCfg});  // the same mode again: no alert
  EXPECT_FALSE(fe->messageBoxShown());
  set(itmPrmryCarrierCfg, std::to_string(fm).c_str());
  resetChangeHandling();
  changed({itmIF_WDog_Enbl});
  EXPECT_FALSE(fe->messageBoxShown());
  EXPECT_EQ("MAIN MENU    TORV-FM", text(0));

  set(itmSYSRESTART_CMD, "1");
  set(itmUseGPSTime, "1");
  set(itmEXT_IF_VERSION, "29");
  changed({itmSYSRESTART_CMD});
  EXPECT_EQ("!! System Restart !!| Please wait for    ", text(0, 2));
  fe->key(treeKEY_ENTER);
  set(itmEXT_IF_VERSION, "30");
  changed({itmSYSRESTART_CMD});
  EXPECT_EQ("!!Extended Restart!!|Please wait 30s for |extended GPS restart", text(0, 3));
  fe->key(treeKEY_ENTER);
  set(itmPOWEROFF_CMD, "1");  // the request and both answers: the window tests
  changed({itmPOWEROFF_CMD, itmSYSRESTART_CMD});
  EXPECT_EQ("!!!! Power Down !!!!| System is preparing", text(0, 2));
  fe->key(treeKEY_ENTER);
  EXPECT_FALSE(fe->messageBoxShown());
}

/* The one test that runs the real idle pass: its DSP fault latch lives for
** the whole process, as it does in the console. */
TEST_F(Maintenance, idlePassFeedsTheScreensAndShowsTheDspFaultAlertOncePerRun) {
  testsup::ShmName name;
  kvSharedMem w;
  ASSERT_EQ(0, w.initSharedMem(nullptr, true, name.c_str()));
  ASSERT_EQ(0, app.statusMem.initSharedMem(nullptr, false, name.c_str()));
  auto fault = [&](const char* value) { cfg->getItem(itmDSPHwFault)->strIn(value); idleRefresh(app); };
  idleRefresh(app);
  EXPECT_EQ(0x17fu, fe->screens.newDataBits());
  EXPECT_FALSE(fe->messageBoxShown());  // records reaching the screens: the window tests
  /* The fault: one alert.  Closed, cleared and set again: no second one. */
  fault("1");
  EXPECT_TRUE(fe->messageBoxShown());
  EXPECT_EQ("!!! DSP HW FAULT !!!| DSP Hardware Fault | (Memory or FIFO)   ", text(0, 3));
  fe->key(treeKEY_ENTER);
  EXPECT_FALSE(fe->messageBoxShown());
  fault("0");
  fault("1");
  EXPECT_FALSE(fe->messageBoxShown());
}

/* The tool runs once an item stays set for more than 10 s, then every 11 s
** (-s at 21 and 32); a cleared item forgets its timer (nothing by 51); a
** restart says so.  powerWatch reads the items from the data set and runs
** the tool of the moved run directory. */
TEST_F(Maintenance, powerWatchRunsTheToolAfterTenSecondsThenEveryElevenAndForgetsAClearedItem) {
  ASSERT_EQ(0, chdir("/"));  // not found through the working directory
  consoleApp bare;
  powerWatch(bare);  // no data set yet: nothing happens
  EXPECT_EQ(0u, bare.powerOffSince);
  for (uint32_t at : {10, 20, 21, 31, 32}) powerWatchAt(app, true, false, at);
  powerWatchAt(app, false, false, 40);
  for (uint32_t at : {41, 51}) powerWatchAt(app, true, false, at);
  setItem(itmSYSRESTART_CMD, "1");
  testing::internal::CaptureStdout();
  powerWatch(app);
  ASSERT_NE(0u, app.restartSince);
  EXPECT_EQ(0u, app.powerOffSince);
  app.restartSince -= 11;  // as if it had stayed set for 11 seconds
  powerWatch(app);
  EXPECT_EQ(0u, testing::internal::GetCapturedStdout().find("Forcing restart ...\n"));
  EXPECT_EQ((std::vector<std::string>{"-s", "-s", "-r"}), toolCalls(bin.file("kvUpgrade.log")));
  setItem(itmSYSRESTART_CMD, "0");
  powerWatch(app);
  EXPECT_EQ(0u, app.restartSince);
}

/* Any client can set the name and the host: an option, a path, a blank,
** shell characters or a host that is no address never reach the tool.  A
** good pair goes to the tool of the box's run directory by default. */
TEST_F(Maintenance, anUpdateNameOrHostThatIsNoPlainFileOrAddressRunsNothingAndSaysWhy) {
  std::vector<std::string> commands;
  setShellHook([&](const std::string& cmd, std::string*) { commands.push_back(cmd); return 0; });
  unsetenv("DOVA_RUN_DIR");
  const struct { const char *host, *file, *says; } rows[] = {
      {"10.1.2.3", "-r", "file name starts with -"},  {"10.1.2.3", "../x", "file name holds .."},
      {"10.1.2.3", "a b", "file name holds a blank"}, {"10.1.2.3", "$(id)", "file name holds $"},
      {"10.1.2.3", "a/b.tgz", "file name holds /"},
      {"0.0.0.0", "pkg.tar", "update host 0.0.0.0 is no valid address"},
      {"255.255.255.255", "pkg.tar", "update host 255.255.255.255 is no valid address"},
      {"192.168.0.7", "my_update.tgz", nullptr}};
  for (const auto& r : rows) {
    setItem(itmUPDATE_HOST_IP, r.host);
    cfg->getItem(itmUPDATE_FILE)->strIn(r.file); /* as the master holds it, unfiltered */
    int step = softwareUpdate::STEP_START;
    char text[softwareUpdate::OUTPUT_SIZE];
    update.runStep(&step, text, sizeof text);
    if (r.says == nullptr) {
      EXPECT_EQ(softwareUpdate::STEP_DOWNLOAD, step);
      break;
    }
    EXPECT_EQ(softwareUpdate::STEP_FINISHED, step) << r.file;
    EXPECT_EQ(std::string("Update not run:\n") + r.says, update.output()) << r.file;
    EXPECT_TRUE(commands.empty()) << commands[0];
  }
  EXPECT_EQ((std::vector<std::string>{"/mnt/run/kvUpgrade.x -t 192.168.0.7 my_update.tgz"}), commands);
  EXPECT_EQ(std::string("/mnt/run/update/my_update.tgz"), update.downloadPath());
}

TEST(DownloadSize, sizeTextChangesUnitByTheNumberOfDigits) {
  char t[32];
  const struct { int64_t bytes; const char* text; } rows[] = {
      {0, "      0B"},           {999, "    999B"},       {1000, "  1.000kB"},        {999999, "999.999kB"},
      {1234567, "  1.235MB"},     {4200000000LL, "  4.200GB"}, {1234567890123LL, "  1.235TB"}, {-1, nullptr}};
  for (int i = 0; rows[i].text != nullptr; i++) {
    downloadSizeText(t, sizeof t, rows[i].bytes);
    EXPECT_STREQ(rows[i].text, t) << rows[i].bytes;
  }
}

TEST_F(Maintenance, aToolThatFetchesNothingOrAnEmptyFileEndsTheUpdateWithoutTheInstaller) {
  setenv("KVUPGRADE_MS", "0", 1);
  setItem(itmUPDATE_HOST_IP, "10.0.0.2");
  setItem(itmUPDATE_FILE, "pkg.tar");
  const struct { const char *result, *report; } cases[] = {{"none", "Error! No Such File"},
                                                            {"empty", "\nError Downloading File(s)"}};
  for (const auto& c : cases) {
    setenv("KVUPGRADE_RESULT", c.result, 1);
    unlink(bin.file("update/pkg.tar").c_str());
    softwareUpdate u(&app);
    char text[softwareUpdate::OUTPUT_SIZE] = "";
    EXPECT_EQ(softwareUpdate::STEP_FINISHED, runUpdate(u, text)) << c.result;
    EXPECT_NE(std::string::npos, std::string(text).find(c.report)) << text;
    EXPECT_EQ(-1, access(bin.file("update/update.sh").c_str(), F_OK));
  }
}

TEST_F(Maintenance, theStandInLogsEveryCallToItsLogAndRefusesBadArguments) {
  std::string log = bin.file("calls.log"), out, err;
  const struct { std::vector<std::string> args; int rc; const char* says; } runs[] = {
      {{"-h"}, 0, "-t  <host-ip> <file>"}, {{"-s"}, 0, ""}, {{"-x"}, 2, "unknown switch '-x'"},
      {{"-t", "10.0.0.1"}, 2, ""}, {{"-t", "10.0.0.300", "pkg"}, 2, ""},
      {{"-t", "10.0.0.1", "../escape"}, 2, ""}};
  for (const auto& r : runs) {
    std::vector<std::string> argv{bin.file("kvUpgrade.x")};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    EXPECT_EQ(r.rc, testsup::runProgram(argv, &out, &err, {"KVUPGRADE_LOG=" + log, "KVUPGRADE_MS=0"}));
    EXPECT_NE(std::string::npos, (out + err).find(r.says)) << r.args[0];
  }
  EXPECT_EQ(-1, access(bin.file("escape").c_str(), F_OK));
  EXPECT_EQ((std::vector<std::string>{"-h", "-s", "-x", "-t 10.0.0.1", "-t 10.0.0.300 pkg",
                                      "-t 10.0.0.1 ../escape"}), toolCalls(log));
  EXPECT_EQ(-1, access(bin.file("kvUpgrade.log").c_str(), F_OK));  /* the log moved */
}

TEST_F(Maintenance, installerOutputIsKeptPrintableAndWithinTheScreenText) {
  std::string noisy = std::string("ok\0hidden?\r\n\x1b[2Jtab\there\n", 25) + std::string(5000, 'z');
  setShellHook([&](const std::string& cmd, std::string* output) {  // the download, then the installer
    if (output != nullptr && cmd.find(" -t ") != std::string::npos) {
      mkdir(bin.file("update").c_str(), 0755);
      testsup::writeFile(bin.file("update/pkg.tar"), "x");
    } else if (output != nullptr) {
      *output = noisy;
    }
    return 0;
  });
  setItem(itmUPDATE_HOST_IP, "10.0.0.3");
  setItem(itmUPDATE_FILE, "pkg.tar");
  char text[softwareUpdate::OUTPUT_SIZE];
  ASSERT_EQ(softwareUpdate::STEP_FINISHED, runUpdate(update, text));
  std::string out = update.output();
  EXPECT_EQ((size_t)softwareUpdate::OUTPUT_SIZE - 1, out.size());
  EXPECT_NE(std::string::npos, out.find("\nokhidden?\n [2Jtab here\nzzz")) << out.substr(0, 80);
  EXPECT_EQ(out, std::string(text));
}
