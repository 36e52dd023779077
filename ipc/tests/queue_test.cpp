/*
** The queues as the programs meet them: the bytes on the queue, the kernel
** limits and the stale-message check (what a 32-bit peer would read, what a
** full or too small queue does to a sender, what lying or short messages do
** to a receiver), and registration between real processes with a forked
** master endpoint, over queues keyed on a private directory.
*/
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>
#include <vector>

#include "diag/ErrTrcLog.h"
#include "diag/cppUtils.h"
#include "ipc/ipcMsgQBase.h"
#include "ipc/msgQ_IO.h"
#include "tests/support/testSupport.h"

using testsup::BinDir;

namespace {

const int kKeyByte = 65;
int gQuiet = 0;

struct RawMsg {
  long mtype;
  char text[16384];
};

uint32_t gFakeNow = 0;
uint32_t fakeClock() { return gFakeNow; }

uint32_t monoSeconds() {
  kvTimeStamp ts;
  getTimeStamp(&ts);
  return ts.sec;
}

/* Send one message stamped `ageSeconds` in the past. */
int sendAged(msgQ_IO& master, int code, int32_t to, int ageSeconds) {
  gFakeNow = monoSeconds() - (uint32_t)ageSeconds;
  setIpcClockHook(fakeClock);
  int rv = master.ipcCopySendMsgConst(code, 0, to);
  setIpcClockHook(nullptr);
  return rv;
}

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

int queueCount(int qid) {
  struct msqid_ds ds;
  return msgctl(qid, IPC_STAT, &ds) == 0 ? (int)ds.msg_qnum : -1;
}

}  // namespace

/* ---- envelope ------------------------------------------------------------- */

TEST(Envelope, textOnTheQueueIsCodeArgumentStampPayloadAndFourSpareBytes) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  msgQ_IO client("c", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
  ASSERT_EQ(master.msgQGetMsg(), ipcMSG_REG_REQUEST);

  char buf[64];
  memset(buf, 0x5a, sizeof buf);  /* the spare bytes must not carry this */
  memcpy(buf + 16, "ExgineIp,1.2.3.4", 16);
  uint32_t before = monoSeconds();
  ASSERT_EQ(client.ipcSendMsg(ipcMSG_NEW_DATA_VALUE, 0, buf, 16 + 16), 0);

  /* The caller's envelope is filled in place as 32-bit words. */
  EXPECT_EQ(ipcGetU32(buf), (uint32_t)getpid());
  EXPECT_EQ(ipcGetU32(buf + 4), 21u);

  RawMsg r;
  ssize_t n = msgrcv(client.txQueue().queueId(), &r, sizeof r.text, 0, IPC_NOWAIT);
  ASSERT_EQ(n, 32);
  EXPECT_EQ(r.mtype, (long)getpid());
  const unsigned char* t = reinterpret_cast<const unsigned char*>(r.text);
  EXPECT_EQ(t[0], 21); EXPECT_EQ(t[1], 0); EXPECT_EQ(t[2], 0); EXPECT_EQ(t[3], 0);
  EXPECT_EQ(ipcGetU32(r.text + 4), 0u);  /* argument */
  uint32_t stamp = ipcGetU32(r.text + 8);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, before + 1);
  EXPECT_EQ(std::string(r.text + 12, 16), "ExgineIp,1.2.3.4");
  EXPECT_EQ(std::string(r.text + 28, 4), std::string(4, '\0'));

  /* an envelope-only message is 16 bytes with an empty payload */
  ASSERT_EQ(master.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, client.typeId()), 0);
  struct msqid_ds ds;
  ASSERT_EQ(msgctl(master.txQueue().queueId(), IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.msg_cbytes, 16u);
  EXPECT_EQ(client.msgQGetMsg(), ipcMSG_PING_REQ);
  EXPECT_EQ(client.payloadLen(), 0);
  EXPECT_EQ(client.payload()[0], '\0');
}

TEST(Envelope, receiverFindsPayloadAtSixteenAndIgnoresTheSpareBytes) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  /* A message as a 32-bit peer puts it on the queue: code 23, argument 0,
  ** stamp 1234, 5 payload bytes, 4 spare bytes of junk. */
  RawMsg r;
  r.mtype = 4321;
  ipcPutU32(r.text, 23);
  ipcPutU32(r.text + 4, 0);
  ipcPutU32(r.text + 8, 1234);
  memcpy(r.text + 12, "ABCDE" "WXYZ", 9);
  ASSERT_EQ(msgsnd(master.rxQueue().queueId(), &r, 21, IPC_NOWAIT), 0);

  EXPECT_EQ(master.msgQGetMsg(), 23);
  EXPECT_EQ(master.senderType(), 4321);
  EXPECT_EQ(master.payloadLen(), 5);
  EXPECT_EQ(std::string(master.payload(), 5), "ABCDE");
  EXPECT_EQ(master.lastStamp(), 1234u);
  EXPECT_EQ(master.rxQueue().buffer() + 16, master.payload());
}

