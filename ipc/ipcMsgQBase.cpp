/*
** ipcMsgQBase: opening a System V queue by key, sending and receiving with
** the 16-byte envelope, purging and the stale-message check.  The envelope
** layout and the key rule are drawn in ipcMsgQBase.h.
*/
#include "ipc/ipcMsgQBase.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include "diag/ErrTrcLog.h"
#include "diag/cppUtils.h"
#include "diag/trace.h"

static const char* kModule = "ipcMsgQ_Base";

/* The kernel's type word sits in front of the text; on the box it is 4
** bytes, on a 64-bit host 8.  Our buffers keep a 4-byte type word, so the
** receive area is shifted by the difference. */
static const int kLongShift = (int)sizeof(long) - 4;

/* ---- wire words, limits, clock ------------------------------------------ */

void ipcPutU32(char* at, uint32_t v) {
  unsigned char* p = reinterpret_cast<unsigned char*>(at);
  p[0] = (unsigned char)(v & 0xff);
  p[1] = (unsigned char)((v >> 8) & 0xff);
  p[2] = (unsigned char)((v >> 16) & 0xff);
  p[3] = (unsigned char)((v >> 24) & 0xff);
}

uint32_t ipcGetU32(const char* at) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(at);
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static int readProcInt(const char* path, int fallback) {
  FILE* f = fopen(path, "r");
  if (f == nullptr) return fallback;
  long v = 0;
  int got = fscanf(f, "%ld", &v);
  fclose(f);
  return (got == 1 && v > 0 && v < (1L << 30)) ? (int)v : fallback;
}

int ipcMsgMax() {
  static const int v = readProcInt("/proc/sys/kernel/msgmax", 8192);
  return v;
}

int ipcMsgMnb() {
  static const int v = readProcInt("/proc/sys/kernel/msgmnb", 16384);
  return v;
}

static uint32_t (*gClockHook)() = nullptr;

void setIpcClockHook(uint32_t (*hook)()) { gClockHook = hook; }

uint32_t ipcNowSeconds() {
  if (gClockHook != nullptr) return gClockHook();
  kvTimeStamp ts;
  getTimeStamp(&ts);
  return ts.sec;
}

static long nowMs() {
  kvTimeStamp ts;
  getTimeStamp(&ts);
  return (long)ts.sec * 1000L + (long)(ts.usec / 1000);
}

/* ---- life cycle ----------------------------------------------------------- */

int ipcMsgQBase::keyByteFor(int keyByte, bool clientToMaster) {
  int b = keyByte & 0xff;
  if (b == 0) b = 1;
  return clientToMaster ? 255 - b : b;
}

static char* makeName(const char* qName, int direction) {
  std::string n = std::string(qName ? qName : "") + " - " + (direction == ipcQ_TX ? "Tx" : "Rx");
  char* p = new char[n.size() + 1];
  memcpy(p, n.c_str(), n.size() + 1);
  return p;
}

ipcMsgQBase::ipcMsgQBase(int direction, const char* name, const char* keyPath, int keyByte,
                         int capacity, int32_t purgeType, const int* pTrcLvl, ErrTrcLog* pLog)
    : pTraceLevel(pTrcLvl), ownLevel(0), pErrLog(pLog), qName(makeName(name, direction)),
      qId(-1), qKey(-1), ftokId(0), valid(false), qBytes(0), cap(0), raw(nullptr),
      buf(nullptr), stage(nullptr), stageSize(0), retryMs(ipcSEND_RETRY_MS), sendErrno(0) {
  clearLast();
  cap = direction == ipcQ_TX ? (int)ipcTX_CAPACITY
                             : (capacity > ipcMIN_RX_CAPACITY ? capacity : (int)ipcMIN_RX_CAPACITY);
  /* buf holds capacity + 17 bytes; the kernel's long type word ends where
  ** buf's text begins (buf + 4). */
  raw = new char[cap + 17 + kLongShift]();
  buf = raw + kLongShift;

  /* With an error log the program's directory is the key path, so that
  ** every program of the box started from one directory meets on it. */
  const char* path = keyPath ? keyPath : ".";
  if (pErrLog != nullptr && pErrLog->programDir()[0] != '\0') path = pErrLog->programDir();
  ftokId = keyByte & 0xff;
  if (ftokId == 0) ftokId = 1;
  key_t k = ftok(path, ftokId);
  if (k != (key_t)-1) {
    qKey = k + ipcKEY_OFFSET;
    qId = msgget(qKey, IPC_CREAT | 0660);
  }
  if (qId < 0) {
    ERRLOG(pErrLog, 3, 15001, kModule, "Can not initiate message queue");
    TRACE(level(), -1, "Could not initiate msg queue: %s.  key=%i, ftok_id=%i, path=%s,  QueueID = %i\n",
          qName, (int)qKey, ftokId, path, qId);
    return;
  }
  valid = true;
  struct msqid_ds ds;
  qBytes = msgctl(qId, IPC_STAT, &ds) == 0 ? (int)ds.msg_qbytes : ipcMsgMnb();
  TRACE(level(), 2, "Initiated msg queue: %s. ftok_id=%i key=%i  QueueID = %i\n", qName, ftokId,
        (int)qKey, qId);
  ClearQueue(purgeType);
}

