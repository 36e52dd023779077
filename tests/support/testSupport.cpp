/*
** Test support: temporary directories, private bin directories, child
** processes with captured output and bounded waits, queue and shm clean-up.
*/
#include "tests/support/testSupport.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <set>
#include <signal.h>
#include <sstream>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/msg.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ftw.h>

namespace testsup {

static int rmEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/dovaTest.XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) != nullptr) dir = buf.data();
}

TempDir::~TempDir() {
  if (!dir.empty()) nftw(dir.c_str(), rmEntry, 16, FTW_DEPTH | FTW_PHYS);
}

WorkDir::~WorkDir() { leave(); }

bool WorkDir::enter() {
  char buf[4096];
  if (getcwd(buf, sizeof buf) == nullptr) return false;
  oldDir = buf;
  return chdir(path().c_str()) == 0;
}

bool WorkDir::leave() {
  if (oldDir.empty()) return true;
  bool ok = chdir(oldDir.c_str()) == 0;
  oldDir.clear();
  removeQueuesFor(path());
  return ok;
}

std::string buildBinDir() {
  const char* env = getenv("DOVA_TEST_BIN_DIR");
  return env && *env ? env : DOVA_BIN_DIR;
}

BinDir::~BinDir() { removeQueuesFor(path()); }

std::string BinDir::link(const std::string& program) { return linkFrom(buildBinDir(), program, program); }

std::string BinDir::linkFrom(const std::string& dir, const std::string& program,
                             const std::string& as) {
  std::string target = dir + "/" + program;
  std::string here = file(as);
  unlink(here.c_str());
  if (symlink(target.c_str(), here.c_str()) != 0) perror("symlink");
  return here;
}

/* Every queue whose key is ftok(dir, b) + 99 for some byte b. */
int removeQueuesFor(const std::string& dir) {
  std::set<key_t> keys;
  for (int b = 0; b < 256; b++)
    if (ftok(dir.c_str(), b) != -1) keys.insert(ftok(dir.c_str(), b) + 99);
  int removed = 0;
  std::ifstream in("/proc/sysvipc/msg");
  std::string line;
  std::getline(in, line);  /* header */
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    long long key = 0;
    int id = -1;
    if (ls >> key >> id && keys.count((key_t)key) && msgctl(id, IPC_RMID, nullptr) == 0) removed++;
  }
  return removed;
}

static std::atomic<int> shmCounter{0};

ShmName::ShmName() : name("/dovaTest." + std::to_string(getpid()) + "." + std::to_string(shmCounter++)) {}

ShmName::~ShmName() { shm_unlink(name.c_str()); }

Proc::~Proc() {
  if (child > 0 && running()) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  if (stdinFd >= 0) close(stdinFd);
  delete files;
}

bool Proc::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& cwd, bool withStdinPipe) {
  if (files == nullptr) files = new TempDir();
  outPath = files->file("stdout");
  errPath = files->file("stderr");
  int pipeFds[2] = {-1, -1};
  if (withStdinPipe && pipe(pipeFds) != 0) return false;
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int in = withStdinPipe ? pipeFds[0] : open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (withStdinPipe) close(pipeFds[1]);
    setpgid(0, 0);
    for (const auto& e : env) putenv(strdup(e.c_str()));
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  child = pid;
  status = -1;
  if (withStdinPipe) {
    close(pipeFds[0]);
    stdinFd = pipeFds[1];
    /* children started later must not hold this child's stdin open */
    fcntl(stdinFd, F_SETFD, FD_CLOEXEC);
  }
  return true;
}

/* Wait at most timeoutMs for pid to end: its exit status (128+signal for a
** signal), -1 while it still runs. */
static int reap(pid_t pid, int timeoutMs) {
  for (int waited = 0, st = 0;; waited += 2) {
    if (waitpid(pid, &st, WNOHANG) == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    if (waited >= timeoutMs) return -1;
    usleep(2000);
  }
}

int Proc::wait(int timeoutMs) {
  if (child > 0 && (status = reap(child, timeoutMs)) != -1) child = -1;
  return status;
}

bool Proc::running() { return child > 0 && wait(0) == -1; }

void Proc::signal(int sig) {
  if (child > 0) kill(child, sig);
}

int Proc::stop(int timeoutMs) {
  signal(SIGTERM);
  if (wait(timeoutMs) == -1) signal(SIGKILL);
  return wait(2000);
}

void Proc::writeStdin(const std::string& text) {
  for (ssize_t off = 0, w; stdinFd >= 0 && off < (ssize_t)text.size(); off += w)
    if ((w = ::write(stdinFd, text.data() + off, text.size() - (size_t)off)) <= 0) break;
}

void Proc::closeStdin() {
  if (stdinFd >= 0) close(stdinFd);
  stdinFd = -1;
}

std::string Proc::out() const { return outPath.empty() ? "" : readFile(outPath); }
std::string Proc::err() const { return errPath.empty() ? "" : readFile(errPath); }

bool Proc::waitForOutput(const std::string& text, int timeoutMs) {
  return waitUntil([&] { return out().find(text) != std::string::npos; }, timeoutMs, 5);
}

Child::Child(const std::string& outFile, std::function<int()> fn) : outPath(outFile) {
  fflush(stdout);
  child = fork();
  if (child == 0) {
    if (!freopen(outPath.c_str(), "w", stdout)) _exit(99);
    setvbuf(stdout, nullptr, _IONBF, 0);
    alarm(30); /* never outlive a test by much */
    int rc = fn();
    fflush(stdout);
    _exit(rc);
  }
}

Child::~Child() {
  if (child > 0 && status < 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
}

int Child::wait(int timeoutMs) {
  if (status < 0) status = reap(child, timeoutMs);
  return status;
}

std::string Child::out() const { return readFile(outPath); }

bool Child::waitForOutput(const std::string& text, int timeoutMs) {
  return waitUntil([&] { return out().find(text) != std::string::npos; }, timeoutMs, 5);
}

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

bool waitUntil(const std::function<bool()>& cond, int timeoutMs, int stepMs) {
  for (int waited = 0; waited <= timeoutMs; waited += stepMs) {
    if (cond()) return true;
    usleep((useconds_t)stepMs * 1000);
  }
  return false;
}

int runProgram(const std::vector<std::string>& argv, std::string* out, std::string* err,
               const std::vector<std::string>& env, int timeoutMs, const std::string& cwd) {
  Proc p;
  if (!p.start(argv, env, cwd)) return -1;
  int st = p.wait(timeoutMs);
  if (st == -1) st = p.stop(1000), st = -1;
  if (out) *out = p.out();
  if (err) *err = p.err();
  return st;
}

std::string maskStamps(const std::string& text) {
  /* "%8u.%06u: ": the seconds right-aligned in 8 columns, padding and all */
  static const std::regex stamp(R"(( {7}\d| {6}\d\d| {5}\d{3}| {4}\d{4}| {3}\d{5}| {2}\d{6}| \d{7}|\d{8,})\.\d{6}: )");
  return std::regex_replace(text, stamp, "@");
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool waitForFile(const std::string& path, const std::string& text, int timeoutMs) {
  return waitUntil([&] { return readFile(path).find(text) != std::string::npos; }, timeoutMs, 50);
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace testsup
