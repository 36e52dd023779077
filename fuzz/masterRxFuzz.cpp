/*
** Fuzz harness: the configuration master's message processing, fed
** arbitrary messages through its real receive queue.
**
** The master is the full data set (311 items) linked as master on queues
** keyed on the harness's own directory; each input is a list of raw
** messages that go into the client-to-master queue exactly as a client
** could send them (any length from 0 to msgmax, any message type), each
** followed by one service call.  After the list the master gets its idle
** passes, so pending exports go out too.  Answers are drained and
** discarded.
**
** Input:  repeated { u16 length L (little-endian, cut to 8192) |
**                    u8 sender (message type 1 + byte) | L bytes of text }
**         the text is what travels after the type word: code u32, argument
**         u32, stamp u32, payload, all as given.
*/
#include "dataset/doviduConfig.h"
#include "fuzz/fuzzSupport.h"
#include "ipc/msgQ_IO.h"

#include <cstring>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <vector>

static dovidu_config* gCfg;
static int gTrace = 0;
static int gRxQueue = -1; /* client-to-master */
static int gTxQueue = -1; /* master-to-client */

static int queueFor(int keyByte) {
  key_t k = ftok(fuzzWorkDir().c_str(), keyByte);
  return msgget(k + ipcKEY_OFFSET, IPC_CREAT | 0660);
}

static dovidu_config* master() {
  if (gCfg) return gCfg;
  gCfg = new dovidu_config(&gTrace, nullptr);
  if (gCfg->linkInit("cfgMaster.x", fuzzWorkDir().c_str(), 65, 10000, 1, &gTrace, nullptr) != 0)
    fuzzFail("master link failed");
  gCfg->defineFiles();
  gCfg->addAllItems(1);
  gCfg->readFilesAll();
  /* a full queue must not slow every input down by the send retry */
  gCfg->endpoint()->txQueue().setSendRetryMs(0);
  gRxQueue = queueFor(ipcMsgQBase::keyByteFor(65, true));
  gTxQueue = queueFor(ipcMsgQBase::keyByteFor(65, false));
  if (gRxQueue < 0 || gTxQueue < 0) fuzzFail("queues not found");
  return gCfg;
}

static void drain(int q) {
  static std::vector<char> buf(sizeof(long) + 65536);
  while (msgrcv(q, buf.data(), 65536, 0, IPC_NOWAIT | MSG_NOERROR) >= 0) {
  }
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  master();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dovidu_config* cfg = master();
  fuzzBytes in(data, size);
  std::vector<char> msg(sizeof(long) + 8192);
  for (int n = 0; n < 16 && in.remaining() >= 3; ++n) {
    size_t len = in.u16() % 8193;
    long type = 1 + in.byte();
    const uint8_t* text = nullptr;
    len = in.take(len, &text);
    memcpy(msg.data(), &type, sizeof type);
    if (len) memcpy(msg.data() + sizeof(long), text, len);
    if (msgsnd(gRxQueue, msg.data(), len, IPC_NOWAIT) != 0) break;
    cfg->serviceCfg(0, 0);
    drain(gTxQueue);
  }
  for (int i = 0; i < 5; ++i) cfg->serviceCfg(0, 0);
  drain(gRxQueue);
  drain(gTxQueue);
  return 0;
}
