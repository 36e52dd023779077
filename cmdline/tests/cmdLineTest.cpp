/*
** Switch parser: how arguments are split into switches and parameters,
** the user errors it reports (and the one it reports first), join's cut
** at the destination size, and the help rows.
*/
#include <gtest/gtest.h>

#include "tests/support/testSupport.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "cmdline/cmdLine.h"

namespace {

enum { V = 12, S = 13, KILL = 3, T = 10, MC = 5, SL = 6, I = 4, H = 8 };

/* A fresh copy per test: the parser writes used flags and maxima into it. */
std::vector<SwitchDef> makeTable() {
  return {
      {V, 1, "-v", "Data Name", "Views a data item", 1, 0, false},
      {S, 1, "-s", "Data Name", "Sets a data item", 2, 0, false},
      {KILL, 0, "-kill", "", "Terminate supervisor process", 0, 0, false},
      {T, 0, "-T", " value", "Set trace level for debug (0-9)", 1, 0, false},
      {MC, 1, "-mc", "[nRows [nCols]]", "Mini display (2x20 etc)", 0, 2, false},
      {SL, 1, "-sl", "", "Show LED/Indicator Labels", 0, 0, false},
      {I, 0, "-i", "[0|<1>]", "Enable / disable interactive mode.", 0, 1, false},
      {H, 0, "-h", "", "Display help", 0, 0, false},
      {-1, 0, nullptr, nullptr, nullptr, 0, 0, false},
  };
}

/* argv built from words, with a program name in front; the strings stay
** alive as long as the Args (the parser keeps pointers into them). */
struct Args {
  explicit Args(std::vector<std::string> w) : words(std::move(w)) {
    words.insert(words.begin(), "doVA.x");
    for (auto& s : words) ptrs.push_back(&s[0]);
    ptrs.push_back(nullptr);
  }
  int argc() const { return (int)words.size(); }
  char** argv() { return ptrs.data(); }
  std::vector<std::string> words;
  std::vector<char*> ptrs;
};

struct Parsed {
  std::vector<SwitchDef> table = makeTable();
  cmdLine parser;
  Args args;
  int result = -99;
  std::string output;
  explicit Parsed(std::vector<std::string> words) : args(std::move(words)) {
    testing::internal::CaptureStdout();
    result = parser.absorb(args.argc(), args.argv(), table.data());
    output = testing::internal::GetCapturedStdout();
  }
};


}  // namespace


TEST(SwitchSplitting, ParametersFollowTheirSwitchAndCountFromZero) {
  Parsed p({"-mc", "2", "40"});
  EXPECT_EQ(p.result, 0);
  EXPECT_TRUE(p.parser.isPresent(MC));
  EXPECT_EQ(p.parser.paramCount(MC), 2);
  EXPECT_EQ(p.parser.paramInt(MC, 1), 40);
  EXPECT_STREQ(p.parser.paramText(MC, 0), "2");
  EXPECT_EQ(p.parser.paramText(MC, 2), nullptr);
  EXPECT_EQ(p.parser.paramText(MC, -1), nullptr);
  EXPECT_EQ(p.parser.paramInt(MC, 5), 0);
  EXPECT_FALSE(p.parser.isPresent(V));
  EXPECT_EQ(p.parser.paramCount(V), 0);
  EXPECT_EQ(p.parser.paramText(V, 0), nullptr);
  EXPECT_EQ(p.output, "");
}

TEST(SwitchSplitting, NegativeNumbersAreParametersNotSwitches) {
  Parsed p({"-T", "-3", "-mc", "-0.3", "-7"});
  EXPECT_EQ(p.result, 0) << p.output;
  EXPECT_EQ(p.parser.switchCount(), 2);
  EXPECT_EQ(p.parser.paramInt(T, 0), -3);
  EXPECT_STREQ(p.parser.paramText(MC, 0), "-0.3");
  EXPECT_STREQ(p.parser.paramText(MC, 1), "-7");
}

