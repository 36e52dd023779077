/*
** ErrTrcLog: the process's one error log on the system log.
**
** One instance exists from static initialisation to exit (gErrTrcLog,
** reached through pErrTrcLog).  The system log is opened on the first
** logMessage or logError call with ident "ErrTrcLog" and LOG_PID|LOG_PERROR,
** so every logged line also reaches standard error.  Priorities 6 and 7
** (info, debug) are formatted but never written.  Texts are cut to the
** 1000 characters of the message buffer; a formatted message is written
** with "%s", so a '%' in it reaches the log unchanged.
**
** The program directory is the key path of the message queues: console and
** master find each other only when started from the same directory.
*/
#ifndef DIAG_ERRTRCLOG_H
#define DIAG_ERRTRCLOG_H

#include <cstdarg>

class ErrTrcLog {
public:
  enum { MSG_BUF_SIZE = 1001, PROG_DIR_SIZE = 200 };

  ErrTrcLog();
  ~ErrTrcLog();
  ErrTrcLog(const ErrTrcLog&) = delete;
  ErrTrcLog& operator=(const ErrTrcLog&) = delete;

  /* Store the directory of the program invoked as `path`.
  ** 0 on success, 1 when the current directory cannot be read or the
  ** directory does not fit the 200-character field. */
  int setProgramDir(const char* path);
  const char* programDir() const { return progDir; }

  void logMessage(int priority, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  void logError(int priority, int errNum, const char* module, const char* func, int line,
                const char* fmt, ...) __attribute__((format(printf, 7, 8)));
  void logErrorV(int priority, int errNum, const char* module, const char* func, int line,
                 const char* fmt, va_list ap);

  bool isOpened() const { return opened; }
  const char* lastMessage() const { return msgBuf; }

private:
  void openOnce(int facility);

  const char* ident;
  int logOptions;
  int errFacility;
  int msgFacility;
  char msgBuf[MSG_BUF_SIZE];
  char progDir[PROG_DIR_SIZE];
  bool opened;
};

extern ErrTrcLog gErrTrcLog;
extern ErrTrcLog* pErrTrcLog;

#endif
