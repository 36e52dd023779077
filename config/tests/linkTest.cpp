/* The master/client link between real processes over private queues, and
** bad bytes from a queue handled in place. */
#include "config/tests/cfgTestSet.h"
#include "config/cfgInternal.h"
#include "ipc/msgQ_IO.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/msg.h>
#include <unistd.h>

using namespace cfgtest;
using testsup::secondsSince;

namespace {

/* Every process of a test keys its queues on the test's own directory. */
struct Link : ::testing::Test {
  testsup::BinDir dir; /* removes the queues keyed on it */
  int level = 0, quiet = 0;
  const char* key() const { return dir.path().c_str(); }
  /* Link as master (1) or client with the small set; a client subscribes
  ** once the file `go` exists, when one is named.  10 link failed, 11 subscribe. */
  int join(generic_cfg& c, int master, const std::string& go = "") {
    if (c.linkInit("doVA.x", key(), 65, 10000, master, &level, nullptr)) return 10;
    buildSmallSet(c, nullptr);
    if (master) return 0;
    testsup::waitUntil([&] { return go.empty() || access(go.c_str(), F_OK) == 0; }, 10000, 1);
    return c.subscribeListSend() ? 11 : 0;
  }
};

/* Clients in their own processes: one gets long values split over several messages (every value: the master's
** restart test), sees 18 KB of change and another client's; one asks for an item the master lacks and is
** dropped unanswered; one sends a change echoed to it (filtered first) and one cut at 983 characters; all say
** goodbye at the end. */
TEST_F(Link, ClientsRegisterGetEveryValueSeeChangesEchoesAndLongValuesAndSayGoodbye) {
  generic_cfg master(&level, nullptr);
  ASSERT_EQ(0, join(master, 1));
  const std::string a(5000, 'a'), b(5000, 'b'), c6(6000, 'c');
  auto longsAre = [](generic_cfg& c, const std::string& x, const std::string& y) {
    return valueText(c, ixLONGTEXT) == x && valueText(c, ixLONGTEXT2) == y && valueText(c, ixLONGTEXT3) == x;
  };
  for (int ix : {ixLONGTEXT, ixLONGTEXT2, ixLONGTEXT3}) master.changeValue(ix, (ix == ixLONGTEXT2 ? b : a).c_str());
  Child watcher(dir.file("watcher.out"), [&]() {
    generic_cfg c(&level, nullptr);
    if (int r = join(c, 0)) return r;
    if (!longsAre(c, a, b)) return 15;
    if (!pumpUntil(c, [&] { return longsAre(c, c6, c6); }, 10000)) return 17;
    printf("long values in\n");
    return pumpUntil(c, [&] { return valueText(c, ixSHORTNAME) == "KQ D"; }, 8000) ? 0 : 18;
  });
  Child bad(dir.file("bad.out"), [&]() {
    generic_cfg c(&level, nullptr);
    if (c.linkInit("doVA.x", key(), 65, 10000, 0, &level, nullptr)) return 10;
    buildSmallSet(c, nullptr);
    c.addItemInt(0, 13, 0, 255, 0, 0, 1, "NotAtMaster", "x", nullptr, nullptr, nullptr, nullptr);
    return c.subscribeListSend();
  });
  pid_t pid = watcher.pid();
  ASSERT_TRUE(pumpUntil(master, [&] { return master.getItem(ixLONGTEXT3)->subscribers.count(pid) > 0; }, 8000));
  ASSERT_EQ(1u, master.clientRecs.count(pid));
  EXPECT_EQ("doVA.x", master.clientRecs[pid].name);
  for (int ix : {ixLONGTEXT, ixLONGTEXT2, ixLONGTEXT3}) master.changeValue(ix, c6.c_str());
  ASSERT_TRUE(pumpUntil(master, [&] { return watcher.out().find("long values in") != std::string::npos; }, 15000))
      << watcher.wait(0);
  Child editor(dir.file("editor.out"), [&]() {
    generic_cfg c(&level, nullptr);
    if (int r = join(c, 0)) return r;
    c.getItem(ixSHORTNAME)->changed = false;
    c.changeValue(ixSHORTNAME, "kQ D"); /* filtered: "AQ D" goes out */
    c.sendChangeRequest("SIS_CsStdNme", "KQ D", true);
    c.sendChangeRequest("Long_Text", std::string(2000, 'x').c_str(), false);
    return pumpUntil(c, [&] { return valueText(c, ixSHORTNAME) == "KQ D"; }, 8000) ? 0 : 21;
  });
  ASSERT_TRUE(pumpUntil(master, [&] { return !editor.running() && !watcher.running() && !bad.running(); }, 12000));
  EXPECT_EQ(0, watcher.wait(0)) << watcher.out();
  EXPECT_EQ(0, editor.wait(0)) << editor.out();
  EXPECT_EQ(2, bad.wait(0));
  expectAll(bad.out(), {"ERR #13003 in genericConfig::subscribeListSend() - line ", "Received No Message"});
  EXPECT_EQ("KQ D", valueText(master, ixSHORTNAME));
  const std::string cut(983 - strlen("Long_Text,"), 'x');
  EXPECT_TRUE(pumpUntil(master, [&] { return valueText(master, ixLONGTEXT) == cut; }, 3000));
  EXPECT_TRUE(pumpUntil(master, [&] { return master.clientRecs.empty(); }, 3000));
  for (auto* it : master.allItems()) EXPECT_TRUE(it->subscribers.empty()) << it->name;
}

/* A scripted master denies the first request (only a grant ends the wait, so the refusal is known when the 3 s
** are out), grants the second, pings and pushes three records, the third of an unknown index. */
TEST_F(Link, DeniedRegistrationThenPingAndRecordsFromAScriptedMaster) {
  Child fake(dir.file("fake.out"), [&]() {
    msgQ_IO m("doVA.x", key(), 65, 10000, 1, &level, nullptr);
    printf("ready\n");
    int32_t client = 0;
    for (int i = 0, requests = 0; i < 10000 && !client; ++i, usleep(1000))
      if (m.msgQGetMsg() == ipcMSG_REG_REQUEST && ++requests == 1)
        m.ipcCopySendMsgConst(ipcMSG_REG_DENY, 0, m.senderType());
      else if (requests == 2)
        client = m.senderType();
    if (!client) return 1;
    m.ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, client);
    m.ipcCopySendMsgConst(ipcMSG_PING_REQ, 0, client);
    bool pong = testsup::waitUntil(
        [&] { return m.msgQGetMsg() == ipcMSG_PING_RESP && m.senderType() == client; }, 5000, 1);
    uint8_t buf[16 + 36 + 4] = {0};
    uint8_t* r = buf + 16;
    putLe32(r, ixVOLUME); r[4] = dtINT; putLe32(r + 8, 2);
    putLe32(r + 12, ixIP); r[16] = dtIP_ADDR; r[20] = 1; r[21] = 2; r[22] = 3; r[23] = 4;
    putLe32(r + 24, 99); r[28] = dtINT; putLe32(r + 32, 7);
    m.ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, (char*)buf, 16 + 36, client);
    return pong ? 0 : 2;
  });
  fake.waitForOutput("ready", 3000);
  {
    generic_cfg denied(&level, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    auto out = stdoutOf([&] { EXPECT_EQ(1, denied.linkInit("doVA.x", key(), 65, 10000, 0, &level, nullptr)); });
    EXPECT_NE(std::string::npos, out.find("Registration denied!"));
    EXPECT_GT(secondsSince(t0), 2.9);
    EXPECT_LT(secondsSince(t0), 4.5);
    EXPECT_TRUE(denied.registrationRefused);
    EXPECT_FALSE(denied.isRegistered());
  }
  generic_cfg c(&level, nullptr);
  ASSERT_EQ(0, c.linkInit("doVA.x", key(), 65, 10000, 0, &level, nullptr));
  buildSmallSet(c, nullptr);
  bool got = false;
  std::string out = stdoutOf([&] { got = pumpUntil(c, [&] { return c.waitSlot[3].received > 0; }, 5000); });
  ASSERT_TRUE(got);
  EXPECT_EQ(1, c.waitSlot[3].lastError);
  EXPECT_EQ("2", valueText(c, ixVOLUME));
  EXPECT_EQ("1.2.3.4", valueText(c, ixIP));
  expectAll(out, {"Invalid 'BinIn' index:99. ItmCount=3", "Error 1 occurred when processing binary data"});
  EXPECT_EQ(0, fake.wait(3000));
}

