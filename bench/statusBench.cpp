/*
** statusBench: what live status costs the console unit and the writer.
**
**   idle pass, nothing new   seven channel polls that find no new record
**   idle pass, all new       seven polls, each handing a record over
**   draw <screen>            one draw of each status screen, 20 x 3
**   statusWriter.x           CPU share of one core at default rates
**
** Usage: statusBench [iterations] [writer seconds]   (defaults 200000, 5)
*/
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/statusAccess.h"
#include "menu/statusScreens.h"
#include "menu/treeDefs.h"
#include "status/kvSharedMem.h"
#include "status/statusRecords.h"

static double nowSec() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

static void fillRegion(kvSharedMem& w) {
  for (int ch = 0; ch < shmNUM_CHANNELS; ch++) {
    unsigned char* s = w.nextSlot(ch);
    memset(s, 0, size_t(w.channel(ch)->slotSize));
    w.commit(ch);
  }
  srAudioLevels lv;
  for (int i = 0; i < 2; i++) {
    lv.analogAverage[i] = lv.digitalAverage[i] = 0.01f;
    lv.analogPeak[i] = lv.digitalPeak[i] = 0.2f;
  }
  srEncodeAudioLevels(w.nextSlot(shmCH_AUDIO_LEVELS), lv);
  w.commit(shmCH_AUDIO_LEVELS);
  srGps g{0x00ff00ffu, 390991234, -945781234, 6, true, 5};
  srEncodeGps(w.nextSlot(shmCH_GPS), g);
  w.commit(shmCH_GPS);
  unsigned char* a = w.nextSlot(shmCH_AUDIO_STATUS);
  strcpy(reinterpret_cast<char*>(a), "Input   Analog L+R\nAnalog  OK\nDigital OK");
  a[srAUDIO_RAMPING] = 1;
  srPutF32LE(a, srDELAY_CURRENT, 3.5f);
  w.commit(shmCH_AUDIO_STATUS);
  unsigned char* t = w.nextSlot(shmCH_ALARMS);
  for (int i = 0; i < srALARMS_TEXT_MAX; i++) t[i] = (i % 9 == 8) ? ' ' : char('a' + i % 26);
  t[srALARMS_TEXT_MAX] = 0;
  w.commit(shmCH_ALARMS);
  unsigned char* v = w.nextSlot(shmCH_VERSIONS);
  for (int i = 0; i < srVERSION_COUNT; i++) snprintf(reinterpret_cast<char*>(v) + 32 * i, 32, "Part %d 1.2.%d", i, i);
  w.commit(shmCH_VERSIONS);
}

static void benchPolls(kvSharedMem& w, kvSharedMem& r, int iters) {
  statusScreens s;
  pollStatusChannels(r, s);
  double t0 = nowSec();
  int seen = 0;
  for (int i = 0; i < iters; i++) seen += pollStatusChannels(r, s);
  double idle = (nowSec() - t0) / iters;
  /* All seven new each pass: the writer's commits are timed apart. */
  static const int chans[] = {0, 1, 2, 3, 4, 5, 7};
  double commitTime = 0, pollTime = 0;
  for (int i = 0; i < iters / 10; i++) {
    double c0 = nowSec();
    for (int ch : chans) w.commit(ch);
    double c1 = nowSec();
    seen += pollStatusChannels(r, s);
    pollTime += nowSec() - c1;
    commitTime += c1 - c0;
  }
  printf("idle pass, nothing new     %8.3f us\n", idle * 1e6);
  printf("idle pass, all seven new   %8.3f us (poll and hand-over)\n", pollTime / (iters / 10) * 1e6);
  printf("writer commit, one record  %8.3f us\n", commitTime / (iters / 10) / 7 * 1e6);
  if (seen < 0) puts("");
}

static void benchDraws(const char* region, int iters) {
  kvSharedMem r;  /* a fresh reader: its first poll takes every record */
  statusScreens s;
  if (r.initSharedMem(nullptr, false, region) != 0 || pollStatusChannels(r, s) != 7) {
    puts("draw: no records");
    return;
  }
  char buf[3][21];
  char* rows[3] = {buf[0], buf[1], buf[2]};
  struct screenRow {
    int id;
    const char* name;
  };
  static const screenRow screens[] = {
      {330, "digital levels"}, {331, "analog levels"}, {334, "GPS"}, {335, "date and time"},
      {339, "audio status"},   {341, "delay monitor"},  {342, "Ethernet 0 (ioctl)"},
      {336, "version text"},   {345, "alarms text 4 KB"}, {-1, nullptr}};
  for (const screenRow* sc = screens; sc->id >= 0; sc++) {
    int n = sc->id == 342 ? iters / 20 : iters / 4;
    s.enterScreen(sc->id);
    double t0 = nowSec();
    for (int i = 0; i < n; i++) s.draw(sc->id, rows, 3, 20);
    double us = (nowSec() - t0) / n * 1e6;
    printf("draw %-22s%8.3f us   |%s|\n", sc->name, us, buf[0]);
  }
}

/* Run the writer at default rates for `seconds` and read its CPU time. */
static void benchWriter(const char* self, double seconds) {
  std::string dir(self);
  size_t slash = dir.rfind('/');
  dir = slash == std::string::npos ? "." : dir.substr(0, slash);
  std::string prog = dir + "/statusWriter.x";
  char name[64], secs[32];
  snprintf(name, sizeof name, "/statusBench.%d", int(getpid()));
  snprintf(secs, sizeof secs, "%g", seconds);
  pid_t pid = fork();
  if (pid == 0) {
    execl(prog.c_str(), prog.c_str(), "-shm", name, "-t", secs, "-q", "-unlink", (char*)nullptr);
    _exit(127);
  }
  int st = 0;
  struct rusage ru;
  if (pid < 0 || wait4(pid, &st, 0, &ru) != pid || !WIFEXITED(st) || WEXITSTATUS(st) != 0) {
    printf("statusWriter.x could not run (%s)\n", prog.c_str());
    kvSharedMem::unlinkRegion(name);
    return;
  }
  double cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
               double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
  printf("statusWriter.x, %g s at default rates: %.3f s CPU = %.3f %% of a core\n", seconds, cpu,
         cpu / seconds * 100);
}

int main(int argc, char** argv) {
  int iters = argc > 1 ? atoi(argv[1]) : 200000;
  double writerSeconds = argc > 2 ? atof(argv[2]) : 5;
  if (iters < 100) iters = 100;
  char name[64];
  snprintf(name, sizeof name, "/statusBenchRegion.%d", int(getpid()));
  kvSharedMem w, r;
  if (w.initSharedMem(nullptr, true, name) != 0 || r.initSharedMem(nullptr, false, name) != 0) {
    kvSharedMem::unlinkRegion(name);
    return 1;
  }
  fillRegion(w);
  benchPolls(w, r, iters);
  fillRegion(w);  /* the poll bench left the rings on blank slots */
  benchDraws(name, iters);
  kvSharedMem::unlinkRegion(name);
  if (writerSeconds > 0) benchWriter(argv[0], writerSeconds);
  return 0;
}
