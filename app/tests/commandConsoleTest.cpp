/*
** The command console and the kill path.  In one test process: commands
** typed into a real pipe, the supervisor's side played by a master endpoint
** on real queues keyed on a private directory.  End to end: real doVA.x
** processes typed at through a pipe, a real cfgMaster.x, a real
** supervisor.x (or a supervisor that never answers), all keyed on a private
** bin directory, with a private status region.
*/
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <unistd.h>

#include "app/cmdConsole.h"
#include "app/doVA.h"
#include "app/hostLink.h"
#include "cmdline/cmdInterp.h"
#include "ipc/msgQ_IO.h"
#include "status/kvSharedMem.h"
#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

/* A console fed through a pipe, with a host queue whose supervisor end the
** test holds. */
struct ConsoleRig {
  testsup::BinDir keys;  // private queue keys, removed at the end
  int fds[2] = {-1, -1};
  FILE* out = fopen("/dev/null", "w");
  consoleApp app;
  msgQ_IO* supervisor = nullptr;
  cmdConsole* console = nullptr;

  ConsoleRig() {
    if (pipe(fds) != 0) ADD_FAILURE() << "pipe";
    app.traceLevel = 0;
    supervisor = new msgQ_IO(hostQUEUE_NAME, keys.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY, 1,
                             &app.traceLevel, nullptr);
    app.hostQueue = new msgQ_IO(hostQUEUE_NAME, keys.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY, 0,
                                &app.traceLevel, nullptr);
    EXPECT_EQ(ipcMSG_REG_REQUEST, supervisor->msgQGetMsg());
    console = new cmdConsole(app, nullptr, fds[0], out);
    EXPECT_TRUE(console->start());
  }
  ~ConsoleRig() {
    delete console;
    delete app.hostQueue;
    delete supervisor;
    close(fds[0]);
    close(fds[1]);
    fclose(out);
  }
  void type(const std::string& text) { EXPECT_EQ((ssize_t)text.size(), write(fds[1], text.data(), text.size())); }
  /* Steps until a step is not idle (bounded). */
  int stepBusy() {
    for (int i = 0; i < 100; i++) {
      int r = console->step();
      if (r != cmdSTEP_IDLE) return r;
    }
    return cmdSTEP_IDLE;
  }
  /* The supervisor answers one code to the console. */
  void answer(int code, const std::string& payload) {
    std::string buf(16 + payload.size() + 4, '\0');
    memcpy(&buf[16], payload.data(), payload.size());
    ASSERT_EQ(0, supervisor->ipcCopySendMsg(code, 0, &buf[0], (int)(16 + payload.size()),
                                            app.hostQueue->typeId()));
  }
  /* The next code the supervisor receives (bounded poll). */
  int supervisorGets() {
    int code = ipcMSG_NONE;
    waitUntil([&] { return (code = supervisor->msgQGetMsg()) != ipcMSG_NONE; }, 1000, 5);
    return code;
  }
};

}  // namespace

