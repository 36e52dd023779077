/* The queues as the programs meet them, on private keys: the bytes, the kernel limits, the stale-message
** check, registration, and the supervisor over them. */
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "ipc/msgQ_IO.h"
#include "tests/support/testSupport.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const int kKeyByte = 65;
const auto npos = std::string::npos;
int gQuiet = 0;

struct RawMsg { long mtype; char text[16384]; };

uint32_t monoSeconds() {
  kvTimeStamp ts;
  getTimeStamp(&ts);
  return ts.sec;
}

msqid_ds queueStat(int qid) {
  struct msqid_ds ds = {};
  msgctl(qid, IPC_STAT, &ds);
  return ds;
}

/* Queues keyed on a private directory; a master endpoint with `capacity`. */
struct Queues : ::testing::Test {
  testsup::BinDir dir;
  msgQ_IO* open(const char* name, int master, int capacity = 10000, int keyByte = kKeyByte) {
    ends.emplace_back(new msgQ_IO(name, dir.path().c_str(), keyByte, capacity, master, &gQuiet, nullptr));
    return ends.back().get();
  }
  std::vector<std::unique_ptr<msgQ_IO>> ends;
};

}  // namespace

/* The sender fills the caller's envelope in place as 32-bit words and queues code, argument, stamp, payload
** and four spare bytes (what a peer of the other width sends: the cross-width test). */
TEST_F(Queues, envelopeOnTheQueueIsCodeArgumentStampPayloadAndFourSpareBytes) {
  msgQ_IO& master = *open("m", 1);
  msgQ_IO& client = *open("c", 0);
  ASSERT_EQ(master.msgQGetMsg(), ipcMSG_REG_REQUEST);
  char buf[64];
  memset(buf, 0x5a, sizeof buf); /* the spare bytes must not carry this */
  memcpy(buf + 16, "ExgineIp,1.2.3.4", 16);
  uint32_t before = monoSeconds();
  ASSERT_EQ(client.ipcSendMsg(ipcMSG_NEW_DATA_VALUE, 0, buf, 16 + 16), 0);
  EXPECT_EQ(ipcGetU32(buf), (uint32_t)getpid());
  EXPECT_EQ(ipcGetU32(buf + 4), 21u);
  RawMsg r;
  ASSERT_EQ(msgrcv(client.txQueue().queueId(), &r, sizeof r.text, 0, IPC_NOWAIT), 32);
  EXPECT_EQ(r.mtype, (long)getpid());
  EXPECT_EQ(std::string(r.text, 8), std::string("\x15\0\0\0\0\0\0\0", 8)); /* code 21, argument 0 */
  uint32_t stamp = ipcGetU32(r.text + 8);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, before + 1);
  EXPECT_EQ(std::string(r.text + 12, 20), std::string("ExgineIp,1.2.3.4\0\0\0\0", 20));
  /* an envelope-only message is 16 bytes with an empty payload */
  ASSERT_EQ(master.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, client.typeId()), 0);
  EXPECT_EQ(queueStat(master.txQueue().queueId()).msg_cbytes, 16u);
  EXPECT_EQ(client.msgQGetMsg(), ipcMSG_PING_REQ);
  EXPECT_EQ(client.payloadLen(), 0);
  EXPECT_EQ(client.payload()[0], '\0');
}