/* ---- hostile or odd input --------------------------------------------------- */

TEST(BadInput, shortMessagesAreNoMessageAndUnknownCodesKeepTheirNumber) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 500, 1, &gQuiet, nullptr);
  int qid = master.rxQueue().queueId();
  RawMsg r;
  r.mtype = 77;
  ipcPutU32(r.text, 3);
  ASSERT_EQ(msgsnd(qid, &r, 8, IPC_NOWAIT), 0);   /* 8 bytes: no envelope */
  ASSERT_EQ(msgsnd(qid, &r, 0, IPC_NOWAIT), 0);   /* nothing at all */
  ipcPutU32(r.text, 99);
  ipcPutU32(r.text + 4, 7);
  ASSERT_EQ(msgsnd(qid, &r, 16, IPC_NOWAIT), 0);

  EXPECT_EQ(master.msgQGetMsg(), 0);
  EXPECT_EQ(master.payloadLen(), 0);
  EXPECT_EQ(master.msgQGetMsg(), 0);
  EXPECT_EQ(master.msgQGetMsg(), 99);
  EXPECT_EQ(master.lastArg(), 7);
  EXPECT_STREQ(ipcMsgName(99), "No text for message ID");
  EXPECT_STREQ(ipcMsgName(13), "No text for message ID");  /* a gap in the table */
  EXPECT_STREQ(ipcMsgName(-1), "No text for message ID");
  EXPECT_EQ(master.msgQGetMsg(), 0);  /* empty queue */
}

TEST(BadInput, messageFillingTheCapacityIsDeliveredAsPossiblyTruncated) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 500, 1, &gQuiet, nullptr);
  ASSERT_EQ(master.rxQueue().capacity(), 500);
  RawMsg r;
  r.mtype = 88;
  memset(r.text, 'x', 700);
  ipcPutU32(r.text, 21);
  ASSERT_EQ(msgsnd(master.rxQueue().queueId(), &r, 700, IPC_NOWAIT), 0);

  testing::internal::CaptureStdout();
  EXPECT_EQ(master.msgQGetMsg(), 21);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("ERR #15005 in ipcMsgQ_Base::msgQGetMsg() - line "), std::string::npos);
  EXPECT_NE(out.find("Possibly truncated receive message"), std::string::npos);
  EXPECT_EQ(master.payloadLen(), 500 - 16);
  EXPECT_EQ(strlen(master.payload()), 500u - 16);  /* a NUL right behind */
}

/* ---- kernel limits ----------------------------------------------------------- */

TEST(Limits, largestMessageFitsAndOneByteMoreFailsAtOnceWith15004) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  msgQ_IO client("c", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
  int maxText = ipcMsgMax() < ipcMsgMnb() ? ipcMsgMax() : ipcMsgMnb();
  ASSERT_EQ(client.maxPayload(), maxText - 16);

  std::vector<char> big(maxText + 64, 'q');
  big[16] = 'F';
  ASSERT_EQ(master.ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, big.data(), maxText, client.typeId()), 0);
  EXPECT_EQ(client.msgQGetMsg(), ipcMSG_BIN_DATA_RESP);
  EXPECT_EQ(client.payloadLen(), maxText - 16);
  EXPECT_EQ(client.payload()[0], 'F');

  testing::internal::CaptureStdout();
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(master.ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, big.data(), maxText + 1, client.typeId()), 1);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_LT(ms, 5);
  EXPECT_EQ(master.txQueue().lastSendErrno(), EMSGSIZE);
  EXPECT_NE(out.find("never fits"), std::string::npos);
  EXPECT_NE(out.find("ERR #15004 in ipcMsgQ_Base::msgSend() - line "), std::string::npos);
  EXPECT_NE(out.find("Error sending message"), std::string::npos);
}

