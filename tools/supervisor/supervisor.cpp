/*
** supervisor.x: the box's background supervisor, master of the "Console to
** Host" link (queue key byte 104, keyed on the program's directory, so the
** console must be started from the same directory).
**
** It grants registrations, answers pings, answers "All data req" (18) with
** "All data resp" (19) carrying a short text of its state, forgets clients
** that say goodbye or whose process has vanished, and stops when a client
** sends "Registration Shutdown" (5) -- what "doVA.x -kill" does -- or on
** SIGTERM/SIGINT.  Stopping tells the clients still registered (code 5) and
** exits 0; the queues stay, as every queue of the box does.
**
** Runs in the foreground; switches "-h" and "-T level".
*/
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <signal.h>
#include <string>
#include <syslog.h>
#include <unistd.h>
#include <vector>

#include "cmdline/cmdLine.h"
#include "diag/ErrTrcLog.h"
#include "diag/stopSignals.h"
#include "diag/cppUtils.h"
#include "diag/trace.h"
#include "ipc/msgQ_IO.h"

namespace {

const char kQueueName[] = "Console to Host";
const int kKeyByte = 104;
const int kRxCapacity = 50000;
const int kMaxClients = 64;      /* beyond this registrations are denied */
const int kNameMax = 63;         /* client names kept for the log */
const int kPollUs = 5000;

volatile sig_atomic_t gStop = 0;
void onStopSignal(int) { gStop = 1; }

enum { SW_HELP = 0, SW_TRACE = 1 };
SwitchDef gSwitches[] = {
    {SW_HELP, 1, "-h", "", "Show this help and exit", 0, 0, false},
    {SW_TRACE, 1, "-T", "level", "Trace level, 0 (quiet) to 9 (everything)", 1, 1, false},
    {-1, 0, nullptr, nullptr, nullptr, 0, 0, false},
};
const char kHelpHeader[] =
    "\nBackground supervisor: master of the \"Console to Host\" link.\n"
    "USAGE: %s [-T level]\n"
    "Grants console registrations, answers pings and data requests, and stops\n"
    "when a console sends the shutdown request (doVA.x -kill).\n";

struct hostClient {
  int32_t id;
  kvTimeStamp since;
  std::string name;
};

/* A client name fit for a log line: printable characters only, bounded. */
std::string cleanName(const char* text, int len) {
  std::string out;
  for (int i = 0; i < len && text[i] != '\0' && (int)out.size() < kNameMax; i++) {
    unsigned char c = (unsigned char)text[i];
    out += (c >= 32 && c <= 126) ? (char)c : '?';
  }
  return out;
}

class supervisor {
public:
  supervisor(const int* pTraceLevel, ErrTrcLog* pErrLog)
      : pTraceLevel(pTraceLevel), pErrLog(pErrLog),
        q(kQueueName, ".", kKeyByte, kRxCapacity, 1, pTraceLevel, pErrLog) {
    getTimeStamp(&started);
  }
  bool ok() const { return q.linkOk(); }
  void run();

private:
  void handle(int code);
  void onRegister(int32_t from);
  void onShutdown(int32_t from);
  void onAllData(int32_t from);
  void dropVanished();
  void notifyClients();
  std::string nameOf(int32_t id) const;

  const int* pTraceLevel;
  ErrTrcLog* pErrLog;
  msgQ_IO q;
  kvTimeStamp started;
  std::map<int32_t, hostClient> clients;
  bool shutdownReceived = false;
};

void supervisor::run() {
  TRACE(pTraceLevel, -1, "Supervisor ready on \"%s\" (keys 0x%x/0x%x)\n", kQueueName,
        (unsigned)q.rxQueue().key(), (unsigned)q.txQueue().key());
  deadlineTimer sweep;
  sweep.setPeriod(1.0f);
  while (!gStop && !shutdownReceived) {
    int code = q.msgQGetMsg();
    if (code != ipcMSG_NONE)
      handle(code);
    else
      usleep(kPollUs);
    if (sweep.checkAndRestart()) dropVanished();
  }
  if (gStop) TRACE(pTraceLevel, -1, "Supervisor stopped by signal\n");
  notifyClients();
}

void supervisor::handle(int code) {
  int32_t from = q.senderType();
  TRACE(pTraceLevel, 2, "Host Rxd Msg: %s from %i, Length=%i\n", ipcMsgName(code), from, q.payloadLen());
  switch (code) {
    case ipcMSG_REG_REQUEST: onRegister(from); break;
    case ipcMSG_REG_GOODBYE:
      TRACE(pTraceLevel, 1, "Goodbye from %i (%s)\n", from, nameOf(from).c_str());
      clients.erase(from);
      break;
    case ipcMSG_REG_SHUTDOWN: onShutdown(from); break;
    case ipcMSG_PING_REQ: q.ipcCopySendMsgConst(ipcMSG_PING_RESP, 0, from); break;
    case ipcMSG_PING_RESP: break;
    case ipcMSG_ALL_DATA_REQ: onAllData(from); break;
    default:
      TRACE(pTraceLevel, 0, "Supervisor: message type %i (%s) from %i ignored\n", code, ipcMsgName(code), from);
      break;
  }
}

void supervisor::onRegister(int32_t from) {
  TRACE(pTraceLevel, 1, "Registration request received from %i\n", from);
  if (clients.count(from) == 0 && (int)clients.size() >= kMaxClients) {
    TRACE(pTraceLevel, -1, "Registration of %i denied: %i clients already\n", from, kMaxClients);
    q.ipcCopySendMsgConst(ipcMSG_REG_DENY, 0, from);
    return;
  }
  q.ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, from);
  if (clients.count(from) != 0) return;
  hostClient c;
  c.id = from;
  getTimeStamp(&c.since);
  c.name = cleanName(q.payload(), q.payloadLen());
  clients[from] = c;
  TRACE(pTraceLevel, 0, "Client %i (%s) registered\n", from, c.name.c_str());
}

