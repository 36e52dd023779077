/*
** Console start-up as a user sees it: the help listing byte for byte, a bad
** switch, the program-directory and status-region failures, the fork into
** the background, and the mode flags the switches choose.
*/
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
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

/* A status region as the exporter side leaves it, under a private name. */
struct StatusRegion {
  testsup::ShmName name;
  kvSharedMem mem;
  StatusRegion() { EXPECT_EQ(0, mem.initSharedMem(nullptr, true, name.c_str())); }
};

/* The start-up steps in process: the switches, then the display path. */
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

/* The listing byte for byte (stamps masked): -h wins over every other
** switch; a bad switch or count prints its error first and exits 1. */
TEST(StartupHelp, HelpListingAndSwitchErrorsExactlyWithTheirExitStatus) {
  const struct { std::vector<std::string> args; int rc; const char* before; } cases[] = {
      {{"-h"}, 0, ""}, {{"-T", "9", "-mc", "-H"}, 0, ""}, {{"-MC"}, 1, "@Invalid switch: -MC\n@ \n"},
      {{"-s", "StationNameShort"}, 1, "@Error:\nSwitch -s requires 2 parameters.\n@Parameter quantity error\n"}};
  for (const auto& c : cases) {
    std::vector<std::string> argv{doVA()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string out, err;
    EXPECT_EQ(testsup::runProgram(argv, &out, &err), c.rc) << c.args[0];
    EXPECT_EQ(testsup::maskStamps(out), c.before + expectedHelp(doVA())) << c.args[0];
    EXPECT_EQ(err, "");
  }
}

/* A program directory longer than 200 characters is error 20005 and exit 0;
** no status region is error 20001 and exit 1. */
TEST(StartupFailures, LongProgramDirectoryAndMissingStatusRegionAreReportedWithTheirExitStatus) {
  testsup::TempDir dir;
  std::string seg = "deep_directory_name_of_thirty_", path = dir.path();
  ASSERT_EQ(symlink(".", dir.file(seg).c_str()), 0);
  ASSERT_EQ(symlink(doVA().c_str(), dir.file("doVA.x").c_str()), 0);
  while (path.size() <= 220) path += "/" + seg;
  StatusRegion region;
  testsup::ShmName neverCreated;
  const struct { std::string prog, shm; int rc; std::vector<std::string> errs; } runs[] = {
      {path + "/doVA.x", region.name.str(), 0,
       {"Err #20005 in doVA::main() - line ", "Could not set the system path variable"}},
      {doVA(), neverCreated.str(), 1,
       {"Err #18004", "Err #20001 in doVA::main() - line ", "Could not initialize shared memory"}}};
  for (const auto& r : runs) {
    std::string out, err;
    EXPECT_EQ(testsup::runProgram({r.prog, "-mc", "-T", "2"}, &out, &err, {"DOVA_STATUS_SHM=" + r.shm}), r.rc);
    for (const std::string& e : r.errs) EXPECT_NE(err.find(e), std::string::npos) << err;
    EXPECT_EQ(out.find("Switches:"), std::string::npos);
    EXPECT_EQ(out.find("Shared memory initialized"), std::string::npos) << out;
  }
}

TEST(StartupFork, WithoutSwitchesTheParentExitsAtOnceAndTheChildGoesOn) {
  StatusRegion region;
  testsup::BinDir bin;
  /* the forked child is reparented to us, so we can reap it */
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  testsup::Proc parent;
  ASSERT_TRUE(parent.start({bin.link("doVA.x"), "-T", "2"}, {"DOVA_STATUS_SHM=" + region.name.str()}, bin.path()));
  EXPECT_EQ(parent.wait(1500), 0);
  std::string out = parent.out();
  const std::string tag = "Child process launched with PID=";
  size_t at = out.find(tag);
  ASSERT_NE(at, std::string::npos) << out;
  pid_t child = (pid_t)atoi(out.c_str() + at + tag.size());
  ASSERT_GT(child, 1);
  /* the child sleeps 200 ms before anything else */
  int st = 0;
  EXPECT_EQ(waitpid(child, &st, WNOHANG), 0);  // still running
  EXPECT_EQ(out.find("Shared memory initialized"), std::string::npos) << out;
  EXPECT_TRUE(parent.waitForOutput("Shared memory initialized\n", 5000)) << parent.out();
  kill(child, SIGKILL);
  EXPECT_EQ(waitpid(child, &st, 0), child);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
}

/* The mode flags the switches choose: the front panel in the background by
** default, the mini console in the foreground with its size, labels only
** with it, the kill path unless a parameter access overrides it; the trace
** level as given. */
TEST(StartupModes, SwitchesChooseTheRunModeAndDisplay) {
  const struct { std::vector<std::string> args; bool daemon, lcd, kill, labels; int rows, cols, trace; } cases[] = {
      {{}, true, true, false, false, 4, 20, 0},
      {{"-T", "1", "-mc", "30"}, false, false, false, false, 30, 20, 1},
      {{"-mc", "1", "100", "-sl"}, false, false, false, true, 1, 100, 0},
      {{"-sl", "-i"}, false, true, false, false, 4, 20, 0},
      {{"-KILL", "-i"}, false, false, true, false, 4, 20, 0},
      {{"-kill", "-v", "StationNameShort"}, false, false, false, false, 4, 20, 0},
      {{"-s", "StationNameShort", "KXYZ"}, false, false, false, false, 4, 20, 0},
      /* the trace level is taken unclamped */
      {{"-T", "-3", "-mc"}, false, false, false, false, 4, 20, -3},
      {{"-t", "12", "-mc"}, false, false, false, false, 4, 20, 12}};
  for (const auto& c : cases) {
    Started s(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    ASSERT_EQ(s.status, doVA_CONTINUE);
    EXPECT_EQ(s.app.daemonMode, c.daemon);
    EXPECT_EQ(s.app.lcdMode, c.lcd);
    EXPECT_EQ(s.app.killPath, c.kill);
    EXPECT_EQ(s.app.showLedLabels, c.labels);
    EXPECT_EQ(s.app.traceLevel, c.trace);
    EXPECT_EQ(s.app.runMode, c.kill ? RUNMODE_NONE : RUNMODE_DISPLAY);
    EXPECT_EQ(s.app.dispRows, c.rows);
    EXPECT_EQ(s.app.dispCols, c.cols);
    /* the size is traced from level 1 on, and only what was given */
    EXPECT_EQ(s.out.find("Rows = 30\n") != std::string::npos, c.rows == 30) << s.out;
    EXPECT_EQ(s.out.find("Cols ="), std::string::npos);
  }
  Started a({"-mc", "-T", "1", "30"});
  EXPECT_EQ(a.status, 1);  /* 30 is a second parameter of -T */
}

TEST(StartupSignals, StopSignalsOnlyRaiseTheStopFlagAndSigpipeIsIgnored) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    consoleApp app;
    ASSERT_EQ(installStopHandler(app), 0);
    EXPECT_EQ(app.stopRequested, 0);
    raise(sig);
    EXPECT_EQ(app.stopRequested, 1) << strsignal(sig);
  }
  raise(SIGPIPE); /* would end the test program */
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE}) signal(sig, SIG_DFL);
}
