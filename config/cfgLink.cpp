/*
** The master/client link of generic_cfg over one msgQ_IO queue pair.
**
** Payloads of the configuration link (behind the 16-byte envelope):
**
**   code  payload
**   13    log line: prio u32 | sec u32 | usec u32 | L u32 | 4 unwritten |
**         L characters and a NUL (length counted 20 + L)
**   20    subscription list: "%i,%s\n" (index, name) per item, then a NUL
**   21    change request: "%s,%s" or "%s,\"%s\"" (name, value), no NUL
**   22    index list: "i,j,k" (a CR or LF ends it)
**   23    binary records back to back (dataItem.h), at most one message
**         (maxPayload) each: a longer answer goes out as several 23s
**   26    empty / NUL: write all files; else a file number in decimal
**   27    configuration text in the file format
**
** Everything read from a queue is untrusted: lengths come from the bytes
** received, never from the payload; text is copied and NUL-terminated
** before it is parsed.
**
** Exports: every change books the item's index for every subscriber other
** than its source (dataItem.cpp).  After three idle service calls in a row
** the master sends each client its set, but only when nothing of that
** client still waits in the queue; a client whose oldest message waits
** more than 9 s is dropped, so a client that stops reading never blocks the
** master nor fills the queue for the others.
**
** One master-to-client queue (16 KB by default) serves every client, and a
** full answer is about 3.8 KB: a few consoles starting together fill it.
** The master never waits for room beyond the transport's short retry:
**   - records a full queue refused go back to the client's pending set and
**     leave with a later export pass (sent when nothing of it waits);
**   - a refused grant is sent again on a later pass (pendingGrants);
**   - after a refusal, the next pass also drops clients that stopped
**     reading without a goodbye and have nothing pending (their oldest
**     message older than 9 s), with their messages.
** A client offers its subscription list again while the client-to-master
** queue is full, within its 3 s wait.
*/
#include "config/genericConfig.h"
#include "config/cfgInternal.h"

#include "diag/ErrTrcLog.h"
#include "diag/numParse.h"
#include "diag/trace.h"
#include "ipc/msgQ_IO.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

static const char* const kModule = "genericConfig";

/* The registration and link codes are handled inside the service step, so
** their reports name serviceCfg; change requests are parsed as part of
** changeDataItem and report under its name. */
#define SERVICE_ERR(num, ...) reportError(pErrLog, 4, (num), kModule, "serviceCfg", __LINE__, __VA_ARGS__)
#define CHANGE_ERR(num, ...) \
  reportError(pErrLog, 4, (num), kModule, "changeDataItem", __LINE__, __VA_ARGS__)

/* ---- set-up and tear-down ------------------------------------------------ */

int generic_cfg::linkInit(const char* qName, const char* kPath, int kByte, int rxCap, int mstr,
                          int* traceLevel, ErrTrcLog* errLog) {
  queueName = qName ? qName : "";
  keyPath = kPath ? kPath : ".";
  keyByte = kByte;
  rxCapacity = rxCap;
  master = mstr == 1 ? 1 : 0;
  if (traceLevel) pTraceLevel = traceLevel;
  if (errLog) pErrLog = errLog;
  return initQueues();
}

int generic_cfg::initQueues() {
  if (queuesReady) return 0;
  queuesReady = true;
  pQ = new msgQ_IO(queueName.c_str(), keyPath.c_str(), keyByte, rxCapacity, master, pTraceLevel,
                   pErrLog);
  if (master == 1) return 0;
  if (!pQ->linkOk()) return 1; /* no request went out: nothing to wait for */
  serviceCfg(1, 3.0f);
  return (!registered || registrationRefused) ? 1 : 0;
}

void generic_cfg::closeLink() {
  if (!pQ) return;
  if (master == 1) {
    for (const auto& c : clientRecs) pQ->ipcCopySendMsgConst(ipcMSG_REG_SHUTDOWN, 0, c.first);
  } else if (registered && !shutdownReceived && !masterLost) {
    pQ->ipcSendMsgConst(ipcMSG_REG_GOODBYE, 0);
  } else {
    /* No master will read what we still have waiting (the registration
    ** and the list of a run without a master): take it back, so the runs
    ** after us do not find the shared queue full of it. */
    pQ->txQueue().ClearQueue(pQ->typeId());
  }
  delete pQ;
  pQ = nullptr;
}

void generic_cfg::dropClient(int32_t clientId) {
  for (data_itm_Base* it : itemsInOrder) it->subscribers.erase(clientId);
  pendingExport.clients.erase(clientId);
  clientRecs.erase(clientId);
  pendingGrants.erase(clientId);
}

/* ---- sending ------------------------------------------------------------- */

