/*
** The trace statement and the error statement every module uses.
*/
#include "diag/trace.h"

#include <cstdio>

#include "diag/ErrTrcLog.h"
#include "diag/cppUtils.h"

static bool toStandardError = false;

void traceToStandardError(bool on) { toStandardError = on; }

void traceLineV(const int* pTraceLevel, int threshold, const char* fmt, va_list ap) {
  FILE* out = toStandardError ? stderr : stdout;
  if (pTraceLevel == nullptr) {
    fputs("pTraceLevel not defined. ", out);
    vfprintf(out, fmt, ap);
    return;
  }
  if (*pTraceLevel <= threshold) return;
  kvTimeStamp ts;
  getTimeStamp(&ts);
  fprintf(out, "%8u.%06u: ", ts.sec, ts.usec);
  vfprintf(out, fmt, ap);
  fflush(out);
}

void traceLine(const int* pTraceLevel, int threshold, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  traceLineV(pTraceLevel, threshold, fmt, ap);
  va_end(ap);
}

void reportError(ErrTrcLog* pErrLog, int priority, int errNum, const char* module, const char* func,
                 int line, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (pErrLog == nullptr) {
    printf("ERR #%i in %s::%s() - line %i: ", errNum, module, func, line);
    vprintf(fmt, ap);
  } else {
    pErrLog->logErrorV(priority, errNum, module, func, line, fmt, ap);
  }
  va_end(ap);
}