/* The master's send stamps and the stale check's "now" shifted by this many seconds (0: the real clock). */
int gClockShift = 0;
uint32_t shiftedClock() {
  kvTimeStamp ts;
  getTimeStamp(&ts);
  return ts.sec + (uint32_t)gClockShift;
}
void shiftClock(int seconds) {
  gClockShift = seconds;
  setIpcClockHook(seconds ? shiftedClock : nullptr);
}

/* Raw endpoints talk to the master: its traces follow the level, link faults are reported under its name; a
** list subscribing to 1 and 3 and a request for "3,3,1" are answered with each record once, in order; exports
** wait for idle polls; a client that stops reading is dropped. */
TEST_F(Link, RawEndpointsSeeTracesListsAnsweredInOrderExportsAfterIdlePollsAndAStaleDrop) {
  generic_cfg master(&level, nullptr);
  ASSERT_EQ(0, join(master, 1));
  const struct { int level, code; const char *says, *also, *notYet; } rows[] = {
      {1, 0, nullptr, nullptr, "Registration request received from"},
      {2, 0, "Registration request received from", nullptr, "Master Rxd Msg"},
      {3, 0, "Master Rxd Msg: Registration Request\n", nullptr, nullptr},
      {0, ipcMSG_ERROR, "ERR #13012 in genericConfig::serviceCfg() - line ", "Received error status from msg Queue",
       nullptr},
      {0, ipcMSG_REG_GRANT, "ERR #13009 in genericConfig::serviceCfg() - line ",
       "Invalid message type for config master: Registration Grant", nullptr},
  };
  for (const auto& r : rows) {
    msgQ_IO raw("raw", key(), 65, 10000, 0, &quiet, nullptr); /* sends its request */
    if (r.code) raw.ipcSendMsgConst(r.code, 0);
    level = r.level;
    std::string out = stdoutOf([&] { master.serviceCfg(0, 0), master.serviceCfg(0, 0); });
    level = 0;
    for (const char* s : {r.says, r.also})
      if (s) { EXPECT_NE(std::string::npos, out.find(s)) << s; }
    if (r.notYet) { EXPECT_EQ(std::string::npos, out.find(r.notYet)) << r.notYet; }
  }
  msgQ_IO raw("raw", key(), 65, 10000, 0, &quiet, nullptr);
  auto ask = [&](int code, const std::string& text) {
    char buf[64] = {0};
    memcpy(buf + 16, text.data(), text.size());
    EXPECT_EQ(0, raw.ipcSendMsg(code, 0, buf, 16 + (int)text.size()));
    EXPECT_TRUE(pumpUntil(master, [&] { return raw.msgQGetMsg() == ipcMSG_BIN_DATA_RESP; }, 3000));
    const uint8_t* p = (const uint8_t*)raw.payload();
    return raw.payloadLen() == 24 ? std::to_string(getLe32(p)) + "," + std::to_string(getLe32(p + 12)) : "";
  };
  EXPECT_EQ("1,3", ask(ipcMSG_CONFIG_LIST, std::string("1,Monitor_Vol\n3,Exctr_IP_Addr\n", 31))); /* NUL too */
  EXPECT_EQ("1,3", ask(ipcMSG_BIN_DATA_REQ, "3,3,1\n"));
  /* subscribed to 1 and 3, the endpoint reads no more: the fourth idle poll exports a change */
  const int32_t pid = raw.typeId();
  for (int i = 0; i < 4; ++i) master.serviceCfg(0, 0); /* settle the idle count */
  master.changeValue(ixMONVOL, "-1");
  master.idleCount = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0, master.serviceCfg(0, 0));
    EXPECT_EQ(1u, master.pendingExport.clients[pid].size()) << i;
  }
  shiftClock(-5); /* the export goes out stamped 5 s ago */
  master.serviceCfg(0, 0);
  shiftClock(0);
  EXPECT_TRUE(master.pendingExport.clients[pid].empty());
  /* unread: the next change is held back, the client kept */
  master.changeValue(ixMONVOL, "-2");
  EXPECT_EQ(0, master.exportUpdates());
  EXPECT_TRUE(master.retryPending);
  EXPECT_EQ(1u, master.pendingExport.clients[pid].size());
  EXPECT_EQ(1u, master.getItem(ixMONVOL)->subscribers.count(pid));
  shiftClock(7); /* 12 s later the waiting message is dropped and so is the client */
  EXPECT_EQ(1, master.exportUpdates());
  shiftClock(0);
  EXPECT_EQ(0u, master.getItem(ixMONVOL)->subscribers.count(pid));
  EXPECT_EQ(0u, master.clientRecs.count(pid));
  EXPECT_EQ(0u, master.pendingExport.clients.count(pid));
}

