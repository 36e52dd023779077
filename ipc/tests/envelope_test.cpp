/*
** The bytes on the queue, the kernel limits and the stale-message check:
** what a 32-bit peer would read, what a full or too small queue does to a
** sender, and what lying or short messages do to a receiver.
*/
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <vector>

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
