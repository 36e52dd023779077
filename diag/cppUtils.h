/*
** Small shared utilities: monotonic time stamps, elapsed time, the deadline
** timer, setting the system date, the calendar text of date-time items, the
** in-place line tokenizer and the hex dump.
**
** All times are CLOCK_MONOTONIC unless a function says calendar.
*/
#ifndef DIAG_CPPUTILS_H
#define DIAG_CPPUTILS_H

#include <cstdint>
#include <ostream>
#include <ctime>

struct kvTimeStamp {
  uint32_t sec;
  uint32_t usec;
};

/* Fill the monotonic seconds and microseconds; returns 0. */
int getTimeStamp(kvTimeStamp* ts);
/* Now minus start, borrowing one second when the microseconds go negative. */
float elapsedSeconds(const kvTimeStamp* start);
uint32_t elapsedMs(const kvTimeStamp* start);

/* Deadline timer.  A period of 0, less, or NaN disables it: a disabled
** timer is always expired and never rearms. */
class deadlineTimer {
public:
  deadlineTimer();
  void setPeriod(float seconds);        /* v <= 0 or NaN: disabled */
  void setPeriodOrDisable(float seconds); /* 0 first means "disable" */
  void restart();
  bool isExpired() const;
  bool checkAndRestart();

  /* Arm from an explicit start stamp (tests, and callers that already read
  ** the clock). */
  void setPeriodFrom(float seconds, const kvTimeStamp& now);
  bool isExpiredAt(const kvTimeStamp& now) const;

  kvTimeStamp start;
  kvTimeStamp deadline;
  kvTimeStamp period;
  bool maxTimeUsed;
  bool tmrIsRunning;
};

/* "%i/%i/%i %i:%i:%i" (year/month/day hour:minute:second) -> runs
** "date MMDDhhmmYYYY.ss" through the shell seam; returns its status. */
int setSystemDate(const char* text);

/* Writes "%04i/%02i/%02i %02i:%02i:%02i" (local calendar time, 19 chars)
** into out (at least 20 bytes) when the calendar seconds differ from
** lastSeconds; returns the current calendar seconds.  -1 forces the text. */
time_t formatDateTime(char* out, time_t lastSeconds);

/* Split `line` (writable, `length` bytes) in place.  Returns the index just
** past the terminator met, or `length` when none was.  *count counts every
** token met; only the first maxTokens addresses are stored.  Blanks (space,
** tab) around tokens are trimmed; a '"' where a token starts opens a quoted
** token taken literally up to the closing quote. */
int tokenize(char* line, int* count, int length, int maxTokens, char** tokens,
             const char* separators, const char* terminators);

/* 16 bytes a line: "%08x: ", the bytes as " %02x" in a 48-wide field,
** " | ", the bytes as characters ('.' below 33 or above 126). */
void hexDump(std::ostream& os, const void* data, int length);

#endif
