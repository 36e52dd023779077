/*
** What the timing programs share: where their own binaries sit, and a
** configuration master of their own (a private directory whose queue keys
** belong to this run alone).  Header only: each timing program is one file.
*/
#ifndef BENCH_BENCHSUPPORT_H
#define BENCH_BENCHSUPPORT_H

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include <cstdio>
#include <string>
#include <vector>

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


/* Client processes forked one at a time.  Each child runs `child` with a
** pipe to report ready ('R', or 'F' when it could not subscribe), one to
** wait on for the stop, and one for its 32-bit result; it must _exit.
** finish() stops them all and gathers one result each (-1: none came). */
class childClients {
public:
  typedef void (*body)(int readyFd, int stopFd, int resultFd);
  std::vector<pid_t> pids;

  /* true when every child came up ready within 10 s */
  bool start(int count, body child) {
    int stop[2], result[2];
    if (pipe(stop) != 0 || pipe(result) != 0) return false;
    stopW = stop[1];
    resultR = result[0];
    bool ok = true;
    for (int i = 0; i < count && ok; i++) { /* one at a time: registrations stay in order */
      int ready[2];
      if (pipe(ready) != 0) return false;
      fflush(stdout);
      pid_t pid = fork();
      if (pid == 0) {
        close(ready[0]);
        close(stop[1]);
        close(result[0]);
        child(ready[1], stop[0], result[1]);
        _exit(1);
      }
      pids.push_back(pid);
      close(ready[1]);
      struct pollfd p = {ready[0], POLLIN, 0};
      char c = 0;
      ok = poll(&p, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c == 'R';
      close(ready[0]);
    }
    close(stop[0]);
    close(result[1]);
    return ok;
  }
  std::vector<int32_t> finish() {
    std::vector<int32_t> got;
    if (stopW >= 0 && !pids.empty() && write(stopW, "x", 1) != 1) perror("stop");
    for (size_t i = 0; i < pids.size(); i++) {
      int32_t v = 0;
      struct pollfd p = {resultR, POLLIN, 0};
      bool in = poll(&p, 1, 5000) == 1 && read(resultR, &v, sizeof v) == sizeof v;
      got.push_back(in ? v : -1);
    }
    for (pid_t pid : pids) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    pids.clear();
    if (stopW >= 0) close(stopW);
    if (resultR >= 0) close(resultR);
    stopW = resultR = -1;
    return got;
  }
  ~childClients() {
    if (!pids.empty()) finish();
  }

private:
  int stopW = -1, resultR = -1;
};

}  // namespace bench

#endif
