/*
** cmdConsole: what each console command does, the pending answers with
** their timers, and the command loop (see cmdConsole.h).
*/
#include "app/cmdConsole.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "app/doVA.h"
#include "app/hostLink.h"
#include "cmdline/cmdInterp.h"
#include "config/genericConfig.h"
#include "dataset/doviduConfig.h"
#include "diag/trace.h"
#include "ipc/msgQ_IO.h"

static const float SV_ECHO_WAIT_SEC = 3.0f;
static const float GET_ALL_WAIT_SEC = 4.0f;
static const int HOST_ANSWER_POLL_SEC = 1;
static const int COMMAND_LOOP_SLEEP_US = 10000;
static const int TRACE_LEVEL_MAX = 9;

/* Counts the test level's single-argument cursor codes, process-wide. */
static int cursorCount = 0;

cmdConsole::cmdConsole(consoleApp& a, generic_cfg* c, int fd, FILE* o)
    : app(a), cfg(c), inFd(fd), out(o ? o : stdout), pending(PENDING_NONE), timerArmed(false),
      cmdStart{0, 0} {}

cmdConsole::~cmdConsole() {
  delete app.interp;
  app.interp = nullptr;
}

bool cmdConsole::start() {
  delete app.interp;
  app.interp = new cmdInterp(inFd, out);
  return pushLevel(topLevelCmds, "cfg->") == cmdSTEP_BUSY;
}

/* The tables are fixed data, so a throw here is a programming error; it is
** caught so that it ends the console instead of the process. */
int cmdConsole::pushLevel(const CmdDef* table, const char* prompt) {
  try {
    app.interp->pushLevel(table, commonCmds, prompt);
  } catch (int) {
    TRACE(app.pTraceLevel, -1, "Command table for '%s' is faulty\n", prompt);
    return cmdSTEP_IDLE;
  }
  return cmdSTEP_BUSY;
}

void cmdConsole::armTimer(float seconds) {
  cmdTimer.setPeriod(seconds);
  timerArmed = true;
}

/* While a command waits for its answer no new line is read. */
int cmdConsole::servicePending() {
  int result = cmdSTEP_IDLE;
  if (pending == PENDING_HOST_ANSWER) {
    if (waitForHostMessage(app, HOST_ANSWER_POLL_SEC, 0) != ipcMSG_NONE) {
      pending = PENDING_NONE;
      result = cmdSTEP_BUSY;
    }
  } else if (pending == PENDING_CFG_ECHO) {
    /* the answer to the console's own ping to the master is no echo */
    int code = cfg != nullptr ? cfg->serviceCfg(0, 0) : ipcMSG_NONE;
    if (code != ipcMSG_NONE && code != ipcMSG_PING_RESP) {
      pending = PENDING_NONE;
      result = cmdSTEP_BUSY;
    }
  }
  if (pending == PENDING_NONE) {
    TRACE(app.pTraceLevel, 1, "cmd done: time = %f\n", (double)elapsedSeconds(&cmdStart));
  } else if (cmdTimer.isExpired()) {
    TRACE(app.pTraceLevel, 0, "timeout after %f seconds.\n", (double)elapsedSeconds(&cmdStart));
    pending = PENDING_NONE;
    timerArmed = false;
    result = cmdSTEP_IDLE;
  }
  return result;
}

int cmdConsole::step() {
  if (app.interp == nullptr) return cmdSTEP_EXIT;
  if (pending != PENDING_NONE) return servicePending();
  if (app.hostQueue != nullptr) waitForHostMessage(app, 0, 0);
  if (cfg != nullptr) cfg->serviceCfg(0, 0);
  int id = app.interp->readCommand();
  if (id == CMD_NO_LINE) return cmdSTEP_IDLE;
  getTimeStamp(&cmdStart);
  timerArmed = false;
  int result = carryOut(id);
  if (pending != PENDING_NONE && !timerArmed) armTimer(SV_ECHO_WAIT_SEC);
  return result;
}

/* Test level "c": no argument prints the usage, one argument writes the
** cursor code ESC '[' argument, two arguments do nothing. */
void cmdConsole::cursorTest() {
  cmdInterp& ci = *app.interp;
  if (ci.argCount() == 0) {
    fprintf(out, "options....\n");
    fprintf(out, "for single paramter <esc>+[ will be output followed by the data specified\n");
  } else if (ci.argCount() == 1) {
    cursorCount++;
    fprintf(out, "\x1b[%s<here now%i>\n", ci.arg(1), cursorCount);
  }
  fflush(out);
}

