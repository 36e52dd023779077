/*
** Queue transport and registration between real processes: a forked master
** endpoint serves clients of this test process over real System V queues
** keyed on a private directory (removed with the directory).
*/
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include "diag/ErrTrcLog.h"
#include "diag/cppUtils.h"
#include "ipc/ipcMsgQBase.h"
#include "ipc/msgQ_IO.h"
#include "tests/support/testSupport.h"

using testsup::BinDir;

namespace {

const int kKeyByte = 65;
int gQuiet = 0;  /* trace level 0: only the always-on lines print */

/* A master endpoint in a forked child.  It grants every registration except
** "outcast" (denied); "evicted" is granted and terminated at once.  After a
** grant it greets the client with a data message "hello <name>".  It
** answers pings, and exits 0 on a goodbye, 5 on a shutdown, 99 after 5 s. */
int scriptedMaster(const std::string& dir) {
  msgQ_IO m("test", dir.c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  if (!m.linkOk()) return 98;
  printf("ready\n");
  kvTimeStamp start;
  getTimeStamp(&start);
  char out[200];
  while (elapsedMs(&start) < 5000) {
    int code = m.msgQGetMsg();
    int32_t from = m.senderType();
    std::string name = m.payload();  /* NUL-terminated by the receive */
    switch (code) {
      case ipcMSG_NONE: usleep(1000); break;
      case ipcMSG_REG_REQUEST:
        if (name == "outcast") {
          m.ipcCopySendMsgConst(ipcMSG_REG_DENY, 0, from);
          break;
        }
        m.ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, from);
        snprintf(out + ipcENVELOPE_SIZE, 100, "hello %s", name.c_str());
        m.ipcCopySendMsg(ipcMSG_DATA, 0, out, ipcENVELOPE_SIZE + (int)strlen(out + ipcENVELOPE_SIZE), from);
        if (name == "evicted") m.ipcCopySendMsgConst(ipcMSG_REG_TERMINATED, 0, from);
        break;
      case ipcMSG_PING_REQ: m.ipcCopySendMsgConst(ipcMSG_PING_RESP, 0, from); break;
      case ipcMSG_REG_GOODBYE: return 0;
      case ipcMSG_REG_SHUTDOWN: return 5;
      default: break;
    }
  }
  return 99;
}

/* Poll the endpoint every 5 ms until `code` arrives; the codes seen before
** it are appended to *seen.  False after timeoutMs. */
bool waitForCode(msgQ_IO& q, int code, int timeoutMs, std::string* seen = nullptr) {
  for (int waited = 0; waited <= timeoutMs; waited += 5) {
    int c = q.msgQGetMsg();
    if (c == code) return true;
    if (c != 0 && seen) *seen += std::to_string(c) + " ";
    usleep(5000);
  }
  return false;
}

/* Raw view of a queue, as the kernel holds it. */
struct RawMsg {
  long mtype;
  char text[16384];
};

int queueCount(int qid) {
  struct msqid_ds ds;
  return msgctl(qid, IPC_STAT, &ds) == 0 ? (int)ds.msg_qnum : -1;
}

}  // namespace

/* ---- registration and link control between processes ------------------- */

