/*
** What the timing programs share: where their own binaries sit, and a
** configuration master of their own (a private directory whose queue keys
** belong to this run alone).  Header only: each timing program is one file.
*/
#ifndef BENCH_BENCHSUPPORT_H
#define BENCH_BENCHSUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <string>

#include "diag/ErrTrcLog.h"
#include "tests/support/testSupport.h"

namespace bench {

/* The directory of the running program: the built programs sit beside it. */
inline std::string binDirOfSelf() {
  char p[4096];
  ssize_t n = readlink("/proc/self/exe", p, sizeof p - 1);
  if (n <= 0) return ".";
  p[n] = '\0';
  std::string s(p);
  return s.substr(0, s.rfind('/'));
}

/* cfgMaster.x linked into a private directory and started from there; this
** process takes that directory's queue keys.  Stops the master and removes
** its queues when it goes. */
class privateMaster {
public:
  testsup::TempDir dir;
  testsup::Proc proc;

  /* 1 when the master serves, 0 (with the reason on stderr) when not. */
  int start(const char* who) {
    std::string master = dir.file("cfgMaster.x");
    if (symlink((binDirOfSelf() + "/cfgMaster.x").c_str(), master.c_str()) != 0) {
      perror("symlink cfgMaster.x");
      return 0;
    }
    pErrTrcLog->setProgramDir(master.c_str()); /* our queue keys: that directory */
    if (!proc.start({master, "-T", "1", "-C", dir.path()}, {}, dir.path()) ||
        !proc.waitForOutput("configuration master ready", 10000)) {
      fprintf(stderr, "%s: cfgMaster.x did not start\n%s%s", who, proc.out().c_str(), proc.err().c_str());
      return 0;
    }
    return 1;
  }
  ~privateMaster() {
    proc.stop(5000);
    testsup::removeQueuesFor(dir.path());
  }
};

}  // namespace bench

#endif
