/*
** Monotonic time, the deadline timer, the system date, and the two text
** helpers (tokenize, hexDump) shared by the parsers and the traces.
*/
#include "diag/cppUtils.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>

#include "diag/numParse.h"
#include "diag/shellSeam.h"

int getTimeStamp(kvTimeStamp* ts) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  ts->sec = (uint32_t)now.tv_sec;
  ts->usec = (uint32_t)(now.tv_nsec / 1000);
  return 0;
}

/* Difference now - start as whole seconds and microseconds, borrowing one
** second when the microseconds go negative. */
static void diffNow(const kvTimeStamp* start, int64_t* sec, int64_t* usec) {
  kvTimeStamp now;
  getTimeStamp(&now);
  *sec = (int64_t)now.sec - start->sec;
  *usec = (int64_t)now.usec - start->usec;
  if (*usec < 0) {
    *usec += 1000000;
    *sec -= 1;
  }
}

float elapsedSeconds(const kvTimeStamp* start) {
  int64_t s, us;
  diffNow(start, &s, &us);
  return (float)s + (float)us / 1000000.0f;
}

uint32_t elapsedMs(const kvTimeStamp* start) {
  int64_t s, us;
  diffNow(start, &s, &us);
  return (uint32_t)(s * 1000 + us / 1000);
}

/* ---- deadline timer ---------------------------------------------------- */

static kvTimeStamp addStamps(const kvTimeStamp& a, const kvTimeStamp& b) {
  kvTimeStamp r;
  r.sec = a.sec + b.sec;
  r.usec = a.usec + b.usec;
  if (r.usec > 999999) {
    r.usec -= 1000000;
    r.sec += 1;
  }
  return r;
}

deadlineTimer::deadlineTimer() : start{0, 0}, deadline{0, 0}, period{0, 0}, maxTimeUsed(false),
                                 tmrIsRunning(false) {}

void deadlineTimer::setPeriodFrom(float v, const kvTimeStamp& now) {
  start = now;
  maxTimeUsed = (v > 0);  /* false for NaN too */
  if (!maxTimeUsed) return;
  tmrIsRunning = true;
  float whole = std::floor(v);
  period.sec = (uint32_t)whole;
  period.usec = (uint32_t)((v - whole) * 1000000.0f);
  if (period.usec > 999999) period.usec = 999999;
  deadline = addStamps(start, period);
}

void deadlineTimer::setPeriod(float v) {
  kvTimeStamp now;
  getTimeStamp(&now);
  setPeriodFrom(v, now);
}

void deadlineTimer::setPeriodOrDisable(float v) {
  if (v == 0) {
    maxTimeUsed = false;
    getTimeStamp(&start);
    return;
  }
  setPeriod(v);
}

void deadlineTimer::restart() {
  getTimeStamp(&start);
  if (maxTimeUsed) {
    deadline = addStamps(start, period);
    tmrIsRunning = true;
  }
}

bool deadlineTimer::isExpiredAt(const kvTimeStamp& now) const {
  if (!maxTimeUsed) return true;
  if (deadline.sec != now.sec) return deadline.sec < now.sec;
  return deadline.usec <= now.usec;
}

bool deadlineTimer::isExpired() const {
  kvTimeStamp now;
  getTimeStamp(&now);
  return isExpiredAt(now);
}

bool deadlineTimer::checkAndRestart() {
  kvTimeStamp now;
  getTimeStamp(&now);
  if (!isExpiredAt(now)) return false;
  if (maxTimeUsed) {
    start = now;
    deadline = addStamps(now, period);
    tmrIsRunning = true;
  }
  return true;
}

/* ---- calendar ---------------------------------------------------------- */