/* Payload `text` (len bytes) behind an envelope, own message type. */
int generic_cfg::sendText(int code, const char* text, int len) {
  if (!pQ || len < 0) return 1;
  std::vector<char> buf((size_t)cfgENVELOPE + (size_t)len + ipcSPARE_BYTES, '\0');
  if (len) memcpy(&buf[cfgENVELOPE], text, (size_t)len);
  return pQ->ipcSendMsg(code, 0, &buf[0], cfgENVELOPE + len);
}

int generic_cfg::sendEnvelopeOnly(int code) { return pQ ? pQ->ipcSendMsgConst(code, 0) : 1; }

int generic_cfg::sendPing() { return sendEnvelopeOnly(ipcMSG_PING_REQ); }

int generic_cfg::requestFileWrite(int fileNum) {
  char t[16] = "";
  if (fileNum >= 0) snprintf(t, sizeof t, "%d", fileNum);
  return sendText(ipcMSG_WRITE_FILES, t, (int)strlen(t) + 1);
}

int generic_cfg::requestBinData(const char* indexList) {
  if (!indexList) return 1;
  return sendText(ipcMSG_BIN_DATA_REQ, indexList, (int)strlen(indexList));
}

int generic_cfg::sendChangeRequest(const char* name, const char* value, bool quoted) {
  if (!name) return 1;
  std::string v(value ? value : "");
  if (data_itm_Base* it = findItem(name)) it->filterValidChars(&v[0]);
  /* 1000-byte request buffer: envelope, at most 983 characters, NUL. */
  char buf[cfgCHANGE_REQ_BUF];
  char* text = buf + cfgENVELOPE;
  int n = cfgPutf(text, cfgCHANGE_REQ_BUF - cfgENVELOPE, quoted ? "%s,\"%s\"" : "%s,%s", name,
                  v.c_str());
  if (master == 1) return processChangeRequest((uint8_t*)text, n);
  if (masterLost) {
    /* nobody reads the queue: the change would be lost without a word */
    ++refusedChanges;
    TRACE(pTraceLevel, 0, "Change refused, configuration master lost: <%s>\n", text);
    return 1;
  }
  TRACE(pTraceLevel, 1, "Sending Request: <%s> \n", text);
  if (!pQ) return 1;
  return pQ->ipcSendMsg(ipcMSG_NEW_DATA_VALUE, 0, buf, cfgENVELOPE + n);
}

/* ---- the service step ---------------------------------------------------- */

int generic_cfg::serviceCfg(int slot, float timeoutSec) {
  bool waits = slot >= 1 && slot <= 3 && timeoutSec > 0.0f;
  deadlineTimer tmr;
  kvTimeStamp t0;
  getTimeStamp(&t0);
  if (waits) {
    waitSlot[slot].done = false;
    tmr.setPeriod(timeoutSec);
    TRACE(pTraceLevel, 2, "Waiting %1.3f seconds for queue response...", (double)timeoutSec);
  }
  if (!pQ) return 0;
  int last = 0;
  do {
    int code = pQ->msgQGetMsg();
    if (code == 0 && !waits) {
      if (idleCount < 3) ++idleCount;
      else if (master == 1) exportUpdates();
      if (watching) watchStep();
      return 0;
    }
    if (code == 0) {
      while (code == 0 && !tmr.isExpired() && !stopAsked()) {
        usleep(5000);
        code = pQ->msgQGetMsg();
      }
      TRACE(pTraceLevel, 2, " finished. Elapsed=%1.3f\n", (double)elapsedSeconds(&t0));
      if (code == 0) return 0;
    }
    idleCount = 0;
    ++msgCount;
    if (master == 1)
      TRACE(pTraceLevel, 2, "Master Rxd Msg: %s\n", ipcMsgName(code));
    else
      TRACE(pTraceLevel, 2, "Client Rxd Msg: %s, Length=%i\n", ipcMsgName(code), pQ->payloadLen());
    dispatch(code, (uint8_t*)pQ->payload(), pQ->payloadLen(), pQ->senderType());
    if (master != 1) heardFromMaster(code);
    last = code;
    /* the timer also bounds a wait that a stream of other messages keeps
    ** busy, so no peer can hold the caller here */
  } while (waits && !waitSlot[slot].done && !tmr.isExpired() && !stopAsked());
  return last;
}

int generic_cfg::dispatch(int code, uint8_t* payload, int length, int32_t sender) {
  if (length < 0) length = 0;
  if (master == 1) return masterLinkCode(code, payload, length, sender);
  int r = clientLinkCode(code);
  return r >= 0 ? r : processClientRx(code, payload, length);
}

