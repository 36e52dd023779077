/*
** msgQ_IO: the endpoint pair (master or client) over two ipcMsgQBase
** queues, the registration request, the sends with the own or a client's
** type, and the message code names.
*/
#include "ipc/msgQ_IO.h"

#include <cstring>
#include <unistd.h>
#include <vector>

#include "diag/ErrTrcLog.h"
#include "diag/trace.h"

static const char* kModule = "ipcMsgQ_Mstr_Clnt";

/* Code names, one row per code; 13 and 27 have none. */
struct ipcMsgNameRow {
  int code;
  const char* name;
};

static const ipcMsgNameRow kMsgNames[] = {
    {0, "No Message"},
    {1, "Message Error"},
    {2, "Registration Request"},
    {3, "Registration Grant"},
    {4, "Registration Goodbye"},
    {5, "Registration Shutdown"},
    {6, "Registration Deny"},
    {7, "Registration Terminated"},
    {8, "Data Message"},
    {9, "Command Message"},
    {10, "Ping Request"},
    {11, "Ping Response"},
    {12, "Invalid Message"},
    {14, "Group list req"},
    {15, "Group list resp"},
    {16, "Group data req"},
    {17, "Group data resp"},
    {18, "All data req"},
    {19, "All data resp"},
    {20, "Config list"},
    {21, "New data value"},
    {22, "Binary data req"},
    {23, "Binary data resp"},
    {24, "Data change ok"},
    {25, "Error setting data"},
    {26, "Write to data files"},
    {-1, nullptr},
};

const char* ipcMsgName(int code) {
  for (const ipcMsgNameRow* r = kMsgNames; r->code != -1; r++)
    if (r->code == code) return r->name;
  return "No text for message ID";
}

/* Runs before the queues are built, so the type is traced first. */
static int32_t endpointType(int master, const int* pTraceLevel) {
  if (master) return 0;
  int32_t id = (int32_t)getpid();
  TRACE(pTraceLevel, 1, "msgQ_IO : qType(PID) = %i\n", id);
  return id;
}

msgQ_IO::msgQ_IO(const char* qName, const char* keyPath, int keyByte, int rxCapacity, int isMaster,
                 const int* pTrcLvl, ErrTrcLog* pLog)
    : pTraceLevel(pTrcLvl), pErrLog(pLog), qTypeID(endpointType(isMaster, pTrcLvl)),
      master(isMaster ? 1 : 0),
      tx(ipcQ_TX, qName, keyPath, ipcMsgQBase::keyByteFor(keyByte, !isMaster), ipcTX_CAPACITY,
         qTypeID, pTrcLvl, pLog),
      rx(ipcQ_RX, qName, keyPath, ipcMsgQBase::keyByteFor(keyByte, isMaster != 0), rxCapacity,
         qTypeID, pTrcLvl, pLog),
      linkIsOk(false) {
  bool both = tx.isValid() && rx.isValid();
  if (master) {
    linkIsOk = both;
    TRACE(pTraceLevel, 0, "Master: Queues exist. %s\n", both ? " OK " : " PROBLEM ");
  } else if (both) {
    TRACE(pTraceLevel, 1, "Sending registration request for %s\n", qName ? qName : "");
    ipcRegister(qName ? qName : "");
  }
  if (!linkIsOk) ERRLOG(pErrLog, 3, 14001, kModule, "Can not initiate message queues");
}

msgQ_IO::~msgQ_IO() {}

/* True when the trace level is above `above` and at most `atMost`. */
bool msgQ_IO::levelIn(int above, int atMost) const {
  if (pTraceLevel == nullptr) return true;
  return *pTraceLevel > above && *pTraceLevel <= atMost;
}

