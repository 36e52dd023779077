/*
** cfgMaster.x: the configuration master the console units register with.
**
** It owns the exporter data set and its files "kvPrimeConfig.cfg" and
** "kvSecondaryConfig.cfg" in its working directory: reads them at start
** (creating a missing one from the defaults, keeping a damaged one aside),
** answers registrations, subscriptions and change requests, pushes every
** change to the other subscribers, and writes a modified file two seconds
** after its last change but never more than five seconds after its first
** unsaved one (and at once on a client's write request): a crash loses at
** most the changes of the last 5 s.
** SIGTERM, SIGINT, SIGHUP or SIGQUIT: pending changes are written, every
** client is told "Registration Shutdown" (code 5), exit 0.  SIGPIPE is
** ignored: a closed standard output does not end the master.
**
** Runs in the foreground.  The queue keys derive from the directory of the
** program itself, so clients must be started from the same directory.
*/
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "cmdline/cmdLine.h"
#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "diag/stopSignals.h"
#include "diag/trace.h"
#include "tools/cfgMaster/fileCheck.h"
#include "tools/cfgMaster/masterLoop.h"

enum masterSwitch { MSW_HELP = 1, MSW_TRACE = 2, MSW_DIR = 3 };

static SwitchDef masterSwitches[] = {
    /* id        case  name  parameter text  help text                                    min max */
    {MSW_HELP,   0, "-h", "",             "Display help",                                  0, 0, false},
    {MSW_TRACE,  0, "-T", " value",       "Set trace level for debug (0-9)",               1, 0, false},
    {MSW_DIR,    1, "-C", " dir",         "Working directory of the configuration files",  1, 0, false},
    {-1,         0, nullptr, nullptr,     nullptr,                                         0, 0, false},
};

static const char* const helpHeader =
    "\nConfiguration master of the exporter data set (foreground).\n"
    "USAGE: %s [-C dir] [-T level]\n"
    "Reads and writes kvPrimeConfig.cfg and kvSecondaryConfig.cfg in its working directory.\n"
    "SIGTERM, SIGINT, SIGHUP or SIGQUIT: writes pending changes, shuts every client down, exits.\n"
    "A modified file is written 2 s after its last change, at most 5 s after its first.\n\n";

static volatile sig_atomic_t stopRequested = 0;

static void onStop(int) { stopRequested = 1; }


/* The queue keys derive from the program directory: a second master there
** would purge and steal the first one's messages.  The lock (on the
** directory itself, so nothing is created) lasts as long as the process. */
static bool lockQueueKeys(const char* progDir) {
  const char* dir = progDir[0] ? progDir : "/";
  int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true; /* nothing to lock against; serve anyway */
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  fprintf(stderr, "cfgMaster.x: another configuration master already serves <%s>\n", dir);
  close(fd);
  return false;
}

/* Switches, program directory and working directory.  Returns -1 to go
** on, else the exit status. */
static int setUp(cmdLine& sw, int argc, char** argv, int* traceLevel) {
  if (sw.absorb(argc, argv, masterSwitches) != 0) {
    fprintf(stderr, "%s\n", sw.errorText());
    sw.printHelp(helpHeader);
    return 1;
  }
  if (sw.isPresent(MSW_HELP)) {
    sw.printHelp(helpHeader);
    return 0;
  }
  if (sw.isPresent(MSW_TRACE)) *traceLevel = (int)sw.paramInt(MSW_TRACE, 0);
  sw.setTraceLevel(traceLevel);
  /* before any chdir: argv[0] may be relative */
  if (pErrTrcLog->setProgramDir(argv[0]) != 0) {
    fprintf(stderr, "cfgMaster.x: cannot determine the program directory\n");
    return 1;
  }
  if (!lockQueueKeys(pErrTrcLog->programDir())) return 1;
  const char* dir = sw.paramText(MSW_DIR, 0);
  if (dir != nullptr && chdir(dir) != 0) {
    fprintf(stderr, "cfgMaster.x: cannot use directory <%s>: %s\n", dir, strerror(errno));
    return 1;
  }
  return -1;
}

static void serveUntilStopped(dovidu_config& cfg, delayedWriter& writer) {
  pollPacer pacer;
  while (!stopRequested) {
    int pings = 0;
    int handled = servicePass(cfg, passMAX_MESSAGES, &pings);
    uint32_t now = msNow();
    writer.noteChanges(now);
    writer.writeDue(now);
    /* every idle console pings every 2 s: an answered ping asks for no
    ** follow-up, so pings alone keep the idle pace */
    int sleepUs = pacer.afterPass(handled - pings, handled >= passMAX_MESSAGES, now);
    if (sleepUs > 0 && !stopRequested) usleep((useconds_t)sleepUs);
  }
}

int main(int argc, char** argv) {
  static int traceLevel = 0;
  cmdLine sw;
  int status = setUp(sw, argc, argv, &traceLevel);
  if (status >= 0) return status;
  installStopSignals(onStop);

  uint32_t started = msNow();
  dovidu_config* cfg = new dovidu_config(&traceLevel, pErrTrcLog);
  if (cfg->initDataSet(&traceLevel, pErrTrcLog, 1, "cfgMaster.x", 0, -1) != 0) {
    fprintf(stderr, "cfgMaster.x: the configuration queues cannot be opened\n");
    delete cfg;
    return 1;
  }
  if (refuseOddCfgFiles(*cfg) > 0) {
    delete cfg;
    return 1;
  }
  delayedWriter writer(*cfg);
  settleStoredValues(*cfg); /* what the files' texts mean, read back */
  writer.acceptCurrent();   /* what was read is what the files hold */
  prepareCfgFiles(*cfg, pErrTrcLog, &traceLevel);
  TRACE(&traceLevel, 0, "configuration master ready in %u ms\n", msNow() - started);

  serveUntilStopped(*cfg, writer);

  writer.noteChanges(msNow());
  if (writer.writeAllModified() != 0)
    fprintf(stderr, "cfgMaster.x: a modified file could not be written\n");
  delete cfg; /* tells every registered client "Registration Shutdown" */
  TRACE(&traceLevel, 0, "configuration master stopped\n");
  return 0;
}
