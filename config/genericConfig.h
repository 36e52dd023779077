/*
** generic_cfg: one configuration data set - its typed items (dataItem.h),
** the groups that select items for listing, the text files the items are
** stored in, and the master/client link over the configuration queues.
**
** The same class serves both roles.  The master (the configuration master
** process) owns the files and pushes every change to its subscribers as
** binary records; a client (the console unit) holds a copy of the data set,
** subscribes to it, takes the pushed values and sends its own changes back
** as text.  A client never touches the files.
**
** Building a data set:
**     cfg.linkInit("doVA.x", ".", 65, 10000, 0, &traceLevel, pErrTrcLog);
**     cfg.addCfgFile(nullptr, "Not saved data", 2, -1, 5);     // file 0
**     cfg.addCfgGroup(1, "Basic config Parameters", 0);
**     cfg.addItemInt(1, 3, 1, 255, 0, -8, 7, "Volume_Adjust", ...);
**     cfg.subscribeListSend();          // client: every value arrives
**     for (;;) cfg.serviceCfg(0, 0);    // the periodic poll
**
** Results: operations return 0 for success and 1 (or a small error number)
** for failure; creation operations (addItem*) return 1 for success, 0 for
** failure.  Errors go to the error log under module "genericConfig".
**
** bigBuff: one process-wide 50000-byte buffer in which file texts, binary
** answers and exports are built (first 16 bytes kept for the envelope).
** Nothing holds text in it across a call that may use it again.
*/
#ifndef CONFIG_GENERICCONFIG_H
#define CONFIG_GENERICCONFIG_H

#include "config/dataItem.h"
#include "diag/cppUtils.h"

#include <csignal>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class ErrTrcLog;
class msgQ_IO;

enum {
  cfgMAX_FILES = 25,
  cfgBIG_BUFF_SIZE = 50000,
  cfgENVELOPE = 16,
  cfgMSG_MAX_TEXT = 8192,                        /* one message, kernel msgmax */
  cfgMAX_PAYLOAD = cfgMSG_MAX_TEXT - cfgENVELOPE, /* bytes behind the envelope */
  cfgCHANGE_REQ_BUF = 1000,
  cfgSTALE_SECONDS = 9,
  cfgMAX_FILE_BYTES = 64 * 1024 * 1024 /* a larger file is refused with that reason */
};

/* ---- file access (cfgSafeWrite.cpp) -------------------------------------
** cfgFileTarget       the end of the symlink chain of `path` (path itself
**                     when it is no link): where a write really goes
** cfgTempPrefix       "<target>.tmp.": a write's temporary file is this and
**                     the writer's process ID, beside the target
** cfgFileKind         "a FIFO", "a directory", ... for a stat mode
** cfgOpenForReading   non-blocking open of a regular file of at most
**                     cfgMAX_FILE_BYTES: the descriptor and *size, or -1
**                     and *cause (FIFO, directory, too large, errno text)
** cfgReadAndClose     up to size bytes of fd into buf, however the reads
**                     come back, then closes fd: the bytes read
** cfgWriteFileSafely  the power-safe write: 0, or 1 and *cause ("disk full
**                     (...) while writing <...>", "read-only file <...>")
*/
std::string cfgFileTarget(const std::string& path);
std::string cfgTempPrefix(const std::string& target);
const char* cfgFileKind(unsigned mode);
int cfgOpenForReading(const char* path, long* size, std::string* cause);
size_t cfgReadAndClose(int fd, char* buf, size_t size);
int cfgWriteFileSafely(const std::string& path, const char* text, size_t len, std::string* cause);

/* One configuration text file; only a master writes or reads it. */
class cfgFile {
public:
  cfgFile(const char* fileName, const char* description, int delaySec, int flashArea, int master,
          int* pTraceLevel, ErrTrcLog* pErrLog);
  /* Run by every change of one of the file's items. */
  void markModified();

  std::vector<data_itm_Base*> items; /* line order of the file */
  int* pTraceLevel;
  int ownTraceLevel = 0;
  int master;
  bool modified = false;
  kvTimeStamp modifiedTime{0, 0};
  bool flashModified = false;
  kvTimeStamp flashModifiedTime{0, 0};
  int32_t flashArea;
  kvTimeStamp created1{0, 0};
  kvTimeStamp created2{0, 0};
  int32_t delaySec;
  bool noName;
  ErrTrcLog* pErrLog;
  std::string fileName;
  std::string description;
};

/* A named selection of items; its ID is a bit of the items' group mask. */
class cfgGroup {
public:
  int32_t id = 0;
  const char* name = nullptr;
  int32_t value = 0; /* stored only */
  std::vector<data_itm_Base*> items;
};

