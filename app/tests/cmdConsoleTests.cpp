/*
** The command console and the host link inside one test process: commands
** typed into a real pipe, the supervisor's side played by a master
** endpoint on real queues keyed on a private directory.
*/
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>

#include "app/cmdConsole.h"
#include "app/doVA.h"
#include "app/hostLink.h"
#include "cmdline/cmdInterp.h"
#include "diag/cppUtils.h"
#include "ipc/msgQ_IO.h"
#include "tests/support/testSupport.h"

namespace {

/* A console fed through a pipe, printing into a file; with a host queue on
** request, whose supervisor end the test holds. */
struct ConsoleRig {
  testsup::BinDir keys;  // private queue keys, removed at the end
  int fds[2] = {-1, -1};
  FILE* out = nullptr;
  consoleApp app;
  msgQ_IO* supervisor = nullptr;
  cmdConsole* console = nullptr;

  explicit ConsoleRig(bool withHost) {
    if (pipe(fds) != 0) ADD_FAILURE() << "pipe";
    out = tmpfile();
    app.traceLevel = 0;
    if (withHost) {
      supervisor = new msgQ_IO(hostQUEUE_NAME, keys.path().c_str(), hostKEY_BYTE, hostRX_CAPACITY,
                               1, &app.traceLevel, nullptr);
      app.hostQueue = new msgQ_IO(hostQUEUE_NAME, keys.path().c_str(), hostKEY_BYTE,
                                  hostRX_CAPACITY, 0, &app.traceLevel, nullptr);
      EXPECT_EQ(ipcMSG_REG_REQUEST, supervisor->msgQGetMsg());
    }
    console = new cmdConsole(app, nullptr, fds[0], out);
    EXPECT_TRUE(console->start());
  }
  ~ConsoleRig() {
    delete console;
    delete app.hostQueue;
    delete supervisor;
    close(fds[0]);
    if (fds[1] >= 0) close(fds[1]);
    fclose(out);
  }
  void type(const std::string& text) {
    EXPECT_EQ((ssize_t)text.size(), write(fds[1], text.data(), text.size()));
  }
  /* Steps until a step is not idle (bounded). */
  int stepBusy() {
    for (int i = 0; i < 100; i++) {
      int r = console->step();
      if (r != cmdSTEP_IDLE) return r;
    }
    return cmdSTEP_IDLE;
  }
  std::string printed() {
    fflush(out);
    rewind(out);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, n);
    return text;
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
    for (int i = 0; i < 200; i++) {
      int code = supervisor->msgQGetMsg();
      if (code != ipcMSG_NONE) return code;
      usleep(5000);
    }
    return ipcMSG_NONE;
  }
};

}  // namespace

TEST(CommandConsole, traceLevelCommandClampsIntoZeroToNine) {
  ConsoleRig rig(false);
  struct {
    const char* line;
    int level;
  } cases[] = {{"-t 12\n", 9}, {"-t -4\n", 0}, {"-t 5\n", 5}, {"-t garbage\n", 0}, {"-t 3x\n", 3}};
  for (const auto& c : cases) {
    rig.app.traceLevel = 7;
    rig.type(c.line);
    EXPECT_EQ(cmdSTEP_BUSY, rig.stepBusy()) << c.line;
    EXPECT_EQ(c.level, rig.app.traceLevel) << c.line;
  }
}

TEST(CommandConsole, displayCommandsStoreTheirSettingsAndEndTheLoopGetAllNeedsAHost) {
  ConsoleRig rig(false);
  rig.type("ew 3 30\n");
  EXPECT_EQ(cmdSTEP_END_DISPLAY, rig.stepBusy());
  EXPECT_EQ(3, rig.app.dispRows);
  EXPECT_EQ(30, rig.app.dispCols);
  EXPECT_FALSE(rig.app.lcdMode);
  rig.type("em\n");
  EXPECT_EQ(cmdSTEP_END_DISPLAY, rig.stepBusy());
  EXPECT_TRUE(rig.app.lcdMode);
  rig.type("ew 7\n");
  EXPECT_EQ(cmdSTEP_END_DISPLAY, rig.stepBusy());
  EXPECT_EQ(7, rig.app.dispRows);
  EXPECT_EQ(30, rig.app.dispCols);
  testing::internal::CaptureStdout();  /* no host queue: getAll is not available */
  rig.type("getAll\n");
  EXPECT_EQ(cmdSTEP_BUSY, rig.stepBusy());
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("Console function not available"));
  EXPECT_EQ(cmdConsole::PENDING_NONE, rig.console->pendingState());
}

TEST(CommandConsole, testLevelCursorCommandWritesEscapeCodesWithACounter) {
  ConsoleRig rig(false);
  rig.type("tst\nc\nc 5A\nc 2J\nc 1 2\nu\n");
  for (int i = 0; i < 6; i++) EXPECT_EQ(cmdSTEP_BUSY, rig.stepBusy());
  EXPECT_EQ(cmdSTEP_IDLE, rig.console->step());  // writes the next prompt
  std::string said = rig.printed();
  EXPECT_NE(std::string::npos,
            said.find("tst->options....\nfor single paramter <esc>+[ will be output followed by "
                      "the data specified\n"));
  size_t first = said.find("\x1b[5A<here now");
  size_t second = said.find("\x1b[2J<here now");
  ASSERT_NE(std::string::npos, first);
  ASSERT_NE(std::string::npos, second);
  // the counter is process-wide: the second code carries the next number
  int n1 = atoi(said.c_str() + first + strlen("\x1b[5A<here now"));
  int n2 = atoi(said.c_str() + second + strlen("\x1b[2J<here now"));
  EXPECT_EQ(n1 + 1, n2);
  EXPECT_EQ("cfg->", said.substr(said.size() - 5));  // "u" went back to the top level
}

