/*
** LCD4x20: finding the display, the request queue, frame reception and
** key classification, backlight dimming (see LCD4x20.h).  LEDs, boot state
** and the adjustment screens are in lcdPanelState.cpp.
*/
#include "frontpanel/LCD4x20.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "diag/trace.h"

namespace {

const char MODULE[] = "LCD4x20";
const float RESPONSE_LIMIT = 0.25f;
const float PING_LIMIT = 0.3f;
const int SEARCH_PASSES = 20;
const int SEARCH_PORTS = 10;
const int MAX_READ_ERRORS = 6;
const int TIMEOUTS_FOR_FAILURE = 2;  /* above this: event 29 */
const float NO_DIM_PERIOD = 1000.0f;
const int DIM_CALLS = 3;
/* An idle menu sends nothing: without a look now and then a display that
** fell silent would go unnoticed.  After this long without a frame either
** way the link pings it; unanswered pings count as any timeout does. */
const uint32_t PING_AFTER_QUIET_MS = 2000;

/* The message slots, in creation order; keep = stays valid after sending
** (a second request of the type while one waits is not queued again). */
struct slotDef {
  int type;
  uint8_t command;
  bool keep;
};
const slotDef slotDefs[] = {
    {0, 0, false},   {1, 4, false},   {2, 11, false},  {3, 12, false},  {4, 13, false},
    {5, 14, false},  {6, 34, false},  {7, 34, false},  {8, 34, false},  {9, 34, false},
    {10, 34, false}, {11, 34, false}, {12, 34, false}, {13, 34, false}, {14, 31, false},
    {15, 31, false}, {16, 31, false}, {17, 31, false}, {18, 30, false}, {19, 23, false},
    {20, 24, true},  {21, 2, false},  {22, 3, false},  {23, 9, false},  {24, 9, false},
    {25, 9, false},  {26, 9, false},  {27, 9, false},  {28, 9, false},  {29, 9, false},
    {30, 9, false},  {-1, 0, false},
};

const char* const defaultBoot[LCD4x20::ROWS] = {"  TORVAL General", " purpose display.",
                                                 " Please configure ", " the startup text."};

}  // namespace

LCD4x20::LCD4x20()
    : pTraceLevel(nullptr), pErrLog(nullptr), slotCount(0), outstanding(false),
      outstandingType(-1), outstandingCmd(0), responseLimit(RESPONSE_LIMIT),
      consecutiveTimeouts(0), readErrors(0), searchPasses(SEARCH_PASSES), lastKeyState(0),
      xHeld(false), combo(false), dimmed(false), dimCount(0), ledBrightness(40),
      flashing(false), flashPhase(false), charSet(-1), bootValid(false) {
  getTimeStamp(&lastTraffic);
  memset(settingsBlock, 0, sizeof settingsBlock);
  memset(user, 0, sizeof user);
  user[lcdUS_DIMMED] = 0;
  user[lcdUS_TIMEOUT] = 60;
  user[lcdUS_NORMAL] = 60;
  user[lcdUS_LED] = 40;
  memset(slots, 0, sizeof slots);
  for (ledState& l : leds) l = ledState{0, 0, false, 0};
  for (int r = 0; r < ROWS; ++r) setBootRow(r, defaultBoot[r]);
  bootValid = false;
  adjust.screen = lcdADJ_NONE;
  adjust.automatic = false;
  adjust.value = adjust.saved = adjust.direction = adjust.sweeps = 0;
  getTimeStamp(&sentAt);
}

LCD4x20::~LCD4x20() { port.close(); }

void LCD4x20::addCmndMgr(int type) {
  const slotDef& d = slotDefs[type];
  slot& s = slots[type];
  s = slot{d.command, d.keep, false, 0, 0, 0, 0};
  slotCount = type + 1;
}

int LCD4x20::sentCount(int type) const {
  return (type >= 0 && type < slotCount) ? slots[type].sent : 0;
}

int LCD4x20::answeredCount(int type) const {
  return (type >= 0 && type < slotCount) ? slots[type].received : 0;
}

/* ---- sending ------------------------------------------------------------ */

/* Queue one request; it goes out at once when nothing is outstanding. */
int LCD4x20::send(int type, const uint8_t* data, int length) {
  if (type < 0 || type >= slotCount) {
    TRACE(pTraceLevel, 0, "Invalid LCD message request (%i)\n", type);
    return 1;
  }
  if (length < 0 || length > lcdFRAME_MAX_DATA) {
    TRACE(pTraceLevel, 0, "Unable to initialize message type %i\n", type);
    return 1;
  }
  slot& s = slots[type];
  if (s.keep && s.pending) return 0;  /* the waiting one asks the same */
  request r;
  r.type = type;
  r.length = lcdBuildFrame(s.command, data, length, r.frame);
  queue.push_back(r);
  s.pending = true;
  trySend();
  return 0;
}

