/*
** idleWatchBench: what watching the master costs while nobody edits.
**
** The real configuration master (cfgMaster.x, from this program's bin
** directory) runs on private queue keys.  Eight console-like clients in
** child processes register, subscribe to every item and then poll
** serviceCfg(0, 0) every 5 ms, as the display loop does, with the master
** watch on (a ping after 2 s of silence) and, for comparison, off.  Over a
** window of idle time each client counts the messages the master sent it
** (every one answers a ping of its own, so the pings it sent are the
** same number); the master's CPU time comes from /proc.
**
** Usage: idleWatchBench [window seconds per phase, default 30]
*/
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "bench/benchSupport.h"
#include "tests/support/testSupport.h"

namespace {

int gQuiet = 0;
const int kClients = 8;
const int kPollUs = 5000;

/* utime + stime of a process in seconds. */
double cpuSeconds(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
  FILE* f = fopen(path, "r");
  if (!f) return -1;
  char buf[1024];
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = '\0';
  const char* p = strrchr(buf, ')');  /* fields after the command name */
  unsigned long ut = 0, st = 0;
  if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &ut, &st) != 2)
    return -1;
  return (double)(ut + st) / (double)sysconf(_SC_CLK_TCK);
}

/* A console in a child: subscribed, then idle polling with or without the
** watch until stopFd is readable; writes the messages it received during
** the idle window to resultFd. */
void idleChild(bool watch, int readyFd, int stopFd, int resultFd) {
  dovidu_config* cfg = new dovidu_config(&gQuiet, pErrTrcLog);
  bool ok = cfg->initDataSet(&gQuiet, pErrTrcLog, 0, "doVA.x", 0, -1) == 0;
  if (ok) cfg->addAllItems(2);
  ok = ok && cfg->subscribeListSend() == 0;
  for (int i = 0; ok && i < 40; i++) {  /* the rest of a split answer */
    cfg->serviceCfg(0, 0);
    usleep(kPollUs);
  }
  char r = ok ? 'R' : 'F';
  if (write(readyFd, &r, 1) != 1 || !ok) _exit(1);
  cfg->watchMaster(watch);
  int32_t before = cfg->msgCount;
  for (;;) {
    cfg->serviceCfg(0, 0);
    struct pollfd p = {stopFd, POLLIN, 0};
    if (poll(&p, 1, 0) == 1) break;
    usleep(kPollUs);
  }
  int32_t got = cfg->msgCount - before;
  if (write(resultFd, &got, sizeof got) != sizeof got) _exit(1);
  delete cfg;
  _exit(0);
}
void idleChildWatching(int readyFd, int stopFd, int resultFd) { idleChild(true, readyFd, stopFd, resultFd); }
void idleChildQuiet(int readyFd, int stopFd, int resultFd) { idleChild(false, readyFd, stopFd, resultFd); }

/* One phase: kClients idle consoles for `seconds`.  Prints and returns
** false when a client could not subscribe. */
bool phase(bool watch, int seconds, pid_t master) {
  bench::childClients clients;
  bool ok = clients.start(kClients, watch ? idleChildWatching : idleChildQuiet);
  double cpu0 = cpuSeconds(master);
  auto t0 = std::chrono::steady_clock::now();
  if (ok) sleep((unsigned)seconds);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double cpu = cpuSeconds(master) - cpu0;
  long total = 0;
  int answered = 0;
  for (int32_t got : clients.finish()) {
    if (got < 0) continue;
    total += got;
    answered++;
  }
  if (!ok || answered != kClients) {
    printf("  watch %-3s: the clients could not all subscribe\n", watch ? "on" : "off");
    return false;
  }
  double perMin = (double)total / kClients * 60.0 / wall;
  printf("  watch %-3s: %d idle consoles, %.0f s: per console %.1f messages/min to the master "
         "and %.1f back; master CPU %.2f %% of a core\n",
         watch ? "on" : "off", kClients, wall, perMin, perMin, 100.0 * cpu / wall);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? atoi(argv[1]) : 30;
  if (seconds < 5) seconds = 5;
  signal(SIGPIPE, SIG_IGN);
  setvbuf(stdout, nullptr, _IOLBF, 0);
  bench::privateMaster m;
  if (!m.start("idleWatchBench")) return 1;
  printf("idle cost of the master watch (clients poll every 5 ms, ping after 2 s of silence)\n");
  bool ok = phase(true, seconds, m.proc.pid()) && phase(false, seconds, m.proc.pid());
  return ok ? 0 : 1;
}