/* Four dead consoles' answers, 12 s old, fill the answer queue; eight consoles subscribe at once (3.8 KB
** each, more than the 16 KB queue holds).  The master drops the dead with their messages, sends what fits,
** keeps the rest for later passes and never waits long; every client gets every value. */
TEST_F(Link, EightClientsSubscribingAtOnceToAQueueFullOfDeadClientsAllGetEveryValue) {
  generic_cfg master(&level, nullptr);
  ASSERT_EQ(0, join(master, 1));
  const std::string big(3700, 'v');
  master.changeValue(ixLONGTEXT, big.c_str());
  master.changeValue(ixVOLUME, "-4");
  msgQ_IO* q = master.endpoint();
  q->txQueue().setSendRetryMs(0); /* a full queue refuses at once */
  std::vector<char> old(16 + 3900 + 4, 'o');
  shiftClock(-12);
  for (int32_t dead = 900001; dead <= 900004; ++dead) {
    master.clientRecs[dead].clientId = dead;
    ASSERT_EQ(0, q->ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, old.data(), 16 + 3900, dead));
  }
  shiftClock(0);
  const std::string go = dir.file("go");
  std::vector<std::unique_ptr<Child>> clients;
  for (int k = 0; k < 8; ++k)
    clients.emplace_back(new Child(dir.file("client" + std::to_string(k) + ".out"), [&]() {
      generic_cfg c(&level, nullptr);
      if (int r = join(c, 0, go)) return r;
      return (valueText(c, ixLONGTEXT) == big && valueText(c, ixVOLUME) == "-4") ? 0 : 12;
    }));
  ASSERT_TRUE(pumpUntil(master, [&] { return master.clientRecs.size() == 12; }, 10000));
  testsup::writeFile(go, "go"); /* all eight lists wait in the queue before the master reads one */
  testsup::waitUntil([&] {
    struct msqid_ds ds;
    return msgctl(q->rxQueue().queueId(), IPC_STAT, &ds) != 0 || ds.msg_qnum >= 8;
  }, 2000, 5);
  bool refused = false;
  double longest = 0;
  auto pass = [&] {
    auto t1 = std::chrono::steady_clock::now();
    int code = master.serviceCfg(0, 0);
    longest = std::max(longest, secondsSince(t1));
    refused = refused || q->txQueue().lastSendErrno() == EAGAIN;
    return code;
  };
  for (auto& c : clients) kill(c->pid(), SIGSTOP); /* they hold still while the master answers all eight */
  for (int i = 0; i < 12; ++i) pass();
  for (auto& c : clients) kill(c->pid(), SIGCONT);
  auto t0 = std::chrono::steady_clock::now();
  auto anyRunning = [&] { return std::any_of(clients.begin(), clients.end(), [](auto& c) { return c->running(); }); };
  while (anyRunning() && secondsSince(t0) < 15)
    if (pass() == 0) usleep(1000);
  for (auto& c : clients) EXPECT_EQ(0, c->wait(0)) << c->out();
  EXPECT_TRUE(refused); /* the queue did overflow */
  EXPECT_LT(longest, 0.25);
  for (int32_t dead = 900001; dead <= 900004; ++dead)
    EXPECT_TRUE(master.clientRecs.count(dead) == 0 && q->checkMsgTimeout(dead) == -1) << dead;
}

