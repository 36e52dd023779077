/*
** supervisor.x seen from a console: started from a private bin directory,
** it grants the host link, answers pings and data requests, stops on the
** shutdown request or SIGTERM with status 0 and leaves its queues in place.
*/
#include <gtest/gtest.h>

#include <signal.h>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include "ipc/msgQ_IO.h"
#include "tests/support/testSupport.h"

using testsup::BinDir;
using testsup::Proc;

namespace {

const int kHostKeyByte = 104;
int gQuiet = 0;

bool waitForCode(msgQ_IO& q, int code, int timeoutMs) {
  return testsup::waitUntil([&] { return q.msgQGetMsg() == code; }, timeoutMs, 5);
}

bool haveSupervisor() { return access((testsup::buildBinDir() + "/supervisor.x").c_str(), X_OK) == 0; }

/* Start supervisor.x from dir and wait until it serves the queues. */
bool startSupervisor(BinDir& dir, Proc& p) {
  std::string prog = dir.link("supervisor.x");
  if (!p.start({prog, "-T", "1"}, {}, dir.path())) return false;
  return p.waitForOutput("Supervisor ready", 3000);
}

}  // namespace

TEST(Supervisor, grantsPingsReportsStateAndStopsOnTheShutdownRequest) {
  if (!haveSupervisor()) GTEST_SKIP() << "supervisor.x not built";
  BinDir dir;
  Proc sup;
  ASSERT_TRUE(startSupervisor(dir, sup)) << sup.out() << sup.err();

  msgQ_IO host("Console to Host", dir.path().c_str(), kHostKeyByte, 50000, 0, &gQuiet, nullptr);
  ASSERT_TRUE(host.linkOk());
  ASSERT_TRUE(waitForCode(host, ipcMSG_REG_GRANT, 3000)) << sup.out();

  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_PING_REQ, 0), 0);
  EXPECT_TRUE(waitForCode(host, ipcMSG_PING_RESP, 1000));

  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_ALL_DATA_REQ, 0), 0);
  ASSERT_TRUE(waitForCode(host, ipcMSG_ALL_DATA_RESP, 1000));
  std::string state(host.payload());
  EXPECT_NE(state.find("Uptime="), std::string::npos) << state;
  EXPECT_NE(state.find("Clients=1"), std::string::npos) << state;
  EXPECT_NE(state.find(std::to_string(getpid()) + " Console to Host"), std::string::npos) << state;

  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_REG_SHUTDOWN, 0), 0);
  EXPECT_EQ(sup.wait(3000), 0);
  EXPECT_NE(sup.out().find("Shutdown requested by PID " + std::to_string(getpid()) + " (Console to Host)"),
            std::string::npos) << sup.out();
}

TEST(Supervisor, sigtermStopsItTellsRegisteredClientsAndKeepsTheQueues) {
  if (!haveSupervisor()) GTEST_SKIP() << "supervisor.x not built";
  BinDir dir;
  Proc sup;
  ASSERT_TRUE(startSupervisor(dir, sup)) << sup.out() << sup.err();
  msgQ_IO host("Console to Host", dir.path().c_str(), kHostKeyByte, 50000, 0, &gQuiet, nullptr);
  ASSERT_TRUE(waitForCode(host, ipcMSG_REG_GRANT, 3000));

  sup.signal(SIGTERM);
  EXPECT_EQ(sup.wait(3000), 0);
  EXPECT_TRUE(waitForCode(host, ipcMSG_REG_SHUTDOWN, 1000));
  key_t k = ftok(dir.path().c_str(), kHostKeyByte) + 99;
  EXPECT_GE(msgget(k, 0), 0);  /* still there; the bin dir removes it */
}

TEST(Supervisor, helpAndBadSwitches) {
  if (!haveSupervisor()) GTEST_SKIP() << "supervisor.x not built";
  std::string out;
  std::string prog = testsup::buildBinDir() + "/supervisor.x";
  EXPECT_EQ(testsup::runProgram({prog, "-h"}, &out), 0);
  EXPECT_NE(out.find("USAGE: "), std::string::npos) << out;
  EXPECT_NE(out.find("-T"), std::string::npos) << out;
  EXPECT_EQ(testsup::runProgram({prog, "-nope"}, &out), 1);
}