/* "sv" key value: the key is an item name or its number ("ID#"); the
** master knows items by name only, so a number is sent as the name.  The
** value goes as typed (quotes were taken off by the tokenizer). */
void cmdConsole::setValue() {
  if (cfg == nullptr) return;
  const char* key = app.interp->arg(1);
  size_t digits = strspn(key, "0123456789");
  if (digits > 0 && digits <= 5 && key[digits] == '\0') {
    const char* name = cfg->getItemName((int)strtol(key, nullptr, 10));
    if (name != nullptr) key = name;
  }
  if (cfg->sendChangeRequest(key, app.interp->arg(2), false) != 0 && cfg->isMasterLost()) {
    fprintf(out, "Change refused: the configuration master is lost\n");
    fflush(out);
    return;
  }
  pending = PENDING_CFG_ECHO;
}

int cmdConsole::carryOut(int cmdId) {
  cmdInterp& ci = *app.interp;
  switch (cmdId) {
    case CMDID_DATA_MODE:
      pushLevel(dataLevelCmds, "dta->");
      return cmdSTEP_BUSY;
    case CMDID_TEST:
      pushLevel(testLevelCmds, "tst->");
      return cmdSTEP_BUSY;
    case CMDID_UP:
      ci.popLevel();
      return cmdSTEP_BUSY;
    case CMDID_SET_VALUE:
      setValue();
      return cmdSTEP_BUSY;
    case CMDID_GET_ALL:
      if (app.hostQueue != nullptr) {
        app.hostQueue->ipcSendMsgConst(ipcMSG_ALL_DATA_REQ, 0);
        armTimer(GET_ALL_WAIT_SEC);
        pending = PENDING_HOST_ANSWER;
      } else {
        TRACE(app.pTraceLevel, -1, "Console function not available\n");
      }
      return cmdSTEP_BUSY;
    case CMDID_KILL:
      app.killRequested = true;
      return cmdSTEP_KILL;
    case CMDID_HELP:
      ci.help();
      return cmdSTEP_BUSY;
    case CMDID_TRACE: {
      int level = ci.argInt(1);
      *app.pTraceLevel = level < 0 ? 0 : (level > TRACE_LEVEL_MAX ? TRACE_LEVEL_MAX : level);
      return cmdSTEP_BUSY;
    }
    case CMDID_CURSOR:
      cursorTest();
      return cmdSTEP_BUSY;
    case CMDID_EDIT_WINDOW:
      if (ci.argCount() >= 1) app.dispRows = ci.argInt(1);
      if (ci.argCount() >= 2) app.dispCols = ci.argInt(2);
      app.lcdMode = false;
      return cmdSTEP_END_DISPLAY;
    case CMDID_EDIT_MODULE:
      app.lcdMode = true;
      return cmdSTEP_END_DISPLAY;
    case CMDID_EXIT:
      return cmdSTEP_EXIT;
    case CMD_END_OF_INPUT:
      TRACE(app.pTraceLevel, 0, "End of console input\n");
      return cmdSTEP_EXIT;
    default:  /* "gv", "scrpt", a rejected line */
      return cmdSTEP_BUSY;
  }
}

/* A lost master and its return, each said once on the console. */
static void reportMasterState(generic_cfg* cfg, FILE* out, bool* lostSaid, int32_t* relinks) {
  if (cfg->isMasterLost() && !*lostSaid) {
    fprintf(out, "Configuration master lost: values may be old, changes are refused\n");
    *lostSaid = true;
  } else if (cfg->relinkCount() != *relinks) {
    *relinks = cfg->relinkCount();
    fprintf(out, "Configuration master back: values are current again\n");
    *lostSaid = false;
  } else {
    return;
  }
  fflush(out);
}

int runCommandConsole(consoleApp& app, generic_cfg* cfg) {
  cmdConsole console(app, cfg);
  if (!console.start()) return cmdSTEP_EXIT;
  int result = cmdSTEP_IDLE;
  bool lostSaid = false;
  int32_t relinks = cfg != nullptr ? cfg->relinkCount() : 0;
  if (cfg != nullptr) cfg->watchMaster(true);
  while (cfg != nullptr && cfg->isRegistered() && !app.stopRequested) {
    powerWatch(app);
    reportMasterState(cfg, console.output(), &lostSaid, &relinks);
    result = console.step();
    if (result == cmdSTEP_IDLE) {
      usleep(COMMAND_LOOP_SLEEP_US);
    } else if (result != cmdSTEP_BUSY) {
      if (result == cmdSTEP_KILL) app.killRequested = true;
      break;
    }
  }
  return result;
}

int runCommandConsole(consoleApp& app) { return runCommandConsole(app, app.cfg); }
