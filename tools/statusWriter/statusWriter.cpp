/*
** statusWriter.x: stands in for the exporter side of the box.  It opens the
** shared status region as its writer and keeps committing live-looking
** records: audio levels about ten times a second, the slower records once a
** second, the version texts once, and the status-and-alarms text whenever
** a fault starts.
**
** It sleeps until the next record is due, so it costs next to nothing.
** SIGTERM or SIGINT ends it with status 0.  The region stays behind (the
** console unit keeps reading it) unless -unlink is given.
*/
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "diag/stopSignals.h"
#include "diag/sysPaths.h"
#include "status/kvSharedMem.h"
#include "status/statusRecords.h"
#include "tools/statusWriter/statusSim.h"

namespace {

struct writerOptions {
  double levelRate;
  double slowRate;
  double runTime;
  double unlink;
  double quiet;
  double seed;
  const char* shmName;
  simScenario sc;
};

/* Switch table: a numeric switch stores into `value` within min..max; a
** flag (takesValue 0) stores 1.  Ends with a row of takesValue -1. */
struct switchRow {
  const char* name;
  int takesValue;
  double writerOptions::*field;
  double simScenario::*scField;
  double min, max;
  const char* help;
};

const switchRow switchTable[] = {
    {"-r", 1, &writerOptions::levelRate, nullptr, 0.1, 100, "HZ  audio level records per second (10)"},
    {"-s", 1, &writerOptions::slowRate, nullptr, 0.1, 20, "HZ  GPS, audio, system, IF records per second (1)"},
    {"-t", 1, &writerOptions::runTime, nullptr, 0, 1e7, "SEC run time, 0 = until a signal (0)"},
    {"-lock", 1, nullptr, &simScenario::gpsLockAfter, 0, 1e7, "SEC GPS acquiring time before the PLL aligns (3)"},
    {"-gpslost", 1, nullptr, &simScenario::gpsLostAt, 0, 1e7, "SEC lose GPS at this time"},
    {"-audiofault", 1, nullptr, &simScenario::audioFaultAt, 0, 1e7, "SEC lose the analog audio input"},
    {"-dspfault", 1, nullptr, &simScenario::dspFaultAt, 0, 1e7, "SEC report a DSP hardware fault"},
    {"-ramp", 1, nullptr, &simScenario::rampTarget, 0, 100, "SEC ramp the diversity delay to this target"},
    {"-rampat", 1, nullptr, &simScenario::rampAt, 0, 1e7, "SEC when the ramp starts (2)"},
    {"-ramprate", 1, nullptr, &simScenario::rampRate, 0.001, 100, "R   delay change per second (0.25)"},
    {"-seed", 1, &writerOptions::seed, nullptr, 1, 4294967295.0, "N   seed of the level wobble (1)"},
    {"-unlink", 0, &writerOptions::unlink, nullptr, 0, 1, "    remove the region at exit"},
    {"-q", 0, &writerOptions::quiet, nullptr, 0, 1, "    no progress lines"},
    {nullptr, -1, nullptr, nullptr, 0, 0, nullptr},
};

void usage(FILE* f) {
  fprintf(f, "usage: statusWriter.x [-shm NAME] [switches]\n"
             "Writes live-looking records into the shared status region.\n"
             "  -shm NAME   region name (default $DOVA_STATUS_SHM or /kvMainStatusShare)\n");
  for (const switchRow* r = switchTable; r->takesValue >= 0; r++)
    fprintf(f, "  %-11s %s\n", r->name, r->help);
  fprintf(f, "  -h          this help\n");
}

/* 0 parsed, 1 help shown, 2 bad command line (message printed). */
int parseArgs(int argc, char** argv, writerOptions* o) {
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
      usage(stdout);
      return 1;
    }
    if (!strcmp(a, "-shm")) {
      if (i + 1 >= argc || argv[i + 1][0] != '/' || strlen(argv[i + 1]) > 200) {
        fprintf(stderr, "statusWriter: -shm needs a name starting with '/'\n");
        return 2;
      }
      o->shmName = argv[++i];
      continue;
    }
    const switchRow* r = switchTable;
    while (r->takesValue >= 0 && strcmp(r->name, a)) r++;
    if (r->takesValue < 0) {
      fprintf(stderr, "statusWriter: unknown switch %s (-h for help)\n", a);
      return 2;
    }
    double v = 1;
    if (r->takesValue) {
      char* end = nullptr;
      v = i + 1 < argc ? strtod(argv[i + 1], &end) : 0;
      if (i + 1 >= argc || end == argv[i + 1] || *end || !(v >= r->min && v <= r->max)) {
        fprintf(stderr, "statusWriter: %s needs a number from %g to %g\n", a, r->min, r->max);
        return 2;
      }
      i++;
    }
    if (r->field) o->*(r->field) = v;
    else o->sc.*(r->scField) = v;
  }
  return 0;
}