TEST(CommandConsole, getAllAsksTheHostAndHoldsInputUntilTheAnswer) {
  ConsoleRig rig(true);
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
}

TEST(CommandConsole, getAllGivesUpAfterFourSecondsWithoutAnswer) {
  ConsoleRig rig(true);
  rig.app.traceLevel = 1;
  rig.type("getAll\n");
  kvTimeStamp start;
  getTimeStamp(&start);
  EXPECT_EQ(cmdSTEP_BUSY, rig.stepBusy());
  testing::internal::CaptureStdout();
  int steps = 0;
  while (rig.console->pendingState() != cmdConsole::PENDING_NONE && steps++ < 20) rig.console->step();
  std::string traced = testing::internal::GetCapturedStdout();
  float waited = elapsedSeconds(&start);
  EXPECT_EQ(cmdConsole::PENDING_NONE, rig.console->pendingState());
  EXPECT_GE(waited, 3.9f);
  EXPECT_LT(waited, 5.5f);
  EXPECT_NE(std::string::npos, traced.find("timeout after "));
}

TEST(HostLink, waitHandlesEveryCodeAsTheSupervisorSendsIt) {
  ConsoleRig rig(true);
  rig.app.traceLevel = 1;
  // a ping is answered and does not end a wait for any message
  ASSERT_EQ(0, rig.supervisor->ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, rig.app.hostQueue->typeId()));
  EXPECT_EQ(ipcMSG_NONE, waitForHostMessage(rig.app, 0, 0));
  EXPECT_EQ(ipcMSG_PING_RESP, rig.supervisorGets());
  // a deny ends the wait for the grant at once
  kvTimeStamp start;
  getTimeStamp(&start);
  rig.answer(ipcMSG_REG_DENY, "");
  EXPECT_EQ(ipcMSG_REG_DENY, waitForHostMessage(rig.app, 5, ipcMSG_REG_GRANT));
  EXPECT_LT(elapsedMs(&start), 500u);
  // other codes are traced and passed over while waiting for the grant
  testing::internal::CaptureStdout();
  rig.answer(ipcMSG_REG_TERMINATED, "bye");
  rig.answer(ipcMSG_PING_RESP, "");
  rig.answer(ipcMSG_REG_GRANT, "");
  EXPECT_EQ(ipcMSG_REG_GRANT, waitForHostMessage(rig.app, 5, ipcMSG_REG_GRANT));
  std::string traced = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, traced.find("Console: message type 7 received:\nbye\n"));
  EXPECT_NE(std::string::npos, traced.find("Console: Ping Resp Rxd"));
  EXPECT_NE(std::string::npos, traced.find("CONSOLE: Register Grant"));
  // nothing waiting: a negative timeout waits one second
  getTimeStamp(&start);
  EXPECT_EQ(ipcMSG_NONE, waitForHostMessage(rig.app, -3, ipcMSG_REG_GRANT));
  EXPECT_GE(elapsedMs(&start), 990u);
  EXPECT_LT(elapsedMs(&start), 1500u);
  // a stop request ends even a long wait
  rig.app.stopRequested = 1;
  getTimeStamp(&start);
  EXPECT_EQ(ipcMSG_NONE, waitForHostMessage(rig.app, 60, ipcMSG_REG_GRANT));
  EXPECT_LT(elapsedMs(&start), 200u);
}

TEST(HostLink, floodedHostQueueIsTakenOneMessagePerLookAndNeverHangs) {
  ConsoleRig rig(true);
  testing::internal::CaptureStdout();
  int sent = 0;
  rig.supervisor->txQueue().setSendRetryMs(0);
  std::string buf(16 + 100 + 4, 'x');
  while (sent < 2000 &&
         rig.supervisor->ipcCopySendMsg(ipcMSG_DATA, 0, &buf[0], 16 + 100,
                                        rig.app.hostQueue->typeId()) == 0)
    sent++;
  EXPECT_GT(sent, 50);  // the queue filled up
  kvTimeStamp start;
  getTimeStamp(&start);
  int taken = 0;
  while (waitForHostMessage(rig.app, 0, 0) == ipcMSG_DATA) taken++;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(sent, taken);
  EXPECT_LT(elapsedMs(&start), 5000u);
}

TEST(HostLink, closingSendsGoodbyeOrShutdown) {
  for (bool kill : {false, true}) {
    ConsoleRig rig(true);
    rig.app.killRequested = kill;
    closeHostLink(rig.app);
    EXPECT_EQ(nullptr, rig.app.hostQueue);
    EXPECT_EQ(kill ? ipcMSG_REG_SHUTDOWN : ipcMSG_REG_GOODBYE, rig.supervisorGets());
  }
}
