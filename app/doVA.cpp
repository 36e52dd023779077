/*
** doVA: the console unit's start-up, from the switches to the exit status.
**
** The order of the steps is fixed (see doVA.h for the table).  The steps
** that reach the configuration client, the host link, the front ends and
** the command console are separate functions further down, each marked
** "HOOK" with what belongs there; until a piece exists its hook says so in
** the trace and the process ends cleanly after attaching the status region.
*/
#include "app/doVA.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "app/cfgClientStart.h"
#include "app/paramAccess.h"
#include "app/cmdConsole.h"
#include "app/displayLoop.h"
#include "app/hostLink.h"
#include "diag/ErrTrcLog.h"
#include "diag/trace.h"

/* ------------------------------------------------------------------ */
/* The switch table and the help header                                 */
/* ------------------------------------------------------------------ */

/* Row order is the help order.  Rows giving only a minimum get the same
** maximum from the parser. */
static SwitchDef switchTable[] = {
    /* id            case  name     parameter text     help text                                   min max */
    {SW_VIEW,        1, "-v",    "Data Name",       "Views a data item",                        1, 0, false},
    {SW_SET,         1, "-s",    "Data Name",       "Sets a data item",                         2, 0, false},
    {SW_KILL,        0, "-kill", "",                "Terminate supervisor process",             0, 0, false},
    {SW_TRACE,       0, "-T",    " value",          "Set trace level for debug (0-9)",          1, 0, false},
    {SW_MINI,        1, "-mc",   "[nRows [nCols]]", "Mini display (2x20 etc)",                  0, 2, false},
    {SW_LABELS,      1, "-sl",   "",                "Show LED/Indicator Labels (only used for console operation)", 0, 0, false},
    {SW_LCD,         1, "-lcd",  "",                "Use LCD Interface (default mode)",         0, 0, false},
    {SW_INTERACTIVE, 0, "-i",    "[0|<1>]",         "Enable / disable interactive mode.",       0, 1, false},
    {SW_HELP,        0, "-h",    "",                "Display help",                             0, 0, false},
    {SW_DUMMY,       0, "-dumy", "",                "Extra param",                              0, 0, false},
    {-1,             0, nullptr, nullptr,           nullptr,                                    0, 0, false},
};

const char* const doVA_helpHeader =
    "\nThis tests sending of IPC messages to the DovIdu background supervisor.\n"
    "USAGE: %s MessageText\n"
    "Default operation is lcd operation in background\n\n";

SwitchDef* doVA_switchTable() { return switchTable; }

/* Every start-up error is reported as unit "doVA", function "main". */
#define APP_ERROR(app, num, text) \
  reportError((app).pErrLog, 3, (num), "doVA", "main", __LINE__, "%s", (text))

/* ------------------------------------------------------------------ */
/* SIGTERM                                                              */
/* ------------------------------------------------------------------ */

static volatile sig_atomic_t* stopFlag = nullptr;

static void onSigTerm(int) {
  if (stopFlag != nullptr) *stopFlag = 1;
}

/* Every wait and main loop polls stopRequested, so SIGTERM, Ctrl-C
** (SIGINT), SIGHUP or SIGQUIT ends the process through its normal shutdown
** (goodbye sent or its unanswered messages taken back, display closed),
** also in the middle of the start-up's waits.  No SA_RESTART: a sleep ends
** at once.  SIGPIPE is ignored: a closed pipe or standard output makes a
** write fail, not the process die. */
int installStopHandler(consoleApp& app) {
  static const int stopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, 0};
  stopFlag = &app.stopRequested;
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = onSigTerm;
  sigemptyset(&sa.sa_mask);
  int rc = 0;
  for (const int* s = stopSignals; *s != 0; ++s)
    if (sigaction(*s, &sa, nullptr) != 0) rc = -1;
  signal(SIGPIPE, SIG_IGN);
  return rc;
}

/* ------------------------------------------------------------------ */
/* Steps 1 to 9                                                         */
/* ------------------------------------------------------------------ */