void supervisor::onShutdown(int32_t from) {
  std::string who = nameOf(from);
  TRACE(pTraceLevel, -1, "Shutdown requested by PID %i (%s)\n", from, who.c_str());
  if (pErrLog != nullptr) pErrLog->logMessage(LOG_NOTICE, "Shutdown requested by PID %i (%s)", from, who.c_str());
  clients.erase(from);
  shutdownReceived = true;
}

/* "All data resp": a few lines of state, NUL-terminated, cut to what one
** message carries. */
void supervisor::onAllData(int32_t from) {
  std::string text = "Supervisor PID=" + std::to_string(getpid()) +
                     "\nUptime=" + std::to_string((unsigned)elapsedSeconds(&started)) + " s" +
                     "\nClients=" + std::to_string(clients.size()) + "\n";
  for (const auto& kv : clients)
    text += "  " + std::to_string(kv.first) + " " + kv.second.name + ", " +
            std::to_string((unsigned)elapsedSeconds(&kv.second.since)) + " s\n";
  int room = q.maxPayload() - 1;
  if ((int)text.size() > room) text.resize(room > 0 ? room : 0);
  std::vector<char> msg(ipcENVELOPE_SIZE + text.size() + 1 + ipcSPARE_BYTES, '\0');
  memcpy(msg.data() + ipcENVELOPE_SIZE, text.data(), text.size());
  q.ipcCopySendMsg(ipcMSG_ALL_DATA_RESP, 0, msg.data(), (int)(ipcENVELOPE_SIZE + text.size() + 1), from);
}

/* A console killed without its goodbye would otherwise stay on the list,
** and the answers waiting for it would fill the queue every client shares. */
void supervisor::dropVanished() {
  for (auto it = clients.begin(); it != clients.end();) {
    if (kill(it->first, 0) != 0 && errno == ESRCH) {
      TRACE(pTraceLevel, 0, "Client %i (%s) vanished\n", it->first, it->second.name.c_str());
      q.txQueue().ClearQueue(it->first);
      it = clients.erase(it);
    } else {
      ++it;
    }
  }
}

void supervisor::notifyClients() {
  for (const auto& kv : clients) q.ipcCopySendMsgConst(ipcMSG_REG_SHUTDOWN, 0, kv.first);
}

std::string supervisor::nameOf(int32_t id) const {
  auto it = clients.find(id);
  return it == clients.end() ? std::string("unregistered") : it->second.name;
}

}  // namespace

int main(int argc, char** argv) {
  static int traceLevel = 0;
  cmdLine cl;
  int rc = cl.absorb(argc, argv, gSwitches);
  if (rc != cmdLine::ERR_NONE) {
    fprintf(stdout, "%s\n", cl.errorText());
    cl.printHelp(kHelpHeader);
    return 1;
  }
  if (cl.isPresent(SW_HELP)) {
    cl.printHelp(kHelpHeader);
    return 0;
  }
  if (cl.isPresent(SW_TRACE)) traceLevel = (int)cl.paramInt(SW_TRACE, 0);

  if (pErrTrcLog->setProgramDir(argv[0]) != 0) {
    fprintf(stderr, "%s: cannot tell the program's directory\n", argv[0]);
    return 1;
  }
  installStopSignals(onStopSignal);
  supervisor sup(&traceLevel, pErrTrcLog);
  if (!sup.ok()) {
    fprintf(stderr, "%s: cannot open the \"%s\" queues\n", argv[0], kQueueName);
    return 1;
  }
  sup.run();
  return 0;
}