/* Registration and link control in the master; other codes go on to
** processMasterRx. */
int generic_cfg::masterLinkCode(int code, uint8_t* payload, int length, int32_t sender) {
  switch (code) {
    case ipcMSG_REG_REQUEST: {
      TRACE(pTraceLevel, 1, "Registration request received from %i\n", sender);
      if (pQ->ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, sender) != 0) {
        pendingGrants.insert(sender); /* queue full: granted on a later pass */
        retryPending = true;
        answerQueueFull = true;
      } else {
        pendingGrants.erase(sender);
      }
      if (!clientRecs.count(sender)) {
        cfgClientRec& r = clientRecs[sender];
        r.clientId = sender;
        getTimeStamp(&r.created);
        r.name.assign((const char*)payload, strnlen((const char*)payload, (size_t)length));
      }
      return 0;
    }
    case ipcMSG_REG_GOODBYE: dropClient(sender); return 0;
    case ipcMSG_REG_SHUTDOWN:
      clientRecs.erase(sender);
      shutdownReceived = true;
      return 0;
    case ipcMSG_PING_REQ: pQ->ipcCopySendMsgConst(ipcMSG_PING_RESP, 0, sender); return 0;
    case ipcMSG_PING_RESP: return 0;
    case ipcMSG_ERROR: SERVICE_ERR(13012, "Received error status from msg Queue"); return 0;
    case ipcMSG_REG_GRANT:
    case ipcMSG_REG_DENY:
    case ipcMSG_INVALID:
      SERVICE_ERR(13009, "Invalid message type for config master: %s", ipcMsgName(code));
      return 0;
    default: return processMasterRx(code, payload, length, sender);
  }
}

/* Registration and link control in a client; -1 for codes that go on to
** processClientRx. */
int generic_cfg::clientLinkCode(int code) {
  switch (code) {
    case ipcMSG_REG_GRANT:
      registered = true;
      waitSlot[1].done = true;
      ++waitSlot[1].received;
      ++waitSlot[1].good;
      if ((masterLost || relinking) && relinkStage == 1) {
        /* a master serves again: ask for everything, answered by a poll */
        deadlineTimer tmr;
        tmr.setPeriod(0.1f);
        if (sendSubscriptionList(tmr) == 0) relinkStage = 2;
      }
      return 0;
    case ipcMSG_REG_DENY:
      /* only the grant ends the registration wait; initQueues then reports
      ** the refusal */
      TRACE(pTraceLevel, -1, "Registration denied!\n");
      registrationRefused = true;
      return 0;
    case ipcMSG_REG_SHUTDOWN:
      TRACE(pTraceLevel, 0, "System shutdown notification from master\n");
      shutdownReceived = true;
      /* a shutdown also ends the registration */
      [[fallthrough]];
    case ipcMSG_REG_TERMINATED:
      TRACE(pTraceLevel, 0, "Registration terminated\n");
      registrationRefused = true;
      registered = false;
      return 0;
    case ipcMSG_PING_REQ: sendEnvelopeOnly(ipcMSG_PING_RESP); return 0;
    case ipcMSG_PING_RESP: TRACE(pTraceLevel, 0, "Ping response received.\n"); return 0;
    case ipcMSG_ERROR: SERVICE_ERR(13012, "Received error status from msg Queue"); return 0;
    case ipcMSG_REG_REQUEST:
    case ipcMSG_REG_GOODBYE:
    case ipcMSG_INVALID:
      SERVICE_ERR(13008, "Invalid message type for config client: %s", ipcMsgName(code));
      return 0;
    default: return -1;
  }
}

/* ---- client -------------------------------------------------------------- */

int generic_cfg::processClientRx(int code, const uint8_t* payload, int length) {
  if (code != ipcMSG_BIN_DATA_RESP) {
    ERRLOG(pErrLog, 4, 13008, kModule, "Invalid message type for config client: %s",
           ipcMsgName(code));
    return 0;
  }
  int r = binInList(payload, length, 0);
  if (r) ERRLOG(pErrLog, 4, 13007, kModule, "Error %i occurred when processing binary data", r);
  cfgWaitSlot& s = waitSlot[3];
  s.done = true;
  ++s.received;
  if (r) {
    ++s.errors;
    s.lastError = r;
  } else {
    ++s.good;
  }
  return r;
}

