/*
** ipcMsgQBase: one System V message queue, one direction, with the 16-byte
** envelope every message of the box carries.
**
** This is the raw transport only.  Registration, ping and the client/master
** roles live in msgQ_IO (msgQ_IO.h), which owns one receive and one transmit
** queue of this class.  Module name in error reports: "ipcMsgQ_Base"
** (15001-15005).
**
** Queue key
** ---------
**   key = ftok(path, byte) + 99, then msgget(key, IPC_CREAT | 0660)
**   path: the program directory of the error log when an error log is given
**         and its directory is set (master and clients must run from the
**         same directory), else the key path given.
**   byte: the key byte & 0xff, 0 replaced by 1.  The client-to-master queue
**         uses the complement 255 - byte (keyByteFor()).
**
** Envelope (caller buffer, 32-bit little-endian words; the first 16 bytes of
** every message buffer are reserved for it and filled by msgSend):
**
**   | buf off | text off | width | content                                  |
**   |---------|----------|-------|------------------------------------------|
**   | 0       | -        | 4     | message type: client's qTypeID, never 0  |
**   | 4       | 0        | 4     | message code                             |
**   | 8       | 4        | 4     | argument (always 0 in this system)       |
**   | 12      | 8        | 4     | sender's monotonic seconds at sending    |
**   | 16      | 12       | n     | payload                                  |
**   | 16 + n  | 12 + n   | 4     | spare, ignored by receivers (sent as 0)  |
**
** The size handed to the queue is 16 + n; the queue does not count the type
** word, so the text that travels is code, argument, stamp, payload and the 4
** spare bytes.  These text bytes are identical on the 32-bit box and on a
** 64-bit host, where the kernel's type word (a long) is 8 bytes: sends go
** through a staging buffer { long mtype; text }, receives land in a buffer
** laid out so the text starts at offset 4 of buffer() on both widths.
** The spare bytes are written as zero from the staging buffer, so nothing
** past the caller's payload is ever read.
**
** Receive buffer: buffer() holds capacity + 17 bytes; after a receive the
** type word is at offset 0, code/argument/stamp at 4/8/12, the payload at 16
** with payloadLen() = received text - 16, and a NUL at payload() +
** payloadLen() (over the first spare byte), so a text payload can always be
** read as a C string, even when the sender lied about a terminating NUL.
**
** Limits: one message carries at most msgmax bytes of text (8192 by
** default, /proc/sys/kernel/msgmax), a queue holds msgmnb bytes (16384)
** shared by every client of the pair.  maxPayload() is what fits in one
** message.  A send the queue refuses as full is retried for at most
** sendRetryMs (default ipcSEND_RETRY_MS) and then fails with the trace
** "msgsnd(): EAGAIN" only (lastSendErrno() EAGAIN; the sender keeps the
** message and tries again later).  A sender that keeps offering while the
** queue stays full is traced once: the trace comes again only after a
** send went through; any other refusal, and a message that can
** never fit (failed at once), reports 15004.
**
** Results: msgSend 0 ok / 1 failed; msgQGetMsg the code received, 0 when
** nothing (or fewer than 16 bytes) arrived; ClearQueue 0; checkMsgTimeout
** the age in seconds of the oldest message of that type, -1 when none.
*/
#ifndef IPC_IPCMSGQBASE_H
#define IPC_IPCMSGQBASE_H

#include <cstdint>
#include <sys/types.h>

class ErrTrcLog;

enum {
  ipcENVELOPE_SIZE = 16,   /* envelope bytes at the front of every buffer */
  ipcSPARE_BYTES = 4,      /* behind the payload; travel, never read */
  ipcKEY_OFFSET = 99,      /* key = ftok(...) + 99 */
  ipcTX_CAPACITY = 10000,  /* buffer of a transmit queue (checkMsgTimeout) */
  ipcMIN_RX_CAPACITY = 500,
  ipcSEND_RETRY_MS = 20,   /* how long a refused (full queue) send is retried */
  ipcSTALE_SECONDS = 9     /* checkMsgTimeout drops messages older than this */
};

/* Queue direction; only names the queue in traces (" - Rx" / " - Tx") and
** chooses the buffer capacity. */
enum ipcQDirection { ipcQ_RX = 0, ipcQ_TX = 1 };

class ipcMsgQBase {
public:
  /* Opens (creating if needed) the queue, traces "Initiated msg queue: ..."
  ** at level 3+, then ClearQueue(purgeType).  On failure isValid() is false
  ** and error 15001 is reported.  capacity: receive queue max(capacity,
  ** 500), transmit queue always 10000.  pTraceLevel null: a level of the
  ** queue's own, 0. */
  ipcMsgQBase(int direction, const char* qName, const char* keyPath, int keyByte, int capacity,
              int32_t purgeType, const int* pTraceLevel = nullptr, ErrTrcLog* pErrLog = nullptr);
  ~ipcMsgQBase();
  ipcMsgQBase(const ipcMsgQBase&) = delete;
  ipcMsgQBase& operator=(const ipcMsgQBase&) = delete;

