/*
** The configuration master's loop pieces: message passes, poll pacing and
** the delayed file writer.  See masterLoop.h.
*/
#include "tools/cfgMaster/masterLoop.h"

#include "config/genericConfig.h"
#include "diag/cppUtils.h"
#include "ipc/msgQ_IO.h"

uint32_t msNow() {
  kvTimeStamp t;
  getTimeStamp(&t);
  return t.sec * 1000u + t.usec / 1000u;
}

/* The library exports only on its fourth call in a row that finds no
** message; these calls cost one failed msgrcv each. */
enum { idleCallsForExport = 4 };

int servicePass(generic_cfg& cfg, int maxMessages, int* pings) {
  int handled = 0, code = 0;
  while (handled < maxMessages && (code = cfg.serviceCfg(0, 0)) != 0) {
    handled++;
    if (code == ipcMSG_PING_REQ && pings) ++*pings;
  }
  if (handled >= maxMessages) return handled;
  if (handled == 0 && !cfg.pendingExport.hasWork && !cfg.retryPending) return 0;
  /* the drain above ended on one empty call; a message restarts the count */
  int empty = 1;
  while (empty < idleCallsForExport && handled < maxMessages) {
    if (cfg.serviceCfg(0, 0) != 0) {
      handled++;
      empty = 0;
    } else {
      empty++;
    }
  }
  return handled;
}

int pollPacer::afterPass(int handled, bool passFull, uint32_t nowMs) {
  if (handled > 0) {
    seenTraffic = true;
    lastTrafficMs = nowMs;
  }
  if (passFull) return 0;
  if (seenTraffic && nowMs - lastTrafficMs < (uint32_t)ACTIVE_WINDOW_MS) return BUSY_US;
  return IDLE_US;
}

delayedWriter::delayedWriter(generic_cfg& c) : cfg(c), clocks((size_t)c.fileCount()) {}

int delayedWriter::fileNumberOf(const void* file) const {
  for (int i = 0; i < cfg.fileCount(); i++)
    if (cfg.getFile(i) == file) return i;
  return -1;
}

void delayedWriter::noteChanges(uint32_t nowMs) {
  if (!cfg.dataChanged) return;
  std::vector<int32_t> changed;
  cfg.takeChangedIndexes(&changed);
  if (clocks.size() < (size_t)cfg.fileCount()) clocks.resize((size_t)cfg.fileCount());
  for (int32_t idx : changed) {
    data_itm_Base* it = cfg.getItem(idx);
    int f = it ? fileNumberOf(it->file) : -1;
    if (f < 0) continue;
    fileClock& c = clocks[(size_t)f];
    if (!c.unsaved) c.firstMs = nowMs;
    c.unsaved = true;
    c.failed = false;
    c.lastMs = nowMs;
  }
}

int delayedWriter::writeDue(uint32_t nowMs) {
  int written = 0;
  for (int i = 0; i < cfg.fileCount() && (size_t)i < clocks.size(); i++) {
    cfgFile* f = cfg.getFile(i);
    fileClock& c = clocks[(size_t)i];
    if (f == nullptr || f->noName || !f->modified) {
      c.unsaved = false; /* a client's write request saved it meanwhile */
      continue;
    }
    if (c.failed) continue;
    if (!c.unsaved) { /* modified without a booked change: start its clock now */
      c.unsaved = true;
      c.firstMs = c.lastMs = nowMs;
    }
    uint32_t delayMs = f->delaySec > 0 ? (uint32_t)f->delaySec * 1000u : 0u;
    if (nowMs - c.lastMs < delayMs && nowMs - c.firstMs < (uint32_t)MAX_UNSAVED_MS) continue;
    if (cfg.writeToFile(i) == 0) {
      written++;
      c.unsaved = false;
    } else {
      c.failed = true;
    }
  }
  return written;
}

int delayedWriter::writeAllModified() {
  int failed = 0;
  for (int i = 0; i < cfg.fileCount(); i++) {
    cfgFile* f = cfg.getFile(i);
    if (f && !f->noName && f->modified && cfg.writeToFile(i) != 0) failed++;
  }
  return failed;
}

void delayedWriter::acceptCurrent() {
  std::vector<int32_t> changed;
  cfg.takeChangedIndexes(&changed);
  for (int i = 0; i < cfg.fileCount(); i++) {
    cfgFile* f = cfg.getFile(i);
    if (f) f->modified = false;
  }
  for (fileClock& c : clocks) c = fileClock();
}