TEST(SwitchSplitting, FreeParametersBeforeTheFirstSwitchBelongToNone) {
  Parsed p({"x", "-i"});
  EXPECT_EQ(p.result, 0);
  EXPECT_TRUE(p.parser.isPresent(I));
  EXPECT_EQ(p.parser.paramCount(I), 0);
  EXPECT_EQ(p.parser.parameterCount(), 1);
  EXPECT_STREQ(p.parser.parameterAt(0), "x");
  EXPECT_STREQ(p.parser.programName(), "doVA.x");
}

TEST(SwitchErrors, DuplicateKeepsTheFirstInstanceAndStillTakesParameters) {
  Parsed p({"-v", "a", "-v", "b"});
  EXPECT_EQ(p.result, cmdLine::ERR_DUPLICATE);
  EXPECT_STREQ(p.parser.errorText(), "Duplicated switch");
  EXPECT_NE(p.output.find("Duplicated switch: -v\n"), std::string::npos);
  EXPECT_STREQ(p.parser.paramText(V, 0), "a");
  EXPECT_EQ(p.parser.paramCount(V), 1);
  EXPECT_EQ(p.parser.switchCount(), 2);
  EXPECT_EQ(p.parser.parameterCount(), 2);
}

/* What the operator typed, the code, the error text and a line that must
** (or, after '!', must not) be printed.  Only the first offending switch is
** reported; once a switch error is known counts are not checked; the last
** switch error decides the code. */
TEST(SwitchErrors, CodesTextsAndMessagesOfUserErrors) {
  const struct {
    std::vector<std::string> args;
    int result;
    const char* errorText;  /* nullptr: not checked */
    std::vector<std::string> printed;
  } cases[] = {
      {{"-KILL"}, 0, nullptr, {"!Invalid"}},  /* a case-insensitive row */
      {{"-MC"}, cmdLine::ERR_INVALID, " ", {"Invalid switch: -MC\n"}},
      {{"-s", "x"}, cmdLine::ERR_PARAM_QTY, "Parameter quantity error", {"Error:\nSwitch -s requires 2 parameters.\n"}},
      {{"-T"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -T requires 1 parameter.\n"}},
      {{"-mc", "1", "2", "3"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -mc requires between 0 and 2 parameters.\n"}},
      {{"-kill", "now"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -kill requires 0 parameters.\n"}},
      {{"-s", "x", "-v"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -s requires", "!Switch -v requires"}},
      {{"-bogus", "-s", "x"}, cmdLine::ERR_INVALID, nullptr, {"!requires"}},
      {{"-X", "-v", "a", "-v", "b"}, cmdLine::ERR_DUPLICATE, nullptr, {}},
      {{"-v", "a", "-v", "b", "-X"}, cmdLine::ERR_INVALID, " ", {}},
  };
  for (const auto& c : cases) {
    Parsed p(c.args);
    EXPECT_EQ(p.result, c.result) << c.args[0] << " " << p.output;
    if (c.errorText) {
      EXPECT_STREQ(p.parser.errorText(), c.errorText) << c.args[0];
    }
    for (const std::string& line : c.printed) {
      if (line[0] == '!') {
        EXPECT_EQ(p.output.find(line.substr(1)), std::string::npos) << c.args[0] << ": " << p.output;
      } else {
        EXPECT_NE(p.output.find(line), std::string::npos) << c.args[0] << ": " << p.output;
      }
    }
  }
  Parsed kill({"-KILL"});
  EXPECT_TRUE(kill.parser.isPresent(KILL));
  Parsed mc({"-MC"});
  EXPECT_FALSE(mc.parser.isPresent(MC));
}

TEST(SwitchErrors, LoneDashAndHugeArgumentsAreInvalidSwitchesNotCrashes) {
  std::string huge = "-" + std::string(100000, 'k');
  Parsed p({"-", huge, "-v", std::string(50000, 'p')});
  EXPECT_EQ(p.result, cmdLine::ERR_INVALID);
  EXPECT_NE(p.output.find("Invalid switch: -\n"), std::string::npos);
  EXPECT_NE(p.output.find(huge), std::string::npos);
  EXPECT_EQ(strlen(p.parser.paramText(V, 0)), 50000u);
}

TEST(SwitchErrors, TableWithoutEndRowIsReportedAs12001AndArgumentsIgnored) {
  std::vector<SwitchDef> bad = {
      {V, 1, "-v", "", "help", 1, 0, false},
      {5000, 0, "garbage", "", "", 0, 0, false},
  };
  cmdLine parser;
  Args args({"-v", "x"});
  testing::internal::CaptureStdout();
  int r = parser.absorb(args.argc(), args.argv(), bad.data());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(r, 1);
  EXPECT_FALSE(parser.isPresent(V));
  EXPECT_EQ(out.rfind("ERR #12001 in cmdLine::absorb() - line ", 0), 0u) << out;
  EXPECT_NE(out.find("Parameter list must end with a '-1' parameter ID entry."), std::string::npos);
}

TEST(SwitchJoin, JoinsWithSeparatorAndCutsAtTheDestinationSize) {
  Parsed p({"-s", "Slogan", "Hello World"});
  ASSERT_EQ(p.result, 0);
  char buf[1024];
  EXPECT_EQ(p.parser.join(S, 10, buf, sizeof buf, ','), 18);
  EXPECT_STREQ(buf, "Slogan,Hello World");

  char small[8];
  memset(small, 'Z', sizeof small);
  EXPECT_EQ(p.parser.join(S, 10, small, sizeof small, ','), 7);
  EXPECT_STREQ(small, "Slogan,");

  char mid[10];
  EXPECT_EQ(p.parser.join(S, 10, mid, sizeof mid, ','), 9);
  EXPECT_STREQ(mid, "Slogan,He");

  EXPECT_EQ(p.parser.join(S, 1, buf, sizeof buf, ','), 6);
  EXPECT_STREQ(buf, "Slogan");
  EXPECT_EQ(p.parser.join(S, 10, buf, sizeof buf, '\0'), 17);
  EXPECT_STREQ(buf, "SloganHello World");

  char one[1] = {'Q'};
  EXPECT_EQ(p.parser.join(S, 10, one, 1, ','), 0);
  EXPECT_EQ(one[0], '\0');
}

TEST(SwitchJoin, AbsentSwitchLeavesTheDestinationUntouched) {
  Parsed p({"-i"});
  char buf[16] = "untouched";
  EXPECT_EQ(p.parser.join(V, 5, buf, sizeof buf, ','), 0);
  EXPECT_STREQ(buf, "untouched");
}

TEST(SwitchHelp, EveryPieceOfARowIsItsOwnStampedTracePrint) {
  Parsed p({});
  testing::internal::CaptureStdout();
  p.parser.printHelp("HEAD %s\n");
  std::string out = testsup::maskStamps(testing::internal::GetCapturedStdout());
  EXPECT_EQ(out.find("@HEAD doVA.x\n@\nSwitches:\n"), 0u) << out;
  EXPECT_NE(out.find("@    -mc [nRows [nCols]] :  Mini display (2x20 etc) "
                     "(@Case sensitive, @0 to 2 parameters@)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("@  -kill  :  Terminate supervisor process (@no parameters@)\n"),
            std::string::npos);
  EXPECT_NE(out.find("@     -s Data Name :  Sets a data item (@Case sensitive, @2 parameters@)\n"),
            std::string::npos);
  EXPECT_NE(out.find("@     -T  value :  Set trace level for debug (0-9) (@1 parameter@)\n"),
            std::string::npos);
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(out.substr(out.size() - 4), ")\n@\n");  /* the closing empty line */
  /* without a trace level pointer every piece says so */
  p.parser.setTraceLevel(nullptr);
  testing::internal::CaptureStdout();
  p.parser.printHelp("HEAD\n");
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("pTraceLevel not defined.   -kill  :  Terminate supervisor process ("
                     "pTraceLevel not defined. no parameters"
                     "pTraceLevel not defined. )\n"),
            std::string::npos)
      << out;
}

TEST(SwitchHelp, HelpStopsAtARowWithoutHelpText) {
  std::vector<SwitchDef> table = makeTable();
  table[2].helpText = nullptr;
  cmdLine parser;
  Args args({});
  parser.absorb(args.argc(), args.argv(), table.data());
  testing::internal::CaptureStdout();
  parser.printHelp("%s\n");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("-s Data Name"), std::string::npos);
  EXPECT_EQ(out.find("-kill"), std::string::npos);
  EXPECT_EQ(out.find("-mc"), std::string::npos);
}