int setSystemDate(const char* text) {
  /* Fields are decimal: the editors pad them with zeros, and "08" must be
  ** August, not a bad octal number. */
  int32_t f[6] = {0, 0, 0, 0, 0, 0};
  scanInt32(text, "%d/%d/%d %d:%d:%d", f, 6);
  int year = f[0], month = f[1], day = f[2], hour = f[3], minute = f[4], second = f[5];
  char cmd[100];
  snprintf(cmd, sizeof cmd, "date %02i%02i%02i%02i%04i.%02i", month, day, hour, minute, year,
           second);
  return runShell(cmd);
}

time_t formatDateTime(char* out, time_t lastSeconds) {
  time_t now = time(nullptr);
  if (now != lastSeconds) {
    struct tm t;
    localtime_r(&now, &t);
    char text[64];
    snprintf(text, sizeof text, "%04i/%02i/%02i %02i:%02i:%02i", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec);
    memcpy(out, text, 19);
    out[19] = '\0';
  }
  return now;
}

/* ---- tokenize ---------------------------------------------------------- */

static bool isBlank(char c) { return c == ' ' || c == '\t'; }
static bool inSet(char c, const char* set) { return set != nullptr && c != '\0' && strchr(set, c); }

/* One pass over the line.  States: between tokens, inside a plain token
** (end tracks the last non-blank), inside quotes, and after a closing quote
** (skipping to the next separator). */
int tokenize(char* line, int* count, int length, int maxTokens, char** tokens,
             const char* separators, const char* terminators) {
  enum { BETWEEN, PLAIN, QUOTED, AFTER_QUOTE } state = BETWEEN;
  int n = 0;
  char* tokEnd = nullptr;  /* one past the last kept character of a plain token */
  int i = 0;
  int result = length;
  auto begin = [&](char* at) {
    if (n < maxTokens && tokens != nullptr) tokens[n] = at;
    n++;
  };
  for (; i < length; i++) {
    char c = line[i];
    if (c == '\0' || inSet(c, terminators)) {
      if (state == PLAIN) *tokEnd = '\0';
      else line[i] = '\0';
      result = i + 1;
      state = BETWEEN;
      break;
    }
    switch (state) {
      case BETWEEN:
        if (isBlank(c) || inSet(c, separators)) break;
        if (c == '"') {
          begin(line + i + 1);
          state = QUOTED;
        } else {
          begin(line + i);
          tokEnd = line + i + 1;
          state = PLAIN;
        }
        break;
      case PLAIN:
        if (inSet(c, separators)) {
          *tokEnd = '\0';
          state = BETWEEN;
        } else if (!isBlank(c)) {
          tokEnd = line + i + 1;
        }
        break;
      case QUOTED:
        if (c == '"') {
          line[i] = '\0';
          state = AFTER_QUOTE;
        }
        break;
      case AFTER_QUOTE:
        /* The rest of the field up to the separator is dropped; the
        ** separator itself is then skipped like any other, so the next
        ** token starts after it. */
        if (inSet(c, separators)) state = BETWEEN;
        break;
    }
  }
  if (i >= length && state == PLAIN) {
    /* Cut at the trimmed end only when that stays inside the line. */
    if (tokEnd < line + length) *tokEnd = '\0';
  }
  if (count) *count = n;
  return result;
}

/* ---- hexDump ----------------------------------------------------------- */

void hexDump(std::ostream& os, const void* data, int length) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  os << std::hex;
  int off = 0;
  do {
    int n = length - off < 16 ? length - off : 16;
    char line[160];
    int w = snprintf(line, sizeof line, "%08x: ", off);
    char bytes[49] = "";
    int bw = 0;
    for (int k = 0; k < n; k++) bw += snprintf(bytes + bw, sizeof bytes - bw, " %02x", p[off + k]);
    w += snprintf(line + w, sizeof line - w, "%-48s | ", bytes);
    for (int k = 0; k < n; k++) {
      unsigned char c = p[off + k];
      line[w++] = (c < 33 || c > 126) ? '.' : (char)c;
    }
    line[w] = '\0';
    os << line << '\n';
    off += n;
  } while (off < length);
  os << std::dec;
}
