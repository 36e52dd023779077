/*
** Test support: private key directories, real child processes with bounded
** waits, and clean-up of the queues and shared memory a test made.
**
** Every test that starts programs links the built programs into a fresh
** temporary bin directory (BinDir) and runs them from there, so the queue
** keys (derived from the program's directory) are private to the test.
*/
#ifndef TESTS_SUPPORT_TESTSUPPORT_H
#define TESTS_SUPPORT_TESTSUPPORT_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>
#include <sys/types.h>

namespace testsup {

/* A fresh directory under $TMPDIR (or /tmp), removed with its contents. */
class TempDir {
public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return dir; }
  std::string file(const std::string& name) const { return dir + "/" + name; }
private:
  std::string dir;
};

/* A temporary bin directory holding symlinks to the built programs
** (doVA.x, cfgMaster.x, ...).  On destruction removes every System V queue
** whose key derives from this directory. */
class BinDir : public TempDir {
public:
  ~BinDir();
  /* Link a program of the build's bin directory here; returns its path. */
  std::string link(const std::string& program);
  /* Link `program` of another bin directory here under the name `as` (the
  ** cross-width tests mix the programs of two builds). */
  std::string linkFrom(const std::string& dir, const std::string& program, const std::string& as);
  std::string prog(const std::string& program) const { return file(program); }
};

/* A private bin directory that is also the working directory and the key
** path of every queue a test makes inside it: enter() changes into it,
** leave() (also run at destruction) goes back and removes those queues. */
class WorkDir : public BinDir {
public:
  ~WorkDir();
  bool enter();
  bool leave();
private:
  std::string oldDir;
};

/* Remove every message queue whose key is ftok(dir, b) + 99 for any byte b. */
int removeQueuesFor(const std::string& dir);

/* A shared-memory name unique to this process and call ("/dovaTest.<pid>.<n>");
** ShmName unlinks it on destruction. */
class ShmName {
public:
  ShmName();
  ~ShmName();
  const char* c_str() const { return name.c_str(); }
  const std::string& str() const { return name; }
private:
  std::string name;
};

/* A child process with stdout and stderr captured to files (stdin from a
** pipe the test can write to, or /dev/null). */
class Proc {
public:
  Proc() = default;
  ~Proc();   /* kills (SIGKILL) and reaps a child still running */
  Proc(const Proc&) = delete;
  Proc& operator=(const Proc&) = delete;

  /* argv[0] is the program path.  env entries "NAME=value" are added to the
  ** current environment.  cwd empty: inherit.  Returns false when the fork
  ** failed. */
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
             const std::string& cwd = "", bool withStdinPipe = false);
  /* Wait at most timeoutMs; returns the exit status, 128+signal for a
  ** signal, or -1 when still running at the timeout. */
  int wait(int timeoutMs);
  bool running();
  void signal(int sig);
  /* SIGTERM, wait up to timeoutMs, then SIGKILL; returns the status. */
  int stop(int timeoutMs = 3000);
  void writeStdin(const std::string& text);
  void closeStdin();
  std::string out() const;  /* everything captured on stdout so far */
  std::string err() const;
  /* Poll (every 5 ms) until stdout contains `text`; false after timeoutMs. */
  bool waitForOutput(const std::string& text, int timeoutMs);
  pid_t pid() const { return child; }

private:
  pid_t child = -1;
  int stdinFd = -1;
  int status = -1;
  std::string outPath, errPath;
  TempDir* files = nullptr;
};

/* A forked copy of the test process running fn() (a master or client end
** played inside the test); its stdout goes to outFile, its exit status is
** fn()'s, and it ends itself after 30 s.  Killed and reaped at destruction
** when still running. */
class Child {
public:
  Child(const std::string& outFile, std::function<int()> fn);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  /* Exit status (128+signal), -1 when still running after timeoutMs. */
  int wait(int timeoutMs);
  bool running() { return wait(0) < 0; }
  pid_t pid() const { return child; }
  std::string out() const;
  /* Poll (every 5 ms) until out() contains `text`; false after timeoutMs. */
  bool waitForOutput(const std::string& text, int timeoutMs);

private:
  pid_t child = -1;
  int status = -1;
  std::string outPath;
};

/* Run a program to completion (bounded): returns the exit status and fills
** out/err.  -1 on timeout (the child is killed). */
int runProgram(const std::vector<std::string>& argv, std::string* out, std::string* err = nullptr,
               const std::vector<std::string>& env = {}, int timeoutMs = 10000,
               const std::string& cwd = "");

/* How often `what` occurs in `text` (overlapping occurrences too). */
size_t countOf(const std::string& text, const std::string& what);

inline double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

/* Poll cond() every stepMs until it holds (true) or timeoutMs passed (false). */
bool waitUntil(const std::function<bool()>& cond, int timeoutMs, int stepMs = 10);

/* Trace lines start each print with "%8u.%06u: " wherever it stands; turn
** every such stamp into '@' (dropping the seconds' padding) so the rest can
** be compared byte for byte. */
std::string maskStamps(const std::string& text);

std::string readFile(const std::string& path);
/* Poll (every 50 ms) until the file holds `text`; false after timeoutMs. */
bool waitForFile(const std::string& path, const std::string& text, int timeoutMs);
void writeFile(const std::string& path, const std::string& text);

/* The build's bin directory (where the real programs are). */
std::string buildBinDir();

}  // namespace testsup

#endif
