/*
** cfgEchoBench: how long a console waits to see its own change come back.
**
** The real configuration master (cfgMaster.x, from this program's bin
** directory) runs on private queue keys.  One measuring client sends a
** change request for SYSTEM_NAME and polls serviceCfg(0, 0) with a 5 ms
** sleep, as the console's display loop does, until the master's export
** carries the new value back.  1, 8 and 32 clients are subscribed (the
** others poll the same way and count every change they receive: with 32,
** every client must get every change).  Two paces: back-to-back changes
** (20 ms apart, the master stays in its busy pacing) and sporadic ones
** (300 ms apart, the master has gone idle, as with an operator's edits).
**
** Usage: cfgEchoBench [changes per pace, default 100]
*/
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "bench/benchSupport.h"
#include "tests/support/testSupport.h"

namespace {

int gQuiet = 0;
const char kItem[] = "SYSTEM_NAME";
const int kPollUs = 5000;

double nowMs() {
  using namespace std::chrono;
  return (double)duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() / 1000.0;
}

std::string itemText(dovidu_config& cfg) {
  char buf[300];
  data_itm_Base* it = cfg.findItem(kItem);
  if (it == nullptr) return "";
  it->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
  return buf;
}

/* A console-like client: registered and subscribed, or null. */
dovidu_config* subscribedClient() {
  dovidu_config* cfg = new dovidu_config(&gQuiet, pErrTrcLog);
  if (cfg->initDataSet(&gQuiet, pErrTrcLog, 0, "doVA.x", 0, -1) != 0) {
    delete cfg;
    return nullptr;
  }
  cfg->addAllItems(2);
  if (cfg->subscribeListSend() != 0) {
    delete cfg;
    return nullptr;
  }
  return cfg;
}

/* A subscriber in a child: polls every 5 ms until stopFd reaches EOF, then
** writes the number of SYSTEM_NAME changes it saw to resultFd. */
void subscriberChild(int readyFd, int stopFd, int resultFd) {
  dovidu_config* cfg = subscribedClient();
  char r = cfg ? 'R' : 'F';
  if (write(readyFd, &r, 1) != 1 || cfg == nullptr) _exit(1);
  data_itm_Base* it = cfg->findItem(kItem);
  int32_t base = it->changeCount;
  double t0 = nowMs();
  for (;;) {
    while (cfg->serviceCfg(0, 0) != 0) {
    }
    struct pollfd p = {stopFd, POLLIN, 0};
    if (poll(&p, 1, 0) == 1 || nowMs() - t0 > 300000) break;
    usleep(kPollUs);
  }
  for (int i = 0; i < 40; i++) {  /* take what is still on its way */
    cfg->serviceCfg(0, 0);
    usleep(kPollUs);
  }
  int32_t seen = it->changeCount - base;
  if (write(resultFd, &seen, sizeof seen) != sizeof seen) _exit(1);
  delete cfg;  /* goodbye */
  _exit(0);
}

/* Subscribers in children; the fewest changes any of them saw (INT_MAX
** for none, -1 when one did not answer). */
struct subscribers : bench::childClients {
  bool start(int count) { return childClients::start(count, subscriberChild); }
  int finish() {
    int fewest = INT_MAX;
    for (int32_t seen : childClients::finish()) fewest = seen < 0 ? -1 : std::min(fewest, (int)seen);
    return fewest;
  }
};

void report(const char* what, std::vector<double>& ms, int lost) {
  if (ms.empty()) {
    printf("  %-30s no samples\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  printf("  %-30s n=%4zu  median %6.2f ms  p99 %6.2f ms  max %6.2f ms%s\n", what, ms.size(),
         ms[ms.size() / 2], ms[std::min(ms.size() - 1, (size_t)(ms.size() * 0.99))], ms.back(),
         lost ? "  (echoes lost!)" : "");
}

/* `count` changes `gapMs` apart; each one's echo time in ms. */
void echoes(dovidu_config& cfg, int count, int gapMs, int nClients, const char* pace, int* serial) {
  std::vector<double> ms;
  int lost = 0;
  for (int i = 0; i < count; i++) {
    char value[64];
    snprintf(value, sizeof value, "echo %d", ++*serial);
    double t0 = nowMs();
    cfg.sendChangeRequest(kItem, value, true);
    bool back = false;
    while (!back && nowMs() - t0 < 3000) {
      while (cfg.serviceCfg(0, 0) != 0) {
      }
      back = itemText(cfg) == value;
      if (!back) usleep(kPollUs);
    }
    if (back)
      ms.push_back(nowMs() - t0);
    else
      lost++;
    usleep(gapMs * 1000);
  }
  char what[80];
  snprintf(what, sizeof what, "%2d client%s, %s", nClients, nClients > 1 ? "s" : " ", pace);
  report(what, ms, lost);
}

}  // namespace

int main(int argc, char** argv) {
  int changes = argc > 1 ? atoi(argv[1]) : 100;
  if (changes < 5) changes = 5;
  signal(SIGPIPE, SIG_IGN);  /* a subscriber that died must not take us along */
  setvbuf(stdout, nullptr, _IOLBF, 0);
  bench::privateMaster m;
  if (!m.start("cfgEchoBench")) return 1;
  printf("change echo: request -> master -> export back, client polling every 5 ms\n");
  int serial = 0, rc = 0;
  const int counts[] = {1, 8, 32};
  for (int n : counts) {
    subscribers others;
    dovidu_config* cfg = others.start(n - 1) ? subscribedClient() : nullptr;
    if (cfg == nullptr) {
      printf("  %2d clients: could not subscribe them all\n", n);
      others.finish();
      rc = 1;
      continue;
    }
    int before = serial;
    echoes(*cfg, changes, 20, n, "back-to-back (20 ms apart)", &serial);
    echoes(*cfg, std::max(5, changes / 3), 300, n, "sporadic (300 ms apart)", &serial);
    delete cfg;
    int fewest = others.finish();
    if (n > 1)
      printf("  %2d clients: every other subscriber received %s of the %d changes (fewest: %d)\n", n,
             fewest == serial - before ? "all" : "NOT all", serial - before, fewest);
    if (n > 1 && fewest != serial - before) rc = 1;
  }
  return rc;
}