/* The console's getAll asks the host and holds the input until the answer
** (its time limit is the answer timer, run out in the end-to-end session by
** a change the master never echoes).  A flooded host queue is taken one
** message per look and never hangs; a ping is answered, a deny ends the
** wait for the grant, other codes are traced and passed over, a negative
** timeout waits one second, a stop request ends even a long wait; closing
** says goodbye. */
TEST(HostLink, getAllWaitsForTheHostEveryCodeIsHandledAsTheSupervisorSendsItAndAFloodNeverHangs) {
  ConsoleRig rig;
  rig.app.traceLevel = 2;
  rig.type("getAll\nx\n");
  EXPECT_EQ(cmdSTEP_BUSY, rig.stepBusy());
  EXPECT_EQ(cmdConsole::PENDING_HOST_ANSWER, rig.console->pendingState());
  EXPECT_EQ(ipcMSG_ALL_DATA_REQ, rig.supervisorGets());
  EXPECT_EQ(0, rig.supervisor->payloadLen());
  rig.answer(ipcMSG_ALL_DATA_RESP, std::string("SYSTEM_NAME=box\x1b[2J", 20));
  testing::internal::CaptureStdout();
  EXPECT_EQ(cmdSTEP_BUSY, rig.console->step());
  std::string traced = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos,
            traced.find("Console: Data message 'All data resp':\nSYSTEM_NAME=box.[2J\n"));
  EXPECT_NE(std::string::npos, traced.find("cmd done: time = "));
  EXPECT_EQ(cmdConsole::PENDING_NONE, rig.console->pendingState());
  EXPECT_EQ(cmdSTEP_EXIT, rig.stepBusy());  // the line typed meanwhile is read now

  testing::internal::CaptureStdout();
  int sent = 0;
  rig.supervisor->txQueue().setSendRetryMs(0);
  std::string buf(16 + 100 + 4, 'x');
  while (sent < 2000 && rig.supervisor->ipcCopySendMsg(ipcMSG_DATA, 0, &buf[0], 16 + 100,
                                                       rig.app.hostQueue->typeId()) == 0)
    sent++;
  EXPECT_GT(sent, 50);  // the queue filled up
  auto t0 = std::chrono::steady_clock::now();
  int taken = 0;
  while (waitForHostMessage(rig.app, 0, 0) == ipcMSG_DATA) taken++;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(sent, taken);
  EXPECT_LT(secondsSince(t0), 5.0);

  rig.app.traceLevel = 1;
  // a ping is answered and does not end a wait for any message
  ASSERT_EQ(0, rig.supervisor->ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, rig.app.hostQueue->typeId()));
  EXPECT_EQ(ipcMSG_NONE, waitForHostMessage(rig.app, 0, 0));
  EXPECT_EQ(ipcMSG_PING_RESP, rig.supervisorGets());
  // a deny ends the wait for the grant at once
  t0 = std::chrono::steady_clock::now();
  rig.answer(ipcMSG_REG_DENY, "");
  EXPECT_EQ(ipcMSG_REG_DENY, waitForHostMessage(rig.app, 5, ipcMSG_REG_GRANT));
  EXPECT_LT(secondsSince(t0), 0.5);
  // other codes are traced and passed over while waiting for the grant
  testing::internal::CaptureStdout();
  rig.answer(ipcMSG_REG_TERMINATED, "bye");
  rig.answer(ipcMSG_PING_RESP, "");
  rig.answer(ipcMSG_REG_GRANT, "");
  EXPECT_EQ(ipcMSG_REG_GRANT, waitForHostMessage(rig.app, 5, ipcMSG_REG_GRANT));
  traced = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, traced.find("Console: message type 7 received:\nbye\n"));
  EXPECT_NE(std::string::npos, traced.find("Console: Ping Resp Rxd"));
  EXPECT_NE(std::string::npos, traced.find("CONSOLE: Register Grant"));
  // nothing waiting: a negative timeout waits one second
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ipcMSG_NONE, waitForHostMessage(rig.app, -3, ipcMSG_REG_GRANT));
  EXPECT_GE(secondsSince(t0), 0.99);
  EXPECT_LT(secondsSince(t0), 1.5);
  // a stop request ends even a long wait
  rig.app.stopRequested = 1;
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ipcMSG_NONE, waitForHostMessage(rig.app, 60, ipcMSG_REG_GRANT));
  EXPECT_LT(secondsSince(t0), 0.2);
  // closing without a kill says goodbye (the kill's shutdown: end to end)
  closeHostLink(rig.app);
  EXPECT_EQ(nullptr, rig.app.hostQueue);
  EXPECT_EQ(ipcMSG_REG_GOODBYE, rig.supervisorGets());
}

namespace {

const char FALLBACK[] = "Failed to connect with configuration master, access will be limited";

class ConsoleE2E : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_EQ(0, status.initSharedMem(nullptr, true, shm.c_str()));
  }
  kvSharedMem status;
};

}  // namespace

