/*
** One stop handler for SIGTERM and SIGINT.
*/
#include "diag/stopSignals.h"

#include <csignal>
#include <cstring>

int installStopSignals(void (*handler)(int)) {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  int rc = sigaction(SIGTERM, &sa, nullptr);
  if (sigaction(SIGINT, &sa, nullptr) != 0) rc = -1;
  return rc;
}