/* A grant the full answer queue refuses goes out on a later pass; a subscription list that finds the request
** queue full is offered again until there is room, within 3 s. */
TEST_F(Link, GrantsAndListsMeetingAFullQueueGoOutWhenThereIsRoom) {
  generic_cfg master(&level, nullptr);
  ASSERT_EQ(0, join(master, 1));
  const std::string go = dir.file("go");
  Child client(dir.file("client.out"), [&]() {
    generic_cfg c(&level, nullptr);
    return join(c, 0, go);
  });
  ASSERT_TRUE(pumpUntil(master, [&] { return master.clientRecs.count(client.pid()) > 0; }, 8000));
  ipcMsgQBase& tx = master.endpoint()->txQueue();
  tx.setSendRetryMs(0);
  std::vector<char> filler((size_t)tx.maxPayload() + 20, 'f');
  msgQ_IO raw("raw", key(), 65, 10000, 0, &quiet, nullptr); /* its request waits */
  std::string out = stdoutOf([&] {
    while (master.endpoint()->ipcCopySendMsg(ipcMSG_DATA, 0, filler.data(), 16 + 1000, 999) == 0) {}
    while (master.endpoint()->ipcCopySendMsgConst(ipcMSG_DATA, 0, 999) == 0) {}
    master.serviceCfg(0, 0); /* the request: granted, but the queue is full */
  });
  EXPECT_NE(std::string::npos, out.find("msgsnd(): EAGAIN"));
  EXPECT_EQ(1u, master.pendingGrants.count(raw.typeId()));
  EXPECT_TRUE(master.retryPending);
  EXPECT_EQ(1u, master.clientRecs.count(raw.typeId()));
  tx.ClearQueue(999); /* room again */
  for (int i = 0; i < 4; ++i) master.serviceCfg(0, 0);
  EXPECT_TRUE(master.pendingGrants.empty());
  EXPECT_FALSE(master.retryPending);
  EXPECT_EQ(ipcMSG_REG_GRANT, raw.msgQGetMsg());
  struct { long mtype; char text[1000]; } junk;
  junk.mtype = 777;
  memset(junk.text, 'j', sizeof junk.text);
  int qid = master.endpoint()->rxQueue().queueId();
  while (msgsnd(qid, &junk, sizeof junk.text, IPC_NOWAIT) == 0) {}
  while (msgsnd(qid, &junk, 16, IPC_NOWAIT) == 0) {}
  testsup::writeFile(go, "go");
  usleep(400000); /* the client keeps offering its list */
  master.endpoint()->rxQueue().ClearQueue(777);
  ASSERT_TRUE(pumpUntil(master, [&] { return !client.running(); }, 8000));
  EXPECT_EQ(0, client.wait(0)) << client.out();
  EXPECT_NE(std::string::npos, client.out().find("msgsnd(): EAGAIN"));
}