int parseSwitches(consoleApp& app, int argc, char** argv) {
  app.argc = argc;
  app.argv = argv;
  app.parser = new cmdLine();
  app.traceLevel = 0;
  app.pTraceLevel = &app.traceLevel;

  if (app.pErrLog != nullptr && app.pErrLog->setProgramDir(argc > 0 ? argv[0] : "") != 0) {
    APP_ERROR(app, doVA_ERR_PROG_DIR, "Could not set the system path variable");
    return 0;
  }
  if (app.parser->absorb(argc, argv, switchTable) != 0) {
    TRACE(app.pTraceLevel, -1, "%s\n", app.parser->errorText());
    app.parser->printHelp(doVA_helpHeader);
    return 1;
  }
  if (app.parser->isPresent(SW_HELP)) {
    app.parser->printHelp(doVA_helpHeader);
    return 0;
  }
  if (app.parser->isPresent(SW_TRACE)) app.traceLevel = (int)app.parser->paramInt(SW_TRACE, 0);
  setModeFlags(app);
  /* "-v" and "-s" print value lines that scripts read: without "-T" the
  ** lines that trace at every level (a full queue, say) go to standard
  ** error, so standard output holds the values and nothing else */
  if ((app.parser->isPresent(SW_SET) || app.parser->isPresent(SW_VIEW)) && app.traceLevel <= 0)
    traceToStandardError(true);
  return doVA_CONTINUE;
}

/* "-s" and "-v" come last on purpose: they override "-kill", so a
** parameter access never sends a kill request. */
void setModeFlags(consoleApp& app) {
  const cmdLine& p = *app.parser;
  if (p.isPresent(SW_KILL)) {
    app.lcdMode = false;
    app.daemonMode = false;
    app.killPath = true;
  } else {
    app.daemonMode = !p.isPresent(SW_MINI) && !p.isPresent(SW_INTERACTIVE);
    app.lcdMode = !p.isPresent(SW_MINI);
    if (p.isPresent(SW_MINI)) app.showLedLabels = p.isPresent(SW_LABELS);
    app.killPath = false;
  }
  if (p.isPresent(SW_SET) || p.isPresent(SW_VIEW)) {
    app.daemonMode = false;
    app.lcdMode = false;
    app.killPath = false;
  }
}

/* The child re-reads the switches with a fresh parser: the parent's was
** destroyed before the fork so that nothing is owned twice. */
int detachIfDaemon(consoleApp& app) {
  if (!app.daemonMode) return doVA_CONTINUE;
  delete app.parser;
  app.parser = nullptr;
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid < 0) {
    APP_ERROR(app, doVA_ERR_FORK, "Could not start child process");
    return 1;
  }
  if (pid > 0) {
    /* priority 6 never reaches the system log; the trace is how an
    ** operator (or a test) learns the child's PID */
    TRACE(app.pTraceLevel, 0, "Child process launched with PID=%i\n", (int)pid);
    if (app.pErrLog != nullptr) {
      app.pErrLog->logMessage(6, "Child process launched with PID=%i", (int)pid);
      app.pErrLog->logMessage(6, "Parent processing exiting now.\n");
    }
    return 0;
  }
  usleep(200 * 1000);
  if (app.pErrLog != nullptr)
    app.pErrLog->logMessage(6, "Child process startup: %s\n", app.argc > 0 ? app.argv[0] : "");
  app.parser = new cmdLine();
  (void)app.parser->absorb(app.argc, app.argv, switchTable);
  return doVA_CONTINUE;
}

int attachStatusMemory(consoleApp& app) {
  if (app.parser != nullptr) app.parser->setTraceLevel(app.pTraceLevel);
  app.statusMem.pTraceLevel = app.pTraceLevel;
  if (app.statusMem.initSharedMem(app.pErrLog, false) != 0) {
    APP_ERROR(app, doVA_ERR_SHARED_MEM, "Could not initialize shared memory");
    return 1;
  }
  TRACE(app.pTraceLevel, 1, "Shared memory initialized\n");
  return doVA_CONTINUE;
}

/* ------------------------------------------------------------------ */
/* Steps 10 and 11: choosing the run mode                               */
/* ------------------------------------------------------------------ */

void enterDisplayPath(consoleApp& app) {
  app.runMode = RUNMODE_DISPLAY;
  if (app.lcdMode || app.parser == nullptr) return;
  const cmdLine& p = *app.parser;
  if (p.paramCount(SW_MINI) >= 1) {
    app.dispRows = (int)p.paramInt(SW_MINI, 0);
    TRACE(app.pTraceLevel, 0, "Rows = %i\n", app.dispRows);
  }
  if (p.paramCount(SW_MINI) >= 2) {
    app.dispCols = (int)p.paramInt(SW_MINI, 1);
    TRACE(app.pTraceLevel, 0, "Cols = %i\n", app.dispCols);
  }
}

/* Step 11: register on "Console to Host" and choose the run mode
** (hostLink.cpp). */
void enterKillPath(consoleApp& app) { runKillPath(app); }