TEST(Registration, grantDenyTerminatePingGoodbyeAndShutdownWithAForkedMaster) {
  BinDir dir;
  testsup::Child master(dir.file("master.out"), [&] { return scriptedMaster(dir.path()); });
  ASSERT_TRUE(master.waitForOutput("ready", 3000));
  {
    msgQ_IO outcast("outcast", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
    std::string seen;
    EXPECT_TRUE(waitForCode(outcast, ipcMSG_REG_DENY, 3000, &seen));
    EXPECT_EQ(seen, "");  /* no grant before the deny */
  }
  {
    msgQ_IO evicted("evicted", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
    std::string seen;
    EXPECT_TRUE(waitForCode(evicted, ipcMSG_REG_TERMINATED, 3000, &seen));
    EXPECT_EQ(seen, "3 8 ");
  }
  msgQ_IO client("grantee", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
  ASSERT_TRUE(client.linkOk());
  EXPECT_EQ(client.typeId(), (int32_t)getpid());
  ASSERT_TRUE(waitForCode(client, ipcMSG_REG_GRANT, 3000));
  ASSERT_TRUE(waitForCode(client, ipcMSG_DATA, 1000));
  EXPECT_STREQ(client.payload(), "hello grantee");
  EXPECT_EQ(client.payloadLen(), 13);
  ASSERT_EQ(client.ipcSendMsgConst(ipcMSG_PING_REQ, 0), 0);
  EXPECT_TRUE(waitForCode(client, ipcMSG_PING_RESP, 1000));
  ASSERT_EQ(client.ipcSendMsgConst(ipcMSG_REG_GOODBYE, 0), 0);
  EXPECT_EQ(master.wait(2000), 0);

  testsup::Child second(dir.file("second.out"), [&] { return scriptedMaster(dir.path()); });
  ASSERT_TRUE(second.waitForOutput("ready", 3000));
  ASSERT_EQ(client.ipcSendMsgConst(ipcMSG_REG_SHUTDOWN, 0), 0);
  EXPECT_EQ(second.wait(2000), 5);
}

TEST(Registration, clientDiscardsMessagesOfAnEarlierProcessWithItsIdBeforeRegistering) {
  BinDir dir;
  int32_t me = (int32_t)getpid();
  ipcMsgQBase m2c(ipcQ_TX, "m2c", dir.path().c_str(), kKeyByte, 0, 0, &gQuiet, nullptr);
  ipcMsgQBase c2m(ipcQ_TX, "c2m", dir.path().c_str(), 255 - kKeyByte, 0, 0, &gQuiet, nullptr);
  char b[64] = {0};
  ASSERT_EQ(m2c.msgSend(ipcMSG_DATA, 0, b, 20, me), 0);
  ASSERT_EQ(m2c.msgSend(ipcMSG_DATA, 0, b, 20, me + 1), 0);  /* someone else's */
  ASSERT_EQ(c2m.msgSend(ipcMSG_NEW_DATA_VALUE, 0, b, 20, me), 0);
  ASSERT_EQ(queueCount(m2c.queueId()), 2);

  msgQ_IO client("fresh", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
  ASSERT_TRUE(client.linkOk());
  EXPECT_EQ(queueCount(m2c.queueId()), 1);   /* only the other client's */
  ASSERT_EQ(queueCount(c2m.queueId()), 1);   /* only the registration request */
  RawMsg r;
  ASSERT_EQ(msgrcv(c2m.queueId(), &r, sizeof r.text, me, IPC_NOWAIT), 16 + 6);
  EXPECT_EQ(ipcGetU32(r.text), (uint32_t)ipcMSG_REG_REQUEST);
  EXPECT_STREQ(r.text + 12, "fresh");

  /* A master starting up discards everything of every client. */
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  EXPECT_EQ(queueCount(m2c.queueId()), 0);
}

TEST(Registration, masterCannotRegisterAndAClientSendsToItselfOnly) {
  BinDir dir;
  testing::internal::CaptureStdout();
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  EXPECT_EQ(master.ipcRegister("me"), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("ERR #14002 in ipcMsgQ_Mstr_Clnt::ipcRegister() - line "), std::string::npos);
  EXPECT_NE(out.find("Cannot request registration in master mode"), std::string::npos);

  msgQ_IO client("c", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
  ASSERT_EQ(client.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, 12345), 0);
  EXPECT_EQ(master.msgQGetMsg(), ipcMSG_REG_REQUEST);
  EXPECT_EQ(master.msgQGetMsg(), ipcMSG_PING_REQ);
  EXPECT_EQ(master.senderType(), client.typeId());
}

/* ---- queue keys ----------------------------------------------------------- */

TEST(QueueKeys, keyByteAndItsComplementNameThePairZeroBecomesOne) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), 0, 10000, 1, &gQuiet, nullptr);
  EXPECT_EQ(master.txQueue().key(), ftok(dir.path().c_str(), 1) + 99);
  EXPECT_EQ(master.rxQueue().key(), ftok(dir.path().c_str(), 254) + 99);
}

TEST(QueueKeys, unusableKeyPathLeavesTheLinkDownWithErrors) {
  testing::internal::CaptureStdout();
  {
    msgQ_IO q("nowhere", "/no/such/dir", kKeyByte, 1000, 0, &gQuiet, nullptr);
    EXPECT_FALSE(q.linkOk());
    char b[32] = {0};
    EXPECT_EQ(q.ipcSendMsg(ipcMSG_DATA, 0, b, 16), 1);
    EXPECT_EQ(q.msgQGetMsg(), 0);
    q.purge();
  }
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("ERR #15001 in ipcMsgQ_Base::ipcMsgQBase() - line "), std::string::npos);
  EXPECT_NE(out.find("Can not initiate message queue"), std::string::npos);
  EXPECT_NE(out.find("Could not initiate msg queue: nowhere - Tx."), std::string::npos);
  EXPECT_NE(out.find("ERR #14001 in ipcMsgQ_Mstr_Clnt::msgQ_IO() - line "), std::string::npos);
  EXPECT_NE(out.find("ERR #15003"), std::string::npos);
  EXPECT_NE(out.find("Queue has not been initialized"), std::string::npos);
  EXPECT_NE(out.find("ERR #15002"), std::string::npos);
}
