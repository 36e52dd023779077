/* supervisor.x seen from a console, started from a private bin directory. */
#include <gtest/gtest.h>

#include <signal.h>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include "ipc/msgQ_IO.h"
#include "tests/support/testSupport.h"

namespace {

int gQuiet = 0;

bool waitForCode(msgQ_IO& q, int code, int timeoutMs) {
  return testsup::waitUntil([&] { return q.msgQGetMsg() == code; }, timeoutMs, 5);
}

/* (The shutdown request of a console's kill: the console's end-to-end tests.) */
TEST(Supervisor, grantsPingsReportsStateAndStopsOnSigtermTellingItsClients) {
  std::string prog = testsup::buildBinDir() + "/supervisor.x", out;
  if (access(prog.c_str(), X_OK) != 0) GTEST_SKIP() << "supervisor.x not built";
  EXPECT_EQ(testsup::runProgram({prog, "-h"}, &out), 0);
  EXPECT_NE(out.find("USAGE: "), std::string::npos) << out;
  EXPECT_NE(out.find("-T"), std::string::npos) << out;
  EXPECT_EQ(testsup::runProgram({prog, "-nope"}, &out), 1);
  testsup::BinDir dir;
  prog = dir.link("supervisor.x");
  testsup::Proc sup;
  ASSERT_TRUE(sup.start({prog, "-T", "1"}, {}, dir.path()));
  ASSERT_TRUE(sup.waitForOutput("Supervisor ready", 3000)) << sup.out() << sup.err();
  msgQ_IO host("Console to Host", dir.path().c_str(), 104, 50000, 0, &gQuiet, nullptr);
  ASSERT_TRUE(host.linkOk());
  ASSERT_TRUE(waitForCode(host, ipcMSG_REG_GRANT, 3000)) << sup.out();
  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_PING_REQ, 0), 0);
  EXPECT_TRUE(waitForCode(host, ipcMSG_PING_RESP, 1000));
  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_ALL_DATA_REQ, 0), 0);
  ASSERT_TRUE(waitForCode(host, ipcMSG_ALL_DATA_RESP, 1000));
  std::string state(host.payload());
  for (std::string s : {std::string("Uptime="), std::string("Clients=1"), std::to_string(getpid()) + " Console to Host"})
    EXPECT_NE(state.find(s), std::string::npos) << state;
  sup.signal(SIGTERM);
  EXPECT_EQ(sup.wait(3000), 0);
  EXPECT_TRUE(waitForCode(host, ipcMSG_REG_SHUTDOWN, 1000)); /* it tells registered clients */
  EXPECT_GE(msgget(ftok(dir.path().c_str(), 104) + 99, 0), 0); /* still there; the bin dir removes it */
}

}  // namespace
