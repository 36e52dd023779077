/*
** cmdInterp: the interactive command interpreter of the command console.
**
** Reads typed lines from a non-blocking input, checks each against a table
** of command definitions (name and argument count) and hands back the
** command's number; the console application carries the command out.  The
** interpreter knows nothing of the configuration: it only matches words.
**
** Levels stack: a command may open a sub-level with its own table and
** prompt (push), "u" returns to the level above (pop).  Help is built from
** the tables; "r" repeats the previous line.
**
** Idiom:
**     cmdInterp ci;                        // input fd 0, output stdout
**     ci.pushLevel(topLevelCmds, commonCmds, "cfg->");
**     for (;;) {
**       int id = ci.readCommand();         // never blocks
**       if (id == CMD_NO_LINE) { sleep a little; continue; }
**       if (id == CMD_END_OF_INPUT) break;
**       ... act on id with ci.argCount(), ci.arg(k), ci.argInt(k) ...
**     }
**
** A faulty table (missing terminator, duplicated number or name) makes the
** level's construction write a message and throw the int 1: a programming
** error, never a run-time condition, since the tables are fixed data.
*/
#ifndef CMDLINE_CMDINTERP_H
#define CMDLINE_CMDINTERP_H

#include <cstdio>
#include <map>
#include <string>
#include <vector>

/* One row of a command table.  A table ends with the row {-1, ""}; the
** first table of a level may also end with a row of number 0 and an empty
** name.  detailHelp null means "no detailed help"; "" is an empty one. */
struct CmdDef {
  int cmdId;
  const char* name;
  const char* parmText;
  int minParms;
  int maxParms;
  const char* help;
  const char* detailHelp;
};

/* readCommand results besides a command number (all negative). */
enum {
  CMD_NO_LINE = -1,      /* no complete line yet, or an empty line */
  CMD_REJECTED = -2,     /* the line was reported and skipped */
  CMD_END_OF_INPUT = -3  /* the input is closed or failed: nothing more comes */
};

/* The console unit's command numbers (the tables below use them). */
enum {
  CMDID_DATA_MODE = 0,   /* "c"      top level: push the data level */
  CMDID_UP = 1,          /* "u"      pop one level */
  CMDID_SET_VALUE = 2,   /* "sv"     send a change request */
  CMDID_GET_VALUE = 3,   /* "gv"     accepted, no action */
  CMDID_GET_ALL = 4,     /* "getAll" ask the host side for all data */
  CMDID_KILL = 5,        /* "kill"   end with the shutdown request */
  CMDID_SCRIPT = 6,      /* "scrpt"  accepted, no action */
  CMDID_HELP = 7,        /* "h" */
  CMDID_TRACE = 8,       /* "-t"     set the trace level */
  CMDID_TEST = 9,        /* "tst"    push the test level */
  CMDID_CURSOR = 10,     /* "c"      test level: cursor code */
  CMDID_EDIT_WINDOW = 11,/* "ew" */
  CMDID_EDIT_MODULE = 12,/* "em" */
  CMDID_EXIT = 13        /* "x" */
};

enum { CMD_LINE_MAX = 120, CMD_MAX_TOKENS = 40 };

/* The console unit's tables (rows ended by {-1, ""}). */
extern const CmdDef topLevelCmds[];   /* prompt "cfg->" */
extern const CmdDef dataLevelCmds[];  /* prompt "dta->" */
extern const CmdDef testLevelCmds[];  /* prompt "tst->" */
extern const CmdDef commonCmds[];     /* appended to every level */
extern const CmdDef recallCmd;        /* shown by help only, never matched */

/* One level of the console: its rows, its prompt and the line being read. */
class cmdList {
public:
  /* Builds the level from `table` then `common` (either may be null);
  ** throws int 1 on a faulty table after writing the reason to `out`. */
  cmdList(const CmdDef* table, const CmdDef* common, const char* prompt, int inFd, FILE* out);
  ~cmdList();  /* puts the input back into blocking mode */
  cmdList(const cmdList&) = delete;
  cmdList& operator=(const cmdList&) = delete;

  int readCommand();
  int argCount() const { return tokenCount - 1; }
  const char* arg(int k) const;
  int argInt(int k) const;
  void help();

  const char* prompt() const { return promptText.c_str(); }
  int commandCount() const { return (int)rows.size(); }
  /* The level became current again (after a pop): re-arm the prompt and
  ** the non-blocking mode. */
  void resume();

private:
  void addRows(const CmdDef* table, bool commonTable);
  void writeHelpLine(const CmdDef& row, bool detailed);
  bool gatherLine(bool* endOfInput);
  bool ensureNonBlocking();
  void recallOrRemember();
  int matchLine();
  void out(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  int inFd;
  FILE* outFile;
  std::string promptText;
  bool promptDue;
  bool nonBlocking;    /* this level switched its input to non-blocking */
  bool skipLf;         /* the last line ended with CR: drop a following LF */
  char line[CMD_LINE_MAX + 2];
  int lineLen;
  std::string prevLine;
  char* tokens[CMD_MAX_TOKENS];
  int tokenCount;
  std::map<std::string, const CmdDef*> byName;
  std::map<int, std::string> byNumber;
  std::vector<const CmdDef*> rows;
};

/* The interpreter: the current level and the stack of levels above it. */
class cmdInterp {
public:
  explicit cmdInterp(int inFd = 0, FILE* out = stdout);
  ~cmdInterp();  /* destroys the current level and every stacked one */
  cmdInterp(const cmdInterp&) = delete;
  cmdInterp& operator=(const cmdInterp&) = delete;

  /* The current level (if any) goes onto the stack; the new one becomes
  ** current.  Throws int 1 (nothing changed) on a faulty table. */
  cmdList* pushLevel(const CmdDef* table, const CmdDef* common, const char* prompt);
  /* Destroys the current level when one is stacked; returns the current. */
  cmdList* popLevel();

  /* A command number, CMD_NO_LINE, CMD_REJECTED or CMD_END_OF_INPUT. */
  int readCommand();
  int argCount() const;
  const char* arg(int k) const;  /* "" when missing */
  int argInt(int k) const;       /* atoiSat (saturates at the int limits), 0 when missing */
  void help();

  cmdList* current() const { return cur; }
  int depth() const { return (int)stack.size(); }

private:
  int inFd;
  FILE* outFile;
  cmdList* cur;
  std::vector<cmdList*> stack;
};

#endif
