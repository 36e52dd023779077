/*
** hostLink: the kill path and the waits on the "Console to Host" queue
** (see hostLink.h).
**
** Waits are measured on the monotonic clock in milliseconds: a calendar
** clock set by the date command must not stretch or cut the 5 s grant
** wait, and a whole-second deadline would make a "1 second" wait anything
** from a few milliseconds to a second.
*/
#include "app/hostLink.h"

#include <string>
#include <unistd.h>

#include "app/doVA.h"
#include "diag/cppUtils.h"
#include "diag/trace.h"
#include "ipc/msgQ_IO.h"

const char hostQUEUE_NAME[] = "Console to Host";

static const int POLL_SLEEP_US = 5000;

msgQ_IO* openHostLink(const int* pTraceLevel, ErrTrcLog* pErrLog) {
  return new msgQ_IO(hostQUEUE_NAME, ".", hostKEY_BYTE, hostRX_CAPACITY, 0, pTraceLevel, pErrLog);
}

/* The payload as printable text: up to its first NUL, control characters
** other than new line and tab shown as '.', so a peer's bytes cannot drive
** the operator's terminal. */
static std::string payloadText(msgQ_IO* q) {
  std::string text;
  const char* p = q->payload();
  int n = q->payloadLen();
  for (int i = 0; i < n && p[i] != '\0'; i++) {
    unsigned char c = (unsigned char)p[i];
    text += (c < 32 && c != '\n' && c != '\t') || c == 127 ? '.' : (char)c;
  }
  return text;
}

static bool isDataCode(int code) {
  switch (code) {
    case ipcMSG_DATA:
    case ipcMSG_GROUP_LIST_RESP:
    case ipcMSG_GROUP_DATA_RESP:
    case ipcMSG_ALL_DATA_RESP:
    case ipcMSG_DATA_CHANGE_OK:
    case ipcMSG_DATA_SET_ERROR:
      return true;
    default:
      return false;
  }
}

/* Traces (and for a ping, answers) one received message.  Returns the code,
** or 0 for a ping request, which does not count as a message. */
static int handleHostMessage(consoleApp& app, int code) {
  const int* lvl = app.pTraceLevel;
  msgQ_IO* q = app.hostQueue;
  if (code == ipcMSG_REG_GRANT) {
    TRACE(lvl, 0, "CONSOLE: Register Grant\n");
  } else if (code == ipcMSG_REG_DENY) {
    TRACE(lvl, -1, "Console: Deny Register\n");
  } else if (isDataCode(code)) {
    TRACE(lvl, -1, "Console: Data message '%s':\n%s\n", ipcMsgName(code), payloadText(q).c_str());
  } else if (code == ipcMSG_PING_REQ) {
    TRACE(lvl, 3, "Console: Ping Request Rxd\n");
    q->ipcSendMsgConst(ipcMSG_PING_RESP, 0);
    return 0;
  } else if (code == ipcMSG_PING_RESP) {
    TRACE(lvl, 0, "Console: Ping Resp Rxd\n");
  } else {
    TRACE(lvl, -1, "Console: message type %i received:\n%s\n", code, payloadText(q).c_str());
  }
  return code;
}

int waitForHostMessage(consoleApp& app, int timeoutSec, int wantedCode) {
  if (app.hostQueue == nullptr || !app.hostQueue->rxQueue().isValid()) return 0;
  if (timeoutSec > hostMAX_WAIT_SEC) timeoutSec = hostMAX_WAIT_SEC;
  if (timeoutSec < 0) timeoutSec = 1;
  const uint32_t waitMs = (uint32_t)timeoutSec * 1000u;
  kvTimeStamp start;
  getTimeStamp(&start);
  for (;;) {
    int code = app.hostQueue->msgQGetMsg();
    if (code != ipcMSG_NONE) code = handleHostMessage(app, code);
    if (code == ipcMSG_REG_DENY && wantedCode == ipcMSG_REG_GRANT) return code;
    if (code != ipcMSG_NONE && (wantedCode == 0 || code == wantedCode)) return code;
    usleep(POLL_SLEEP_US);
    if (elapsedMs(&start) >= waitMs || app.stopRequested) return 0;
  }
}

void runKillPath(consoleApp& app) {
  const int* lvl = app.pTraceLevel;
  bool interactive = app.parser != nullptr && app.parser->isPresent(SW_INTERACTIVE);
  bool kill = app.parser != nullptr && app.parser->isPresent(SW_KILL);
  app.hostQueue = openHostLink(app.pTraceLevel, app.pErrLog);
  if (!interactive) TRACE(lvl, 1, "Waiting for CONSOLE registration grant...\n");
  /* Without a sent request (queues refused, or full of an earlier run's
  ** messages) no grant can come: fall back at once. */
  bool granted = app.hostQueue->linkOk() &&
                 waitForHostMessage(app, hostGRANT_WAIT_SEC, ipcMSG_REG_GRANT) == ipcMSG_REG_GRANT;
  if (granted) {
    TRACE(lvl, 1, "Evaluating switches...\n");
    if (interactive) app.runMode = RUNMODE_COMMAND;
    if (kill) {
      app.runMode = RUNMODE_NONE;
      app.killRequested = true;
    }
    return;
  }
  TRACE(lvl, 0,
        "Failed to connect with configuration master, access will be limited to config library "
        "functions\n");
  /* Take back the unanswered registration request: the queues outlive the
  ** process, and requests piling up would fill them for the next run. */
  if (app.hostQueue->linkOk()) app.hostQueue->purge();
  delete app.hostQueue;
  app.hostQueue = nullptr;
  app.runMode = (!app.daemonMode && interactive) ? RUNMODE_COMMAND : RUNMODE_NONE;
}

void closeHostLink(consoleApp& app) {
  if (app.hostQueue == nullptr) return;
  app.hostQueue->ipcSendMsgConst(app.killRequested ? ipcMSG_REG_SHUTDOWN : ipcMSG_REG_GOODBYE, 0);
  delete app.hostQueue;
  app.hostQueue = nullptr;
}