int generic_cfg::binInList(const uint8_t* rec, int length, int32_t source) {
  int pos = 0, count = 0;
  while (rec && pos < length - binREC_HDR) {
    ++count;
    int32_t idx = (int32_t)getLe32(rec + pos);
    if (idx < 0 || idx >= indexTableSize()) {
      ERRLOG(pErrLog, 4, 13004, kModule, "Invalid 'BinIn' index:%i. ItmCount=%i", idx, count);
      return 1;
    }
    data_itm_Base* it = indexTable[(size_t)idx];
    if (!it) {
      ERRLOG(pErrLog, 4, 13005, kModule,
             "Invalid 'BinIn' item. Index:%i points to null data item. ItmCount=%i", idx, count);
      return 2;
    }
    int type = rec[pos + 4];
    if (type != it->typeCode) {
      ERRLOG(pErrLog, 4, 13006, kModule,
             "Invalid data type for 'BinIn' item. Data Rxd Type=%i, Index:%i data type=%i. "
             "ItmCount=%i",
             type, idx, it->typeCode, count);
      return 3;
    }
    int used = it->binIn(rec + pos + binREC_HDR, length - pos - binREC_HDR, source);
    if (used < 0) {
      /* the value does not fit what its type needs: a data fault like a
      ** wrong type code; the caller reports the result (13007) */
      TRACE(pTraceLevel, -1, "'BinIn' record cut short. Index:%i has %i value bytes. ItmCount=%i\n",
            idx, length - pos - binREC_HDR, count);
      return 3;
    }
    pos += binREC_HDR + used;
  }
  TRACE(pTraceLevel, 2, "Received %i items.  No errors\n", count);
  return 0;
}

/* Many clients starting together share one client-to-master queue: a list
** the full queue refuses is offered again every 5 ms until the master has
** read enough of it, at most until the subscription's own deadline. */
int generic_cfg::sendListPart(const char* text, int len, deadlineTimer& tmr) {
  for (;;) {
    if (sendText(ipcMSG_CONFIG_LIST, text, len) == 0) return 0;
    if (!pQ || pQ->txQueue().lastSendErrno() != EAGAIN || tmr.isExpired() || stopAsked())
      return 1;
    usleep(5000);
  }
}

/* The list of every item, in parts of at most one message each; 0 when
** every part went out before the timer expired. */
int generic_cfg::sendSubscriptionList(deadlineTimer& tmr) {
  /* One message holds maxPayload bytes; a longer list goes out in parts,
  ** each ended by its NUL and answered on its own. */
  int maxP = pQ && pQ->maxPayload() > 0 ? pQ->maxPayload() : (int)cfgMAX_PAYLOAD;
  char* text = bigBuff + cfgENVELOPE;
  int len = 0;
  for (data_itm_Base* it : indexTable) {
    if (!it) continue;
    char line[400];
    int n = cfgPutf(line, (int)sizeof line, "%i,%s\n", it->index, it->name.c_str());
    if (len + n + 1 > maxP && len > 0) {
      text[len++] = '\0';
      if (sendListPart(text, len, tmr) != 0) return 1;
      len = 0;
    }
    memcpy(text + len, line, (size_t)n);
    len += n;
  }
  text[len++] = '\0';
  TRACE(pTraceLevel, 2, "Sending activateItem request.  Length = %i\n", len);
  return sendListPart(text, len, tmr);
}

/* ---- client: watching the master ----------------------------------------- */

enum {
  watchPING_AFTER_MS = 2000,
  watchLOST_AFTER_MS = 2000,
  watchRELINK_EVERY_MS = 1000,
  watchPID_LOOK_MS = 250
};

void generic_cfg::watchMaster(bool on) {
  watching = on && master != 1;
  pingOut = false;
  getTimeStamp(&lastHeard);
  /* the master that answered our subscription */
  if (watching && pQ) masterPid = pQ->rxQueue().lastSenderPid();
}

/* Any message from the master is a sign of life; the first answer after a
** relink's list completes it. */
void generic_cfg::heardFromMaster(int code) {
  getTimeStamp(&lastHeard);
  pingOut = false;
  if (!watching) return;
  if (code == ipcMSG_PING_RESP || code == ipcMSG_BIN_DATA_RESP || code == ipcMSG_REG_GRANT) {
    pid_t pid = pQ->rxQueue().lastSenderPid();
    if (pid > 0 && masterPid > 0 && pid != masterPid && !masterLost && !relinking) {
      TRACE(pTraceLevel, 0, "Configuration master %d replaced by %d: linking again\n",
            (int)masterPid, (int)pid);
      relinking = true;
      startRelink();
    }
    if (pid > 0) masterPid = pid;
  }
  if (!(masterLost || relinking) || relinkStage != 2 || code != ipcMSG_BIN_DATA_RESP) return;
  masterLost = false;
  relinking = false;
  relinkStage = 0;
  ++relinks;
  TRACE(pTraceLevel, 0, "Configuration master back: linked again\n");
}

