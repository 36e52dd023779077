/*
** doVA: the console unit's entry point and its process-wide state.
**
** doVA_main() runs the start-up in its fixed order and returns the exit
** status; main.cpp only calls it.  Each step is its own function so that
** the parameter access, the kill path, the configuration client, the
** display loop and the command console can be hooked in one call each:
**
**   step  function                  what it does
**   1-6   parseSwitches()           parser, program dir, absorb, help, -T,
**                                   mode flags (setModeFlags)
**   7     detachIfDaemon()          fork; the parent exits 0
**   8-9   attachStatusMemory()      parser traces at -T; status region
**   10    enterDisplayPath()        RUNMODE_DISPLAY, "-mc" rows/cols
**   11    enterKillPath()           "Console to Host" registration
**   12    runConfiguredMode()       config client, -v/-s, main loops
**   13-15 shutdownApp()             front end, host queue goodbye/shutdown
**
** Not here: the parameter access by name, the maintenance actions, the
** command console, the menus and front ends: each lives in its own file
** and is reached from the step that needs it.
**
** Exit statuses: 0 normal end, help, a failed program directory (20005),
** or the parent of the fork; 1 switch error, failed fork (20004), no
** status region (20001).
*/
#ifndef APP_DOVA_H
#define APP_DOVA_H

#include <csignal>
#include <cstdint>

#include "cmdline/cmdLine.h"
#include "status/kvSharedMem.h"

class ErrTrcLog;
class msgQ_IO;
class dovidu_config;
class treeEditor;
class cmdInterp;

/* Switch identities of the switch table (doVA.cpp). */
enum doVASwitch {
  SW_KILL = 3,
  SW_INTERACTIVE = 4,
  SW_MINI = 5,
  SW_LABELS = 6,
  SW_LCD = 7,
  SW_HELP = 8,
  SW_TRACE = 10,
  SW_DUMMY = 11,
  SW_VIEW = 12,
  SW_SET = 13
};

enum doVARunMode {
  RUNMODE_NONE = 0,     /* nothing to run (kill request, or fallback) */
  RUNMODE_COMMAND = 1,  /* the interactive command console */
  RUNMODE_DISPLAY = 2   /* the menu on the LCD or in a console window */
};

/* Error numbers of the doVA block (unit "doVA", function "main"). */
enum doVAError {
  doVA_ERR_SHARED_MEM = 20001,   /* "Could not initialize shared memory" */
  doVA_ERR_CFG_INIT = 20002,     /* "Configuration initialization failure" */
  doVA_ERR_CFG_LINK = 20003,     /* "Could not link to configuration master process" */
  doVA_ERR_FORK = 20004,         /* "Could not start child process" */
  doVA_ERR_PROG_DIR = 20005      /* "Could not set the system path variable" */
};

/* The user-interface version written to item 0 (USER_IF_VERSION). */
constexpr int32_t doVA_USER_IF_VERSION = 0x01080003;

/* A step's verdict: go on with the next step, or leave with a status. */
constexpr int doVA_CONTINUE = -1;

/* Everything the console unit keeps for its whole life.  One instance,
** made by doVA_main(); components get &traceLevel and pErrLog. */
struct consoleApp {
  int traceLevel = 0;
  int* pTraceLevel = &traceLevel;
  ErrTrcLog* pErrLog = nullptr;

  bool daemonMode = false;     /* fork and continue in the child */
  bool lcdMode = true;         /* front panel; false: console window */
  bool showLedLabels = false;  /* console window shows LED labels */
  int dispRows = 4;
  int dispCols = 20;
  int runMode = RUNMODE_NONE;
  bool killPath = false;       /* "-kill" chose the kill path (step 11) */
  bool killRequested = false;  /* at exit send code 5 instead of 4 */
  /* written by the SIGTERM handler, read by every wait and loop */
  volatile sig_atomic_t stopRequested = 0;

  char statusText[200] = {0};  /* start-up texts; the boot text's name */
  int startupErrors = 0;

  int argc = 0;
  char** argv = nullptr;
  cmdLine* parser = nullptr;

  msgQ_IO* hostQueue = nullptr;   /* "Console to Host", kill path only */
  dovidu_config* cfg = nullptr;   /* the data set as configuration client */
  treeEditor* frontEnd = nullptr; /* treeEditorModule or treeEditorCnsl */
  int frontEndRows = 0;           /* what the front end was made for */
  int frontEndCols = 0;
  cmdInterp* interp = nullptr;    /* command console, RUNMODE_COMMAND only */
  kvSharedMem statusMem;          /* the status region, attached read-only */

  /* powerWatch: monotonic seconds an item was first seen set (0: clear) */
  uint32_t powerOffSince = 0;
  uint32_t restartSince = 0;
};

/* The whole program: returns the exit status. */
int doVA_main(int argc, char** argv);

/* The switch table, in help order, ended by the -1 row. */
SwitchDef* doVA_switchTable();
extern const char* const doVA_helpHeader;

/* Steps 1-6.  doVA_CONTINUE, or the exit status (help 0, switch error 1,
** program directory 0). */
int parseSwitches(consoleApp& app, int argc, char** argv);
/* Step 6 alone: daemonMode, lcdMode, showLedLabels, killPath from the
** parser's switches. */
void setModeFlags(consoleApp& app);
/* Step 7: doVA_CONTINUE in the child (or without daemonMode), else the
** exit status of the parent (0) or of a failed fork (1). */
int detachIfDaemon(consoleApp& app);
/* Steps 8-9: doVA_CONTINUE, or 1 when the status region cannot be opened. */
int attachStatusMemory(consoleApp& app);
/* Step 10: RUNMODE_DISPLAY and the rows and columns of "-mc". */
void enterDisplayPath(consoleApp& app);
/* Step 11: register on "Console to Host" and choose the run mode. */
void enterKillPath(consoleApp& app);
/* Step 12: configuration client, "-v"/"-s", the main loop.  Returns
** doVA_CONTINUE, or an exit status when the process ends here. */
int runConfiguredMode(consoleApp& app);
/* Steps 13-14: front end, host queue.  */
void shutdownApp(consoleApp& app);

/* Trace the text at level > 1 and add it to the LCD's start-up log. */
void showStatus(consoleApp& app, const char* text);

/* Once per pass of either main loop: acts on POWEROFF_CMD (item 50) and
** SYSRESTART_CMD (item 51) that stay set for more than 10 seconds. */
void powerWatch(consoleApp& app);
/* The timer logic of powerWatch on given item values and time (seconds of
** the monotonic clock); runs the maintenance tool through the shell seam. */
void powerWatchAt(consoleApp& app, bool powerOff, bool restart, uint32_t nowSec);
/* "<run dir>/kvUpgrade.x <option>", the path quoted only when it needs it. */
void maintenanceCommand(char* out, int size, const char* option);

/* SIGTERM and SIGINT set app.stopRequested (installed with sigaction). */
int installStopHandler(consoleApp& app);

#endif