ipcMsgQBase::~ipcMsgQBase() {
  TRACE(level(), 3, "ipxMsgQBase destructor. qName addr=%s\n", qName);
  delete[] qName;
  delete[] raw;
  delete[] stage;
}

void ipcMsgQBase::clearLast() {
  lastLen = 0;
  lastMsgCode = 0;
  lastMsgArg = 0;
  lastMsgType = 0;
  lastMsgStamp = 0;
}

int ipcMsgQBase::maxPayload() const {
  if (!valid) return 0;
  int limit = ipcMsgMax() < qBytes ? ipcMsgMax() : qBytes;
  return limit - ipcENVELOPE_SIZE;
}

/* ---- sending -------------------------------------------------------------- */

/* msgsnd without blocking.  A full queue (EAGAIN) is tried again every
** half millisecond for at most retryMs, so a peer that stopped reading
** costs the sender a bounded delay, never a hang.  Returns 0 or -1 with
** *err set. */
static int sendBounded(int qId, const void* msg, size_t textLen, int retryMs, int* err) {
  long deadline = -1;
  for (;;) {
    if (msgsnd(qId, msg, textLen, IPC_NOWAIT) == 0) {
      *err = 0;
      return 0;
    }
    *err = errno;
    if (*err == EINTR) continue;
    if (*err != EAGAIN) return -1;
    long now = nowMs();
    if (deadline < 0) deadline = now + retryMs;
    if (now >= deadline) return -1;
    usleep(500);
  }
}

/* Copy the text (code .. payload) behind a long type word and zero the
** spare bytes; size is 16 + n, so the text is size bytes. */
int ipcMsgQBase::sendStaged(const char* from, int size, int32_t msgType, int* err) {
  int need = (int)sizeof(long) + size;
  if (need > stageSize) {
    delete[] stage;
    stage = new char[need];
    stageSize = need;
  }
  long mtype = msgType;
  memcpy(stage, &mtype, sizeof(long));
  char* text = stage + sizeof(long);
  memcpy(text, from + 4, (size_t)(size - ipcSPARE_BYTES));
  memset(text + size - ipcSPARE_BYTES, 0, ipcSPARE_BYTES);
  return sendBounded(qId, stage, (size_t)size, retryMs, err);
}

int ipcMsgQBase::msgSend(int code, int arg, char* msg, int size, int32_t msgType) {
  if (!valid) {
    ERRLOG(pErrLog, 3, 15003, kModule, "Queue has not been initialized");
    return 1;
  }
  if (size < ipcENVELOPE_SIZE) return 0;
  if (msg == nullptr) return 1;
  ipcPutU32(msg, (uint32_t)msgType);
  ipcPutU32(msg + 4, (uint32_t)code);
  ipcPutU32(msg + 8, (uint32_t)arg);
  ipcPutU32(msg + 12, ipcNowSeconds());
  TRACE(level(), 1, "Sending msg 1: QId=%i Length=%i TypeID=%i\n", qId, size, msgType);

  int limit = maxPayload() + ipcENVELOPE_SIZE;
  int err = 0;
  if (size > limit) {
    /* The kernel would refuse it for ever (or, above the queue size, keep
    ** it waiting for room that never comes): fail now and say why. */
    err = EMSGSIZE;
    TRACE(level(), -1, "msgsnd(): ERROR %d %s\n", err, strerror(err));
    TRACE(level(), -1, "message of %i bytes never fits: at most %i bytes per message (msgmax=%i, queue=%i)\n",
          size, limit, ipcMsgMax(), qBytes);
  } else if (sendStaged(msg, size, msgType, &err) == 0) {
    sendErrno = 0;
    TRACE(level(), 1, "Sending msg 2: QId=%i Length=%i TypeID=%i\n", qId, size, msgType);
    TRACE(level(), 4, "Msg Sent\n");
    return 0;
  } else if (err == EAGAIN) {
    /* A full queue is flow control, not a fault: the caller keeps what it
    ** could not send and tries again later, so only the trace reports it. */
    if (sendErrno != EAGAIN) TRACE(level(), -1, "msgsnd(): EAGAIN\n");
    sendErrno = err;
    return 1;
  } else {
    TRACE(level(), -1, "msgsnd(): ERROR %d %s\n", err, strerror(err));
  }
  sendErrno = err;
  ERRLOG(pErrLog, 4, 15004, kModule, "Error sending message");
  return 1;
}

/* ---- receiving ------------------------------------------------------------ */

