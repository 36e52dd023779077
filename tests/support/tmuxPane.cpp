/*
** A private tmux server with one pane, for the terminal tests.
*/
#include "tests/support/tmuxPane.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/testSupport.h"

namespace testsup {

std::string findProgram(const char* name) {
  std::string out;
  runProgram({"/bin/sh", "-c", std::string("command -v ") + name}, &out);
  return out.substr(0, out.find('\n'));
}

/* The child of `parent` whose command line starts with `exe`; -1 if none. */
static pid_t childRunning(pid_t parent, const std::string& exe) {
  std::string p = std::to_string(parent);
  std::istringstream kids(readFile("/proc/" + p + "/task/" + p + "/children"));
  for (pid_t pid; kids >> pid;)
    if (readFile("/proc/" + std::to_string(pid) + "/cmdline").compare(0, exe.size(), exe) == 0)
      return pid;
  return -1;
}

tmuxPane::tmuxPane(const std::string& tmuxPath, const std::string& prefix) : tmux(tmuxPath) {
  static int serial = 0;
  socket = prefix + std::to_string(getpid()) + "_" + std::to_string(++serial);
}

/* The server's socket file stays behind unless removed. */
tmuxPane::~tmuxPane() {
  std::string path;
  run({"display-message", "-p", "#{socket_path}"}, &path);
  run({"kill-server"});
  while (!path.empty() && path.back() == '\n') path.pop_back();
  if (!path.empty()) unlink(path.c_str());
  if (program > 0 && kill(program, 0) == 0) kill(program, SIGKILL);
}

bool tmuxPane::start(const std::string& command, int cols, int rows) {
  return run({"-f", "/dev/null", "new-session", "-d", "-s", "w", "-x", std::to_string(cols), "-y",
              std::to_string(rows), command}) == 0;
}

bool tmuxPane::resize(int cols, int rows) {
  return run({"resize-window", "-t", "w", "-x", std::to_string(cols), "-y", std::to_string(rows)}) == 0;
}

int tmuxPane::run(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> argv{tmux, "-L", socket};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, out, nullptr, {}, 5000);
}

std::string tmuxPane::screen() {
  std::string out;
  run({"capture-pane", "-p", "-t", "w"}, &out);
  return out;
}

std::string tmuxPane::row(int r) {
  std::istringstream in(screen());
  std::string line;
  for (int i = 0; i <= r; i++)
    if (!std::getline(in, line)) line.clear();
  line.resize(COLS, ' ');
  return line;
}

void tmuxPane::keys(std::initializer_list<const char*> names, int gapMs) {
  for (const char* k : names) {
    run({"send-keys", "-t", "w", k});
    if (gapMs > 0) usleep(gapMs * 1000);
  }
}

void tmuxPane::type(const std::string& text) { run({"send-keys", "-t", "w", "-l", text}); }

bool tmuxPane::waitFor(const std::string& text, int timeoutMs) {
  return waitUntil([&] { return screen().find(text) != std::string::npos; }, timeoutMs, 20);
}

bool tmuxPane::waitForRow(int r, int column, const std::string& text, int timeoutMs) {
  return waitUntil([&] { return row(r).compare(column, text.size(), text) == 0; }, timeoutMs, 20);
}

pid_t tmuxPane::programPid(const std::string& exe, int timeoutMs) {
  waitUntil([&] {
    std::string out;
    if (program <= 0 && run({"display-message", "-p", "-t", "w", "#{pane_pid}"}, &out) == 0)
      program = childRunning((pid_t)atoi(out.c_str()), exe);
    return program > 0;
  }, timeoutMs, 20);
  return program;
}

}  // namespace testsup