int msgQ_IO::ipcSendMsg(int code, int arg, char* buf, int size) {
  if (levelIn(1, 5)) {
    TRACE(pTraceLevel, 1, "ipcSend A: %i\n", size);
  } else if (traceOn(pTraceLevel, 5) && buf != nullptr) {
    int n = size > ipcENVELOPE_SIZE ? size - ipcENVELOPE_SIZE : 0;
    TRACE(pTraceLevel, 5, "ipcSend A: %i  data: %.*s\n", size, n, buf + ipcENVELOPE_SIZE);
  }
  int rv = tx.msgSend(code, arg, buf, size, qTypeID);
  if (rv != 0)
    TRACE(pTraceLevel, 1, "Failure in ipcSendMsg.\n");
  else
    TRACE(pTraceLevel, 2, "ipcSend Done\n");
  return rv;
}

int msgQ_IO::ipcSendMsgConst(int code, int arg) {
  char b[CONST_BUF_SIZE];
  memset(b, 0, sizeof b);
  TRACE(pTraceLevel, 2, "ipcSend A Const: %i \n", code);
  int rv = tx.msgSend(code, arg, b, ipcENVELOPE_SIZE, qTypeID);
  if (rv != 0)
    TRACE(pTraceLevel, 1, "Failure in ipcSendMsgConst.\n");
  else
    TRACE(pTraceLevel, 2, "ipcSend const done\n");
  return rv;
}

int msgQ_IO::ipcCopySendMsg(int code, int arg, char* buf, int size, int32_t msgType) {
  if (!master) {
    TRACE(pTraceLevel, 0, "Attempt to send with 'qTYpeID' in client mode\n");
    msgType = qTypeID;
  }
  int rv = tx.msgSend(code, arg, buf, size, msgType);
  if (rv != 0) TRACE(pTraceLevel, 1, "Failure in ipcCopySendMsg.\n");
  return rv;
}

int msgQ_IO::ipcCopySendMsgConst(int code, int arg, int32_t msgType) {
  char b[CONST_BUF_SIZE];
  memset(b, 0, sizeof b);
  return ipcCopySendMsg(code, arg, b, ipcENVELOPE_SIZE, msgType);
}

int msgQ_IO::msgQGetMsg() { return rx.msgQGetMsg(master ? 0 : qTypeID); }

int msgQ_IO::checkMsgTimeout(int32_t clientId) {
  if (!master) return -1;
  return tx.checkMsgTimeout(clientId);
}

void msgQ_IO::purge() {
  tx.ClearQueue(qTypeID);
  rx.ClearQueue(master ? 0 : qTypeID);
}

int msgQ_IO::ipcRegister(const char* clientName) {
  if (master) {
    ERRLOG(pErrLog, 3, 14002, kModule, "Cannot request registration in master mode");
    return 0;
  }
  /* The name and its NUL, bounded by what one message carries. */
  size_t len = clientName ? strlen(clientName) : 0;
  int room = tx.maxPayload() - 1;
  if (room < 0) room = 0;
  if (len > (size_t)room) len = (size_t)room;
  std::vector<char> msg(ipcENVELOPE_SIZE + len + 1 + ipcSPARE_BYTES, '\0');
  if (len > 0) memcpy(msg.data() + ipcENVELOPE_SIZE, clientName, len);

  tx.ClearQueue(qTypeID);
  rx.ClearQueue(qTypeID);
  /* Without a master nobody reads the client-to-master queue: what killed
  ** clients left there would soon refuse every registration. */
  tx.dropGoneSenders();
  TRACE(pTraceLevel, 1, "msgQ_IO Reg Req : qType(PID) = %i\n", qTypeID);
  int rv = tx.msgSend(ipcMSG_REG_REQUEST, 0, msg.data(), (int)(ipcENVELOPE_SIZE + len + 1), qTypeID);
  linkIsOk = rv == 0 && tx.isValid() && rx.isValid();
  if (rv != 0) ERRLOG(pErrLog, 3, 14003, kModule, "Error submitting registration message");
  return linkIsOk ? 1 : 0;
}
