/*
** Diagnostics as a user of the box sees them: error lines, the program
** directory that keys the queues, the deadline timer, the date command, the
** number parser, the shell seam, the tokenizer and the hex dump.  (Trace
** levels and stamps: the console's end-to-end runs, byte for byte.)
*/
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <unistd.h>

#include "diag/ErrTrcLog.h"
#include "diag/cppUtils.h"
#include "diag/numParse.h"
#include "diag/shellSeam.h"
#include "tests/support/testSupport.h"

/* (A report without a log object, on stdout, is checked by nearly every
** test of a module.) */
TEST(ErrorReport, StderrWithLogQuietInfoPercentsAndCut) {
  ErrTrcLog log;
  std::string big(3000, 'a');
  testing::internal::CaptureStderr();
  log.logError(3, 13019, "genericConfig", "addItemHelper", 42, "100%% %s", "sure");
  log.logError(6, 1, "m", "f", 1, "quiet");
  log.logMessage(7, "Parent processing exiting now.\n");
  log.logMessage(4, "%s", "rate 50%d %n");
  log.logMessage(6, "%s", big.c_str());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(log.isOpened());
  EXPECT_NE(err.find("Err #13019 in genericConfig::addItemHelper() - line 42: 100% sure"), std::string::npos) << err;
  EXPECT_EQ(err.find("quiet"), std::string::npos);
  EXPECT_EQ(err.find("Parent"), std::string::npos);
  EXPECT_NE(err.find("rate 50%d %n"), std::string::npos);
  EXPECT_EQ(strlen(log.lastMessage()), 1000u);
}

TEST(ProgramDir, AbsoluteRelativeBareAndTooLongPaths) {
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  testsup::TempDir dir;
  const std::string d = dir.path(), longest = "/" + std::string(198, 'd');
  const struct { std::string cwd, arg; int rc; std::string dir; } rows[] = {
      {d, "/mnt/run/bin/doVA.x", 0, "/mnt/run/bin"}, {d, "./bin/doVA.x", 0, d + "/bin"}, {d, "doVA.x", 0, d + "/"},
      {d, "bin/doVA.x", 0, d + "/bin"}, {"/", "doVA.x", 0, "/"}, {d, longest + "/doVA.x", 0, longest},
      {d, "/" + std::string(250, 'd') + "/doVA.x", 1, ""}};   /* too long: refused, no directory */
  ErrTrcLog log;
  for (const auto& r : rows) {
    ASSERT_EQ(chdir(r.cwd.c_str()), 0);
    EXPECT_EQ(log.setProgramDir(r.arg.c_str()), r.rc) << r.arg;
    EXPECT_EQ(log.programDir(), r.dir) << r.arg;
  }
  ASSERT_EQ(chdir(saved), 0);
}

TEST(DeadlineTimer, DeadlineDisabledPeriodsRearmAndElapsedTime) {
  deadlineTimer t;
  t.setPeriodFrom(0.5f, kvTimeStamp{10, 800000});  // the microseconds carry into the second
  EXPECT_FALSE(t.isExpiredAt(kvTimeStamp{11, 299999}));
  EXPECT_TRUE(t.isExpiredAt(kvTimeStamp{11, 300000}));
  for (float v : {0.0f, -3.0f, NAN}) {
    deadlineTimer off;
    off.setPeriod(v);
    EXPECT_FALSE(off.maxTimeUsed);
    EXPECT_TRUE(off.isExpired() && off.checkAndRestart());
    EXPECT_FALSE(off.tmrIsRunning);
  }
  t.setPeriod(0.02f);
  EXPECT_FALSE(t.checkAndRestart());
  usleep(25000);
  EXPECT_TRUE(t.checkAndRestart());
  EXPECT_FALSE(t.isExpired());
  /* elapsed time borrows a second: a start 1.9 s back with larger microseconds */
  kvTimeStamp start;
  getTimeStamp(&start);
  start.sec -= start.usec < 900000 ? 2 : 1;
  start.usec = (start.usec + 100000) % 1000000;
  uint32_t ms = elapsedMs(&start);
  EXPECT_GE(ms, 1900u);
  EXPECT_LT(ms, 2500u);
  EXPECT_NEAR(elapsedSeconds(&start), ms / 1000.0, 0.2);
}

TEST(SystemDate, DateCommandFromDecimalFieldsAndFormatOnlyOnChange) {
  /* zero-padded fields are decimal: August and 8 o'clock once failed */
  const struct { const char* text; const char* cmd; } rows[] = {
      {"2024/3/7 9:05:00", "date 030709052024.00"}, {"2031/08/09 08:09:07", "date 080908092031.07"},
      {"2040/02/29 12:34:56", "date 022912342040.56"}};
  std::string seen;
  setShellHook([&](const std::string& cmd, std::string*) {
    seen = cmd;
    return 0;
  });
  for (const auto& r : rows) {
    EXPECT_EQ(setSystemDate(r.text), 0);
    EXPECT_EQ(seen, r.cmd);
  }
  setShellHook(nullptr);
  char out[32];   /* "yyyy/mm/dd hh:mm:ss", formatted only when the second changed */
  time_t now = formatDateTime(out, -1);
  EXPECT_TRUE(strlen(out) == 19 && out[4] == '/' && out[13] == ':') << out;
  strcpy(out, "untouched");
  formatDateTime(out, now + 100000);
  EXPECT_NE(std::string(out), "untouched");
  strcpy(out, "untouched");
  if (formatDateTime(out, time(nullptr)) == time(nullptr)) {
    EXPECT_STREQ(out, "untouched");
  }
}

