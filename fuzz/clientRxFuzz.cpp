/*
** Fuzz harness: the console unit's message processing as a configuration
** client, fed arbitrary messages through its real receive queue.
**
** The client is the console's data set (311 items, client role) registered
** on queues keyed on the harness's own directory; a master endpoint in the
** same process grants the registration and then only swallows what the
** client sends.  Each input is a list of raw messages addressed to the
** client (message type = its process ID), each followed by one service
** call.
**
** Input:  repeated { u16 length L (little-endian, cut to 8192) | L bytes }
**         the bytes are the text after the type word: code, argument,
**         stamp, payload, all as given.
*/
#include "dataset/doviduConfig.h"
#include "fuzz/fuzzSupport.h"
#include "ipc/msgQ_IO.h"

#include <cstring>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <thread>
#include <unistd.h>
#include <vector>

static dovidu_config* gCfg;
static msgQ_IO* gMaster;
static int gTrace = 0;
static int gToClient = -1;
static int gToMaster = -1;

static void drain(int q) {
  static std::vector<char> buf(sizeof(long) + 65536);
  while (msgrcv(q, buf.data(), 65536, 0, IPC_NOWAIT | MSG_NOERROR) >= 0) {
  }
}

static dovidu_config* client() {
  if (gCfg) return gCfg;
  const char* dir = fuzzWorkDir().c_str();
  gMaster = new msgQ_IO("cfgMaster.x", dir, 65, 10000, 1, &gTrace, nullptr);
  /* the grant comes from a helper thread while the client waits for it */
  std::thread granter([] {
    for (int i = 0; i < 600; ++i) {
      if (gMaster->msgQGetMsg() == ipcMSG_REG_REQUEST) {
        gMaster->ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, gMaster->senderType());
        return;
      }
      usleep(5000);
    }
  });
  gCfg = new dovidu_config(&gTrace, nullptr);
  int r = gCfg->linkInit("doVA.x", dir, 65, 10000, 0, &gTrace, nullptr);
  granter.join();
  if (r != 0 || !gCfg->isRegistered()) fuzzFail("client not registered");
  gCfg->defineFiles();
  gCfg->addAllItems(2);
  gCfg->endpoint()->txQueue().setSendRetryMs(0);
  gToClient = msgget(ftok(dir, ipcMsgQBase::keyByteFor(65, false)) + ipcKEY_OFFSET, 0660);
  gToMaster = msgget(ftok(dir, ipcMsgQBase::keyByteFor(65, true)) + ipcKEY_OFFSET, 0660);
  if (gToClient < 0 || gToMaster < 0) fuzzFail("client queue not found");
  return gCfg;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  client();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dovidu_config* cfg = client();
  fuzzBytes in(data, size);
  std::vector<char> msg(sizeof(long) + 8192);
  long type = getpid();
  for (int n = 0; n < 16 && in.remaining() >= 2; ++n) {
    size_t len = in.u16() % 8193;
    const uint8_t* text = nullptr;
    len = in.take(len, &text);
    memcpy(msg.data(), &type, sizeof type);
    if (len) memcpy(msg.data() + sizeof(long), text, len);
    if (msgsnd(gToClient, msg.data(), len, IPC_NOWAIT) != 0) break;
    cfg->serviceCfg(0, 0);
    drain(gToMaster);
  }
  /* a shutdown or termination ends the registration; the next input
  ** still reaches the queue and the service step */
  cfg->registered = true;
  cfg->registrationRefused = false;
  cfg->shutdownReceived = false;
  return 0;
}