/* Registration again; the grant sends the list (clientLinkCode). */
void generic_cfg::startRelink() {
  getTimeStamp(&lastRelinkTry);
  /* purges what we still had waiting, then asks again */
  relinkStage = pQ->ipcRegister(queueName.c_str()) ? 1 : 0;
}

/* One look at the silence, from a poll that found no message. */
void generic_cfg::watchStep() {
  if (!pQ) return;
  if (masterLost || relinking) {
    if (elapsedMs(&lastRelinkTry) >= watchRELINK_EVERY_MS) startRelink();
    if (!relinking) return;
  }
  /* A master process that is gone (killed, crashed) is lost at once; the
  ** ping below covers one that hangs or that we cannot see. */
  bool gone = false;
  if (masterPid > 0 && elapsedMs(&lastPidLook) >= watchPID_LOOK_MS) {
    getTimeStamp(&lastPidLook);
    gone = kill((pid_t)masterPid, 0) != 0 && errno == ESRCH;
  }
  if (!gone && !pingOut) {
    if (elapsedMs(&lastHeard) < watchPING_AFTER_MS) return;
    sendPing(); /* a full queue refusing it ends the same way as no answer */
    pingOut = true;
    getTimeStamp(&pingSent);
    return;
  }
  if (!gone && elapsedMs(&pingSent) < watchLOST_AFTER_MS) return;
  masterLost = true;
  relinking = false;
  pingOut = false;
  relinkStage = 0;
  lastRelinkTry = kvTimeStamp{0, 0};
  TRACE(pTraceLevel, 0, "Configuration master lost: %s\n",
        gone ? "its process is gone" : "no answer to a ping for 2 s");
  pQ->txQueue().ClearQueue(pQ->typeId());
}

int generic_cfg::subscribeListSend() {
  TRACE(pTraceLevel, 2, "Master link begin\n");
  if (master == 1) {
    ERRLOG(pErrLog, 4, 13001, kModule, "Only a client instance instance can subscribe to the master");
    return 1;
  }
  if (itemsInOrder.empty()) {
    ERRLOG(pErrLog, 3, 13002, kModule, "Must subscribe to items before linking to master");
    return 1;
  }
  serviceCfg(0, 0);
  /* Offering the list to a full queue and waiting for the answer share
  ** one 3 s wait: a crowded queue never stretches the subscription. */
  kvTimeStamp t0;
  getTimeStamp(&t0);
  deadlineTimer sendTmr;
  sendTmr.setPeriod(3.0f);
  int last = 0;
  waitSlot[3].done = false;
  if (sendSubscriptionList(sendTmr) == 0) {
    TRACE(pTraceLevel, 2, "Waiting for activateItem response\n");
    float left = 3.0f - elapsedSeconds(&t0);
    last = serviceCfg(3, left > 0.005f ? left : 0.005f);
  }
  if (waitSlot[3].done) {
    /* Further parts of a split answer are already queued: take them now so
    ** every value is in when the subscription returns. */
    for (int i = 0; i < 64 && serviceCfg(0, 0) == ipcMSG_BIN_DATA_RESP; ++i) {
    }
    return 0;
  }
  if (stopAsked()) return 2; /* asked to stop: not a fault of the link */
  ERRLOG(pErrLog, 4, 13003, kModule, "Expected data message from master.  Received %s",
         ipcMsgName(last));
  return 2;
}

/* ---- master -------------------------------------------------------------- */

int generic_cfg::processMasterRx(int code, uint8_t* payload, int length, int32_t sender) {
  switch (code) {
    case ipcMSG_LOG_LINE: return processLogMsg(payload, length);
    case ipcMSG_CONFIG_LIST: return processSubscription(payload, length, sender);
    case ipcMSG_NEW_DATA_VALUE: return processChangeRequest(payload, length);
    case ipcMSG_BIN_DATA_REQ: {
      std::string list((const char*)payload, (size_t)length);
      return sendBinData(sender, list.c_str(), nullptr);
    }
    case ipcMSG_WRITE_FILES: return processWriteRequest(payload, length);
    case ipcMSG_CONFIG_TEXT: {
      TRACE(pTraceLevel, 2, "Rxd new configuration.  Size=%i\n", length);
      std::vector<char> text((const char*)payload, (const char*)payload + length);
      if (!text.empty()) applyCfgText(&text[0], length);
      return 0;
    }
    default:
      ERRLOG(pErrLog, 4, 13009, kModule, "Invalid message type for config master: %s",
             ipcMsgName(code));
      return 1;
  }
}

