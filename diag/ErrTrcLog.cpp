/*
** The process's error log: numbered reports and plain messages on the
** system log, and the program directory that keys the message queues.
*/
#include "diag/ErrTrcLog.h"

#include <cstdio>
#include <cstring>
#include <syslog.h>
#include <unistd.h>

ErrTrcLog gErrTrcLog;
ErrTrcLog* pErrTrcLog = &gErrTrcLog;

ErrTrcLog::ErrTrcLog()
    : ident("ErrTrcLog"), logOptions(LOG_PID | LOG_PERROR), errFacility(LOG_USER),
      msgFacility(LOG_USER), opened(false) {
  msgBuf[0] = '\0';
  progDir[0] = '\0';
}

ErrTrcLog::~ErrTrcLog() {
  if (opened) closelog();
}

void ErrTrcLog::openOnce(int facility) {
  if (opened) return;
  openlog(ident, logOptions, facility);
  opened = true;
}

/* The directory of the program: absolute paths keep everything before the
** last '/'; relative ones are appended to the current directory, with a
** leading "./" dropped.  A bare name gives the current directory with a
** trailing '/', exactly as the queue keys of every peer expect. */
int ErrTrcLog::setProgramDir(const char* path) {
  if (path == nullptr) path = "";
  size_t len = strlen(path);
  size_t slash = 0;
  for (size_t i = len; i > 0; i--) {
    if (path[i - 1] == '/') {
      slash = i - 1;
      break;
    }
  }
  if (path[0] == '/') {
    if (slash >= PROG_DIR_SIZE) {
      progDir[0] = '\0';
      return 1;
    }
    memcpy(progDir, path, slash);
    progDir[slash] = '\0';
    return 0;
  }
  if (getcwd(progDir, PROG_DIR_SIZE) == nullptr) {
    progDir[0] = '\0';
    return 1;
  }
  if (strcmp(progDir, "/") == 0) progDir[0] = '\0';
  const char* rest = path;
  if (rest[0] == '.' && rest[1] != '.') {
    rest++;
    if (slash > 0) slash--;
  }
  size_t have = strlen(progDir);
  size_t want = have + (rest[0] == '/' ? 0 : 1) + (strchr(rest, '/') ? slash : 0);
  if (want >= PROG_DIR_SIZE) {
    progDir[0] = '\0';
    return 1;
  }
  if (rest[0] != '/') progDir[have++] = '/';
  if (strchr(rest, '/')) {
    memcpy(progDir + have, rest, slash);
    have += slash;
  }
  progDir[have] = '\0';
  return 0;
}

void ErrTrcLog::logMessage(int priority, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(msgBuf, sizeof msgBuf, fmt, ap);
  va_end(ap);
  openOnce(msgFacility);
  if (priority <= LOG_NOTICE) syslog(priority | msgFacility, "%s", msgBuf);
}

void ErrTrcLog::logErrorV(int priority, int errNum, const char* module, const char* func, int line,
                          const char* fmt, va_list ap) {
  vsnprintf(msgBuf, sizeof msgBuf, fmt, ap);
  openOnce(errFacility);
  if (priority <= LOG_NOTICE)
    syslog(priority | errFacility, "Err #%i in %s::%s() - line %i: %s", errNum, module, func, line,
           msgBuf);
}

void ErrTrcLog::logError(int priority, int errNum, const char* module, const char* func, int line,
                         const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  logErrorV(priority, errNum, module, func, line, fmt, ap);
  va_end(ap);
}