  /* Fill buf's envelope (type, code, argument, stamp) and send 16 + n =
  ** size bytes of text without blocking.  size < 16: nothing sent, 0.
  ** 0 sent, 1 failed (15003 invalid queue; full queue: trace only; 15004
  ** any other refusal or too large). */
  int msgSend(int code, int arg, char* buf, int size, int32_t msgType);

  /* Take the first message of msgType (any for 0) without blocking.
  ** Returns its code, 0 when none.  15005 when it filled the capacity. */
  int msgQGetMsg(int32_t msgType);

  /* Discard every waiting message of msgType (every message for 0). */
  int ClearQueue(int32_t msgType);

  /* Discard the messages of senders that no longer exist: each message's
  ** type is a client's process ID, and a client killed before it could
  ** take back what it sent leaves its registration and subscription list
  ** in the client-to-master queue for ever when no master reads it.  The
  ** queue is looked through without taking anything (a copy by
  ** position); the types whose process is gone are then cleared.  A type
  ** that a live process reuses is kept.  Returns the messages dropped. */
  int dropGoneSenders();

  /* Master, on its transmit queue: age of the oldest message of msgType.
  ** Age <= 9: the message is sent again (back of the queue); above 9 it is
  ** dropped.  -1 when none waits. */
  int checkMsgTimeout(int32_t msgType);

  bool isValid() const { return valid; }
  int queueId() const { return qId; }
  /* Process ID of the last sender on this queue (the kernel's record), 0
  ** when unknown.  Only the master sends on a master-to-client queue, so
  ** there it names the master now serving. */
  pid_t lastSenderPid() const;
  key_t key() const { return qKey; }
  int keyByteUsed() const { return ftokId; }
  const char* name() const { return qName; }
  int capacity() const { return cap; }

  /* After a receive, until the next one. */
  char* buffer() { return buf; }
  char* payload() { return buf + ipcENVELOPE_SIZE; }
  int payloadLen() const { return lastLen; }
  int lastCode() const { return lastMsgCode; }
  int lastArg() const { return lastMsgArg; }
  int32_t lastType() const { return lastMsgType; }
  uint32_t lastStamp() const { return lastMsgStamp; }

  /* Largest payload one message can carry on this queue:
  ** min(msgmax, the queue's byte limit) - 16.  0 when the queue is invalid. */
  int maxPayload() const;
  /* errno of the last failed send (EAGAIN after a full queue), else 0. */
  int lastSendErrno() const { return sendErrno; }
  void setSendRetryMs(int ms) { retryMs = ms < 0 ? 0 : ms; }

  /* The key byte a queue uses: byte & 0xff, 0 -> 1; complemented (255 - b)
  ** for the client-to-master queue. */
  static int keyByteFor(int keyByte, bool clientToMaster);

private:
  const int* level() const { return pTraceLevel ? pTraceLevel : &ownLevel; }
  int sendStaged(const char* from, int size, int32_t msgType, int* err);
  int receiveInto(int32_t msgType, int flags, int* err);
  void clearLast();

  const int* pTraceLevel;
  int ownLevel;
  ErrTrcLog* pErrLog;
  char* qName;
  int qId;
  key_t qKey;
  int ftokId;
  bool valid;
  int qBytes;       /* the queue's byte limit (msg_qbytes) */
  int cap;          /* receive capacity in bytes of text */
  char* raw;        /* receive area: { long mtype; text[cap] } shifted so   */
  char* buf;        /* buf = raw + sizeof(long) - 4 puts the text at buf+4 */
  char* stage;      /* send staging { long mtype; text[msgmax] }, lazily */
  int stageSize;
  int retryMs;
  int sendErrno;
  int lastLen;
  int lastMsgCode;
  int lastMsgArg;
  int32_t lastMsgType;
  uint32_t lastMsgStamp;
};

/* Kernel limits, read once from /proc/sys/kernel (defaults 8192, 16384). */
int ipcMsgMax();
int ipcMsgMnb();

/* Clock seam: whole monotonic seconds used for envelope stamps and for the
** age in checkMsgTimeout.  A test may install a hook to stamp messages in
** the past; a null hook restores the monotonic clock. */
uint32_t ipcNowSeconds();
void setIpcClockHook(uint32_t (*hook)());

/* 32-bit little-endian words of the envelope and of other wire data. */
void ipcPutU32(char* at, uint32_t v);
uint32_t ipcGetU32(const char* at);

#endif