/* A supervisor that takes the registrations in and never answers: after
** 5 s every kill path falls back, to the command console with "-i"; it
** ends on "ew" and "em", on closed or no input, and on "kill".  Its "sv" changes are
** echoed and saved by the master, traced by level. */
TEST_F(ConsoleE2E, withoutAnsweringSupervisorTheKillPathFallsBackToACommandConsoleThatSetsValues) {
  startMaster();
  int quiet = 0;
  msgQ_IO silent(hostQUEUE_NAME, bin.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY, 1, &quiet, nullptr);
  ASSERT_TRUE(silent.linkOk());
  Proc killOnly, ends[3], inputClosed, devNull, con;
  const char* endLines[] = {"ew 3 30\n", "ew 7\n", "em\n"};  // each ends the console
  auto t0 = std::chrono::steady_clock::now();
  startConsole(killOnly, {"-kill", "-T", "1"}, false);
  for (Proc& p : ends) startConsole(p, {"-kill", "-i"});
  startConsole(devNull, {"-kill", "-i"}, false);
  startConsole(con, {"-kill", "-i", "-T", "2"});
  // last: children started later would hold its pipe open (inherited fds)
  startConsole(inputClosed, {"-i", "-kill"});
  std::multiset<int> heard;
  auto listen = [&] {
    for (int code = silent.msgQGetMsg(); code != 0; code = silent.msgQGetMsg()) heard.insert(code);
  };
  waitUntil([&] { listen(); return !killOnly.running(); }, 8000);
  EXPECT_EQ(0, killOnly.wait(100));
  EXPECT_GE(secondsSince(t0), 4.9);
  EXPECT_LT(secondsSince(t0), 8.0);
  EXPECT_NE(std::string::npos, killOnly.out().find(FALLBACK)) << killOnly.out();
  EXPECT_EQ(std::string::npos, killOnly.out().find("cfg->"));
  for (int i = 0; i < 3; i++) {
    ASSERT_TRUE(ends[i].waitForOutput("cfg->", 8000)) << ends[i].out() << ends[i].err();
    ends[i].writeStdin(endLines[i]);
    EXPECT_EQ(0, ends[i].wait(3000)) << endLines[i];
  }
  ASSERT_TRUE(inputClosed.waitForOutput("cfg->", 8000)) << inputClosed.out();
  inputClosed.closeStdin();
  EXPECT_EQ(0, inputClosed.wait(3000));
  EXPECT_EQ(0, devNull.wait(8000)) << devNull.out();  // nothing to read: ends, never spins

  ASSERT_TRUE(con.waitForOutput("cfg->", 8000)) << con.out() << con.err();
  auto send = [&](const char* lines, const char* until, size_t times) {
    con.writeStdin(lines);
    return waitUntil([&] { return countOf(con.out(), until) >= times; }, 5000);
  };
  const char* done = "cmd done: time = ";
  ASSERT_TRUE(send("sv SYSTEM_NAME Hello\n", done, 1)) << con.out();
  ASSERT_TRUE(send("sv,SIS_SlgnUnvNme,\"Hi there\"\n", done, 2)) << con.out();
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Hello", 5000));
  EXPECT_TRUE(waitForFile(savedFile(), "SIS_SlgnUnvNme: Hi there", 5000));
  // an item by its number; a name the master does not know is never echoed
  ASSERT_TRUE(send("sv 313 Box2\n", done, 3)) << con.out();
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Box2", 5000));
  ASSERT_TRUE(send("sv Slogan Hello\n", "timeout after ", 1)) << con.out();
  // trace level 0: the next change goes out silently
  ASSERT_TRUE(send("-t -4\nsv SYSTEM_NAME Quiet\nh u\n", "Detailed help for 'u'", 1)) << con.out();
  std::string sinceQuiet = con.out().substr(con.out().rfind("timeout after "));
  EXPECT_EQ(0u, countOf(sinceQuiet, "Sending Request"));
  EXPECT_EQ(0u, countOf(sinceQuiet, "cmd done"));
  EXPECT_TRUE(waitForFile(savedFile(), "SYSTEM_NAME: Quiet", 5000));
  // "-t 12" is level 9: even the send's data trace shows
  size_t before = con.out().size();
  ASSERT_TRUE(send("-t 12\nsv SYSTEM_NAME Loud\n", done, 4)) << con.out();
  EXPECT_NE(std::string::npos, con.out().find("data: SYSTEM_NAME,Loud", before));
  // no host link after the fallback; the test level's cursor codes count
  // from one; levels and prompts, errors, then the kill command
  con.writeStdin("-t 0\ngetAll\ntst\nc\nc 5A\nc 2J\nc 1 2\nu\nc\nu\nbogus\nsv onlyOne\nkill\n");
  EXPECT_EQ(0, con.wait(3000));
  EXPECT_NE(std::string::npos,
            con.out().find("Console function not available\ncfg->tst->options....\nfor single paramter <esc>+[ "
                           "will be output followed by the data specified\ntst->\x1b[5A<here now1>\ntst->\x1b[2J"
                           "<here now2>\ntst->tst->cfg->dta->cfg->Invalid command\ncfg-> Too few arguments "
                           "(minimum=2)\ncfg->", before)) << con.out();

  listen();
  // seven registration requests, and nothing after the fallback: no goodbye,
  // no shutdown on a link that was never granted
  EXPECT_EQ(7u, heard.size());
  EXPECT_EQ(7u, heard.count(ipcMSG_REG_REQUEST));
  EXPECT_TRUE(master.running());
}