/*  offset width  log line payload
**  0      4      syslog priority
**  4      4      stamp seconds
**  8      4      stamp microseconds
**  12     4      text length L
**  16     4      not written
**  20     L+1    text and NUL */
int generic_cfg::processLogMsg(const uint8_t* payload, int length) {
  int avail = length - 20;
  int32_t textLen = length >= 16 ? (int32_t)getLe32(payload + 12) : 0;
  if (textLen > avail) {
    ERRLOG(pErrLog, 4, 13027, kModule, "Specified text length=%i but actual=%i", textLen, avail);
    textLen = avail;
  }
  if (textLen < 0 || length < 20) return 1;
  uint32_t prio = getLe32(payload);
  std::string text((const char*)payload + 20, (size_t)textLen);
  int p = prio > 7 ? 7 : (int)prio;
  if (pErrLog) pErrLog->logMessage(p, "%s", text.c_str());
  else TRACE(pTraceLevel, -1, "%s", text.c_str());
  return 0;
}

int generic_cfg::subscribeOne(const char* indexText, const char* name, int32_t sender) {
  char* end = nullptr;
  errno = 0;
  long idx = strtol(indexText, &end, 10);
  if (end == indexText || *end || errno || idx < 0 || idx >= indexTableSize()) return 1;
  data_itm_Base* it = indexTable[(size_t)idx];
  if (!it) return 1;
  if (it->name != name) return 2;
  if (it->noSubscribe) return 3;
  it->subscribers.insert(sender);
  return 0;
}

int generic_cfg::processSubscription(uint8_t* payload, int length, int32_t sender) {
  TRACE(pTraceLevel, 1, "Processing subscription list\n");
  TRACE(pTraceLevel, 3, "nBytes=%i\n", length);
  /* A private copy with a NUL behind it: a last line without terminator
  ** still ends inside our bytes. */
  std::vector<char> text((const char*)payload, (const char*)payload + length);
  text.push_back('\0');
  int pos = 0, errCount = 0;
  while (length - pos >= 2) {
    int cnt = 0;
    char* tok[2] = {nullptr, nullptr};
    int used = tokenize(&text[(size_t)pos], &cnt, length - pos, 2, tok, ",", "\r\n");
    if (cnt == 2) {
      int r = subscribeOne(tok[0], tok[1], sender);
      if (r) {
        TRACE(pTraceLevel, 0, "Error subscribing with <%s>,<%s> err#=%i\n", tok[0], tok[1], r);
        ++errCount;
      }
    }
    if (used <= 0) break;
    pos += used;
  }
  TRACE(pTraceLevel, 1, "Subscription list complete. Bytes processed=%i  ErrCount=%i\n", pos,
        errCount);
  if (errCount == 0) return sendBinData(sender, nullptr, nullptr);
  dropClient(sender);
  return errCount;
}

/* A quoted request ("%s,\"%s\"") whose value holds quotes of its own: the
** tokenizer would end the value at its first inner quote, so a value that
** starts and ends with a quote loses just that outer pair and keeps the
** rest as it is, commas and inner quotes included.  Anything else (no
** quotes, a lone quote) goes to the tokenizer.  Works in place; false when
** the request is not of that form. */
static bool splitQuotedRequest(char* text, int length, int* cnt, char* tok[2]) {
  int end = 0;
  while (end < length && text[end] != '\0' && text[end] != '\r' && text[end] != '\n') end++;
  char* comma = (char*)memchr(text, ',', (size_t)end);
  if (comma == nullptr) return false;
  char* value = comma + 1;
  int valueLen = (int)(text + end - value);
  if (valueLen < 2 || value[0] != '"' || value[valueLen - 1] != '"') return false;
  value[valueLen - 1] = '\0';
  *comma = '\0';
  int nameCount = 0;
  tokenize(text, &nameCount, (int)(comma - text), 1, tok, ",", "\r\n");
  *cnt = nameCount == 1 ? 2 : nameCount;
  tok[1] = value + 1;
  return true;
}

int generic_cfg::processChangeRequest(uint8_t* payload, int length) {
  std::vector<char> text((const char*)payload, (const char*)payload + length);
  text.push_back('\0');
  TRACE(pTraceLevel, 1, "Received new value:<%s>\n", &text[0]);
  int cnt = 0;
  char* tok[2] = {nullptr, nullptr};
  if (!splitQuotedRequest(&text[0], length, &cnt, tok))
    tokenize(&text[0], &cnt, length, 2, tok, ",", "\r\n");
  if (cnt != 2) {
    CHANGE_ERR(13010, "Invalid data for value change. 2 parameters required: id,value");
    return 1;
  }
  data_itm_Base* it = findItem(tok[0]);
  if (!it) {
    CHANGE_ERR(13011, "Invalid item identifier:<%s>/<%s?", tok[0], tok[1]);
    return 1;
  }
  return changeDataItem(it, tok[1]);
}