/* Short messages are no message, unknown codes keep their number, one filling the receive capacity is
** delivered as possibly cut.  The largest message fits, one byte more fails at once with 15004; a full queue
** makes a sender give up within tens of milliseconds with only a trace, and takes an envelope again once
** there is room. */
TEST_F(Queues, shortUnknownAndOverlongMessagesAndTheKernelLimits) {
  msgQ_IO& master = *open("m", 1, 500);
  int qid = master.rxQueue().queueId();
  RawMsg r;
  r.mtype = 77;
  ipcPutU32(r.text, 3);
  ASSERT_EQ(msgsnd(qid, &r, 8, IPC_NOWAIT), 0); /* 8 bytes: no envelope */
  ASSERT_EQ(msgsnd(qid, &r, 0, IPC_NOWAIT), 0); /* nothing at all */
  ipcPutU32(r.text, 99);
  ipcPutU32(r.text + 4, 7);
  ASSERT_EQ(msgsnd(qid, &r, 16, IPC_NOWAIT), 0);
  EXPECT_EQ(master.msgQGetMsg(), 0);
  EXPECT_EQ(master.payloadLen(), 0);
  EXPECT_EQ(master.msgQGetMsg(), 0);
  EXPECT_EQ(master.msgQGetMsg(), 99);
  EXPECT_EQ(master.lastArg(), 7);
  EXPECT_EQ(master.msgQGetMsg(), 0); /* empty queue */
  for (int code : {99, 13, -1}) EXPECT_STREQ(ipcMsgName(code), "No text for message ID"); /* 13: a gap */
  ASSERT_EQ(master.rxQueue().capacity(), 500);
  memset(r.text, 'x', 700);
  ipcPutU32(r.text, 21);
  ASSERT_EQ(msgsnd(qid, &r, 700, IPC_NOWAIT), 0);
  CaptureStdout();
  EXPECT_EQ(master.msgQGetMsg(), 21);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("ERR #15005 in ipcMsgQ_Base::msgQGetMsg() - line "), npos);
  EXPECT_NE(out.find("Possibly truncated receive message"), npos);
  EXPECT_EQ(master.payloadLen(), 500 - 16);
  EXPECT_EQ(strlen(master.payload()), 500u - 16); /* a NUL right behind */
  msgQ_IO& client = *open("c", 0);
  int maxText = ipcMsgMax() < ipcMsgMnb() ? ipcMsgMax() : ipcMsgMnb();
  ASSERT_EQ(client.maxPayload(), maxText - 16);
  std::vector<char> big(maxText + 64, 'q');
  big[16] = 'F';
  ASSERT_EQ(master.ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, big.data(), maxText, client.typeId()), 0);
  EXPECT_EQ(client.msgQGetMsg(), ipcMSG_BIN_DATA_RESP);
  EXPECT_EQ(client.payloadLen(), maxText - 16);
  EXPECT_EQ(client.payload()[0], 'F');
  CaptureStdout();
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(master.ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, big.data(), maxText + 1, client.typeId()), 1);
  EXPECT_LT(testsup::secondsSince(t0), 0.005);
  out = GetCapturedStdout();
  EXPECT_EQ(master.txQueue().lastSendErrno(), EMSGSIZE);
  EXPECT_NE(out.find("never fits"), npos);
  EXPECT_NE(out.find("ERR #15004 in ipcMsgQ_Base::msgSend() - line "), npos);
  EXPECT_NE(out.find("Error sending message"), npos);
  int size = master.maxPayload() + 16, sent = 0;
  CaptureStdout();
  t0 = std::chrono::steady_clock::now();
  while (sent < 100 && master.ipcCopySendMsg(ipcMSG_DATA, 0, big.data(), size, 555) == 0) sent++;
  double ms = testsup::secondsSince(t0) * 1000;
  out = GetCapturedStdout();
  EXPECT_EQ(sent, ipcMsgMnb() / size);
  EXPECT_EQ(master.txQueue().lastSendErrno(), EAGAIN);
  EXPECT_GE(ms, ipcSEND_RETRY_MS - 1);
  EXPECT_LT(ms, 100);
  EXPECT_NE(out.find("msgsnd(): EAGAIN"), npos);
  EXPECT_EQ(out.find("ERR #15004"), npos); /* a full queue is only traced */
  master.purge();
  EXPECT_EQ(master.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, 555), 0);
}