/* A protocol wait: slot 1 the registration grant, slot 3 binary data. */
struct cfgWaitSlot {
  bool done = false;
  int32_t received = 0;
  int32_t good = 0;
  int32_t errors = 0;
  int32_t lastError = 0;
};

/* Master's record of one registered client. */
struct cfgClientRec {
  int32_t clientId = 0;
  kvTimeStamp created{0, 0};
  int32_t count1 = 0;
  int32_t count2 = 0;
  std::string name;
};

/* One entry of the editors' choice list. */
struct cfgChoiceRow {
  int32_t key;
  const char* text;
  int32_t textLen;
};

class generic_cfg {
public:
  generic_cfg(int* pTraceLevel = nullptr, ErrTrcLog* pErrLog = nullptr);
  /* Client: sends "Registration Goodbye" when still registered.  Master:
  ** sends "Registration Shutdown" to every client it has a record of. */
  virtual ~generic_cfg();
  generic_cfg(const generic_cfg&) = delete;
  generic_cfg& operator=(const generic_cfg&) = delete;

  /* ---- link (both roles) ---------------------------------------------- */
  /* Store the link fields and run initQueues.  0 ok, 1 failure. */
  int linkInit(const char* queueName, const char* keyPath, int keyByte, int rxCapacity,
               int master, int* pTraceLevel, ErrTrcLog* pErrLog);
  /* Create the endpoint pair once; a client waits up to 3 s for the grant.
  ** 0 ok (or already up), 1 client not registered or refused. */
  int initQueues();
  /* Handle at most one message, or (1 <= slot <= 3, timeout > 0) wait for
  ** that slot polling every 5 ms.  Returns the last code handled, 0 none.
  ** A master runs exportUpdates after three idle calls in a row. */
  int serviceCfg(int waitSlot, float timeoutSec);
  /* Client: send the subscription list and take the values.  0 ok,
  ** 1 refused, 2 the master did not answer with data. */
  int subscribeListSend();
  /* Set by name: "%s,%s" or "%s,\"%s\"".  Client sends code 21 (result 0
  ** when sent, 1 when the send failed); a master applies it. */
  int sendChangeRequest(const char* name, const char* value, bool quoted);
  /* Client: ping the master (code 10); 0 sent, 1 failure. */
  int sendPing();
  /* Client: ask the master to write all files (fileNum < 0) or one file. */
  int requestFileWrite(int fileNum);
  /* Client: ask for the records of "i,j,k" (code 22). */
  int requestBinData(const char* indexList);

  /* ---- protocol steps, public for the master program and tests ------- */
  int processClientRx(int code, const uint8_t* payload, int length);
  int processMasterRx(int code, uint8_t* payload, int length, int32_t sender);
  /* Apply back-to-back records.  0 ok, 1 bad index (13004), 2 empty slot
  ** (13005), 3 type mismatch (13006) or a value cut short by the end of
  ** the bytes (traced).  Records before a faulty one keep their effect. */
  int binInList(const uint8_t* records, int length, int32_t sourceClient);
  /* Master: records for one client (all subscribed items, an index list
  ** text, or an index set), sent as code 23 messages of at most
  ** cfgMAX_PAYLOAD bytes each.  Returns the number of invalid indexes. */
  int sendBinData(int32_t clientId, const char* indexList, const std::set<int32_t>* indexSet);
  /* Master: push pending changes; returns clients served or dropped. */
  int exportUpdates();
  /* Master: apply a text value to an item; 1 when the value changed. */
  int changeDataItem(data_itm_Base* item, const char* text);
  /* Master: forget a client (subscriptions, pending exports, record). */
  void dropClient(int32_t clientId);

  /* ---- client: watching the master ------------------------------------
  ** A master killed without a shutdown notice sends nothing more; a
  ** console must not go on showing values nobody holds.  With the watch
  ** on, every poll that finds no message looks at the silence:
  **   - nothing from the master for 2 s: one ping (code 10);
  **   - no answer 2 s after it, or the master's process gone (looked at
  **     four times a second): the master is lost.  What this client
  **     still had waiting in the client-to-master queue is taken back,
  **     and change requests are refused (counted) while it lasts;
  **   - while lost, once a second: the registration request again (a new
  **     master purges the queues when it starts); on the grant the
  **     subscription list, and with the full answer the link is back
  **     (relinkCount grows; every value arrived as a change);
  **   - a master restarted faster than that answers the ping but knows
  **     nothing of us: its answers come from another process (the last
  **     sender on the master-to-client queue), and the client registers
  **     and subscribes again at once, without being lost meanwhile.
  ** An idle client so sends the master one message every 2 s.  The
  ** registration stays set meanwhile: only the master's own shutdown or
  ** termination ends it. */
  void watchMaster(bool on);
  bool isMasterLost() const { return masterLost; }
  int32_t relinkCount() const { return relinks; }
  int32_t refusedChangeCount() const { return refusedChanges; }
  /* Every wait of the link (the grant, the subscription answer, a full
  ** queue) also ends when *flag becomes non-zero (a stop signal). */
  void setStopFlag(const volatile sig_atomic_t* flag) { stopFlag = flag; }