int generic_cfg::processWriteRequest(const uint8_t* payload, int length) {
  if (length <= 0 || payload[0] == '\0') {
    TRACE(pTraceLevel, 2, "Write to all files\n");
    return writeFilesAll();
  }
  std::string t((const char*)payload, strnlen((const char*)payload, (size_t)length));
  int n = atoiSat(t.c_str());
  TRACE(pTraceLevel, 2, "Write to file #%i\n", n);
  return writeToFile(n);
}

int generic_cfg::changeDataItem(data_itm_Base* item, const char* text) {
  if (master != 1) {
    ERRLOG(pErrLog, 3, 13028, kModule, "Function only available in MASTER mode");
    return 1;
  }
  if (!item || !text) return 0;
  int n = item->strOut(bigBuff, cfgBIG_BUFF_SIZE, "change item, %s, from <", 0, nullptr, false);
  int before = item->changeCount;
  item->strIn(text);
  if (item->changeCount == before) return 0;
  n += cfgPutf(bigBuff + n, cfgBIG_BUFF_SIZE - n, ">, to <");
  n += item->strOut(bigBuff + n, cfgBIG_BUFF_SIZE - n, nullptr, 0, nullptr, false);
  cfgPutf(bigBuff + n, cfgBIG_BUFF_SIZE - n, ">");
  TRACE(pTraceLevel, 2, "Logging this:<%s>\n", bigBuff);
  return 1;
}

/* Index list text: decimal numbers separated by ','; the first CR or LF
** ends it.  Tokens that are not numbers count as invalid. */
static void parseIndexList(const char* list, std::set<int32_t>* out, int* invalid) {
  std::string cur;
  for (const char* p = list;; ++p) {
    char c = *p;
    if (c == ',' || c == '\0' || c == '\r' || c == '\n') {
      size_t b = cur.find_first_not_of(" \t"), e = cur.find_last_not_of(" \t");
      if (b != std::string::npos) {
        std::string tok = cur.substr(b, e - b + 1);
        char* end = nullptr;
        errno = 0;
        long v = strtol(tok.c_str(), &end, 10);
        if (*end || errno || v < INT32_MIN || v > INT32_MAX) ++*invalid;
        else out->insert((int32_t)v);
      }
      cur.clear();
      if (c != ',') break;
    } else {
      cur += c;
    }
  }
}

int generic_cfg::sendBinData(int32_t clientId, const char* indexList,
                             const std::set<int32_t>* indexSet) {
  std::set<int32_t> unsent;
  if (!indexList && !indexSet) {
    sendRecordChunks(clientId, itemsInOrder, &unsent);
    keepUnsent(clientId, unsent);
    return 0;
  }
  std::set<int32_t> wanted;
  int invalid = 0;
  if (indexList) {
    TRACE(pTraceLevel, 2, "Requested item list: <%s>\n", indexList);
    parseIndexList(indexList, &wanted, &invalid);
  }
  if (indexSet) wanted.insert(indexSet->begin(), indexSet->end());
  std::vector<data_itm_Base*> items;
  for (int32_t idx : wanted) {
    TRACE(pTraceLevel, 4, "Getting data for <%i> : ", idx);
    data_itm_Base* it = getItem(idx);
    if (!it) {
      TRACE(pTraceLevel, 4, " NOT A VALID ITEM.\n");
      ++invalid;
      continue;
    }
    items.push_back(it);
  }
  sendRecordChunks(clientId, items, &unsent);
  keepUnsent(clientId, unsent);
  return invalid;
}

/* Records a full queue refused go out with a later export. */
void generic_cfg::keepUnsent(int32_t clientId, const std::set<int32_t>& unsent) {
  if (unsent.empty()) return;
  pendingExport.clients[clientId].insert(unsent.begin(), unsent.end());
  pendingExport.hasWork = true;
  retryPending = true;
}

