/*
** cmdConsole: the interactive command console (RUNMODE_COMMAND), the
** console unit's actions for the command numbers the interpreter
** (cmdline/cmdInterp.h) hands back.
**
** One step reads at most one line without blocking and carries out the
** command.  A command that waits for an answer ("sv" for the master's echo
** of the new value, "getAll" for the supervisor's data) is pending: no new
** line is read until the answer arrives or its timer runs out (3 s for
** "sv", 4 s for "getAll").
**
** Step results (what the command loop does with them):
**   0  idle: sleep 10 ms        1  busy: step again at once
**   2  "ew"/"em": end           3  "x" or end of input: end
**   4  "kill": end with the shutdown request on the host queue
*/
#ifndef APP_CMDCONSOLE_H
#define APP_CMDCONSOLE_H

#include <cstdio>

#include "diag/cppUtils.h"

struct consoleApp;
struct CmdDef;
class generic_cfg;

enum {
  cmdSTEP_IDLE = 0,
  cmdSTEP_BUSY = 1,
  cmdSTEP_END_DISPLAY = 2,
  cmdSTEP_EXIT = 3,
  cmdSTEP_KILL = 4
};

class cmdConsole {
public:
  /* cfg may be null (no configuration link: "sv" then only reports). */
  cmdConsole(consoleApp& app, generic_cfg* cfg, int inFd = 0, FILE* out = stdout);
  ~cmdConsole();  /* destroys app.interp */
  cmdConsole(const cmdConsole&) = delete;
  cmdConsole& operator=(const cmdConsole&) = delete;

  /* Creates app.interp with the top level "cfg->".  false when a command
  ** table is faulty (the reason was written to `out`). */
  bool start();
  /* One command step; see the results above. */
  int step();

  enum { PENDING_NONE = 0, PENDING_HOST_ANSWER = 1, PENDING_CFG_ECHO = 2 };
  int pendingState() const { return pending; }
  FILE* output() const { return out; }

private:
  int servicePending();
  int carryOut(int cmdId);
  int pushLevel(const CmdDef* table, const char* prompt);
  void cursorTest();
  void setValue();
  void armTimer(float seconds);

  consoleApp& app;
  generic_cfg* cfg;
  int inFd;
  FILE* out;
  int pending;
  bool timerArmed;
  deadlineTimer cmdTimer;
  kvTimeStamp cmdStart;
};

/* The main loop of RUNMODE_COMMAND: runs steps while the console goes on,
** cfg is registered with the master and no stop is requested; "kill" sets
** app.killRequested.  Returns the last step result. */
int runCommandConsole(consoleApp& app, generic_cfg* cfg);
/* The same over the process's configuration client app.cfg. */
int runCommandConsole(consoleApp& app);

#endif