volatile sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

double monoNow() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void sleepUntil(double startMono, double t) {
  double d = t - (monoNow() - startMono);
  if (d <= 0) return;
  struct timespec ts;
  ts.tv_sec = time_t(d);
  ts.tv_nsec = long((d - double(ts.tv_sec)) * 1e9);
  nanosleep(&ts, nullptr);  /* a signal cuts it short: the loop looks again */
}

/* Fill the next slot of a channel with `fill` and commit it. */
template <class F>
void put(kvSharedMem& shm, int channel, F fill) {
  unsigned char* slot = shm.nextSlot(channel);
  if (!slot) return;
  fill(slot);
  shm.commit(channel);
}

void commitSlow(kvSharedMem& shm, statusSim& sim) {
  put(shm, shmCH_AUDIO_STATUS, [&](unsigned char* s) { sim.fillAudioStatus(s); });
  put(shm, shmCH_GPS, [&](unsigned char* s) { sim.fillGps(s); });
  put(shm, shmCH_SYSTEM, [&](unsigned char* s) { sim.fillSystem(s); });
  put(shm, shmCH_IF_BOARD, [&](unsigned char* s) { sim.fillIfBoard(s); });
}

void commitAlarms(kvSharedMem& shm, statusSim& sim) {
  put(shm, shmCH_ALARMS, [&](unsigned char* s) { sim.fillAlarms(s); });
}

/* Next due time after `due`, not piling up when the loop fell behind. */
double advanceDue(double due, double period, double t) {
  due += period;
  return due < t ? t + period : due;
}

int run(const writerOptions& o) {
  kvSharedMem shm;
  if (shm.initSharedMem(nullptr, true, o.shmName) != 0) {
    fprintf(stderr, "statusWriter: cannot create the status region %s\n", o.shmName);
    return 1;
  }
  simScenario sc = o.sc;
  sc.seed = uint32_t(o.seed);
  statusSim sim(sc);
  double start = monoNow();
  put(shm, shmCH_VERSIONS, [&](unsigned char* s) { sim.fillVersions(s); });
  put(shm, shmCH_AUDIO_LEVELS, [&](unsigned char* s) { sim.fillAudioLevels(s); });
  commitSlow(shm, sim);
  commitAlarms(shm, sim);
  if (!o.quiet) printf("statusWriter: writing %s\n", o.shmName);
  fflush(stdout);

  double levelPeriod = 1.0 / o.levelRate, slowPeriod = 1.0 / o.slowRate;
  double nextLevel = levelPeriod, nextSlow = slowPeriod;
  std::string lastAlarms = sim.alarmsText();
  while (!stopRequested) {
    double t = monoNow() - start;
    if (o.runTime > 0 && t >= o.runTime) break;
    sim.advance(t);
    if (t >= nextLevel) {
      put(shm, shmCH_AUDIO_LEVELS, [&](unsigned char* s) { sim.fillAudioLevels(s); });
      /* A ramp shows smoothly: the delay record follows the level pace. */
      if (sim.ramping()) put(shm, shmCH_AUDIO_STATUS, [&](unsigned char* s) { sim.fillAudioStatus(s); });
      nextLevel = advanceDue(nextLevel, levelPeriod, t);
    }
    if (t >= nextSlow) {
      commitSlow(shm, sim);
      nextSlow = advanceDue(nextSlow, slowPeriod, t);
    }
    if (sim.alarmsText() != lastAlarms) {
      lastAlarms = sim.alarmsText();
      commitAlarms(shm, sim);
      commitSlow(shm, sim);
      if (!o.quiet) printf("statusWriter: alarms changed at %.1f s\n", t);
      fflush(stdout);
    }
    double due = nextLevel < nextSlow ? nextLevel : nextSlow;
    if (o.runTime > 0 && o.runTime < due) due = o.runTime;
    sleepUntil(start, due);
  }
  if (o.unlink) kvSharedMem::unlinkRegion(o.shmName);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  writerOptions o;
  o.levelRate = 10;
  o.slowRate = 1;
  o.runTime = 0;
  o.unlink = 0;
  o.quiet = 0;
  o.seed = 1;
  o.shmName = statusShmName();
  simDefaultScenario(&o.sc);
  int p = parseArgs(argc, argv, &o);
  if (p) return p == 1 ? 0 : 2;

  installStopSignals(onSignal);
  return run(o);
}
