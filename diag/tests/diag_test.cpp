/*
** Diagnostics as a user of the box sees them: trace filtering and stamps,
** error lines, the program directory that keys the queues, the deadline
** timer, the date command, the tokenizer and the hex dump.
*/
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <unistd.h>

#include "diag/ErrTrcLog.h"
#include "diag/cppUtils.h"
#include "diag/shellSeam.h"
#include "diag/trace.h"
#include "tests/support/testSupport.h"

namespace {

std::string captureStdout(const std::function<void()>& fn) {
  testing::internal::CaptureStdout();
  fn();
  fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

std::string captureStderr(const std::function<void()>& fn) {
  testing::internal::CaptureStderr();
  fn();
  return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(Trace, LevelZeroPrintsOnlyAlwaysStatementsWithAStamp) {
  int level = 0;
  std::string out = captureStdout([&] {
    TRACE(&level, -1, "always\n");
    TRACE(&level, 0, "never at 0\n");
    TRACE(&level, 3, "milestone\n");
  });
  EXPECT_EQ(out.find("never"), std::string::npos);
  EXPECT_EQ(out.find("milestone"), std::string::npos);
  /* "%8u.%06u: " then the text */
  ASSERT_GE(out.size(), 17u);
  EXPECT_EQ(out.substr(8, 1), ".");
  EXPECT_EQ(out.substr(15, 2), ": ");
  EXPECT_EQ(out.substr(17), "always\n");
}

TEST(Trace, LevelNinePrintsEverythingUpToThresholdEight) {
  int level = 9;
  std::string out = captureStdout([&] {
    for (int n = -1; n <= 9; n++) TRACE(&level, n, "<%d>", n);
  });
  for (int n = -1; n <= 8; n++)
    EXPECT_NE(out.find("<" + std::to_string(n) + ">"), std::string::npos) << n;
  EXPECT_EQ(out.find("<9>"), std::string::npos);
}

TEST(Trace, WithoutLevelPointerEveryLineIsMarkedAndUnstamped) {
  std::string out = captureStdout([] { TRACE(nullptr, 8, "bulk %d\n", 7); });
  EXPECT_EQ(out, "pTraceLevel not defined. bulk 7\n");
}

TEST(ErrorReport, WithoutErrorLogGoesToStdoutWithoutNewline) {
  std::string out = captureStdout([] { ERRLOG(nullptr, 3, 20001, "doVA", "Could not %s", "x"); });
  EXPECT_EQ(out.rfind("ERR #20001 in doVA::", 0), 0u) << out;
  EXPECT_NE(out.find("() - line "), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 11), "Could not x");
}

TEST(ErrorReport, LogErrorReachesStderrWithNumberModuleFunctionLine) {
  ErrTrcLog log;
  std::string err = captureStderr([&] {
    log.logError(3, 13019, "genericConfig", "addItemHelper", 42, "100%% %s", "sure");
  });
  EXPECT_NE(err.find("Err #13019 in genericConfig::addItemHelper() - line 42: 100% sure"),
            std::string::npos)
      << err;
}

TEST(ErrorReport, InfoPriorityOpensTheLogButWritesNothing) {
  ErrTrcLog log;
  std::string err = captureStderr([&] {
    log.logError(6, 1, "m", "f", 1, "quiet");
    log.logMessage(7, "Parent processing exiting now.\n");
  });
  EXPECT_TRUE(log.isOpened());
  EXPECT_EQ(err.find("quiet"), std::string::npos);
  EXPECT_EQ(err.find("Parent"), std::string::npos);
}

TEST(ErrorReport, PercentInAMessageIsLoggedUnchanged) {
  ErrTrcLog log;
  std::string err = captureStderr([&] { log.logMessage(4, "%s", "rate 50%d %n"); });
  EXPECT_NE(err.find("rate 50%d %n"), std::string::npos) << err;
}

TEST(ErrorReport, OverlongMessageIsCutToTheBuffer) {
  ErrTrcLog log;
  std::string big(3000, 'a');
  captureStderr([&] { log.logMessage(6, "%s", big.c_str()); });
  EXPECT_EQ(strlen(log.lastMessage()), 1000u);
}

class ProgramDir : public testing::Test {
protected:
  void SetUp() override { ASSERT_NE(getcwd(saved, sizeof saved), nullptr); }
  void TearDown() override { ASSERT_EQ(chdir(saved), 0); }
  char saved[4096];
};

TEST_F(ProgramDir, AbsoluteRelativeAndBarePaths) {
  ErrTrcLog log;
  EXPECT_EQ(log.setProgramDir("/mnt/run/bin/doVA.x"), 0);
  EXPECT_STREQ(log.programDir(), "/mnt/run/bin");
  testsup::TempDir dir;
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  EXPECT_EQ(log.setProgramDir("./bin/doVA.x"), 0);
  EXPECT_EQ(std::string(log.programDir()), dir.path() + "/bin");
  EXPECT_EQ(log.setProgramDir("doVA.x"), 0);
  EXPECT_EQ(std::string(log.programDir()), dir.path() + "/");
  EXPECT_EQ(log.setProgramDir("bin/doVA.x"), 0);
  EXPECT_EQ(std::string(log.programDir()), dir.path() + "/bin");
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(log.setProgramDir("doVA.x"), 0);
  EXPECT_STREQ(log.programDir(), "/");
}

TEST_F(ProgramDir, DirectoryLongerThanTheFieldFails) {
  ErrTrcLog log;
  std::string longPath = "/" + std::string(250, 'd') + "/doVA.x";
  EXPECT_EQ(log.setProgramDir(longPath.c_str()), 1);
  std::string justFits = "/" + std::string(198, 'd') + "/doVA.x";
  EXPECT_EQ(log.setProgramDir(justFits.c_str()), 0);
  EXPECT_EQ(strlen(log.programDir()), 199u);
}

TEST(DeadlineTimer, HalfSecondFromTenPointEight) {
  deadlineTimer t;
  t.setPeriodFrom(0.5f, kvTimeStamp{10, 800000});
  EXPECT_EQ(t.deadline.sec, 11u);
  EXPECT_EQ(t.deadline.usec, 300000u);
  EXPECT_FALSE(t.isExpiredAt(kvTimeStamp{11, 299999}));
  EXPECT_TRUE(t.isExpiredAt(kvTimeStamp{11, 300000}));
  EXPECT_TRUE(t.tmrIsRunning);
}

TEST(DeadlineTimer, DisabledPeriodsAreAlwaysExpiredAndNeverRearm) {
  for (float v : {0.0f, -3.0f, NAN}) {
    deadlineTimer t;
    t.setPeriod(v);
    EXPECT_FALSE(t.maxTimeUsed);
    EXPECT_TRUE(t.isExpired());
    EXPECT_TRUE(t.checkAndRestart());
    EXPECT_FALSE(t.tmrIsRunning);
  }
}

TEST(DeadlineTimer, CheckAndRestartRearmsOnlyAfterExpiry) {
  deadlineTimer t;
  t.setPeriod(0.02f);
  EXPECT_FALSE(t.checkAndRestart());
  usleep(25000);
  EXPECT_TRUE(t.checkAndRestart());
  EXPECT_FALSE(t.isExpired());
}

TEST(Time, ElapsedBorrowsASecond) {
  kvTimeStamp now;
  getTimeStamp(&now);
  kvTimeStamp start = now;
  /* start 1.9 s earlier, with larger microseconds than now */
  start.sec -= 2;
  start.usec = (now.usec + 100000) % 1000000;
  if (start.usec < now.usec) start.sec += 1;
  uint32_t ms = elapsedMs(&start);
  EXPECT_GE(ms, 1900u);
  EXPECT_LT(ms, 2500u);
  EXPECT_NEAR(elapsedSeconds(&start), ms / 1000.0, 0.2);
}

TEST(SystemDate, RunsTheDateCommandThroughTheShellSeam) {
  std::string seen;
  setShellHook([&](const std::string& cmd, std::string*) {
    seen = cmd;
    return 0;
  });
  EXPECT_EQ(setSystemDate("2024/3/7 9:05:00"), 0);
  setShellHook(nullptr);
  EXPECT_EQ(seen, "date 030709052024.00");
}

TEST(SystemDate, ZeroPaddedFieldsAreDecimal) {
  std::string seen;
  setShellHook([&](const std::string& cmd, std::string*) {
    seen = cmd;
    return 0;
  });
  setSystemDate("2031/08/09 08:09:07");
  setShellHook(nullptr);
  EXPECT_EQ(seen, "date 080908092031.07");
}

TEST(SystemDate, FormatDateTimeOnlyWhenTheSecondChanged) {
  char out[32];
  memset(out, 'x', sizeof out);
  time_t now = formatDateTime(out, -1);
  EXPECT_EQ(strlen(out), 19u);
  EXPECT_EQ(out[4], '/');
  EXPECT_EQ(out[13], ':');
  strcpy(out, "untouched");
  formatDateTime(out, now + 100000);  /* differs: rewritten */
  EXPECT_NE(std::string(out), "untouched");
  strcpy(out, "untouched");
  time_t again = formatDateTime(out, time(nullptr));
  if (again == time(nullptr)) {
    EXPECT_STREQ(out, "untouched");
  }
}

TEST(ShellSeam, QuoteSurvivesEveryCharacter) {
  EXPECT_EQ(shellQuote("a b"), "'a b'");
  EXPECT_EQ(shellQuote("it's; rm -rf /"), "'it'\\''s; rm -rf /'");
  std::string out;
  std::string cmd = "printf %s " + shellQuote("$(echo hi) `x` 'q' \"d\"");
  FILE* f = openShell(cmd.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[128] = {0};
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  closeShell(f);
  EXPECT_EQ(std::string(buf, n), "$(echo hi) `x` 'q' \"d\"");
}

TEST(ShellSeam, PlainWordsStayAsTheyAreOthersAreQuoted) {
  EXPECT_EQ(shellWord("/mnt/run/kvUpgrade.x"), "/mnt/run/kvUpgrade.x");
  EXPECT_EQ(shellWord("update-1.2_b+c.tgz"), "update-1.2_b+c.tgz");
  EXPECT_EQ(shellWord("my file"), "'my file'");
  EXPECT_EQ(shellWord("a;rm -rf /"), "'a;rm -rf /'");
  EXPECT_EQ(shellWord(""), "''");
}

TEST(Tokenize, QuotesSeparatorsAndTrimming) {
  char line[] = "  abc , def , \"x, y\"  ";
  char* tok[5] = {};
  int n = 0;
  int r = tokenize(line, &n, (int)strlen(line), 5, tok, ",", "\r\n");
  EXPECT_EQ(r, (int)strlen("  abc , def , \"x, y\"  "));
  ASSERT_EQ(n, 3);
  EXPECT_STREQ(tok[0], "abc");
  EXPECT_STREQ(tok[1], "def");
  EXPECT_STREQ(tok[2], "x, y");
}

TEST(Tokenize, InnerBlanksStayAndOneCharQuotedTokenKeepsIt) {
  char line[] = "Slogan , two words here ,\"a\"";
  char* tok[4] = {};
  int n = 0;
  tokenize(line, &n, (int)strlen(line), 4, tok, ",", "");
  ASSERT_EQ(n, 3);
  EXPECT_STREQ(tok[0], "Slogan");
  EXPECT_STREQ(tok[1], "two words here");
  EXPECT_STREQ(tok[2], "a");
}

TEST(Tokenize, TerminatorEndsTheScanAndMaxTokensStillCounts) {
  char line[] = "a,b,c,d\nnext,line";
  char* tok[2] = {};
  int n = 0;
  int r = tokenize(line, &n, (int)strlen(line), 2, tok, ",", "\r\n");
  EXPECT_EQ(r, 8);  /* just past the '\n' */
  EXPECT_EQ(n, 4);
  EXPECT_STREQ(tok[0], "a");
  EXPECT_STREQ(tok[1], "b");
  EXPECT_STREQ(line + r, "next,line");
}

TEST(Tokenize, NeverReadsPastTheGivenLength) {
  /* the bytes after the length are not even valid memory of the line */
  char* buf = static_cast<char*>(malloc(6));
  memcpy(buf, "ab, cd", 6);
  char* tok[3] = {};
  int n = 0;
  int r = tokenize(buf, &n, 5, 3, tok, ",", "\n");  /* sees "ab, c" */
  EXPECT_EQ(r, 5);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(std::string(tok[0]), "ab");
  free(buf);
}

TEST(Tokenize, UnbalancedQuoteRunsToTheEnd) {
  char line[] = "name,\"open value, more";
  char* tok[3] = {};
  int n = 0;
  tokenize(line, &n, (int)strlen(line), 3, tok, ",", "\n");
  ASSERT_EQ(n, 2);
  EXPECT_STREQ(tok[1], "open value, more");
}

TEST(HexDump, SixteenBytesALineWithPrintableColumn) {
  unsigned char data[20];
  for (int i = 0; i < 20; i++) data[i] = (unsigned char)(0x20 + i * 3);
  std::ostringstream os;
  hexDump(os, data, 20);
  os << 255;  /* the stream is back to decimal */
  std::string s = os.str();
  std::string first = s.substr(0, s.find('\n'));
  EXPECT_EQ(first,
            "00000000:  20 23 26 29 2c 2f 32 35 38 3b 3e 41 44 47 4a 4d | .#&),/258;>ADGJM");
  std::string second = s.substr(s.find('\n') + 1);
  EXPECT_EQ(second, "00000010:  50 53 56 59" + std::string(48 - 12, ' ') + " | PSVY\n255");
}

TEST(HexDump, EmptyInputStillWritesTheAddress) {
  std::ostringstream os;
  hexDump(os, "", 0);
  EXPECT_EQ(os.str(), "00000000: " + std::string(48, ' ') + " | \n");
}
