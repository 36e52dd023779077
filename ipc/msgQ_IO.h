/*
** msgQ_IO: one endpoint of a queue pair, master or client.
**
** A master owns the pair; any number of clients attach to the same pair,
** told apart by the message type word: a client's qTypeID is its process
** ID, the master's is 0 (so the master receives every client's messages in
** arrival order).  Module name in error reports: "ipcMsgQ_Mstr_Clnt"
** (14001-14003).  The envelope and queue keys are those of ipcMsgQBase.h.
**
**   queue              key byte   client uses it to   master uses it to
**   master-to-client   b          receive             transmit
**   client-to-master   255 - b    transmit            receive
**   (b = key byte & 0xff, 0 replaced by 1)
**
** Creating an endpoint:
**   client: qTypeID = getpid(); both queues purged of the own type; then the
**           registration request (code 2, payload: the queue name with its
**           NUL) is sent.  linkOk() = both queues open and the request sent.
**   master: qTypeID = 0; both queues purged of every type (the queues
**           outlive their processes, so stale messages of an earlier run are
**           discarded); linkOk() = both queues open.
**   linkOk() false after creation: error 14001.
** The queues are never removed from the system.
**
** Registration as both sides handle it (the owner of the endpoint reads
** the codes; msgQ_IO only moves them):
**   client 2 ->  master replies 3 (grant) or 6 (deny)
**   client 4 ->  goodbye: master drops the client
**   5 either way: shutdown (client to master: the master should stop;
**                 master to client: act as 7)
**   master 7 ->  registration terminated
**   10 -> the receiver replies 11 to the sender's type
**
** Idiom (client):
**     msgQ_IO q("doVA.x", ".", 65, 10000, 0, &traceLevel, pErrTrcLog);
**     if (!q.linkOk()) ...;
**     for (;;) { int code = q.msgQGetMsg(); if (code == 0) usleep(5000); ... }
**   Sending with a payload: build it at buf + 16, keep 4 spare bytes behind
**   it, call ipcSendMsg(code, 0, buf, 16 + n).
**
** Results: sends return 0 ok / 1 failed; msgQGetMsg the code, 0 none;
** ipcRegister 1 when the link is ok, 0 otherwise.
*/
#ifndef IPC_MSGQ_IO_H
#define IPC_MSGQ_IO_H

#include <cstdint>
#include "ipc/ipcMsgQBase.h"

class ErrTrcLog;

/* Message codes.  ipcMsgName() gives the text shown in traces and errors. */
enum ipcMsgCode {
  ipcMSG_NONE = 0,               /* "No Message": nothing was waiting */
  ipcMSG_ERROR = 1,              /* "Message Error" */
  ipcMSG_REG_REQUEST = 2,        /* "Registration Request"; payload client name + NUL */
  ipcMSG_REG_GRANT = 3,          /* "Registration Grant" */
  ipcMSG_REG_GOODBYE = 4,        /* "Registration Goodbye" */
  ipcMSG_REG_SHUTDOWN = 5,       /* "Registration Shutdown" */
  ipcMSG_REG_DENY = 6,           /* "Registration Deny" */
  ipcMSG_REG_TERMINATED = 7,     /* "Registration Terminated" */
  ipcMSG_DATA = 8,               /* "Data Message" */
  ipcMSG_COMMAND = 9,            /* "Command Message" */
  ipcMSG_PING_REQ = 10,          /* "Ping Request" */
  ipcMSG_PING_RESP = 11,         /* "Ping Response" */
  ipcMSG_INVALID = 12,           /* "Invalid Message" */
  ipcMSG_LOG_LINE = 13,          /* (no name) forwarded log line */
  ipcMSG_GROUP_LIST_REQ = 14,    /* "Group list req" */
  ipcMSG_GROUP_LIST_RESP = 15,   /* "Group list resp" */
  ipcMSG_GROUP_DATA_REQ = 16,    /* "Group data req" */
  ipcMSG_GROUP_DATA_RESP = 17,   /* "Group data resp" */
  ipcMSG_ALL_DATA_REQ = 18,      /* "All data req" */
  ipcMSG_ALL_DATA_RESP = 19,     /* "All data resp" */
  ipcMSG_CONFIG_LIST = 20,       /* "Config list": subscription list */
  ipcMSG_NEW_DATA_VALUE = 21,    /* "New data value": change request */
  ipcMSG_BIN_DATA_REQ = 22,      /* "Binary data req": item index list */
  ipcMSG_BIN_DATA_RESP = 23,     /* "Binary data resp": binary records */
  ipcMSG_DATA_CHANGE_OK = 24,    /* "Data change ok" */
  ipcMSG_DATA_SET_ERROR = 25,    /* "Error setting data" */
  ipcMSG_WRITE_FILES = 26,       /* "Write to data files" */
  ipcMSG_CONFIG_TEXT = 27        /* (no name) configuration text */
};