void LCD4x20::trySend() {
  while (!outstanding && !queue.empty()) {
    request r = queue.front();
    queue.pop_front();
    slot& s = slots[r.type];
    s.pending = false;
    if (!port.isOpen()) continue;
    if (port.write(r.frame, r.length) != r.length) {
      /* counts as an unanswered request: a display that went away (its
      ** line hung up) is reported lost like a silent one */
      TRACE(pTraceLevel, 0, "Serial port write error (%i)\n", errno);
      ++s.failures;
      ++consecutiveTimeouts;
      continue;
    }
    ++s.sent;
    outstanding = true;
    outstandingType = r.type;
    outstandingCmd = s.command;
    getTimeStamp(&sentAt);
    lastTraffic = sentAt;
    responseTimer.setPeriod(responseLimit);
    responseTimer.restart();
  }
}

/* ---- finding the display ------------------------------------------------ */

int LCD4x20::ping() {
  queue.clear();
  for (int t = 0; t < slotCount; ++t) slots[t].pending = false;
  outstanding = false;
  consecutiveTimeouts = 0;
  int before = slots[0].received;
  send(0, nullptr, 0);
  kvTimeStamp start;
  getTimeStamp(&start);
  while (slots[0].received == before && elapsedSeconds(&start) < PING_LIMIT && !stopAsked()) {
    (void)service();
    usleep(500);
  }
  if (slots[0].received != before) return 0;
  TRACE(pTraceLevel, 1, "No PING response after %i ms\n", (int)elapsedMs(&start));
  return 1;
}

/* Ports 0..9 in order, up to the pass limit; an override device is the
** only candidate of each pass.  A silent device costs 0.3 s a pass, 6 s in
** all: a stop signal ends the search at the next look. */
int LCD4x20::openSearch() {
  bool single = false;
  for (int pass = 0; pass < searchPasses; ++pass) {
    for (int i = 0; i < SEARCH_PORTS; ++i) {
      if (stopAsked()) return 1;
      char path[256];
      lcdSerialPort::devicePath(i, path, sizeof path);
      single = strncmp(path, "/dev/ttyS", 9) != 0;
      if (port.open(path) == 0) {
        ring.clear();
        if (ping() == 0) {
          TRACE(pTraceLevel, 1, "LCD display found on %s\n", path);
          return 0;
        }
        port.close();
      }
      if (single) break;
    }
  }
  return 1;
}

int LCD4x20::lcdInit(int* traceLevel, ErrTrcLog* errLog) {
  pTraceLevel = traceLevel;
  pErrLog = errLog;
  for (int t = 0; slotDefs[t].type >= 0; ++t) addCmndMgr(t);
  int found = openSearch();
  if (found != 0 && stopAsked()) return 2; /* asked to stop: not a fault of the display */
  if (found != 0) {
    ERRLOG(pErrLog, 3, 23001, MODULE, "Cannot open serial port");
    return 1;
  }
  initialState();
  return 0;
}

void LCD4x20::initialState() {
  static const uint8_t qq[2] = {'?', '?'};
  send(19, qq, 2);
  setBacklight(user[lcdUS_NORMAL]);
  send(18, nullptr, 0);
  send(22, nullptr, 0);
  send(19, qq, 2);
  for (int r = 0; r < ROWS; ++r) setBootRow(r, defaultBoot[r]);
  waitQueueEmpty(0.3f, "pre-special characters");
  loadCharSet(0);
  backlightTimer.setPeriod(user[lcdUS_TIMEOUT] ? user[lcdUS_TIMEOUT] : NO_DIM_PERIOD);
  backlightTimer.restart();
  responseLimit = RESPONSE_LIMIT;
}

void LCD4x20::waitQueueEmpty(float limit, const char* label) {
  if (limit > 1.0f) limit = 1.0f;
  kvTimeStamp start;
  getTimeStamp(&start);
  while (!idle() && port.isOpen()) {
    if (elapsedSeconds(&start) >= limit) {
      TRACE(pTraceLevel, 1, "Timeout waiting for response after %s\n", label);
      return;
    }
    (void)service();
    usleep(1000);
  }
  TRACE(pTraceLevel, 2, "Message cleared in %i ms for %s\n", (int)elapsedMs(&start), label);
}

/* ---- receiving ---------------------------------------------------------- */

