/*
** cmdLine: the table-driven command-line switch parser.
**
** The program hands argc/argv and a table of SwitchDef rows (ended by a row
** whose switchId is -1).  absorb() sorts every argument into switches and
** parameters: an argument is a switch when it starts with '-' and its second
** character is not a digit, so "-3" and "-0.5" are parameters.  Parameters
** belong to the switch before them; those before the first switch belong to
** none.  Afterwards the caller asks by switch identity: present or not, how
** many parameters, the n-th as text or number, all of them joined.
**
** Not here: the interactive command console (cmdInterp).
**
** Results of absorb():
**   0  every argument matched and every count is within its row's limits
**   2  a switch has too few or too many parameters (first offender traced)
**   3  a switch was given twice (the first instance stays in the index)
**   4  a switch is not in the table
**   1  the table itself has no -1 row (error 12001); arguments not looked at
** User errors do not stop the parse; the last one's code stays.
**
** The parser writes into the caller's table: used flags, and a maximum of 0
** becomes the minimum when the minimum is not 0.  Parameter texts are not
** copied: they point into argv, which must outlive the parser.
*/
#ifndef CMDLINE_CMDLINE_H
#define CMDLINE_CMDLINE_H

#include <map>
#include <memory>
#include <vector>

class ErrTrcLog;

/* One row of a switch-definition table.  switchId 0..1000; -1 ends it. */
struct SwitchDef {
  int switchId;
  int caseSensitive;     /* non-zero: exact match; zero: letter case ignored */
  const char* name;      /* as typed, leading '-' included */
  const char* paramText; /* shown in the help after the name */
  const char* helpText;
  int minParams;
  int maxParams;         /* 0 with a non-zero minimum: equal to the minimum */
  bool used;             /* set by absorb() for every matched row */
};

/* One argument that is not a switch; the text stays in argv. */
struct cmdParam {
  const char* text;
  const int* pTraceLevel;
};

/* One switch as found on the command line, matched or not. */
struct cmdSwitch {
  const char* text;         /* as typed */
  const int* pTraceLevel;
  int switchId;             /* -1 when no row matched */
  int paramCount;
  const SwitchDef* row;     /* null when no row matched */
  std::vector<const cmdParam*> params;
};

class cmdLine {
public:
  enum {
    ERR_NONE = 0,
    ERR_TOO_MANY = 1,     /* only in the text table; absorb never sets it */
    ERR_PARAM_QTY = 2,
    ERR_DUPLICATE = 3,
    ERR_INVALID = 4,
    MAX_SWITCH_ID = 1000
  };

  cmdLine();
  ~cmdLine();
  cmdLine(const cmdLine&) = delete;
  cmdLine& operator=(const cmdLine&) = delete;

  /* The owner may point the trace level at the process's level and give
  ** the error log; by default the parser traces at its own level 0 and
  ** reports to standard output. */
  void setTraceLevel(int* p) { pTraceLevel = p; }
  const int* traceLevelPtr() const { return pTraceLevel; }
  void setErrLog(ErrTrcLog* log) { pErrLog = log; }

  int absorb(int argc, char** argv, SwitchDef* table);

  bool isPresent(int switchId) const;
  const cmdSwitch* getSwitch(int switchId) const;
  int paramCount(int switchId) const;
  /* index from 0; null when absent or out of range */
  const char* paramText(int switchId, int index) const;
  /* paramText as the box's atol reads it (saturating at the 32-bit limits on
  ** every width, see diag/numParse.h); 0 where paramText is null */
  long paramInt(int switchId, int index) const;

  /* Copy at most maxCount parameters of the switch into dest, separated by
  ** sep (none when sep is '\0'), cut to destSize - 1 characters and always
  ** terminated.  Returns the length written; 0 with dest untouched when the
  ** switch is absent (or destSize < 1). */
  int join(int switchId, int maxCount, char* dest, int destSize, char sep) const;

  int errorCode() const { return errCode; }
  const char* errorText() const;

  /* header is a printf format taking the program name.  Prints the table
  ** rows up to the row count (so only after absorb). */
  void printHelp(const char* header) const;

  int switchCount() const { return nSwitches; }
  int parameterCount() const { return nParams; }
  const char* programName() const { return progName; }
  /* free parameters and switch parameters alike, in command-line order */
  const char* parameterAt(int i) const;

private:
  int walkTable(SwitchDef* table);
  void takeSwitch(int i, const char* arg);
  void takeParameter(int i, const char* arg);
  const SwitchDef* findRow(const char* arg);
  void checkCounts();
  void formatRequirement(const SwitchDef* row, char* out, int size) const;

  int ownTraceLevel;
  int* pTraceLevel;
  ErrTrcLog* pErrLog;
  int nSwitches;
  int nParams;
  const char* progName;
  int errCode;
  SwitchDef* table;
  int rowCount;
  std::vector<std::unique_ptr<cmdSwitch>> switches;
  std::vector<std::unique_ptr<cmdParam>> params;
  std::map<int, cmdSwitch*> index;
  cmdSwitch* current;
};

#endif