TEST(Limits, sendToAFullQueueGivesUpWithinTensOfMillisecondsWithOnlyATrace) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  int size = master.maxPayload() + 16;
  std::vector<char> msg(size + 4, 'z');
  int sent = 0;
  testing::internal::CaptureStdout();
  auto t0 = std::chrono::steady_clock::now();
  while (sent < 100 && master.ipcCopySendMsg(ipcMSG_DATA, 0, msg.data(), size, 555) == 0) sent++;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(sent, ipcMsgMnb() / size);
  EXPECT_EQ(master.txQueue().lastSendErrno(), EAGAIN);
  EXPECT_GE(ms, ipcSEND_RETRY_MS - 1);
  EXPECT_LT(ms, 100);
  EXPECT_NE(out.find("msgsnd(): EAGAIN"), std::string::npos);
  EXPECT_EQ(out.find("ERR #15004"), std::string::npos); /* a full queue is only traced */

  /* An envelope-only message still fits only once there is room again. */
  master.purge();
  EXPECT_EQ(master.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, 555), 0);
}

/* ---- stale-client check -------------------------------------------------------- */

TEST(StaleCheck, messageTwelveSecondsOldIsDroppedFiveSecondsOldGoesToTheBack) {
  BinDir dir;
  msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &gQuiet, nullptr);
  int qid = master.txQueue().queueId();
  EXPECT_EQ(master.checkMsgTimeout(700), -1);

  ASSERT_EQ(sendAged(master, ipcMSG_BIN_DATA_RESP, 700, 12), 0);
  EXPECT_EQ(master.checkMsgTimeout(700), 12);
  EXPECT_EQ(master.checkMsgTimeout(700), -1);  /* dropped */

  ASSERT_EQ(sendAged(master, ipcMSG_BIN_DATA_RESP, 701, 5), 0);
  ASSERT_EQ(master.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, 702), 0);
  EXPECT_EQ(master.checkMsgTimeout(701), 5);

  /* Put back unchanged behind the newer message. */
  RawMsg r;
  ASSERT_EQ(msgrcv(qid, &r, sizeof r.text, 0, IPC_NOWAIT), 16);
  EXPECT_EQ(r.mtype, 702);
  ASSERT_EQ(msgrcv(qid, &r, sizeof r.text, 0, IPC_NOWAIT), 16);
  EXPECT_EQ(r.mtype, 701);
  EXPECT_EQ(ipcGetU32(r.text), 23u);
  EXPECT_NEAR((double)ipcGetU32(r.text + 8), (double)(monoSeconds() - 5), 1.0);

  msgQ_IO client("c", dir.path().c_str(), kKeyByte, 10000, 0, &gQuiet, nullptr);
  EXPECT_EQ(client.checkMsgTimeout(client.typeId()), -1);  /* a client endpoint never checks */
}

/* ---- trace levels ------------------------------------------------------------ */

/* "at level N and above" lines print from level N on, not before. */
TEST(TraceLevels, queueAndSendLinesAppearFromTheirOwnLevelOn) {
  BinDir dir;
  auto run = [&](int level) {
    testing::internal::CaptureStdout();
    {
      msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &level, nullptr);
      msgQ_IO client("c", dir.path().c_str(), kKeyByte, 10000, 0, &level, nullptr);
      char buf[16 + 5 + 4] = {0};
      memcpy(buf + 16, "hello", 5);
      client.ipcSendMsg(ipcMSG_DATA, 0, buf, 16 + 5);
    }
    return testing::internal::GetCapturedStdout();
  };
  /* level, a line that appears from that level on, one that still does not */
  const struct { int level; const char* shown; const char* notYet; } rows[] = {
      {0, nullptr, "Master: Queues exist."},
      {1, "Master: Queues exist.  OK \n", "Sending msg 1"},
      {1, "Master: Queues exist.  OK \n", "ipcSend A"},
      {2, "msgQ_IO : qType(PID) = ", "Initiated msg queue"},
      {2, "msgQ_IO Reg Req : qType(PID) = ", nullptr},
      {2, "Sending msg 1: QId=", nullptr},
      {2, "ipcSend A: 21\n", nullptr},
      {3, "Initiated msg queue: m - Tx. ftok_id=65 key=", "Msg Sent"},
      {3, "Initiated msg queue: c - Tx. ftok_id=190 key=", "ipxMsgQBase destructor"},
      {5, "Msg Sent", nullptr},
      {5, "ipxMsgQBase destructor. qName addr=c - Rx\n", nullptr},
      {5, "ipcSend A: 21\n", nullptr},
      {6, "ipcSend A: 21  data: hello\n", nullptr},
  };
  int last = -1;
  std::string out;
  for (const auto& r : rows) {
    if (r.level != last) out = run(last = r.level);
    if (r.shown) {
      EXPECT_NE(out.find(r.shown), std::string::npos) << r.level << ": " << r.shown;
    }
    if (r.notYet) {
      EXPECT_EQ(out.find(r.notYet), std::string::npos) << r.level << ": " << r.notYet;
    }
  }
}

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