/* A message 5 s old is kept (the drop at 12 s: the link tests) and goes back unchanged behind the newer
** messages; a client endpoint never checks. */
TEST_F(Queues, messageFiveSecondsOldGoesBackUnchangedBehindTheNewerOnes) {
  msgQ_IO& master = *open("m", 1);
  int qid = master.txQueue().queueId();
  EXPECT_EQ(master.checkMsgTimeout(701), -1);
  static uint32_t fakeNow; /* a hook takes no capture */
  fakeNow = monoSeconds() - 5;
  setIpcClockHook([] { return fakeNow; });
  ASSERT_EQ(master.ipcCopySendMsgConst(ipcMSG_BIN_DATA_RESP, 0, 701), 0);
  setIpcClockHook(nullptr);
  ASSERT_EQ(master.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, 702), 0);
  EXPECT_EQ(master.checkMsgTimeout(701), 5);
  RawMsg r;
  ASSERT_EQ(msgrcv(qid, &r, sizeof r.text, 0, IPC_NOWAIT), 16);
  EXPECT_EQ(r.mtype, 702);
  ASSERT_EQ(msgrcv(qid, &r, sizeof r.text, 0, IPC_NOWAIT), 16);
  EXPECT_EQ(r.mtype, 701);
  EXPECT_EQ(ipcGetU32(r.text), 23u);
  EXPECT_NEAR((double)ipcGetU32(r.text + 8), (double)(monoSeconds() - 5), 1.0);
  msgQ_IO& client = *open("c", 0);
  EXPECT_EQ(client.checkMsgTimeout(client.typeId()), -1); /* a client endpoint never checks */
}

TEST(TraceLevels, queueAndSendLinesAppearFromTheirOwnLevelOn) {
  testsup::BinDir dir;
  auto run = [&](int level) {
    CaptureStdout();
    {
      msgQ_IO master("m", dir.path().c_str(), kKeyByte, 10000, 1, &level, nullptr);
      msgQ_IO client("c", dir.path().c_str(), kKeyByte, 10000, 0, &level, nullptr);
      char buf[16 + 5 + 4] = {0};
      memcpy(buf + 16, "hello", 5);
      client.ipcSendMsg(ipcMSG_DATA, 0, buf, 16 + 5);
    }
    return GetCapturedStdout();
  };
  /* level, a line that appears from that level on, one that still does not */
  const struct { int level; const char* shown; const char* notYet; } rows[] = {
      {0, nullptr, "Master: Queues exist."},
      {1, "Master: Queues exist.  OK \n", "Sending msg 1"},
      {2, "msgQ_IO : qType(PID) = ", "Initiated msg queue"},
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
    if (r.shown) { EXPECT_NE(out.find(r.shown), npos) << r.level << ": " << r.shown; }
    if (r.notYet) { EXPECT_EQ(out.find(r.notYet), npos) << r.level << ": " << r.notYet; }
  }
}

/* A client discards what an earlier process with its ID left on both queues and registers under that ID; a
** master cannot register, and discards everything of every client at start; a client always sends under
** its own ID. */
TEST_F(Queues, registrationDiscardsOldMessagesOfTheSameIdAndOnlyClientsRegister) {
  int32_t me = (int32_t)getpid();
  ipcMsgQBase m2c(ipcQ_TX, "m2c", dir.path().c_str(), kKeyByte, 0, 0, &gQuiet, nullptr);
  ipcMsgQBase c2m(ipcQ_TX, "c2m", dir.path().c_str(), 255 - kKeyByte, 0, 0, &gQuiet, nullptr);
  char b[64] = {0};
  ASSERT_EQ(m2c.msgSend(ipcMSG_DATA, 0, b, 20, me), 0);
  ASSERT_EQ(m2c.msgSend(ipcMSG_DATA, 0, b, 20, me + 1), 0); /* someone else's */
  ASSERT_EQ(c2m.msgSend(ipcMSG_NEW_DATA_VALUE, 0, b, 20, me), 0);
  ASSERT_EQ(queueStat(m2c.queueId()).msg_qnum, 2u);
  msgQ_IO& client = *open("fresh", 0);
  ASSERT_TRUE(client.linkOk());
  EXPECT_EQ(client.typeId(), me);
  EXPECT_EQ(queueStat(m2c.queueId()).msg_qnum, 1u); /* only the other client's */
  ASSERT_EQ(queueStat(c2m.queueId()).msg_qnum, 1u); /* only the registration request */
  RawMsg r;
  ASSERT_EQ(msgrcv(c2m.queueId(), &r, sizeof r.text, me, IPC_NOWAIT), 16 + 6);
  EXPECT_EQ(ipcGetU32(r.text), (uint32_t)ipcMSG_REG_REQUEST);
  EXPECT_STREQ(r.text + 12, "fresh");
  CaptureStdout();
  msgQ_IO& master = *open("m", 1);
  EXPECT_EQ(master.ipcRegister("me"), 0);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("ERR #14002 in ipcMsgQ_Mstr_Clnt::ipcRegister() - line "), npos);
  EXPECT_NE(out.find("Cannot request registration in master mode"), npos);
  EXPECT_EQ(queueStat(m2c.queueId()).msg_qnum, 0u);
  ASSERT_EQ(client.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, 12345), 0);
  EXPECT_EQ(master.msgQGetMsg(), ipcMSG_PING_REQ);
  EXPECT_EQ(master.senderType(), me);
}

