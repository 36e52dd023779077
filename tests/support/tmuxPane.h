/*
** A terminal program under test in tmux: one private tmux server (its own
** socket, -L) with one 100 x 30 pane.  Keys go in with send-keys, the
** screen comes back with capture-pane.  The server, its socket file and the
** program found in the pane are gone when the object is.
*/
#ifndef TESTS_SUPPORT_TMUXPANE_H
#define TESTS_SUPPORT_TMUXPANE_H

#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsup {

/* The path of an executable found on PATH; empty when there is none. */
std::string findProgram(const char* name);

class tmuxPane {
public:
  enum { COLS = 100, ROWS = 30 };
  /* prefix names the socket, so a stray server shows whose it was. */
  tmuxPane(const std::string& tmuxPath, const std::string& prefix);
  ~tmuxPane();
  tmuxPane(const tmuxPane&) = delete;
  tmuxPane& operator=(const tmuxPane&) = delete;

  /* Run `command` (a /bin/sh command line) in a fresh pane. */
  bool start(const std::string& command, int cols = COLS, int rows = ROWS);
  /* The window takes another size (the program sees SIGWINCH). */
  bool resize(int cols, int rows);
  int run(const std::vector<std::string>& args, std::string* out = nullptr);
  std::string screen();
  /* Row r of the screen, padded to COLS. */
  std::string row(int r);
  /* Named keys ("Up", "Enter", "C-c"), gapMs apart. */
  void keys(std::initializer_list<const char*> names, int gapMs = 0);
  void type(const std::string& text);
  bool waitFor(const std::string& text, int timeoutMs);
  /* keys(names, gapMs), then waitFor(text, timeoutMs). */
  bool press(std::initializer_list<const char*> names, const std::string& text, int timeoutMs = 3000,
             int gapMs = 30) {
    keys(names, gapMs);
    return waitFor(text, timeoutMs);
  }
  bool waitForRow(int r, int column, const std::string& text, int timeoutMs);
  /* The program the pane's shell started (found once, then remembered). */
  pid_t programPid(const std::string& exe, int timeoutMs);

private:
  std::string tmux, socket;
  pid_t program = -1;
};

}  // namespace testsup

#endif