/* The 32-bit box's atoi/strtoul stop at the 32-bit limits; every width
** must read the same, never the low bits of a wider value. */
TEST(NumberParse, SaturatesAtThe32BitLimitsOnEveryWidth) {
  const struct { const char* text; int32_t asInt; uint32_t asUnsigned; int used; } rows[] = {
      {"4294967296", INT32_MAX, UINT32_MAX, 10}, {"-4294967296", INT32_MIN, UINT32_MAX, 11},
      {"99999999999999999999", INT32_MAX, UINT32_MAX, 20}, {"2147483648", INT32_MAX, 2147483648u, 10},
      {"-2147483648", INT32_MIN, 2147483648u, 11}, {"  -12abc", -12, 4294967284u, 5}, {"+7", 7, 7, 2},
      {"abc", 0, 0, 0}, {"", 0, 0, 0}};
  for (const auto& r : rows) {
    const char* end = nullptr;
    EXPECT_EQ(parseInt32(r.text, &end), r.asInt) << r.text;
    EXPECT_EQ(end - r.text, r.used) << r.text;
    EXPECT_EQ(parseUint32(r.text), r.asUnsigned) << r.text;
  }
  EXPECT_EQ(atoiSat(nullptr), 0);

  const struct { const char* format; const char* text; int count; int32_t v[6]; } scans[] = {
      {"%d.%d.%d.%d", "4294967296.-4294967296.300.1", 4, {INT32_MAX, INT32_MIN, 300, 1}},
      {"%u.%x", "-4294967296.99999999999999999999", 2, {-1, -1}},
      {"%04i-%02i-%02i %02i:%02i:%02i", "2040-02-29  12:34:56", 6, {2040, 2, 29, 12, 34, 56}},
      {"%02X:%02X", "1ff:0a", 1, {0x1f}}, {"%d%%%d", "5%6", 2, {5, 6}},
      {"SisScheduleB%dPL%d", "SisScheduleB99999999999999999999PL1", 2, {INT32_MAX, 1}},
      {"%d %f", "5 2.5", 1, {5}}, {"%d", "x", 0, {0}}};
  for (const auto& s : scans) {
    int32_t v[6] = {0, 0, 0, 0, 0, 0};
    EXPECT_EQ(scanInt32(s.text, s.format, v, 6), s.count) << s.format;
    for (int i = 0; i < s.count; i++) EXPECT_EQ(v[i], s.v[i]) << s.format << " #" << i;
  }
}

TEST(ShellSeam, QuotedTextSurvivesTheShellAndPlainWordsStayBare) {
  std::string cmd = "printf %s " + shellQuote("$(echo hi) `x` 'q' \"d\"; rm -rf /");
  FILE* f = openShell(cmd.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[128] = {0};
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  closeShell(f);
  EXPECT_EQ(std::string(buf, n), "$(echo hi) `x` 'q' \"d\"; rm -rf /");
  const struct { const char* in; const char* out; } rows[] = {
      {"/mnt/run/kvUpgrade.x", "/mnt/run/kvUpgrade.x"}, {"update-1.2_b+c.tgz", "update-1.2_b+c.tgz"},
      {"my file", "'my file'"}, {"a;rm -rf /", "'a;rm -rf /'"}, {"", "''"}};
  for (const auto& r : rows) EXPECT_EQ(shellWord(r.in), r.out);
}

TEST(Tokenize, QuotesSeparatorsTerminatorsLimitsAndLength) {
  /* length -1: the whole line; tokens: the first ones */
  const struct { const char* line; int length, maxTokens; const char* terms; int consumed, count;
                 std::vector<std::string> tokens; } rows[] = {
      {"  abc , def , \"x, y\"  ", -1, 5, "\r\n", 22, 3, {"abc", "def", "x, y"}},
      {"Slogan , two words here ,\"a\"", -1, 4, "", 28, 3, {"Slogan", "two words here", "a"}},
      /* the terminator ends the scan; tokens beyond the array still count */
      {"a,b,c,d\nnext,line", -1, 2, "\r\n", 8, 4, {"a", "b"}},
      {"ab, cd", 5, 3, "\n", 5, 2, {"ab"}},
      {"name,\"open value, more", -1, 3, "\n", 22, 2, {"name", "open value, more"}},
  };
  for (const auto& r : rows) {
    size_t len = r.length < 0 ? strlen(r.line) : (size_t)r.length;
    /* exactly the given bytes: nothing past them is readable memory of the line */
    char* buf = static_cast<char*>(malloc(len + 1));
    memcpy(buf, r.line, len);
    char* tok[5] = {};
    int n = 0;
    EXPECT_EQ(tokenize(buf, &n, (int)len, r.maxTokens, tok, ",", r.terms), r.consumed) << r.line;
    EXPECT_EQ(n, r.count) << r.line;
    /* the last token may run to the end of the bytes without a terminator */
    for (size_t i = 0; i < r.tokens.size(); i++)
      EXPECT_EQ(std::string(tok[i], strnlen(tok[i], (size_t)(buf + len - tok[i]))), r.tokens[i]) << r.line;
    free(buf);
  }
}

TEST(HexDump, SixteenBytesALinePrintableColumnEmptyInput) {
  unsigned char data[20];
  for (int i = 0; i < 20; i++) data[i] = (unsigned char)(0x20 + i * 3);
  std::ostringstream os;
  hexDump(os, data, 20);
  os << 255;  /* the stream is back to decimal */
  EXPECT_EQ(os.str(),
            "00000000:  20 23 26 29 2c 2f 32 35 38 3b 3e 41 44 47 4a 4d | .#&),/258;>ADGJM\n"
            "00000010:  50 53 56 59" + std::string(36, ' ') + " | PSVY\n255");
  std::ostringstream empty;
  hexDump(empty, "", 0);
  EXPECT_EQ(empty.str(), "00000000: " + std::string(48, ' ') + " | \n");
}