  bool isRegistered() const { return registered; }
  bool isMaster() const { return master == 1; }
  msgQ_IO* endpoint() { return pQ; }

  /* ---- files and groups ---------------------------------------------- */
  /* New file number, -1 on failure (13014 duplicate, 13015 too many). */
  int addCfgFile(const char* fileName, const char* description, int delaySec, int flashArea,
                 int unused);
  /* 0 added, 1 duplicate ID (13016). */
  int addCfgGroup(int32_t id, const char* name, int value);
  int readFilesAll();                /* 0 all read, 1 any failed */
  int readFile(int fileNum);         /* 1 bad number or unreadable */
  int writeToFile(int fileNum);      /* 0 ok (or unnamed), 1 failure */
  int writeFilesAll();               /* 0 ok, 1 any failed */
  int readFromFile(const char* fileName);
  /* Text of one file as written; returns its length (0 on failure). */
  int formatValues(int fileNum, char* buf, int size);
  /* Run the file reader over writable text in memory (may hold NULs). */
  void applyCfgText(char* text, int length);
  /* 0 item found and given the value, 1 unknown name (13020, reported for
  ** the first 19 unknown names of the process). */
  int parseItem(const char* name, const char* value);
  static void resetParseMisses(); /* tests */

  int fileCount() const { return nFiles; }
  cfgFile* getFile(int fileNum);
  const std::vector<cfgGroup*>& groupList() const { return groupsInOrder; }
  cfgGroup* getGroup(int32_t id);

  /* ---- items ---------------------------------------------------------- */
  int addItemInt(int fileNum, int index, uint32_t groupMask, uint32_t userFlags, int def,
                 float min, float max, const char* name, const char* description,
                 const char* valueFmt, const char* help, const choiceEntry_s* choices,
                 const char* units);
  int addItemBool(int fileNum, int index, uint32_t groupMask, uint32_t userFlags, bool def,
                  float min, float max, const char* name, const char* description,
                  const char* valueFmt, const char* help, const choiceEntry_s* choices);
  int addItemFloat(int fileNum, int index, uint32_t groupMask, uint32_t userFlags, float def,
                   float min, float max, const char* name, const char* description,
                   const char* valueFmt, const char* help, const char* units);
  int addItemIp(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                const ip_addr_s& def, const char* name, const char* description,
                const char* valueFmt, const char* help);
  int addItemMac(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                 const mac_addr_s& def, const char* name, const char* description,
                 const char* valueFmt, const char* help);
  int addItemTime(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                  const kvtime_s& def, const char* name, const char* description,
                  const char* valueFmt, const char* help);
  int addItemText(int fileNum, int index, uint32_t groupMask, uint32_t userFlags,
                  const char* def, float minLen, float maxLen, const char* name,
                  const char* description, const char* valueFmt, const char* help,
                  const char* validChars);

  /* Lookup by index (null / -1 / 0 for a bad index or empty slot). */
  data_itm_Base* getItem(int index);
  data_itm_Base* findItem(const char* name);
  const char* getItemName(int index);
  int getItemType(int index);  /* -1 bad index */
  int getNumChoices(int index);
  const char* getUnits(int index);
  int indexTableSize() const { return (int)indexTable.size(); }
  const std::vector<data_itm_Base*>& allItems() const { return itemsInOrder; }

  /* Typed reads: 0 ok, 1 bad index or empty slot. */
  int readInt(int index, int* out);
  int readFloat(int index, float* out);
  float readFloat(int index); /* 0.0 for a bad index */
  int readBool(int index, bool* out);
  int readIp(int index, ip_addr_s* out);
  int readMac(int index, mac_addr_s* out);
  int readTime(int index, kvtime_s* out);
  /* Copies the text and a NUL, cut to outSize - 1. */
  int readText(int index, char* out, int outSize);
  /* asText: the text item's value; else the low byte of intValue. */
  int readTextOrFlag(int index, char* out, int outSize, bool asText);
  /* Editors' list in ascending key order; returns the position of the
  ** entry whose key is intValue(), or -1. */
  int getChoiceList(data_itm_Base* item, std::vector<cfgChoiceRow>* out);