/* Whatever the port offers, as far as the ring has room. */
int LCD4x20::readPort() {
  uint8_t buf[lcdRING_SIZE];
  while (port.isOpen() && ring.room() > 0) {
    int n = port.read(buf, ring.room());
    if (n == 0) return 0;
    if (n < 0) {
      ERRLOG(pErrLog, 4, 23003, MODULE, "SERIAL read error %d", errno);
      if (++readErrors > MAX_READ_ERRORS) {
        ERRLOG(pErrLog, 3, 23004, MODULE, "Multiple read failures. Closing serial port");
        port.close();
      }
      return -1;
    }
    ring.push(buf, n);
  }
  return 0;
}

/* One frame from the ring: its event, 0 for none; bad bytes are skipped
** one at a time and reported. */
int LCD4x20::takeFrame() {
  lcdFrame f;
  unsigned bad = 0, calc = 0;
  int r = lcdParseFrame(ring, &f, true, &bad, &calc);
  if (r == lcdPARSE_NEED_MORE) return -1;
  if (r == lcdPARSE_BAD_CMD) TRACE(pTraceLevel, 0, "LCD invalid cmd byte rxd (%0x)\n", bad);
  if (r == lcdPARSE_BAD_LEN) TRACE(pTraceLevel, 0, "LCD invalid msg length rxd (%0x)\n", bad);
  if (r == lcdPARSE_BAD_CRC)
    TRACE(pTraceLevel, 0, "LCD invalid crc.  Received=%0x Calculated=%0x\n", bad, calc);
  if (r != lcdPARSE_FRAME) return 0;
  return handleFrame(f);
}

int LCD4x20::service() {
  readPort();
  int ev = takeFrame();
  if (ev > 0) return ev;
  if (ev < 0 && !outstanding) {
    ev = idleStep();
    if (ev > 0) return ev;
  }
  if (outstanding && responseTimer.isExpired()) {
    TRACE(pTraceLevel, 0, "Timeout for response to message type %i\n", outstandingType);
    ++slots[outstandingType].failures;
    outstanding = false;
    ++consecutiveTimeouts;
    trySend();
  }
  if (consecutiveTimeouts > TIMEOUTS_FOR_FAILURE) return lcdEV_COMM_FAIL;
  if (!port.isOpen() && readErrors > MAX_READ_ERRORS) return lcdEV_COMM_FAIL;
  return 0;
}

int LCD4x20::handleFrame(const lcdFrame& f) {
  getTimeStamp(&lastTraffic);
  trySend();
  int command = f.command & lcdCMD_MASK;
  if (outstanding && command == outstandingCmd) {
    slot& s = slots[outstandingType];
    ++s.received;
    s.lastResponseMs = elapsedMs(&sentAt);
    TRACE(pTraceLevel, 3, "Received response for msg %i in %ims\n", outstandingType,
          (int)s.lastResponseMs);
    outstanding = false;
    consecutiveTimeouts = 0;
    trySend();
  }
  switch (command) {
    case 24:
      if (f.length >= 1) {
        lastKeyState = f.data[0];
        if (lastKeyState == 24) return startAdjust(lcdADJ_CONTRAST, true);
        if (lastKeyState == 33) return startAdjust(lcdADJ_BACKLIGHT, true);
      }
      return 0;
    case 30:
      memcpy(settingsBlock, f.data, f.length < (int)lcdSETTINGS_SIZE ? (size_t)f.length : (size_t)lcdSETTINGS_SIZE);
      return 0;
    case lcdCMD_KEY:
      return f.length >= 1 ? keyFrame(f.data[0]) : 0;
    case 3:
      userSettingsFrame(f);
      return 0;
    case 0: case 4: case 11: case 12: case 13: case 14: case 34: case 31: case 23: case 2: case 9:
      return 0;  /* acknowledgements */
    default:
      TRACE(pTraceLevel, 1, "Received un-handled message (id=%02X) from LCD\n", f.command);
      return 0;
  }
}

int LCD4x20::keyFrame(int k) {
  backlightTimer.restart();
  dimCount = 0;
  if (dimmed) {
    TRACE(pTraceLevel, 1, "Restoring backlight to %i.  Dimmed = %i\n", user[lcdUS_NORMAL],
          user[lcdUS_DIMMED]);
    dimmed = false;
    setBacklight(user[lcdUS_NORMAL]);
    if (user[lcdUS_NORMAL] > user[lcdUS_DIMMED]) return 0;  /* the key only woke it */
  }
  if (adjust.screen != lcdADJ_NONE) return adjustKey(k);
  send(20, nullptr, 0);
  if (k == lcdEV_X) {
    xHeld = true;
    return lcdEV_X;
  }
  if (k == lcdEV_X_ALONE) {
    xHeld = false;
    if (!combo && lastKeyState == 4) return lcdEV_X_ALONE;
    TRACE(pTraceLevel, 1, "Ignoring 'X' release\n");
    combo = false;
    return lcdEV_X_AFTER_COMBO;
  }
  if (xHeld && lastKeyState == 4) {
    TRACE(pTraceLevel, 1, "X - Combo key\n");
    combo = true;
    return k + lcdEV_COMBO_BASE;
  }
  return k;
}

