/*
** The command line and the command console's interpreter.  Switch parser:
** splitting, the user errors it reports (and the one it reports first),
** join's cut and the help rows.  Interpreter: lines written into a real pipe
** or terminal, what the console prints compared byte for byte.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "cmdline/cmdInterp.h"
#include "cmdline/cmdLine.h"
#include "tests/support/testSupport.h"

namespace {

enum { V = 12, S = 13, KILL = 3, T = 10, MC = 5, I = 4 };

/* A fresh copy per test: the parser writes used flags and maxima into it. */
std::vector<SwitchDef> makeTable() {
  return {
      {V, 1, "-v", "Data Name", "Views a data item", 1, 0, false},
      {S, 1, "-s", "Data Name", "Sets a data item", 2, 0, false},
      {KILL, 0, "-kill", "", "Terminate supervisor process", 0, 0, false},
      {T, 0, "-T", " value", "Set trace level for debug (0-9)", 1, 0, false},
      {MC, 1, "-mc", "[nRows [nCols]]", "Mini display (2x20 etc)", 0, 2, false},
      {I, 0, "-i", "[0|<1>]", "Enable / disable interactive mode.", 0, 1, false},
      {-1, 0, nullptr, nullptr, nullptr, 0, 0, false}};
}

/* A parse of `words` after a program name; the strings stay alive with
** the Parsed (the parser keeps pointers into them). */
struct Parsed {
  std::vector<SwitchDef> table;
  std::vector<std::string> words;
  std::vector<char*> argv;
  cmdLine parser;
  int result = -99;
  std::string output;
  explicit Parsed(std::vector<std::string> w, std::vector<SwitchDef> t = makeTable()) : table(std::move(t)), words(std::move(w)) {
    words.insert(words.begin(), "doVA.x");
    for (auto& s : words) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    result = parser.absorb((int)words.size(), argv.data(), table.data());
    output = testing::internal::GetCapturedStdout();
  }
  std::string help(const char* head) {
    testing::internal::CaptureStdout();
    parser.printHelp(head);
    return testing::internal::GetCapturedStdout();
  }
};

}  // namespace

/* Free parameters before the first switch belong to none; parameters
** follow their switch and count from zero; negative numbers are parameters.
** Join puts a switch's parameters together, cut at the destination size. */
TEST(SwitchSplitting, ParametersFollowTheirSwitchNegativeNumbersAreNoSwitchesAndJoinCuts) {
  Parsed p({"x", "-T", "-3", "-mc", "-0.3", "-7", "-i", "-s", "Slogan", "Hello World"});
  cmdLine& c = p.parser;
  ASSERT_EQ(p.result, 0) << p.output;
  EXPECT_EQ(c.switchCount(), 4);
  EXPECT_EQ(c.parameterCount(), 6);
  EXPECT_STREQ(c.parameterAt(0), "x");
  EXPECT_STREQ(c.programName(), "doVA.x");
  EXPECT_EQ(c.paramInt(T, 0), -3);
  EXPECT_EQ(c.paramCount(MC), 2);
  EXPECT_STREQ(c.paramText(MC, 0), "-0.3");
  EXPECT_EQ(c.paramInt(MC, 1), -7);
  for (int bad : {2, -1}) EXPECT_EQ(c.paramText(MC, bad), nullptr);
  EXPECT_EQ(c.paramInt(MC, 5), 0);
  EXPECT_TRUE(c.isPresent(I) && c.paramCount(I) == 0);
  EXPECT_FALSE(c.isPresent(V) || c.paramCount(V) != 0 || c.paramText(V, 0) != nullptr);
  const struct { int count; size_t size; char sep; int length; const char* text; } rows[] = {
      {10, 1024, ',', 18, "Slogan,Hello World"}, {10, 8, ',', 7, "Slogan,"}, {10, 10, ',', 9, "Slogan,He"},
      {1, 1024, ',', 6, "Slogan"}, {10, 1024, '\0', 17, "SloganHello World"}, {10, 1, ',', 0, ""}};
  for (const auto& r : rows) {
    std::vector<char> buf(r.size, 'Z');
    EXPECT_EQ(c.join(S, r.count, buf.data(), r.size, r.sep), r.length) << r.text;
    EXPECT_STREQ(buf.data(), r.text);
  }
  char untouched[16] = "untouched";   /* an absent switch */
  EXPECT_EQ(c.join(V, 5, untouched, sizeof untouched, ','), 0);
  EXPECT_STREQ(untouched, "untouched");
}