/* Records of `items` for one client in bigBuff, sent as code 23 messages of
** at most maxPayload bytes each.  After a failed send the rest is not tried
** (the queue is full or gone); the indexes not sent go to `unsent`.
** Returns the number of messages sent. */
int generic_cfg::sendRecordChunks(int32_t clientId, const std::vector<data_itm_Base*>& items,
                                  std::set<int32_t>* unsent) {
  int maxP = pQ && pQ->maxPayload() > 0 ? pQ->maxPayload() : (int)cfgMAX_PAYLOAD;
  if (maxP > cfgBIG_BUFF_SIZE - cfgENVELOPE - ipcSPARE_BYTES)
    maxP = cfgBIG_BUFF_SIZE - cfgENVELOPE - ipcSPARE_BYTES;
  uint8_t* base = (uint8_t*)bigBuff + cfgENVELOPE;
  std::vector<int32_t> chunk;
  int used = 0, sent = 0;
  bool failed = false;
  auto flush = [&]() {
    if (chunk.empty()) return;
    if (!failed && flushChunk(clientId, used, (int)chunk.size()) == 0) ++sent;
    else {
      failed = true;
      if (unsent) unsent->insert(chunk.begin(), chunk.end());
    }
    chunk.clear();
    used = 0;
  };
  for (data_itm_Base* it : items) {
    if (clientId >= 0 && !it->subscribers.count(clientId)) continue;
    int len = it->recordLength();
    if (len > maxP) {
      /* the transport's own refusal of a message that never fits */
      TRACE(pTraceLevel, -1, "record of %s is %i bytes, one message holds %i\n", it->name.c_str(),
            len, maxP);
      ERRLOG(pErrLog, 4, 15004, "ipcMsgQ_Base", "Error sending message");
      continue; /* can never be sent: not kept pending */
    }
    if (used + len > maxP) flush();
    it->binOut(base + used, maxP - used, clientId);
    used += len;
    chunk.push_back(it->index);
  }
  flush();
  return sent;
}

int generic_cfg::flushChunk(int32_t clientId, int bytes, int nItems) {
  if (!pQ) return 1;
  int r = pQ->ipcCopySendMsg(ipcMSG_BIN_DATA_RESP, 0, bigBuff, cfgENVELOPE + bytes, clientId);
  if (r == 0)
    TRACE(pTraceLevel, 0, "Created binOut with %i items for client %i\n", nItems, clientId);
  else if (pQ->txQueue().lastSendErrno() == EAGAIN)
    answerQueueFull = true;
  return r;
}

/* Grants a full queue refused, in client order; the first refusal ends
** the pass (the queue is still full). */
void generic_cfg::resendGrants() {
  for (auto it = pendingGrants.begin(); it != pendingGrants.end();) {
    if (pQ && pQ->ipcCopySendMsgConst(ipcMSG_REG_GRANT, 0, *it) == 0)
      it = pendingGrants.erase(it);
    else
      break; /* still full: the rest waits for the next pass */
  }
}

/* The stale rule below only looks at clients with changes to send.  When
** the shared answer queue was found full, it may be full of messages for
** clients that died without a goodbye and get no changes: every other
** known client is checked too, and one whose oldest message waits more
** than 9 s is dropped with all its messages.  Returns the clients dropped. */
int generic_cfg::dropSilentClients() {
  std::set<int32_t> ids;
  for (const auto& c : clientRecs) ids.insert(c.first);
  for (data_itm_Base* it : itemsInOrder) ids.insert(it->subscribers.begin(), it->subscribers.end());
  for (const auto& c : pendingExport.clients)
    if (!c.second.empty()) ids.erase(c.first); /* checked by the export itself */
  int dropped = 0;
  for (int32_t id : ids) {
    if (!pQ || pQ->checkMsgTimeout(id) <= cfgSTALE_SECONDS) continue;
    pQ->txQueue().ClearQueue(id); /* whatever else still waits for it */
    TRACE(pTraceLevel, 1, "Detected stale config client (%d)\n", id);
    dropClient(id);
    ++dropped;
  }
  return dropped;
}

int generic_cfg::exportUpdates() {
  int served = 0;
  if (answerQueueFull) {
    answerQueueFull = false;
    served += dropSilentClients();
  }
  resendGrants();
  if (!pendingExport.hasWork) {
    retryPending = !pendingGrants.empty();
    return served;
  }
  std::vector<int32_t> ids;
  for (const auto& c : pendingExport.clients)
    if (!c.second.empty()) ids.push_back(c.first);
  bool putOff = false;
  for (int32_t id : ids) {
    int age = pQ ? pQ->checkMsgTimeout(id) : -1;
    if (age == -1) {
      /* once per export sent: a lagging client is asked again on every
      ** idle pass, and must not cost a line each time */
      TRACE(pTraceLevel, -1, "Export update to client %i\n", id);
      std::set<int32_t> work;
      work.swap(pendingExport.clients[id]);
      sendBinData(id, nullptr, &work); /* a refused part comes back pending */
      ++served;
    } else if (age > cfgSTALE_SECONDS) {
      TRACE(pTraceLevel, 1, "Detected stale config client (%d)\n", id);
      dropClient(id);
      ++served;
    } else {
      putOff = true;
    }
  }
  bool more = false;
  for (const auto& c : pendingExport.clients) more = more || !c.second.empty();
  pendingExport.hasWork = more;
  retryPending = putOff || more || !pendingGrants.empty();
  return served;
}