/* Name of a message code; "No text for message ID" for 13, 27 and any
** code outside the table (negative ones included).  Never null. */
const char* ipcMsgName(int code);

class msgQ_IO {
public:
  enum { CONST_BUF_SIZE = 27 };  /* envelope-only sends are built here */

  msgQ_IO(const char* qName, const char* keyPath, int keyByte, int rxCapacity, int master,
          const int* pTraceLevel, ErrTrcLog* pErrLog);
  ~msgQ_IO();
  msgQ_IO(const msgQ_IO&) = delete;
  msgQ_IO& operator=(const msgQ_IO&) = delete;

  /* Send with the own qTypeID: buf reserves 16 envelope bytes in front of
  ** the payload and 4 behind it; size = 16 + n. */
  int ipcSendMsg(int code, int arg, char* buf, int size);
  /* Envelope-only message (size 16) with the own qTypeID. */
  int ipcSendMsgConst(int code, int arg);
  /* Master: send to one client (message type = the client's qTypeID).  In a
  ** client the own qTypeID is used instead (and traced at level 1+). */
  int ipcCopySendMsg(int code, int arg, char* buf, int size, int32_t msgType);
  int ipcCopySendMsgConst(int code, int arg, int32_t msgType);

  /* Receive one message of the own type (any type in the master) without
  ** blocking; the code, 0 when none.  The accessors below describe it until
  ** the next receive; the payload is followed by a NUL in the buffer. */
  int msgQGetMsg();
  int32_t senderType() const { return rx.lastType(); }
  char* payload() { return rx.payload(); }
  int payloadLen() const { return rx.payloadLen(); }
  int lastArg() const { return rx.lastArg(); }
  uint32_t lastStamp() const { return rx.lastStamp(); }

  /* Master: age of the oldest message waiting for clientId on the transmit
  ** queue (see ipcMsgQBase::checkMsgTimeout); -1 when none. */
  int checkMsgTimeout(int32_t clientId);

  /* Discard waiting messages: the own type on the transmit queue; the own
  ** type (every type in the master) on the receive queue. */
  void purge();

  /* Client: purge (the own type, and on the transmit queue whatever
  ** senders that no longer exist left), then send the registration
  ** request carrying clientName.
  ** Returns linkOk() (1 ok, 0 failed: 14002 in a master, 14003 when the
  ** send failed). */
  int ipcRegister(const char* clientName);

  bool linkOk() const { return linkIsOk; }
  bool isMaster() const { return master != 0; }
  int32_t typeId() const { return qTypeID; }
  /* Largest payload one message to the peer can carry (8176 with the
  ** default limits); senders of long answers split at this size. */
  int maxPayload() const { return tx.maxPayload(); }

  ipcMsgQBase& txQueue() { return tx; }
  ipcMsgQBase& rxQueue() { return rx; }

  const int* pTraceLevel;
  ErrTrcLog* pErrLog;
  int32_t qTypeID;   /* client: process ID; master: 0 */
  int master;        /* 1 master endpoint, 0 client */

private:
  bool levelIn(int above, int atMost) const;

  ipcMsgQBase tx;
  ipcMsgQBase rx;
  bool linkIsOk;
};

#endif