  /* Changed flag of an item, cleared when `clear`; false for a bad index. */
  bool isChanged(int index, bool clear);
  /* Move the changed-index set into `out` (ascending) and clear the
  ** data-changed flag; returns how many. */
  int takeChangedIndexes(std::vector<int32_t>* out);
  bool dataChanged = false;

  /* Filter by validChars, then change request (client) or direct change
  ** (master).  1 on bad index (13029). */
  int changeValue(int index, const char* text);
  /* Typed writes: 0 when unchanged or bad index, else changeValue's. */
  int writeInt(int index, int value);
  int writeFloat(int index, float value);
  int writeIp(int index, const ip_addr_s& value);
  int writeMac(int index, const mac_addr_s& value);

  int* pTraceLevel;
  ErrTrcLog* pErrLog;

  /* ---- link state (read by the console unit and tests) ---------------- */
  bool registered = false;
  bool registrationRefused = false;
  bool shutdownReceived = false;
  int32_t msgCount = 0;
  cfgWaitSlot waitSlot[4]; /* 1..3 used */
  int32_t master = 0;
  bool retryPending = false;
  std::map<int32_t, cfgClientRec> clientRecs; /* master only */
  /* Master: clients whose grant a full queue refused; sent again with the
  ** next export pass. */
  std::set<int32_t> pendingGrants;
  /* Master: a send to a client found the answer queue full since the last
  ** export pass. */
  bool answerQueueFull = false;
  cfgExportTable pendingExport;              /* master only */
  int32_t idleCount = 0;

private:
  int addItemHelper(data_itm_Base* item, int fileNum, int index, uint32_t groupMask,
                    uint32_t userFlags, const choiceEntry_s* choices);
  bool fileNumOk(int fileNum) const;
  int noAccess();
  int dispatch(int code, uint8_t* payload, int length, int32_t sender);
  int masterLinkCode(int code, uint8_t* payload, int length, int32_t sender);
  int clientLinkCode(int code);
  int processLogMsg(const uint8_t* payload, int length);
  int processSubscription(uint8_t* payload, int length, int32_t sender);
  int subscribeOne(const char* indexText, const char* name, int32_t sender);
  int processChangeRequest(uint8_t* payload, int length);
  int processWriteRequest(const uint8_t* payload, int length);
  int sendRecordChunks(int32_t clientId, const std::vector<data_itm_Base*>& items,
                       std::set<int32_t>* unsent);
  int flushChunk(int32_t clientId, int bytes, int nItems);
  void keepUnsent(int32_t clientId, const std::set<int32_t>& unsent);
  int sendEnvelopeOnly(int code);
  int sendListPart(const char* text, int len, deadlineTimer& tmr);
  int sendSubscriptionList(deadlineTimer& tmr);
  bool stopAsked() const { return stopFlag != nullptr && *stopFlag != 0; }
  void watchStep();
  void startRelink();
  void heardFromMaster(int code);
  void resendGrants();
  int dropSilentClients();
  void closeLink();
  int sendText(int code, const char* text, int len);

  int ownTraceLevel = 0;
  std::vector<data_itm_Base*> itemsInOrder;
  std::vector<data_itm_Base*> indexTable;
  std::map<std::string, data_itm_Base*> nameMap;
  std::set<int32_t> changedSet;
  std::map<int32_t, cfgGroup*> groups;
  std::vector<cfgGroup*> groupsInOrder;
  std::vector<cfgFile*> files;
  int nFiles = 0;

  std::string queueName;
  std::string keyPath;
  int keyByte = 65;
  int rxCapacity = 10000;
  msgQ_IO* pQ = nullptr;
  bool queuesReady = false;

  /* client watch of the master (see watchMaster) */
  const volatile sig_atomic_t* stopFlag = nullptr;
  bool watching = false;
  bool masterLost = false;
  bool relinking = false;     /* a new master found: linking to it */
  int32_t masterPid = 0;      /* the master's process as last seen */
  bool pingOut = false;       /* a ping waits for its answer */
  int relinkStage = 0;        /* lost: 1 registration sent, 2 list sent */
  kvTimeStamp lastHeard{0, 0};
  kvTimeStamp pingSent{0, 0};
  kvTimeStamp lastRelinkTry{0, 0};
  kvTimeStamp lastPidLook{0, 0};
  int32_t relinks = 0;
  int32_t refusedChanges = 0;
};

#endif
