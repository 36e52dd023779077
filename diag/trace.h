/*
** Trace lines and numbered error reports: the two ways every module of the
** console unit speaks.
**
** A trace statement has a threshold N and prints when the process trace
** level is above N (N = -1 prints at every level of 0 or more).  The line
** is prefixed "%8u.%06u: " with the monotonic seconds and microseconds and
** standard output is flushed after it.  An object built without a trace
** level pointer prints "pTraceLevel not defined. " first, without a stamp.
**
** An error report carries a number (one block of a thousand per module), a
** syslog priority (3 stops the operation, 4 warns), the module's source
** name, the function and the line.  With an error log it goes to the system
** log (and standard error); without one it goes to standard output as
** "ERR #%i in %s::%s() - line %i: " followed by the message, no newline.
**
** Usage inside a class that holds pTraceLevel and pErrLog:
**     TRACE(pTraceLevel, 2, "Shared memory initialized\n");
**     ERRLOG(pErrLog, 3, 20001, "doVA", "Could not initialize shared memory");
*/
#ifndef DIAG_TRACE_H
#define DIAG_TRACE_H

#include <cstdarg>

class ErrTrcLog;

void traceLine(const int* pTraceLevel, int threshold, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void traceLineV(const int* pTraceLevel, int threshold, const char* fmt, va_list ap);

/* True when a statement of this threshold would print: lets callers skip
** building an expensive trace text. */
inline bool traceOn(const int* pTraceLevel, int threshold) {
  return pTraceLevel == nullptr || *pTraceLevel > threshold;
}

/* Send trace lines to standard error instead of standard output: a run
** whose standard output is data for a script (the parameter access at
** trace level 0) keeps it free of them. */
void traceToStandardError(bool on);

void reportError(ErrTrcLog* pErrLog, int priority, int errNum, const char* module,
                 const char* func, int line, const char* fmt, ...)
    __attribute__((format(printf, 7, 8)));

#define TRACE(pLvl, N, ...) traceLine((pLvl), (N), __VA_ARGS__)
#define ERRLOG(pLog, prio, num, module, ...) \
  reportError((pLog), (prio), (num), (module), __func__, __LINE__, __VA_ARGS__)

#endif
