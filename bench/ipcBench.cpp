/*
** ipcBench: the raw round trip of the queue transport on this machine.
**
** A forked master echoes every data message back to its sender; the client
** sends, polls without sleeping (sched_yield between looks) until the echo
** is back, and records the time.  Payloads of 0, 1000 and the largest size
** one message carries.  Prints median, p99 and max in microseconds.
**
** The queues are keyed on a private temporary directory and removed at the
** end.  Usage: ipcBench [iterations per size, default 2000]
*/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <signal.h>
#include <string>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ipc/msgQ_IO.h"

namespace {

int gQuiet = 0;
const int kKeyByte = 65;

double nowUs() {
  using namespace std::chrono;
  return (double)duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 1000.0;
}

/* The echoing master: grants, echoes code 8 with its payload, stops on 5
** or after 10 s without traffic. */
void echoMaster(const char* dir, int readyFd) {
  msgQ_IO m("bench", dir, kKeyByte, 10000, 1, &gQuiet, nullptr);
  char ok = m.linkOk() ? 'R' : 'F';
  if (write(readyFd, &ok, 1) != 1) _exit(2);
  std::vector<char> out(m.maxPayload() + 64);
  double lastSeen = nowUs();
  while (nowUs() - lastSeen < 10e6) {
    int code = m.msgQGetMsg();
    if (code == ipcMSG_NONE) {
      sched_yield();
      continue;
    }
    lastSeen = nowUs();
    int32_t from = m.senderType();
    if (code == ipcMSG_REG_REQUEST) m.ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, from);
    if (code == ipcMSG_REG_SHUTDOWN) _exit(0);
    if (code == ipcMSG_DATA) {
      memcpy(out.data() + ipcENVELOPE_SIZE, m.payload(), m.payloadLen());
      m.ipcCopySendMsg(ipcMSG_DATA, 0, out.data(), ipcENVELOPE_SIZE + m.payloadLen(), from);
    }
  }
  _exit(1);
}

/* Wait (spinning) for `code`; false after one second. */
bool spinFor(msgQ_IO& q, int code) {
  double t0 = nowUs();
  while (nowUs() - t0 < 1e6) {
    if (q.msgQGetMsg() == code) return true;
    sched_yield();
  }
  return false;
}

void report(const char* what, std::vector<double>& us, int lost) {
  if (us.empty()) {
    printf("%-28s no samples (%d lost)\n", what, lost);
    return;
  }
  std::sort(us.begin(), us.end());
  double med = us[us.size() / 2];
  double p99 = us[std::min(us.size() - 1, (size_t)(us.size() * 0.99))];
  printf("%-28s n=%5zu  median %8.1f us  p99 %8.1f us  max %8.1f us%s\n", what, us.size(), med, p99,
         us.back(), lost ? "  (lost replies!)" : "");
}

void roundTrips(msgQ_IO& client, int payload, int iterations) {
  std::vector<char> msg(ipcENVELOPE_SIZE + payload + ipcSPARE_BYTES, 'p');
  std::vector<double> us;
  int lost = 0;
  for (int i = 0; i < iterations + 50; i++) {
    double t0 = nowUs();
    if (client.ipcSendMsg(ipcMSG_DATA, 0, msg.data(), ipcENVELOPE_SIZE + payload) != 0 ||
        !spinFor(client, ipcMSG_DATA)) {
      lost++;
      continue;
    }
    if (i >= 50) us.push_back(nowUs() - t0);  /* the first 50 warm up */
  }
  char what[64];
  snprintf(what, sizeof what, "round trip, %5d-byte payload", payload);
  report(what, us, lost);
}

}  // namespace

int main(int argc, char** argv) {
  int iterations = argc > 1 ? atoi(argv[1]) : 2000;
  if (iterations < 10) iterations = 10;
  char dir[] = "/tmp/ipcBench.XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    perror("mkdtemp");
    return 1;
  }
  int fds[2];
  if (pipe(fds) != 0) return 1;
  fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    echoMaster(dir, fds[1]);
  }
  close(fds[1]);
  char ready = 0;
  int rc = 1;
  if (read(fds[0], &ready, 1) == 1 && ready == 'R') {
    msgQ_IO client("bench client", dir, kKeyByte, 10000, 0, &gQuiet, nullptr);
    if (client.linkOk() && spinFor(client, ipcMSG_REG_GRANT)) {
      printf("queue round trip (client -> master -> client, both polling), %d iterations\n", iterations);
      roundTrips(client, 0, iterations);
      roundTrips(client, 1000, iterations);
      roundTrips(client, client.maxPayload(), iterations);
      rc = 0;
    } else {
      fprintf(stderr, "ipcBench: no registration grant\n");
    }
    client.ipcSendMsgConst(ipcMSG_REG_SHUTDOWN, 0);
    int st = 0;
    for (int i = 0; i < 200 && waitpid(child, &st, WNOHANG) == 0; i++) usleep(5000);
    kill(child, SIGKILL);
    waitpid(child, &st, 0);
    msgctl(client.txQueue().queueId(), IPC_RMID, nullptr);
    msgctl(client.rxQueue().queueId(), IPC_RMID, nullptr);
  } else {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  close(fds[0]);
  rmdir(dir);
  return rc;
}
