/*
** The kill path and the command console end to end: real doVA.x processes
** typed at through a pipe, a real cfgMaster.x, a real supervisor.x (or a
** supervisor that never answers), all keyed on a private bin directory,
** with a private status region.
*/
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <unistd.h>

#include "app/hostLink.h"
#include "diag/cppUtils.h"
#include "ipc/msgQ_IO.h"
#include "status/kvSharedMem.h"
#include "tests/support/testSupport.h"

using namespace testsup;

namespace {

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

/* Polls until `what` appears `times` times in the process's output. */
bool waitForCount(Proc& p, const std::string& what, size_t times, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (countOf(p.out(), what) >= times) return true;
    usleep(10000);
  }
  return false;
}

const char FALLBACK[] =
    "Failed to connect with configuration master, access will be limited to config library "
    "functions";

class ConsoleE2E : public ::testing::Test {
protected:
  BinDir bin;
  TempDir work;
  ShmName shm;
  kvSharedMem status;
  Proc master;

  void SetUp() override {
    bin.link("doVA.x");
    bin.link("cfgMaster.x");
    bin.link("supervisor.x");
    ASSERT_EQ(0, status.initSharedMem(nullptr, true, shm.c_str()));
  }
  void startMaster() {
    ASSERT_TRUE(master.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}, {},
                             bin.path()));
    ASSERT_TRUE(master.waitForOutput("configuration master ready", 5000)) << master.err();
  }
  void startSupervisor(Proc& sup) {
    ASSERT_TRUE(sup.start({bin.prog("supervisor.x")}, {}, bin.path()));
    ASSERT_TRUE(sup.waitForOutput("Supervisor ready", 5000)) << sup.err();
  }
  /* doVA.x run from the bin directory with its input on a pipe. */
  void startConsole(Proc& p, const std::vector<std::string>& args, bool stdinPipe = true) {
    std::vector<std::string> argv{bin.prog("doVA.x")};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(p.start(argv, {"DOVA_STATUS_SHM=" + shm.str()}, bin.path(), stdinPipe));
  }
  std::string savedFile() const { return work.file("kvPrimeConfig.cfg"); }
};

}  // namespace

TEST_F(ConsoleE2E, commandConsoleSetsValuesThatTheMasterEchoesAndSaves) {
  startMaster();
  Proc con;
  startConsole(con, {"-kill", "-i", "-T", "2"});
  ASSERT_TRUE(con.waitForOutput("cfg->", 12000)) << con.out() << con.err();
  EXPECT_NE(std::string::npos, con.out().find(FALLBACK));

  con.writeStdin("sv SYSTEM_NAME Hello\n");
  ASSERT_TRUE(waitForCount(con, "cmd done: time = ", 1, 4000)) << con.out();
  con.writeStdin("sv,SIS_SlgnUnvNme,\"Hi there\"\n");
  ASSERT_TRUE(waitForCount(con, "cmd done: time = ", 2, 4000)) << con.out();
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Hello", 5000));
  EXPECT_TRUE(waitForFile(savedFile(), "SIS_SlgnUnvNme: Hi there", 5000));

  // an item by its number; a name the master does not know is never echoed
  con.writeStdin("sv 313 Box2\n");
  ASSERT_TRUE(waitForCount(con, "cmd done: time = ", 3, 4000)) << con.out();
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Box2", 5000));
  con.writeStdin("sv Slogan Hello\n");
  ASSERT_TRUE(waitForCount(con, "timeout after ", 1, 5000)) << con.out();

  // trace level 0: the next change goes out silently
  con.writeStdin("-t -4\nsv SYSTEM_NAME Quiet\nh u\n");
  ASSERT_TRUE(con.waitForOutput("Detailed help for 'u'", 5000)) << con.out();
  std::string out = con.out();
  std::string sinceQuiet = out.substr(out.rfind("timeout after "));
  EXPECT_EQ(0u, countOf(sinceQuiet, "Sending Request"));
  EXPECT_EQ(0u, countOf(sinceQuiet, "cmd done"));
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Quiet", 5000));

  // "-t 12" is level 9: even the send's data trace shows
  size_t before = con.out().size();
  con.writeStdin("-t 12\nsv SYSTEM_NAME Loud\n");
  ASSERT_TRUE(waitForCount(con, "cmd done: time = ", 4, 4000)) << con.out();
  EXPECT_NE(std::string::npos, con.out().find("data: SYSTEM_NAME,Loud", before));

  // levels and prompts, then exit
  con.writeStdin("-t 0\nc\nu\n");
  ASSERT_TRUE(con.waitForOutput("dta->cfg->", 3000)) << con.out();
  con.writeStdin("x\n");
  EXPECT_EQ(0, con.wait(3000));
  EXPECT_TRUE(master.running());  // "x" ends only the console
}