void LCD4x20::userSettingsFrame(const lcdFrame& f) {
  if (f.length < lcdUS_SIZE + 2) return;
  uint16_t calc = lcdCrc16(f.data, lcdUS_SIZE, false);
  uint16_t rxd = (uint16_t)(f.data[lcdUS_SIZE] | (f.data[lcdUS_SIZE + 1] << 8));
  if (calc != rxd) {
    TRACE(pTraceLevel, 0, "Invalid user flash data.  Checksum failure.  Calc=%04X  Rxd=%04X \n",
          calc, rxd);
    return;
  }
  TRACE(pTraceLevel, 1, "Valid user flash data received.\n");
  memcpy(user, f.data, lcdUS_SIZE);
  if (user[lcdUS_NORMAL] > 100) user[lcdUS_NORMAL] = 100;
  if (user[lcdUS_LED] < 2 || user[lcdUS_LED] > 100) user[lcdUS_LED] = 40;
  ledBrightness = user[lcdUS_LED];
  backlightTimer.setPeriod(user[lcdUS_TIMEOUT] ? user[lcdUS_TIMEOUT] : NO_DIM_PERIOD);
  backlightTimer.restart();
  setBacklight(user[lcdUS_NORMAL]);
  refreshLeds();
  dimmed = false;
}

/* ---- idle --------------------------------------------------------------- */

int LCD4x20::idleStep() {
  blinkTick();
  trySend();
  if (adjust.screen != lcdADJ_NONE) return adjustRun();
  if (!outstanding) backlightTick();
  if (!outstanding && queue.empty() && port.isOpen() &&
      elapsedMs(&lastTraffic) >= PING_AFTER_QUIET_MS) {
    TRACE(pTraceLevel, 3, "Display quiet for %u ms: ping\n", (unsigned)elapsedMs(&lastTraffic));
    send(0, nullptr, 0);
    trySend();
  }
  return 0;
}

/* Two key-state looks first: a key held down (auto-repeat, an adjustment
** combination) keeps the light on. */
void LCD4x20::backlightTick() {
  if (dimmed || !backlightTimer.isExpired()) return;
  if (user[lcdUS_TIMEOUT] == 0) {
    backlightTimer.setPeriod(NO_DIM_PERIOD);
    backlightTimer.restart();
    return;
  }
  if (++dimCount < DIM_CALLS) {
    send(20, nullptr, 0);
    return;
  }
  dimCount = 0;
  if (lastKeyState == 0 && user[lcdUS_DIMMED] < user[lcdUS_NORMAL]) {
    TRACE(pTraceLevel, 1, "Dimming backlight to %i .............\n", user[lcdUS_DIMMED]);
    setBacklight(user[lcdUS_DIMMED]);
    dimmed = true;
    return;
  }
  backlightTimer.setPeriod(user[lcdUS_TIMEOUT]);
  backlightTimer.restart();
  setBacklight(user[lcdUS_NORMAL]);
}

/* ---- simple requests ---------------------------------------------------- */

void LCD4x20::writeRow(int row, int column, const char* text, int length) {
  if (row < 0 || row >= ROWS || column < 0 || column >= COLS || text == nullptr) return;
  if (length > COLS - column) length = COLS - column;
  if (length < 0) length = 0;
  uint8_t data[2 + COLS];
  data[0] = (uint8_t)column;
  data[1] = (uint8_t)row;
  memcpy(data + 2, text, (size_t)length);
  send(14 + row, data, 2 + length);
}

void LCD4x20::fillRow(int row, char c) {
  char text[COLS];
  memset(text, c, sizeof text);
  writeRow(row, 0, text, COLS);
}

void LCD4x20::setCursorPos(int row, int column) {
  uint8_t data[2] = {(uint8_t)column, (uint8_t)row};
  send(2, data, 2);
}

void LCD4x20::setCursorStyle(int style) {
  uint8_t data[1] = {(uint8_t)style};
  send(3, data, 1);
}

void LCD4x20::setBacklight(int level) {
  if (level < 0) level = 0;
  if (level > 100) level = 100;
  uint8_t data[1] = {(uint8_t)level};
  send(5, data, 1);
}

void LCD4x20::setContrast(int level) {
  if (level < 5) level = 5;
  if (level > 250) level = 250;
  uint8_t data[1] = {(uint8_t)level};
  send(4, data, 1);
}