TEST_F(ConsoleE2E, killIsGrantedBySupervisorWhichThenStops) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-kill", "-T", "2"}, std::vector<std::string>{"-kill", "-i"}}) {
    Proc sup;
    ASSERT_TRUE(sup.start({bin.prog("supervisor.x")}, {}, bin.path()));
    ASSERT_TRUE(sup.waitForOutput("Supervisor ready", 5000)) << sup.err();
    Proc con;
    auto t0 = std::chrono::steady_clock::now();
    startConsole(con, args);
    EXPECT_EQ(0, con.wait(5000)) << con.out() << con.err();
    EXPECT_LT(secondsSince(t0), 2.0);
    EXPECT_EQ(std::string::npos, con.out().find("cfg->"));  // no console with a granted kill
    EXPECT_EQ(std::string::npos, con.out().find(FALLBACK));
    EXPECT_EQ(args.size() == 3, con.out().find("CONSOLE: Register Grant") != std::string::npos);
    EXPECT_EQ(0, sup.wait(3000)) << sup.out() << sup.err();
    EXPECT_NE(std::string::npos, sup.out().find("Shutdown requested by PID"));
  }
}

TEST_F(ConsoleE2E, jammedHostQueueMakesTheKillPathFallBackAtOnce) {
  // an earlier run's client left the client-to-supervisor queue full
  int quiet = 0;
  msgQ_IO stale(hostQUEUE_NAME, bin.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY, 0, &quiet, nullptr);
  stale.txQueue().setSendRetryMs(0);
  std::string buf(16 + 1000 + 4, 'j');
  int sent = 0;
  while (sent < 100 && stale.ipcSendMsg(ipcMSG_DATA, 0, &buf[0], 16 + 1000) == 0) sent++;
  ASSERT_LT(sent, 100);
  for (int i = 0; i < 1000 && stale.ipcSendMsgConst(ipcMSG_DATA, 0) == 0; i++) {
  }  // to the last byte
  auto t0 = std::chrono::steady_clock::now();
  std::string out, err;
  EXPECT_EQ(0, console({"-kill", "-T", "1"}, &out, &err));
  EXPECT_LT(secondsSince(t0), 2.0);
  EXPECT_NE(std::string::npos, out.find(FALLBACK)) << out << err;
}
