/*
** One stop handler for SIGTERM, SIGINT, SIGHUP and SIGQUIT; SIGPIPE ignored.
*/
#include "diag/stopSignals.h"

#include <csignal>
#include <cstring>

int installStopSignals(void (*handler)(int)) {
  static const int stopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, 0};
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  int rc = 0;
  for (const int* s = stopSignals; *s != 0; ++s)
    if (sigaction(*s, &sa, nullptr) != 0) rc = -1;
  sa.sa_handler = SIG_IGN;
  if (sigaction(SIGPIPE, &sa, nullptr) != 0) rc = -1;
  return rc;
}