/* The key byte and its complement name the pair (0 becomes 1); an unusable key path leaves the link down. */
TEST_F(Queues, keyByteNamesThePairAndAnUnusablePathLeavesTheLinkDown) {
  msgQ_IO& master = *open("m", 1, 10000, 0);
  EXPECT_EQ(master.txQueue().key(), ftok(dir.path().c_str(), 1) + 99);
  EXPECT_EQ(master.rxQueue().key(), ftok(dir.path().c_str(), 254) + 99);
  CaptureStdout();
  {
    msgQ_IO q("nowhere", "/no/such/dir", kKeyByte, 1000, 0, &gQuiet, nullptr);
    EXPECT_FALSE(q.linkOk());
    char b[32] = {0};
    EXPECT_EQ(q.ipcSendMsg(ipcMSG_DATA, 0, b, 16), 1);
    EXPECT_EQ(q.msgQGetMsg(), 0);
    q.purge();
  }
  std::string out = GetCapturedStdout();
  for (const char* s : {"ERR #15001 in ipcMsgQ_Base::ipcMsgQBase() - line ", "Can not initiate message queue",
                        "Could not initiate msg queue: nowhere - Tx.", "ERR #15003", "ERR #15002",
                        "ERR #14001 in ipcMsgQ_Mstr_Clnt::msgQ_IO() - line ", "Queue has not been initialized"})
    EXPECT_NE(out.find(s), npos) << s;
}

/* supervisor.x from a private bin directory, seen from a console (the shutdown request of a console's kill:
** the console's end-to-end tests). */
TEST(Supervisor, grantsPingsReportsStateAndStopsOnSigtermTellingItsClients) {
  std::string prog = testsup::buildBinDir() + "/supervisor.x", out;
  if (access(prog.c_str(), X_OK) != 0) GTEST_SKIP() << "supervisor.x not built";
  EXPECT_EQ(testsup::runProgram({prog, "-h"}, &out), 0);
  EXPECT_TRUE(out.find("USAGE: ") != npos && out.find("-T") != npos) << out;
  EXPECT_EQ(testsup::runProgram({prog, "-nope"}, &out), 1);
  testsup::BinDir dir;
  testsup::Proc sup;
  ASSERT_TRUE(sup.start({dir.link("supervisor.x"), "-T", "1"}, {}, dir.path()));
  ASSERT_TRUE(sup.waitForOutput("Supervisor ready", 3000)) << sup.out() << sup.err();
  msgQ_IO host("Console to Host", dir.path().c_str(), 104, 50000, 0, &gQuiet, nullptr);
  auto got = [&](int code, int timeoutMs) {
    return testsup::waitUntil([&] { return host.msgQGetMsg() == code; }, timeoutMs, 5);
  };
  ASSERT_TRUE(host.linkOk());
  ASSERT_TRUE(got(ipcMSG_REG_GRANT, 3000)) << sup.out();
  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_PING_REQ, 0), 0);
  EXPECT_TRUE(got(ipcMSG_PING_RESP, 1000));
  ASSERT_EQ(host.ipcSendMsgConst(ipcMSG_ALL_DATA_REQ, 0), 0);
  ASSERT_TRUE(got(ipcMSG_ALL_DATA_RESP, 1000));
  std::string state(host.payload());
  for (std::string s : {std::string("Uptime="), std::string("Clients=1"), std::to_string(getpid()) + " Console to"})
    EXPECT_NE(state.find(s), npos) << state;
  sup.signal(SIGTERM);
  EXPECT_EQ(sup.wait(3000), 0);
  EXPECT_TRUE(got(ipcMSG_REG_SHUTDOWN, 1000)); /* it tells registered clients */
  EXPECT_GE(msgget(ftok(dir.path().c_str(), 104) + 99, 0), 0); /* still there; the bin dir removes it */
}
