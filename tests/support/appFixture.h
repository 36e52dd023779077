/*
** The console unit's surroundings for an end-to-end test: the built programs
** linked into a private bin directory (private queue keys), a configuration
** master saving into its own directory, a status writer on a private region,
** doVA.x run from the bin directory, and the menu in a tmux pane.  What a
** test started is stopped at its end.
*/
#ifndef TESTS_SUPPORT_APPFIXTURE_H
#define TESTS_SUPPORT_APPFIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"
#include "tests/support/tmuxPane.h"

namespace testsup {

class AppFixture : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* p : {"doVA.x", "cfgMaster.x", "statusWriter.x", "supervisor.x", "kvUpgrade.x"})
      bin.link(p);
  }
  void TearDown() override {
    pane.reset();
    writer.stop(3000);
    master.stop(3000);
  }
  void startMaster() {
    ASSERT_TRUE(master.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}, {}, bin.path()));
    ASSERT_TRUE(master.waitForOutput("configuration master ready", 5000)) << master.err();
  }
  /* Back once the writer's region exists. */
  void startWriter(const std::vector<std::string>& extra = {"-q"}) {
    std::vector<std::string> args = argv("statusWriter.x", extra);
    args.insert(args.end(), {"-shm", shm.str()});
    ASSERT_TRUE(writer.start(args));
    ASSERT_TRUE(waitUntil([&] { return access(("/dev/shm" + shm.str()).c_str(), F_OK) == 0; }, 5000));
  }
  std::vector<std::string> env() const { return {"DOVA_STATUS_SHM=" + shm.str()}; }
  /* The command line of a program in the bin directory. */
  std::vector<std::string> argv(const std::string& program, const std::vector<std::string>& args) const {
    std::vector<std::string> v{bin.prog(program)};
    v.insert(v.end(), args.begin(), args.end());
    return v;
  }
  std::vector<std::string> doVA(const std::vector<std::string>& args) const { return argv("doVA.x", args); }
  /* doVA.x run to its end: exit status, stdout, stderr. */
  int console(const std::vector<std::string>& args, std::string* out, std::string* err = nullptr) {
    return runProgram(doVA(args), out, err, env(), 20000, bin.path());
  }
  /* doVA.x with its input on a pipe. */
  void startConsole(Proc& p, const std::vector<std::string>& args, bool stdinPipe = true) {
    ASSERT_TRUE(p.start(doVA(args), env(), bin.path(), stdinPipe));
  }
  /* "doVA.x <args>" with TERM=term (and `vars`) in a fresh pane; the shell
  ** then prints its exit status and the terminal modes it got back.  False,
  ** and the test skipped, without tmux. */
  bool openPane(const std::string& args, const std::string& term = "xterm", int cols = tmuxPane::COLS,
                int rows = tmuxPane::ROWS, const std::string& vars = "") {
    std::string tmux = findProgram("tmux");
    if (tmux.empty()) {
      skipWithoutTmux();
      return false;
    }
    pane.reset(new tmuxPane(tmux, "dovaApp"));
    return pane->start("cd '" + bin.path() + "' && env TERM=" + term + " DOVA_STATUS_SHM='" + shm.str() +
                           "' " + vars + " ./doVA.x " + args +
                           "; echo \"EXIT=$?\"; stty -a | tr ' ' '\\n' | grep -x -e echo -e -echo "
                           "-e icanon -e -icanon | tr '\\n' ' '; echo; sleep 60",
                       cols, rows);
  }
  static void skipWithoutTmux() { GTEST_SKIP() << "tmux is not installed (scripts/test installs it)"; }
  std::string savedFile() const { return work.file("kvPrimeConfig.cfg"); }

  BinDir bin;
  TempDir work;
  ShmName shm;
  Proc master, writer;
  std::unique_ptr<tmuxPane> pane;
};

}  // namespace testsup

#endif