/* One msgrcv without blocking into the receive area.  Returns the text
** length (with buf's type word and a NUL behind the text filled in), or -1
** with *err set. */
int ipcMsgQBase::receiveInto(int32_t msgType, int flags, int* err) {
  ssize_t n;
  do {
    n = msgrcv(qId, raw, (size_t)cap, msgType, IPC_NOWAIT | flags);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    *err = errno;
    return -1;
  }
  *err = 0;
  long mtype;
  memcpy(&mtype, raw, sizeof(long));
  ipcPutU32(buf, (uint32_t)mtype);  /* overwrites the long's high half on 64 bits */
  buf[4 + n] = '\0';
  lastMsgType = (int32_t)mtype;
  return (int)n;
}

int ipcMsgQBase::msgQGetMsg(int32_t msgType) {
  if (!valid) {
    ERRLOG(pErrLog, 3, 15003, kModule, "Queue has not been initialized");
    return 0;
  }
  int err = 0;
  int n = receiveInto(msgType, MSG_NOERROR, &err);
  if (n < ipcENVELOPE_SIZE) {
    if (n >= 0) TRACE(level(), 1, "Short message of %i bytes from type %i discarded\n", n, lastMsgType);
    clearLast();
    return 0;
  }
  if (n == cap) ERRLOG(pErrLog, 4, 15005, kModule, "Possibly truncated receive message");
  lastLen = n - ipcENVELOPE_SIZE;
  buf[n] = '\0';  /* end of the payload: the spare bytes are never text */
  lastMsgCode = (int)ipcGetU32(buf + 4);
  lastMsgArg = (int)ipcGetU32(buf + 8);
  lastMsgStamp = ipcGetU32(buf + 12);
  return lastMsgCode;
}

int ipcMsgQBase::ClearQueue(int32_t msgType) {
  if (!valid) {
    ERRLOG(pErrLog, 3, 15002, kModule, "Message queue not initialized");
    return 0;
  }
  /* Bounded: a queue holds at most msgmnb bytes, but a busy peer could keep
  ** refilling it while we purge. */
  int count = 0, err = 0;
  while (count < 100000 && receiveInto(msgType, MSG_NOERROR, &err) >= 0) count++;
  clearLast();
  if (count > 0)
    TRACE(level(), 1, " Cleared %i messages from queue %i for typeID %i\n", count, qId, msgType);
  return 0;
}

pid_t ipcMsgQBase::lastSenderPid() const {
  struct msqid_ds ds;
  if (!valid || msgctl(qId, IPC_STAT, &ds) != 0) return 0;
  return ds.msg_lspid;
}

int ipcMsgQBase::dropGoneSenders() {
  if (!valid) return 0;
  struct msqid_ds ds;
  if (msgctl(qId, IPC_STAT, &ds) != 0) return 0;
  /* the queue holds at most msgmnb bytes: a few hundred messages at most */
  std::set<int32_t> types;
  int err = 0;
  for (long at = 0; at < (long)ds.msg_qnum && at < 4096; at++) {
    ssize_t n;
    do {
      n = msgrcv(qId, raw, (size_t)cap, at, IPC_NOWAIT | MSG_COPY | MSG_NOERROR);
    } while (n < 0 && errno == EINTR);
    if (n < 0) break; /* gone meanwhile, or no copy by position here */
    long mtype;
    memcpy(&mtype, raw, sizeof(long));
    types.insert((int32_t)mtype);
  }
  int dropped = 0;
  for (int32_t t : types) {
    if (t <= 0 || kill((pid_t)t, 0) == 0 || errno != ESRCH) continue;
    while (dropped < 100000 && receiveInto(t, MSG_NOERROR, &err) >= 0) dropped++;
  }
  clearLast();
  if (dropped > 0)
    TRACE(level(), 1, "Dropped %i messages of gone senders from queue %i\n", dropped, qId);
  return dropped;
}

/* ---- stale-client check ----------------------------------------------------- */

int ipcMsgQBase::checkMsgTimeout(int32_t msgType) {
  if (!valid) return -1;
  int err = 0;
  int n = receiveInto(msgType, 0, &err);
  TRACE(level(), 1, "checkMsgTimeout %d %d %d %s\n", msgType, n, err, strerror(err));
  if (n < 0) return -1;
  TRACE(level(), 1, "Found message for timeout of ID %d\n", msgType);
  uint32_t now = ipcNowSeconds();
  /* A text too short to hold a stamp counts as fresh; a stamp ahead of us
  ** (another clock) as age 0. */
  uint32_t stamp = n >= 12 ? ipcGetU32(buf + 12) : now;
  int age = (int)(int32_t)(now - stamp);
  if (age < 0) age = 0;
  if (age <= ipcSTALE_SECONDS) {
    long mtype = lastMsgType;  /* the type word's high half was reused */
    memcpy(raw, &mtype, sizeof(long));
    int rv = sendBounded(qId, raw, (size_t)n, retryMs, &err);
    if (rv != 0) TRACE(level(), -1, "Unable to re-enqueue config message (%d %d:%s)\n", rv, err, strerror(err));
  } else {
    TRACE(level(), 1, "Found message for timeout of ID %d %d-%d=%d\n", msgType, (int)now, (int)stamp, age);
  }
  clearLast();
  return age;
}