/* ---- bad bytes from a queue, handled in place --------------------------- */

struct BadInput : SmallSet {
  generic_cfg& master = cfg;
  int rx(int code, const std::string& bytes, int32_t sender = 42) {
    std::vector<uint8_t> b(bytes.begin(), bytes.end());
    b.push_back(0xEE); /* never read: lengths come from the bytes received */
    return master.processMasterRx(code, b.data(), (int)bytes.size(), sender);
  }
};

/* Bytes a client may send, in order on one master.  A quoted value (as the parameter access and the menu send
** text) keeps everything between the outer quotes; unquoted ones go through the tokenizer; numbers read as on
** the 32-bit box (saturated before the item's clamp; file "4294967296" is no file, not file 0); every fault is
** reported once and the master carries on. */
TEST_F(BadInput, MasterTakesQuotedValuesSaturatesNumbersAndReportsEachFault) {
  std::string lie(20, '\0');
  lie[12] = (char)0xE8, lie[13] = 3; /* says 1000 characters */
  const int any = -99, newValue = ipcMSG_NEW_DATA_VALUE;
  /* the answer, the item and its text after it, what the output says once */
  const struct { int code; std::string bytes; int ret, item; const char *value, *says; } rows[] = {
      {newValue, "Long_Text,\"weather, \"live\"\"", any, ixLONGTEXT, "weather, \"live\"", nullptr},
      {newValue, "Long_Text,\"\"\"\"", any, ixLONGTEXT, "\"\"", nullptr},
      {newValue, "Long_Text,\"a,b c\"\r\n", any, ixLONGTEXT, "a,b c", nullptr},
      {newValue, "Long_Text,\"\"", any, ixLONGTEXT, "", nullptr},
      {newValue, "Long_Text,  plain words  ", any, ixLONGTEXT, "plain words", nullptr},
      {newValue, "Long_Text,\"", any, ixLONGTEXT, "", nullptr}, /* an open quote holds nothing */
      {newValue, "Long_Text,\"x", any, ixLONGTEXT, "x", nullptr},
      {newValue, "Long_Text,say \"hi\"", any, ixLONGTEXT, "say \"hi\"", nullptr},
      {newValue, "Long_Text,a,b", 1, ixLONGTEXT, "say \"hi\"", "ERR #13010"},
      {newValue, ",\"quoted\"", 1, ixLONGTEXT, "say \"hi\"", "ERR #13010"},
      {newValue, "No_Such,\"x\"", 1, ixLONGTEXT, "say \"hi\"", "Invalid item identifier:<No_Such>/<x?"},
      {newValue, "Volume_Adjust", any, -1, nullptr, "ERR #13010 in genericConfig::changeDataItem() - line "},
      {newValue, "Volume_Adjust,1,2", any, -1, nullptr, "ERR #13010"},
      {newValue, "No_Such,1", any, -1, nullptr, "ERR #13011 in genericConfig::changeDataItem() - line "},
      {newValue, "Volume_Adjust,3", any, ixVOLUME, "3", nullptr}, /* no NUL behind it */
      {newValue, "Volume_Adjust,4294967296" + std::string(1, '\0'), any, ixVOLUME, "7", nullptr},
      {ipcMSG_WRITE_FILES, "4294967296", 1, -1, nullptr, nullptr},
      {ipcMSG_LOG_LINE, std::string(10, '\0'), any, -1, nullptr, "Specified text length=0 but actual=-10"},
      {ipcMSG_LOG_LINE, lie + "hello", any, -1, nullptr, "Specified text length=1000 but actual=5"},
      {99, "", any, -1, nullptr, "Invalid message type for config master: No text for message ID"},
      {ipcMSG_BIN_DATA_RESP, std::string(12, '\0'), any, -1, nullptr,
       "Invalid message type for config master: Binary data resp"},
      {ipcMSG_BIN_DATA_REQ, "3,abc,99999999999,500,1\n9", 3, -1, nullptr, nullptr},
  };
  for (const auto& r : rows) {
    int ret = 0;
    std::string out = stdoutOf([&] { ret = rx(r.code, r.bytes); });
    if (r.ret != any) { EXPECT_EQ(r.ret, ret) << r.bytes; }
    if (r.item >= 0) { EXPECT_EQ(r.value, valueText(master, r.item)) << r.bytes; }
    if (r.says) {
      EXPECT_NE(std::string::npos, out.find(r.says)) << r.bytes << ": " << out;
      EXPECT_EQ(out.find("ERR #"), out.rfind("ERR #")) << r.bytes << ": " << out; /* one report */
    }
  }
}