/* What the operator typed, the code, the error text and a line that must
** (or, after '!', must not) be printed.  Only the first offending switch is
** reported; once a switch error is known counts are not checked; the last
** switch error decides the code.  (A case-insensitive row, "-KILL", and the
** errors the console prints whole: its start-up tests.) */
TEST(SwitchErrors, CodesTextsAndMessagesOfUserErrors) {
  std::string huge = "-" + std::string(100000, 'k');
  /* errorText nullptr: not checked */
  const struct { std::vector<std::string> args; int result; const char* errorText; std::vector<std::string> printed; }
      cases[] = {
      {{"-T"}, cmdLine::ERR_PARAM_QTY, "Parameter quantity error", {"Switch -T requires 1 parameter.\n"}},
      {{"-mc", "1", "2", "3"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -mc requires between 0 and 2 parameters.\n"}},
      {{"-kill", "now"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -kill requires 0 parameters.\n"}},
      {{"-s", "x", "-v"}, cmdLine::ERR_PARAM_QTY, nullptr, {"Switch -s requires", "!Switch -v requires"}},
      {{"-bogus", "-s", "x"}, cmdLine::ERR_INVALID, nullptr, {"!requires"}},
      {{"-v", "a", "-v", "b"}, cmdLine::ERR_DUPLICATE, "Duplicated switch", {"Duplicated switch: -v\n"}},
      {{"-X", "-v", "a", "-v", "b"}, cmdLine::ERR_DUPLICATE, nullptr, {}},
      {{"-v", "a", "-v", "b", "-X"}, cmdLine::ERR_INVALID, " ", {}},
      {{"-", huge, "-v", std::string(50000, 'p')}, cmdLine::ERR_INVALID, nullptr, {"Invalid switch: -\n", huge}},
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
  Parsed dup({"-v", "a", "-v", "b"});   /* the first instance kept, still taking parameters */
  EXPECT_STREQ(dup.parser.paramText(V, 0), "a");
  EXPECT_EQ(dup.parser.paramCount(V), 1);
  EXPECT_EQ(dup.parser.switchCount(), 2);
  EXPECT_EQ(dup.parser.parameterCount(), 2);
  Parsed lone({"-", huge, "-v", std::string(50000, 'p')});
  EXPECT_EQ(strlen(lone.parser.paramText(V, 0)), 50000u);
  /* a table without its end row: 12001, the arguments ignored */
  std::vector<SwitchDef> bad = {{V, 1, "-v", "", "help", 1, 0, false}, {5000, 0, "garbage", "", "", 0, 0, false}};
  Parsed noEnd({"-v", "x"}, bad);
  EXPECT_EQ(noEnd.result, 1);
  EXPECT_FALSE(noEnd.parser.isPresent(V));
  EXPECT_EQ(noEnd.output.rfind("ERR #12001 in cmdLine::absorb() - line ", 0), 0u) << noEnd.output;
  EXPECT_NE(noEnd.output.find("Parameter list must end with a '-1' parameter ID entry."), std::string::npos);
}

/* The listing itself is compared byte for byte by the console's start-up
** test; here: without a trace level pointer every piece says so, and help
** stops at a row without help text. */
TEST(SwitchHelp, MissingTraceLevelAndARowWithoutHelpText) {
  Parsed p({});
  p.parser.setTraceLevel(nullptr);
  EXPECT_NE(p.help("HEAD\n").find("pTraceLevel not defined.   -kill  :  Terminate supervisor process ("
                                  "pTraceLevel not defined. no parameters"
                                  "pTraceLevel not defined. )\n"),
            std::string::npos);
  std::vector<SwitchDef> table = makeTable();
  table[2].helpText = nullptr;
  Parsed stop({}, table);
  std::string out = stop.help("%s\n");
  EXPECT_NE(out.find("-s Data Name"), std::string::npos);
  EXPECT_EQ(out.find("-kill"), std::string::npos);
  EXPECT_EQ(out.find("-mc"), std::string::npos);
}

namespace {

/* The interpreter at its top level on a pipe: type() writes to its input,
** said() returns what it printed since the last call. */
struct Console {
  int fds[2] = {-1, -1};
  char* text = nullptr;
  size_t size = 0, seen = 0;
  FILE* out = open_memstream(&text, &size);
  bool piped = pipe(fds) == 0;
  cmdInterp ci{fds[0], out};

  Console() {
    EXPECT_TRUE(piped);
    ci.pushLevel(topLevelCmds, commonCmds, "cfg->");
  }
  ~Console() {
    close(fds[1]);
    close(fds[0]);
    fclose(out);
    free(text);
  }
  void type(const std::string& line) { EXPECT_EQ((ssize_t)line.size(), write(fds[1], line.data(), line.size())); }
  std::string said() {
    fflush(out);
    std::string s(text + seen, size - seen);
    seen = size;
    return s;
  }
  /* Reads until something other than "no line yet" comes back (bounded). */
  int next() {
    int id = CMD_NO_LINE;
    for (int i = 0; i < 200 && id == CMD_NO_LINE; i++) id = ci.readCommand();
    return id;
  }
};

/* The top level's help: its head, the first rows (a detail line under a
** row with parameters, '*' after a row with details) and its last row. */
const char TOP_HELP_HEAD[] =
    "cfg->Available commands....\n"
    "     c : Data Change Mode                 (no parameters)\n"
    "    ew : Edit window mode                 (0 to 2 parameters)\n"
    "       : [ rows [ cols ]]\n"
    "    em : Edit module mode                 (no parameters)\n"
    "    sv : Set a paramter value             (2 parameters)*\n"
    "       : ID#|TextName NewValue\n";
const char TOP_HELP_TAIL[] = "\n     r : Recall and execute previous command (no parameters)*\n";

}  // namespace

/* One session: each row is what the operator types, the command the
** interpreter makes of it, its second argument and what the console printed
** (prompts included).  As the console does, "h" prints the help for the line
** read, "c" pushes its level and "u" pops one.  (The test level, commas
** between words and a count too low: the command console's end-to-end
** session.) */
TEST(CmdInterp, oneSessionOfHelpBadCountsSplittingRecallAndPartialLines) {
  Console con;
  cmdInterp& ci = con.ci;
  const std::string v300(300, 'v');
  std::string many;
  for (int i = 0; i < 59; i++) many += "a,";
  /* arg2 empty, or said "?": not checked */
  const struct { std::string typed; int id; std::string arg2, said; } rows[] = {
      {"r\n", CMD_REJECTED, "", "cfg->Invalid command\n"},  // nothing to recall yet
      // levels: "u" at the top stays there, "em" is no row of the data level
      {"u\n", CMDID_UP, "", "cfg->"},
      {"c\n", CMDID_DATA_MODE, "", "cfg->"},
      {"em\n", CMD_REJECTED, "", "dta->Invalid command\n"},
      {"u\n", CMDID_UP, "", "dta->"},
      {"h\n", CMDID_HELP, "", "help"},
      {"h sv\n", CMDID_HELP, "",
       "cfg->Detailed help for 'sv':\n"
       "    sv : Set a paramter value             (2 parameters)\n"
       "       : ID#|TextName NewValue\n"
       "This sets the value of a system paramter.  Use quotes to enclose text\n"
       "values that include spaces.\n"},
      {"h u\n", CMDID_HELP, "",
       "cfg->Detailed help for 'u':\n"
       "     u : up one level                     (no parameters)\n"
       "Detailed help not available for this command.\n"},
      {"h r\n", CMDID_HELP, "", "cfg->r is not an available command.\n"},
      {"ew 1 2 3\n", CMD_REJECTED, "", "cfg-> Too many arguments (maximum=2)\n"},
      {"SV a b\n", CMD_REJECTED, "", "cfg->Invalid command\n"},  // names are case-sensitive
      {"-t\n", CMD_REJECTED, "", "cfg-> Too few arguments (minimum=1)\n"},
      {"sv\tStationNameShort  \"Hello world\"\r\n", CMDID_SET_VALUE, "Hello world", "cfg->"},
      {"sv Slogan \"unbalanced quote\n", CMDID_SET_VALUE, "unbalanced quote", "cfg->"},
      // cut at 120 characters, still ends at its newline
      {"sv Slogan " + v300 + "\n", CMDID_SET_VALUE, std::string(120 - 10, 'v'), "?"},
      // far more words than the 40 kept: rejected, never read past the table
      {"sv" + many + "\n", CMD_REJECTED, "", "?"},
      // CR LF is one end of line: three empty lines, so four prompts
      {"\n , ,\t\n\r\nx\n", CMDID_EXIT, "", "cfg->cfg->cfg->cfg->"},
      {"sv a 1\n", CMDID_SET_VALUE, "1", "cfg->"},
      {"x\n", CMDID_EXIT, "", "cfg->"},  // too short to be remembered
      {"r\n", CMDID_SET_VALUE, "1", "cfg->cfg->sv a 1\n"},
  };
  for (const auto& r : rows) {
    con.type(r.typed);
    int id = con.next();
    EXPECT_EQ(r.id, id) << r.typed;
    if (id == CMDID_HELP) ci.help();
    if (id == CMDID_UP) ci.popLevel();
    if (id == CMDID_DATA_MODE) ci.pushLevel(dataLevelCmds, commonCmds, "dta->");
    if (!r.arg2.empty()) {
      EXPECT_EQ(r.arg2, ci.arg(2)) << r.typed;
    }
    std::string said = con.said();
    if (r.said == "help") {
      EXPECT_EQ(0u, said.find(TOP_HELP_HEAD)) << said;
      EXPECT_EQ(22, std::count(said.begin(), said.end(), '\n')) << said;
      EXPECT_EQ(said.size() - strlen(TOP_HELP_TAIL), said.rfind(TOP_HELP_TAIL)) << said;
    } else if (r.said != "?") {
      EXPECT_EQ(r.said, said) << r.typed;
    }
  }
  EXPECT_EQ(0, ci.depth());
  /* numbers read as on the 32-bit box: the int limits, never the low bits */
  con.type("-t 4294967296\n");
  ASSERT_EQ(CMDID_TRACE, con.next());
  EXPECT_EQ(INT32_MAX, ci.argInt(1));
  con.type("ew 99999999999999999999 -4294967296\n");
  ASSERT_EQ(CMDID_EDIT_WINDOW, con.next());
  EXPECT_EQ(INT32_MAX, ci.argInt(1));
  EXPECT_EQ(INT32_MIN, ci.argInt(2));
  EXPECT_EQ(0, ci.argInt(5));
  EXPECT_STREQ("", ci.arg(3));
  con.type("s");  // a partial line waits for its end across calls
  EXPECT_EQ(CMD_NO_LINE, ci.readCommand());
  con.type("v a ");
  EXPECT_EQ(CMD_NO_LINE, ci.readCommand());
  con.type("b\n");
  EXPECT_EQ(CMDID_SET_VALUE, ci.readCommand());
}

TEST(CmdInterp, faultyTablesThrowWithTheReason) {
  auto row = [](int id, const char* name) { return CmdDef{id, name, "", 0, 0, "", nullptr}; };
  const CmdDef badEnd[] = {row(4, "a"), row(-1, "zz")}, emptyName[] = {row(4, "a"), row(3, "")},
               dupId[] = {row(4, "a"), row(4, "b"), row(-1, "")}, dupName[] = {row(4, "a"), row(5, "a"), row(-1, "")},
               clashWithCommon[] = {row(7, "help"), row(-1, "")}, zeroEndsFirst[] = {row(4, "a"), row(0, "")},
               zeroInCommon[] = {row(0, "")};
  const std::string term = "\n\n Command list must be terminated with command id -1 and a null command\n";
  const struct { const CmdDef *table, *common; std::string said; } cases[] = {
      {badEnd, nullptr, term + " Found -1 cmd but command = 'zz'\n\n"},
      {emptyName, nullptr, term + " Found empty command but command id = 3\n\n"},
      {zeroEndsFirst, zeroInCommon, term + " Found empty command but command id = 0\n\n"},
      {dupId, nullptr, "\n\n Duplicated command id: 4\n Used with commands 'a' and 'b'\n\n"},
      {dupName, nullptr, "\n\n Duplicated command: 'a'\n\n"},
      {clashWithCommon, commonCmds, "\n\n Duplicated command id: 7\n Used with commands 'help' and 'h'\n\n"},
  };
  for (const auto& c : cases) {
    Console con;
    int thrown = 0;
    try {
      con.ci.pushLevel(c.table, c.common, "bad->");
    } catch (int e) {
      thrown = e;
    }
    EXPECT_EQ(1, thrown);
    EXPECT_EQ(c.said, con.said());
    EXPECT_EQ(0, con.ci.depth());  // the failed level never became current
    EXPECT_STREQ("cfg->", con.ci.current()->prompt());
  }
  Console con;
  EXPECT_EQ(2, con.ci.pushLevel(zeroEndsFirst, nullptr, nullptr)->commandCount() + 1);
  EXPECT_STREQ(">>", con.ci.current()->prompt());
}

TEST(CmdInterp, readsATerminalLineByLineAndLeavesItBlocking) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  int tty = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(tty, 0);
  FILE* out = tmpfile();
  {
    cmdInterp ci(tty, out);
    ci.pushLevel(topLevelCmds, commonCmds, "cfg->");
    EXPECT_EQ(CMD_NO_LINE, ci.readCommand());  // nothing typed: no wait
    ASSERT_EQ(7, write(master, "sv a b\r", 7));  // Enter sends CR; the terminal makes it LF
    int id = CMD_NO_LINE;
    EXPECT_TRUE(testsup::waitUntil([&] { return (id = ci.readCommand()) != CMD_NO_LINE; }, 1000, 5));
    EXPECT_EQ(CMDID_SET_VALUE, id);
    EXPECT_STREQ("b", ci.arg(2));
  }
  EXPECT_FALSE(fcntl(tty, F_GETFL) & O_NONBLOCK);  // the operator's shell reads blocking again
  fclose(out);
  close(tty);
  close(master);
}