TEST_F(ConsoleE2E, withoutAnsweringSupervisorTheKillPathFallsBackAfterFiveSeconds) {
  startMaster();
  // a supervisor that takes the registrations in and never answers
  int quiet = 0;
  msgQ_IO silent(hostQUEUE_NAME, bin.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY, 1, &quiet,
                 nullptr);
  ASSERT_TRUE(silent.linkOk());
  Proc killOnly, editWindow, inputClosed, devNull, killCmd;
  kvTimeStamp start;
  getTimeStamp(&start);
  startConsole(killOnly, {"-kill", "-T", "1"}, false);
  startConsole(editWindow, {"-kill", "-i"});
  startConsole(devNull, {"-kill", "-i"}, false);
  startConsole(killCmd, {"-kill", "-i"});
  // last: children started later would hold its pipe open (inherited fds)
  startConsole(inputClosed, {"-i", "-kill"});
  std::multiset<int> heard;
  auto listen = [&] {
    for (int code = silent.msgQGetMsg(); code != 0; code = silent.msgQGetMsg()) heard.insert(code);
  };

  for (int i = 0; i < 800 && killOnly.running(); i++) {
    listen();
    usleep(10000);
  }
  EXPECT_EQ(0, killOnly.wait(100));
  float waited = elapsedSeconds(&start);
  EXPECT_GE(waited, 4.9f);
  EXPECT_LT(waited, 8.0f);
  EXPECT_NE(std::string::npos, killOnly.out().find(FALLBACK)) << killOnly.out();
  EXPECT_EQ(std::string::npos, killOnly.out().find("cfg->"));

  ASSERT_TRUE(editWindow.waitForOutput("cfg->", 8000)) << editWindow.out() << editWindow.err();
  editWindow.writeStdin("ew 3 30\n");
  EXPECT_EQ(0, editWindow.wait(3000));
  ASSERT_TRUE(inputClosed.waitForOutput("cfg->", 8000)) << inputClosed.out();
  inputClosed.closeStdin();
  EXPECT_EQ(0, inputClosed.wait(3000));
  EXPECT_EQ(0, devNull.wait(8000)) << devNull.out();  // nothing to read: ends, never spins
  ASSERT_TRUE(killCmd.waitForOutput("cfg->", 8000)) << killCmd.out();
  killCmd.writeStdin("bogus\nsv onlyOne\nkill\n");
  EXPECT_EQ(0, killCmd.wait(3000));
  EXPECT_NE(std::string::npos, killCmd.out().find("cfg->Invalid command\n"));
  EXPECT_NE(std::string::npos, killCmd.out().find("cfg-> Too few arguments (minimum=2)\n"));

  listen();
  // five registration requests, and nothing after the fallback: no goodbye,
  // no shutdown on a link that was never granted
  EXPECT_EQ(5u, heard.size());
  EXPECT_EQ(5u, heard.count(ipcMSG_REG_REQUEST));
  EXPECT_TRUE(master.running());
}

TEST_F(ConsoleE2E, killIsGrantedBySupervisorWhichThenStops) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-kill", "-T", "2"}, std::vector<std::string>{"-kill", "-i"}}) {
    Proc sup;
    startSupervisor(sup);
    Proc con;
    kvTimeStamp start;
    getTimeStamp(&start);
    startConsole(con, args);
    EXPECT_EQ(0, con.wait(5000)) << con.out() << con.err();
    EXPECT_LT(elapsedSeconds(&start), 2.0f);
    EXPECT_EQ(std::string::npos, con.out().find("cfg->"));  // no console with a granted kill
    EXPECT_EQ(std::string::npos, con.out().find(FALLBACK));
    if (args.size() == 3) {
      EXPECT_NE(std::string::npos, con.out().find("CONSOLE: Register Grant"));
    }
    EXPECT_EQ(0, sup.wait(3000)) << sup.out() << sup.err();
    EXPECT_NE(std::string::npos, sup.out().find("Shutdown requested by PID"));
  }
}

TEST_F(ConsoleE2E, jammedHostQueueMakesTheKillPathFallBackAtOnce) {
  // an earlier run's client left the client-to-supervisor queue full
  int quiet = 0;
  msgQ_IO stale(hostQUEUE_NAME, bin.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY, 0, &quiet,
                nullptr);
  stale.txQueue().setSendRetryMs(0);
  std::string buf(16 + 1000 + 4, 'j');
  int sent = 0;
  while (sent < 100 && stale.ipcSendMsg(ipcMSG_DATA, 0, &buf[0], 16 + 1000) == 0) sent++;
  ASSERT_LT(sent, 100);
  for (int i = 0; i < 1000 && stale.ipcSendMsgConst(ipcMSG_DATA, 0) == 0; i++) {
  }  // to the last byte
  kvTimeStamp start;
  getTimeStamp(&start);
  std::string out, err;
  EXPECT_EQ(0, runProgram({bin.prog("doVA.x"), "-kill", "-T", "1"}, &out, &err,
                          {"DOVA_STATUS_SHM=" + shm.str()}, 10000, bin.path()));
  EXPECT_LT(elapsedSeconds(&start), 2.0f);
  EXPECT_NE(std::string::npos, out.find(FALLBACK)) << out << err;
}
