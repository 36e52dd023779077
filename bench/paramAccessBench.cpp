/*
** paramAccessBench: what an operator's "doVA.x -v" / "-s" costs, and what
** the configuration master costs the box.
**
** Runs the real cfgMaster.x and doVA.x of this program's bin directory on
** private queue keys and a private status region, and prints:
**   - wall time of "doVA.x -v SystemName" (median, p90 of N runs)
**   - wall time of "doVA.x -s SystemName ..." (its 100 ms echo wait included)
**   - master start-up with a full kvPrimeConfig.cfg (spawn to "ready")
**   - master CPU while idle with one client polling every 5 ms
**   - resident memory: master (VmHWM) and console (max RSS of the runs)
**
** Usage: paramAccessBench [runs, default 30] [idle seconds, default 5]
*/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "status/kvSharedMem.h"
#include "bench/benchSupport.h"
#include "tests/support/testSupport.h"

extern char** environ;

namespace {

double nowMs() {
  using namespace std::chrono;
  return (double)duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() /
         1000.0;
}

/* Spawn with stdout/stderr to /dev/null, wait; wall ms, max RSS in KiB. */
double runTimed(const std::vector<std::string>& argv, long* maxRssKb) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  double t0 = nowMs();
  pid_t pid;
  if (posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) return -1;
  int st;
  struct rusage ru;
  wait4(pid, &st, 0, &ru);
  double ms = nowMs() - t0;
  posix_spawn_file_actions_destroy(&fa);
  if (maxRssKb && ru.ru_maxrss > *maxRssKb) *maxRssKb = ru.ru_maxrss;
  return ms;
}

struct stats {
  double median, p90, min;
};

stats summarize(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[(v.size() * 9) / 10], v.front()};
}

long procField(pid_t pid, const char* field) {
  std::string s = testsup::readFile("/proc/" + std::to_string(pid) + "/status");
  size_t at = s.find(field);
  return at == std::string::npos ? -1 : atol(s.c_str() + at + strlen(field));
}

double cpuSeconds(pid_t pid) {
  std::string s = testsup::readFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = s.rfind(')');
  if (close == std::string::npos) return 0;
  /* fields after the command: state(3) ... utime(14) stime(15) */
  const char* p = s.c_str() + close + 2;
  unsigned long ut = 0, st = 0;
  for (int field = 3; field < 14 && *p; field++) p = strchr(p, ' ') + 1;
  sscanf(p, "%lu %lu", &ut, &st);
  return (double)(ut + st) / (double)sysconf(_SC_CLK_TCK);
}

struct benchSystem {
  testsup::BinDir bin;
  testsup::TempDir work;
  testsup::ShmName shm;
  kvSharedMem status;
  testsup::Proc master;

  bool startMaster(testsup::Proc& m, double* readyMs) {
    double t0 = nowMs();
    if (!m.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"})) return false;
    for (int i = 0; i < 5000; i++) {
      if (m.out().find("configuration master ready") != std::string::npos) {
        if (readyMs) *readyMs = nowMs() - t0;
        return true;
      }
      usleep(200);
    }
    return false;
  }
};

void printStats(const char* what, const stats& s, const char* target) {
  printf("%-44s median %7.2f ms  p90 %7.2f ms  min %7.2f ms  (%s)\n", what, s.median, s.p90,
         s.min, target);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? atoi(argv[1]) : 30;
  int idleSec = argc > 2 ? atoi(argv[2]) : 5;
  if (runs < 3) runs = 3;
  setenv("DOVA_TEST_BIN_DIR", bench::binDirOfSelf().c_str(), 1);
  benchSystem sys;
  std::string doVA = sys.bin.link("doVA.x");
  sys.bin.link("cfgMaster.x");
  if (sys.status.initSharedMem(nullptr, true, sys.shm.c_str()) != 0) return 1;
  setenv("DOVA_STATUS_SHM", sys.shm.c_str(), 1);
  if (!sys.startMaster(sys.master, nullptr)) {
    fprintf(stderr, "master did not start\n");
    return 1;
  }

  long consoleRss = 0;
  std::vector<double> view, set;
  runTimed({doVA, "-v", "SystemName"}, nullptr); /* warm the page cache */
  for (int i = 0; i < runs; i++) view.push_back(runTimed({doVA, "-v", "SystemName"}, &consoleRss));
  for (int i = 0; i < runs; i++)
    set.push_back(runTimed({doVA, "-s", "SystemName", "Bench " + std::to_string(i)}, &consoleRss));
  printStats("doVA.x -v SystemName", summarize(view), "target <= 20 ms");
  printStats("doVA.x -s SystemName (100 ms echo wait)", summarize(set), "100 ms wait included");

  /* one client polling as the display loop does, master otherwise idle */
  int level = 0;
  pErrTrcLog->setProgramDir(sys.bin.prog("bench").c_str());
  dovidu_config client(&level, pErrTrcLog);
  if (client.initDataSet(&level, pErrTrcLog, 0, "bench", 0, -1) == 0) {
    client.addAllItems(2);
    client.subscribeListSend();
  }
  usleep(500 * 1000); /* let the master fall back to its idle pace */
  double c0 = cpuSeconds(sys.master.pid()), t0 = nowMs();
  while (nowMs() - t0 < idleSec * 1000.0) {
    client.serviceCfg(0, 0);
    usleep(5000);
  }
  double cpu = (cpuSeconds(sys.master.pid()) - c0) / ((nowMs() - t0) / 1000.0) * 100.0;
  printf("%-44s %6.2f %% of a core over %d s  (target <= 1 %%)\n",
         "master CPU idle, one client polling", cpu, idleSec);

  long masterHwm = procField(sys.master.pid(), "VmHWM:");
  printf("%-44s %6ld KiB  (target <= 4096 KiB)\n", "master resident memory (VmHWM)", masterHwm);
  printf("%-44s %6ld KiB  (target <= 6144 KiB)\n", "console resident memory (max RSS)",
         consoleRss);
  sys.master.stop(3000);

  /* start-up with the full file the runs above left */
  std::vector<double> starts;
  for (int i = 0; i < 10; i++) {
    testsup::Proc p;
    double ms = 0;
    if (!sys.startMaster(p, &ms)) break;
    starts.push_back(ms);
    p.stop(3000);
  }
  if (!starts.empty())
    printStats("master start-up, full file (spawn to ready)", summarize(starts), "10 starts");
  return 0;
}