/* ------------------------------------------------------------------ */
/* Step 12: configuration client, parameter access, main loops          */
/* ------------------------------------------------------------------ */

void showStatus(consoleApp& app, const char* text) {
  TRACE(app.pTraceLevel, 1, "%s\n", text);
  frontEndLogLine(app, text);  /* displayLoop.cpp */
}

/* The data set object (cfgClientStart.cpp).  Returns false when there is
** no data set to build. */
static bool createDataSet(consoleApp& app) {
  cfgCreateDataSet(app);
  return app.cfg != nullptr;
}

static void destroyDataSet(consoleApp& app) { cfgDestroyDataSet(app); }

/* Clamp the display size and (re)make the front end; hardware opens the
** device, otherwise the menu is initialised on it.  0 ok, non-zero failed
** (displayLoop.cpp). */
static int miniDispInit(consoleApp& app, bool hardware) { return frontEndInit(app, hardware); }

/* Up to 4 attempts of "Cfg Init %i", then subscribe to every item
** (cfgClientStart.cpp). */
static void startConfigClient(consoleApp& app) { cfgClientStart(app); }

/* "-v" / "-s" (paramAccess.cpp); destroys app.cfg. */
static void runParamAccess(consoleApp& app) { paramAccess(app); }

/* Write doVA_USER_IF_VERSION to item 0 and read item 77: the front end's
** AM flag. */
static void announceVersion(consoleApp& app) { setFrontEndBand(app, cfgAnnounceVersion(app)); }

static void runMainLoop(consoleApp& app) {
  if (app.runMode == RUNMODE_DISPLAY)
    runDisplayLoop(app);  /* displayLoop.cpp */
  else if (app.runMode == RUNMODE_COMMAND)
    runCommandConsole(app);  /* cmdConsole.cpp */
}

int runConfiguredMode(consoleApp& app) {
  if (app.runMode == RUNMODE_NONE) return doVA_CONTINUE;
  TRACE(app.pTraceLevel, 1, "Interactive Init...\n");
  if (!createDataSet(app)) return doVA_CONTINUE;

  /* a stop during the display search is no start-up error */
  if (app.runMode == RUNMODE_DISPLAY && miniDispInit(app, true) != 0 && !app.stopRequested) {
    TRACE(app.pTraceLevel, 0, "Error in miniDispInit\n");
    app.startupErrors++;
  }
  if (app.startupErrors == 0 && !app.stopRequested) startConfigClient(app);
  if (app.stopRequested) { /* asked to stop during the start-up */
    destroyDataSet(app);
    return doVA_CONTINUE;
  }

  /* the parameter access runs even after start-up errors */
  if (app.parser != nullptr && (app.parser->isPresent(SW_VIEW) || app.parser->isPresent(SW_SET))) {
    runParamAccess(app);
    return 0;
  }
  delete app.parser;
  app.parser = nullptr;
  announceVersion(app);
  if (app.startupErrors == 0) runMainLoop(app);
  destroyDataSet(app);
  return doVA_CONTINUE;
}

/* ------------------------------------------------------------------ */
/* Steps 13 and 14                                                      */
/* ------------------------------------------------------------------ */

/* The front end is destroyed (displayLoop.cpp).  The host queue gets code 5
** (killRequested) or 4 and is closed (hostLink.cpp). */
void shutdownApp(consoleApp& app) {
  destroyFrontEnd(app);
  closeHostLink(app);
  delete app.parser;
  app.parser = nullptr;
}

/* ------------------------------------------------------------------ */
/* The whole start-up                                                   */
/* ------------------------------------------------------------------ */

static int runConsole(consoleApp& app, int argc, char** argv) {
  int status = parseSwitches(app, argc, argv);
  if (status != doVA_CONTINUE) return status;
  status = detachIfDaemon(app);
  if (status != doVA_CONTINUE) return status;
  status = attachStatusMemory(app);
  if (status != doVA_CONTINUE) return status;

  if (app.killPath)
    enterKillPath(app);
  else
    enterDisplayPath(app);

  status = runConfiguredMode(app);
  if (status != doVA_CONTINUE) return status;
  return 0;
}

int doVA_main(int argc, char** argv) {
  static consoleApp app;  /* lives until exit, as the handler expects */
  app.pErrLog = pErrTrcLog;
  installStopHandler(app);
  int status = runConsole(app, argc, argv);
  shutdownApp(app);
  return status;
}
