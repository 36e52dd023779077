/*
** The configuration master's loop, in pieces a test can drive:
**
**   servicePass    hand every waiting message to the library (bounded per
**                  pass) and give pending exports the idle calls that
**                  release them
**   pollPacer      how long to sleep before the next pass: short while
**                  traffic flows, longer when idle, so an answer is fast and
**                  an idle master costs almost nothing
**   delayedWriter  writes a modified file at most its delay (2 s) after
**                  the last change of any of its items and at most 5 s
**                  after its first unsaved change, whichever comes first,
**                  so a steady trickle of changes cannot postpone the write
**                  for ever: a crash of the master loses at most the
**                  changes of the last 5 s.  Everything pending is written
**                  at shutdown.
**
** Times are monotonic milliseconds (msNow()); differences are taken in
** unsigned arithmetic, so the 49-day wrap does no harm.
*/
#ifndef TOOLS_CFGMASTER_MASTERLOOP_H
#define TOOLS_CFGMASTER_MASTERLOOP_H

#include <cstdint>
#include <vector>

class generic_cfg;

uint32_t msNow();

/* Messages handled in one pass at most, so a flood of requests cannot
** starve the file writer and the stop flag. */
enum { passMAX_MESSAGES = 64 };

/* One pass of the master: serviceCfg(0, 0) until nothing waits (at most
** maxMessages), then, when exports are pending, the idle calls after which
** the library sends them.  Returns the messages handled; *pings (when
** given) grows by the pings among them. */
int servicePass(generic_cfg& cfg, int maxMessages = passMAX_MESSAGES, int* pings = nullptr);

class pollPacer {
public:
  enum {
    BUSY_US = 1000,         /* sleep while traffic flows */
    IDLE_US = 5000,         /* sleep when nothing came for a while */
    ACTIVE_WINDOW_MS = 250  /* "a while" */
  };
  /* After a pass that handled `handled` messages at time nowMs: the sleep
  ** before the next pass, in microseconds (0: more may be waiting). */
  int afterPass(int handled, bool passFull, uint32_t nowMs);

private:
  bool seenTraffic = false;
  uint32_t lastTrafficMs = 0;
};

class delayedWriter {
public:
  enum { MAX_UNSAVED_MS = 5000 }; /* the promise: no change waits longer */
  explicit delayedWriter(generic_cfg& cfg);
  /* Book the changes since the last call against their files' clocks. */
  void noteChanges(uint32_t nowMs);
  /* Write each modified file whose last change is at least its delay old
  ** or whose first unsaved change is MAX_UNSAVED_MS old.  A failed write
  ** (the library names its cause) is tried again on the file's next
  ** change.  Returns files written. */
  int writeDue(uint32_t nowMs);
  /* Write every modified file now; returns the files that failed. */
  int writeAllModified();
  /* The values in memory are what the files hold: clear every modified
  ** flag and the changes booked so far (after reading the files). */
  void acceptCurrent();

private:
  struct fileClock {
    bool unsaved = false; /* changes booked since the last write */
    bool failed = false;  /* the last write failed: wait for a change */
    uint32_t firstMs = 0; /* first unsaved change */
    uint32_t lastMs = 0;  /* last change */
  };
  generic_cfg& cfg;
  std::vector<fileClock> clocks; /* by file number */
  int fileNumberOf(const void* file) const;
};

#endif
