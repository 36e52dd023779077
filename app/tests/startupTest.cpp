/*
** Console start-up as a user sees it: the help listing byte for byte, a bad
** switch, the program-directory and status-region failures, the fork into
** the background, and the mode flags the switches choose.
*/
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/doVA.h"
#include "status/kvSharedMem.h"
#include "tests/support/testSupport.h"

namespace {


std::string expectedHelp(const std::string& prog) {
  return "@\n"
         "This tests sending of IPC messages to the DovIdu background supervisor.\n"
         "USAGE: " + prog + " MessageText\n"
         "Default operation is lcd operation in background\n"
         "\n"
         "@\n"
         "Switches:\n"
         "@     -v Data Name :  Views a data item (@Case sensitive, @1 parameter@)\n"
         "@     -s Data Name :  Sets a data item (@Case sensitive, @2 parameters@)\n"
         "@  -kill  :  Terminate supervisor process (@no parameters@)\n"
         "@     -T  value :  Set trace level for debug (0-9) (@1 parameter@)\n"
         "@    -mc [nRows [nCols]] :  Mini display (2x20 etc) (@Case sensitive, @0 to 2 parameters@)\n"
         "@    -sl  :  Show LED/Indicator Labels (only used for console operation) (@Case sensitive, @no parameters@)\n"
         "@   -lcd  :  Use LCD Interface (default mode) (@Case sensitive, @no parameters@)\n"
         "@     -i [0|<1>] :  Enable / disable interactive mode. (@0 to 1 parameters@)\n"
         "@     -h  :  Display help (@no parameters@)\n"
         "@  -dumy  :  Extra param (@no parameters@)\n"
         "@\n";
}

std::string doVA() { return testsup::buildBinDir() + "/doVA.x"; }

/* A status region in writer role under a private name, as the exporter
** side would leave it. */
struct StatusRegion {
  testsup::ShmName name;
  kvSharedMem mem;
  bool ok;
  StatusRegion() { ok = mem.initSharedMem(nullptr, true, name.c_str()) == 0; }
  std::string env() const { return "DOVA_STATUS_SHM=" + name.str(); }
};

bool processGone(pid_t pid) {
  std::string stat = testsup::readFile("/proc/" + std::to_string(pid) + "/stat");
  if (stat.empty()) return true;
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

}  // namespace

TEST(StartupHelp, HelpListingIsExactAndExitsZero) {
  std::string out, err;
  int rc = testsup::runProgram({doVA(), "-h"}, &out, &err);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(testsup::maskStamps(out), expectedHelp(doVA()));
  EXPECT_EQ(err, "");
}

TEST(StartupHelp, HelpWinsOverEveryOtherSwitch) {
  std::string out;
  int rc = testsup::runProgram({doVA(), "-T", "9", "-mc", "-H"}, &out);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(testsup::maskStamps(out), expectedHelp(doVA()));
}

TEST(StartupHelp, UnknownSwitchPrintsErrorTextThenHelpAndExitsOne) {
  std::string out;
  int rc = testsup::runProgram({doVA(), "-MC"}, &out);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(testsup::maskStamps(out), "@Invalid switch: -MC\n@ \n" + expectedHelp(doVA()));
}

TEST(StartupHelp, WrongParameterCountExitsOneWithTheRequirement) {
  std::string out;
  int rc = testsup::runProgram({doVA(), "-s", "StationNameShort"}, &out);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(testsup::maskStamps(out), "@Error:\nSwitch -s requires 2 parameters.\n"
                             "@Parameter quantity error\n" + expectedHelp(doVA()));
}

TEST(StartupFailures, ProgramDirectoryLongerThan200CharactersIsError20005AndExitZero) {
  testsup::TempDir dir;
  std::string seg = "deep_directory_name_of_thirty_";
  ASSERT_EQ(symlink(".", dir.file(seg).c_str()), 0);
  std::string path = dir.path();
  while (path.size() <= 220) path += "/" + seg;
  ASSERT_EQ(symlink(doVA().c_str(), dir.file("doVA.x").c_str()), 0);
  path += "/doVA.x";

  StatusRegion region;
  ASSERT_TRUE(region.ok);
  std::string out, err;
  int rc = testsup::runProgram({path, "-mc"}, &out, &err, {region.env()});
  EXPECT_EQ(rc, 0);
  EXPECT_NE(err.find("Err #20005 in doVA::main() - line "), std::string::npos) << err;
  EXPECT_NE(err.find("Could not set the system path variable"), std::string::npos);
  EXPECT_EQ(out.find("Switches:"), std::string::npos);
}

TEST(StartupFailures, MissingStatusRegionIsError20001AndExitOne) {
  testsup::ShmName neverCreated;
  std::string out, err;
  int rc = testsup::runProgram({doVA(), "-mc", "-T", "2"}, &out, &err,
                               {"DOVA_STATUS_SHM=" + neverCreated.str()});
  EXPECT_EQ(rc, 1);
  EXPECT_NE(err.find("Err #18004"), std::string::npos) << err;
  EXPECT_NE(err.find("Err #20001 in doVA::main() - line "), std::string::npos) << err;
  EXPECT_NE(err.find("Could not initialize shared memory"), std::string::npos);
  EXPECT_EQ(out.find("Shared memory initialized"), std::string::npos);
}

TEST(StartupFailures, StatusRegionAttachesWhenTheWriterMadeIt) {
  StatusRegion region;
  ASSERT_TRUE(region.ok);
  testsup::BinDir bin;
  testsup::Proc p;
  ASSERT_TRUE(p.start({bin.link("doVA.x"), "-mc", "-T", "2"}, {region.env()}, bin.path()));
  EXPECT_TRUE(p.waitForOutput("Shared memory initialized\n", 5000)) << p.out();
  p.signal(SIGKILL);
  p.wait(2000);
}

TEST(StartupFork, WithoutSwitchesTheParentExitsAtOnceAndTheChildGoesOn) {
  StatusRegion region;
  ASSERT_TRUE(region.ok);
  testsup::BinDir bin;
  /* the forked child is reparented to us, so we can reap it */
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  testsup::Proc parent;
  ASSERT_TRUE(parent.start({bin.link("doVA.x"), "-T", "2"}, {region.env()}, bin.path()));
  EXPECT_EQ(parent.wait(1500), 0);

  std::string out = parent.out();
  const std::string tag = "Child process launched with PID=";
  size_t at = out.find(tag);
  ASSERT_NE(at, std::string::npos) << out;
  pid_t child = (pid_t)atoi(out.c_str() + at + tag.size());
  ASSERT_GT(child, 1);
  /* the child sleeps 200 ms before anything else */
  EXPECT_FALSE(processGone(child));
  EXPECT_EQ(out.find("Shared memory initialized"), std::string::npos) << out;

  EXPECT_TRUE(parent.waitForOutput("Shared memory initialized\n", 5000)) << parent.out();
  kill(child, SIGKILL);
  int st = 0;
  for (int i = 0; i < 400 && waitpid(child, &st, WNOHANG) == 0; i++) usleep(5000);
  EXPECT_TRUE(processGone(child));
  prctl(PR_SET_CHILD_SUBREAPER, 0);
}

/* ---- mode flags, run in-process on the start-up steps ---- */

namespace {

struct Started {
  consoleApp app;
  int status;
  std::string out;
  explicit Started(std::vector<std::string> words) : args(std::move(words)) {
    args.insert(args.begin(), "doVA.x");
    for (auto& s : args) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    status = parseSwitches(app, (int)args.size(), argv.data());
    if (status == doVA_CONTINUE && !app.killPath) enterDisplayPath(app);
    out = testing::internal::GetCapturedStdout();
  }
  ~Started() { shutdownApp(app); }
  std::vector<std::string> args;
  std::vector<char*> argv;
};

}  // namespace

TEST(StartupModes, NoSwitchesRunTheFrontPanelInTheBackground) {
  Started s({});
  ASSERT_EQ(s.status, doVA_CONTINUE);
  EXPECT_TRUE(s.app.daemonMode);
  EXPECT_TRUE(s.app.lcdMode);
  EXPECT_FALSE(s.app.killPath);
  EXPECT_EQ(s.app.runMode, RUNMODE_DISPLAY);
  EXPECT_EQ(s.app.dispRows, 4);
  EXPECT_EQ(s.app.dispCols, 20);
}

TEST(StartupModes, MiniConsoleStaysInTheForegroundWithItsSize) {
  Started a({"-mc", "-T", "1", "30"});
  EXPECT_EQ(a.status, 1);  /* 30 is a second parameter of -T */

  Started s({"-T", "1", "-mc", "30"});
  ASSERT_EQ(s.status, doVA_CONTINUE);
  EXPECT_FALSE(s.app.daemonMode);
  EXPECT_FALSE(s.app.lcdMode);
  EXPECT_FALSE(s.app.showLedLabels);
  EXPECT_EQ(s.app.dispRows, 30);
  EXPECT_EQ(s.app.dispCols, 20);
  EXPECT_NE(s.out.find("Rows = 30\n"), std::string::npos) << s.out;
  EXPECT_EQ(s.out.find("Cols ="), std::string::npos);

  Started t({"-mc", "1", "100", "-sl"});
  EXPECT_EQ(t.app.dispRows, 1);
  EXPECT_EQ(t.app.dispCols, 100);
  EXPECT_TRUE(t.app.showLedLabels);
  EXPECT_EQ(t.out, "");  /* trace level 0: no Rows/Cols lines */
}

TEST(StartupModes, LabelsCountOnlyWithTheMiniConsole) {
  Started s({"-sl", "-i"});
  EXPECT_FALSE(s.app.showLedLabels);
  EXPECT_TRUE(s.app.lcdMode);
  EXPECT_FALSE(s.app.daemonMode);
}

TEST(StartupModes, KillPathUnlessAParameterAccessOverridesIt) {
  Started k({"-KILL", "-i"});
  EXPECT_TRUE(k.app.killPath);
  EXPECT_FALSE(k.app.daemonMode);
  EXPECT_FALSE(k.app.lcdMode);

  Started v({"-kill", "-v", "StationNameShort"});
  EXPECT_FALSE(v.app.killPath);
  EXPECT_FALSE(v.app.daemonMode);
  EXPECT_FALSE(v.app.lcdMode);
  EXPECT_EQ(v.app.runMode, RUNMODE_DISPLAY);

  Started s({"-s", "StationNameShort", "KXYZ"});
  EXPECT_FALSE(s.app.daemonMode);
  EXPECT_FALSE(s.app.lcdMode);
}

TEST(StartupModes, TraceLevelIsTakenUnclamped) {
  Started a({"-T", "-3", "-mc"});
  EXPECT_EQ(a.app.traceLevel, -3);
  Started b({"-t", "12", "-mc"});
  EXPECT_EQ(b.app.traceLevel, 12);
  EXPECT_EQ(b.app.pTraceLevel, &b.app.traceLevel);
}

TEST(StartupSignals, SigtermOnlyRaisesTheStopFlag) {
  consoleApp app;
  ASSERT_EQ(installStopHandler(app), 0);
  EXPECT_EQ(app.stopRequested, 0);
  raise(SIGTERM);
  EXPECT_EQ(app.stopRequested, 1);
  signal(SIGTERM, SIG_DFL);
}