/* A garbage subscription drops its sender after a good one; a record that never fits a message is reported;
** a client refuses bad records and unknown codes. */
TEST_F(BadInput, GarbageSubscriptionOversizedRecordAndBadRecordsAtAClient) {
  master.clientRecs[42].clientId = 42;
  EXPECT_EQ(0, rx(ipcMSG_CONFIG_LIST, std::string("0,Volume_Adjust\n3,Exctr_IP_Addr", 31)));
  EXPECT_EQ(1u, master.getItem(ixIP)->subscribers.count(42)); /* last line without end */
  EXPECT_EQ(1u, master.getItem(ixVOLUME)->subscribers.count(42));
  generic_cfg client(&level, nullptr);
  buildSmallSet(client, nullptr);
  std::string out = stdoutOf([&] {
    const char garbage[] = "\x01\xff,,\n8,Nothing\n1,Wrong_Name\n-5,x\n3,Exctr_IP_Addr\n";
    EXPECT_EQ(3, rx(ipcMSG_CONFIG_LIST, std::string(garbage, sizeof garbage))); /* NUL counted */
    master.changeValue(ixLONGTEXT, std::string(9000, 'x').c_str());
    master.sendBinData(-1, nullptr, nullptr);
    uint8_t rec[12] = {0};
    putLe32(rec, 8), rec[4] = dtINT;
    EXPECT_EQ(2, client.binInList(rec, 12, 0)); /* empty slot */
    putLe32(rec, ixVOLUME), rec[4] = dtFLOAT;
    EXPECT_EQ(3, client.binInList(rec, 12, 0));
    putLe32(rec, (uint32_t)-1);
    EXPECT_EQ(1, client.binInList(rec, 12, 0));
    putLe32(rec, ixVOLUME), rec[4] = dtINT;
    EXPECT_EQ(3, client.binInList(rec, 11, 0)); /* value cut short */
    EXPECT_EQ(0, client.binInList(rec, 8, 0));  /* a header alone is no record */
    client.processClientRx(99, rec, 0);
  });
  EXPECT_EQ(0u, master.getItem(ixIP)->subscribers.count(42));
  EXPECT_EQ(0u, master.clientRecs.count(42));
  expectAll(out, {"ERR #15004", "record of Long_Text is 9010 bytes",
                  "Invalid 'BinIn' item. Index:8 points to null data item. ItmCount=1",
                  "Data Rxd Type=2, Index:0 data type=1. ItmCount=1",
                  "Invalid message type for config client: No text for message ID"});
}

}  // namespace
