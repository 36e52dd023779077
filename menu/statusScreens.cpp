/*
** statusScreens: drawing the live status screens and the scrolling text
** screens from the newest shared-memory records (see statusScreens.h).
**
** The records come from another process and are not trusted: texts may
** lack their terminator, floats may be NaN or infinite, counts and masks
** may hold anything.  Every screen reads only inside its record and writes
** only inside its rows.  Numbers are printed with the screen's format as
** they come ("nan", "inf" included); only the meter cells, which index
** the row, clamp them first.
*/
#include "menu/statusScreens.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "diag/trace.h"
#include "menu/treeDefs.h"
#include "status/statusRecords.h"

const meterGlyphs ssTerminalMeter = {'X', '-', 10, {'|', '|', '|', '|', '|', '|', '|', '|', '|', '|'}};
const meterGlyphs ssFrontPanelMeter = {0, 1, 6, {2, 3, 4, 5, 6, 7, 7, 7, 7, 7}};

static const char kNoData[] = " -no data available-";

/* Screen -> new-data bit; -1 ends the table. */
struct screenBitRow {
  int screenId;
  int bit;
};
static const screenBitRow screenBits[] = {
    {treeSCR_DIGITAL_LEVELS, ssBIT_AUDIO_LEVELS}, {treeSCR_ANALOG_LEVELS, ssBIT_AUDIO_LEVELS},
    {treeSCR_GPS, ssBIT_GPS},                     {treeSCR_DATE_TIME, ssBIT_GPS},
    {treeSCR_AUDIO_STATUS, ssBIT_AUDIO_STATUS},   {treeSCR_DELAY_MONITOR, ssBIT_DELAY},
    {-1, 0},
};

/* Receiver state -> GPS screen's first row; -1 ends the table. */
struct gpsStateRow {
  int state;
  const char* text;
};
static const gpsStateRow gpsStates[] = {
    {0, "Status   GPS ACQUIRE"}, {1, "Status     PLL ALIGN"},  {2, "Status     PLL ALIGN"},
    {3, "Status     PLL ALIGN"}, {4, "Status  PLL UNLOCKED"}, {5, "Status   TIME SYNCED"},
    {6, "Status      HOLDOVER"}, {-1, "Status UNKNOWN STATE"},
};

static const char* const monthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

/* ---- rows --------------------------------------------------------------- */

/* Blank-fill a row to cols and copy text into it from column `at`, cut at
** the row's end.  Control bytes from a record become blanks, so a rogue
** byte cannot select a display glyph or move the terminal cursor. */
static void putText(char* row, int cols, int at, const char* text, size_t len) {
  for (size_t i = 0; i < len && at + int(i) < cols; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    row[at + int(i)] = (c < 32 || c == 127) ? ' ' : char(c);
  }
}

static void blankRow(char* row, int cols) {
  if (cols < 0) cols = 0;
  if (cols > ssMAX_COLS) cols = ssMAX_COLS;
  memset(row, ' ', size_t(cols));
  row[cols] = 0;
}

static void setRow(char* row, int cols, const char* text) {
  blankRow(row, cols);
  putText(row, cols, 0, text, strlen(text));
}

static void setRowf(char* row, int cols, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
static void setRowf(char* row, int cols, const char* fmt, ...) {
  char buf[ssMAX_COLS + 64];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  setRow(row, cols, buf);
}

/* Linear power ratio -> dB; nothing positive reads far below any floor,
** infinity far above 0 dB. */
static float toDb(float linear) {
  if (!(linear > 0.0f)) return -200.0f;
  if (!std::isfinite(linear)) return 200.0f;
  return 10.0f * log10f(linear);
}

/* ---- level statistics --------------------------------------------------- */

void levelStatistic::clear() {
  count = 0;
  next = 0;
  averageDb = -90.0f;
  peakDb = -90.0f;
  lastRecompute.sec = 0;
  lastRecompute.usec = 0;
}

static long long msBetween(const kvTimeStamp& from, const kvTimeStamp& to) {
  return (long long)(to.sec) * 1000 - (long long)(from.sec) * 1000 +
         ((long long)(to.usec) - (long long)(from.usec)) / 1000;
}

/* 10 x log10 of a linear ratio, raised to -99 dB when below it.  A
** garbage sample (NaN, negative) gives NaN and the summary row shows
** "nan" until the sample leaves the ring. */
static float summaryDb(double linear) {
  double db = 10.0 * log10(linear);
  return db < -99.0 ? -99.0f : float(db);
}

/* Recomputing walks the five samples: cheap, but the summary is meant to
** be read, so it moves at most once a second once the ring is full. */
void levelStatistic::add(float ave, float pk, const kvTimeStamp& now) {
  bool filling = count < ssSTAT_RING;
  average[next] = ave;
  peak[next] = pk;
  next = (next + 1) % ssSTAT_RING;
  if (count < ssSTAT_RING) count++;
  if (!filling && msBetween(lastRecompute, now) < 1000) return;
  lastRecompute = now;
  double sum = 0, top = peak[0];
  for (int i = 0; i < count; i++) {
    sum += double(average[i]);
    if (!(double(peak[i]) <= top)) top = double(peak[i]);  /* a NaN sticks */
  }
  averageDb = summaryDb(sum / count);
  peakDb = summaryDb(top);
}

/* ---- state -------------------------------------------------------------- */

statusScreens::statusScreens()
    : glyphs(ssTerminalMeter), meterFloor(ssMETER_FLOOR_DB), pTraceLevel(nullptr),
      audioLevels(nullptr), audioStatus(nullptr), delayStatus(nullptr), gpsStatus(nullptr),
      systemStatus(nullptr), ifBoardStatus(nullptr), versions(nullptr), alarmsText(nullptr),
      newBits(0), currentBit(0), textLen(0), lineCount(0), scroll(0), serviceCalls(0),
      invalidLevelCalls(0), itemReader(nullptr), itemReaderCtx(nullptr) {
  for (levelStatistic& s : stats) s.clear();
  textBuf[0] = 0;
}

void statusScreens::setRecord(const unsigned char** slot, const unsigned char* rec, int bit,
                              int level, const char* what) {
  if (!rec) return;
  *slot = rec;
  newBits |= unsigned(bit);
  if (pTraceLevel) TRACE(pTraceLevel, level, "%s\n", what);
}

void statusScreens::forgetRecords() {
  audioLevels = audioStatus = delayStatus = gpsStatus = nullptr;
  systemStatus = ifBoardStatus = versions = alarmsText = nullptr;
  for (levelStatistic& s : stats) s.clear();
  newBits |= unsigned(ssBIT_AUDIO_LEVELS | ssBIT_IF_BOARD | ssBIT_GPS | ssBIT_SYSTEM |
                      ssBIT_AUDIO_STATUS | ssBIT_DELAY | ssBIT_VERSIONS | ssBIT_ALARMS);
}

void statusScreens::setAudioLevels(const unsigned char* r) {
  setRecord(&audioLevels, r, ssBIT_AUDIO_LEVELS, 4, "New Audio Levels Rxd");
}
void statusScreens::setAudioStatus(const unsigned char* r) {
  setRecord(&audioStatus, r, ssBIT_AUDIO_STATUS, 4, "New Audio Status Rxd");
}
void statusScreens::setDelayStatus(const unsigned char* r) {
  setRecord(&delayStatus, r, ssBIT_DELAY, 4, "New Diversity Delay Status Rxd");
}
void statusScreens::setGpsStatus(const unsigned char* r) {
  setRecord(&gpsStatus, r, ssBIT_GPS, 3, "New GPS Board Status Rxd");
}
void statusScreens::setSystemStatus(const unsigned char* r) {
  setRecord(&systemStatus, r, ssBIT_SYSTEM, 3, "New System Status Rxd");
}
void statusScreens::setIfBoardStatus(const unsigned char* r) {
  setRecord(&ifBoardStatus, r, ssBIT_IF_BOARD, 3, "New IF Board Status Rxd");
}
void statusScreens::setVersions(const unsigned char* r) {
  setRecord(&versions, r, ssBIT_VERSIONS, 3, "New Version Information Rxd");
}
void statusScreens::setAlarmsText(const unsigned char* r) {
  setRecord(&alarmsText, r, ssBIT_ALARMS, 3, "New Status Information Rxd");
}

int statusScreens::dataBitFor(int screenId) {
  for (const screenBitRow* r = screenBits; r->screenId >= 0; r++)
    if (r->screenId == screenId) return r->bit;
  return 0;
}

void statusScreens::enterScreen(int screenId) {
  currentBit = dataBitFor(screenId);
  newBits |= unsigned(currentBit);
  if (screenId == treeSCR_DIGITAL_LEVELS || screenId == treeSCR_ANALOG_LEVELS)
    for (levelStatistic& s : stats) s.clear();
  scroll = 0;
  serviceCalls = 0;
}

void statusScreens::setItemReader(ssItemReader reader, void* ctx) {
  itemReader = reader;
  itemReaderCtx = ctx;
}

bool statusScreens::forcedRefreshDue(bool textScreenShown) {
  if (!textScreenShown) {
    serviceCalls = 0;
    return false;
  }
  return ++serviceCalls % 16 == 0;
}

/* ---- drawing ------------------------------------------------------------ */

int statusScreens::draw(int screenId, char* const* rows, int nRows, int cols) {
  statusDrawEnv env;
  getTimeStamp(&env.mono);
  env.wallClock = time(nullptr);
  env.readItem = itemReader;
  env.readItemCtx = itemReaderCtx;
  env.queryInterface = nullptr;
  env.ethName[0] = env.ethName[1] = nullptr;
  return draw(screenId, rows, nRows, cols, env);
}

/* The record each screen needs before it can show anything. */
static const unsigned char* recordFor(const statusScreens& s, int screenId) {
  switch (screenId) {
    case treeSCR_DIGITAL_LEVELS:
    case treeSCR_ANALOG_LEVELS: return s.audioLevels;
    case treeSCR_GPS:
    case treeSCR_DATE_TIME: return s.gpsStatus;
    case treeSCR_AUDIO_STATUS: return s.audioStatus;
    case treeSCR_DELAY_MONITOR: return s.delayStatus;
    case treeSCR_VERSION: return s.versions;
    case treeSCR_ALARMS: return s.alarmsText;
    default: return nullptr;
  }
}

int statusScreens::draw(int screenId, char* const* rows, int nRows, int cols,
                        const statusDrawEnv& env) {
  if (cols < 1 || nRows < 1) return 1;
  if (cols > ssMAX_COLS) cols = ssMAX_COLS;
  bool eth = screenId == treeSCR_ETH0 || screenId == treeSCR_ETH1;
  if (!eth && !dataBitFor(screenId) && screenId != treeSCR_VERSION && screenId != treeSCR_ALARMS)
    return 1;
  for (int r = 0; r < nRows; r++) blankRow(rows[r], cols);
  newBits &= ~unsigned(dataBitFor(screenId));
  int shown = nRows < 3 ? nRows : 3;
  if (!eth && !recordFor(*this, screenId)) {
    for (int r = 0; r < shown; r++) setRow(rows[r], cols, kNoData);
    return 0;
  }
  char* row3[3];
  char spare[3][ssMAX_COLS + 1];
  for (int r = 0; r < 3; r++) {
    row3[r] = r < nRows ? rows[r] : spare[r];
    blankRow(row3[r], cols);
  }
  switch (screenId) {
    case treeSCR_DIGITAL_LEVELS:
    case treeSCR_ANALOG_LEVELS: drawLevels(screenId, row3, 3, cols, env); break;
    case treeSCR_GPS: drawGps(row3, cols); break;
    case treeSCR_DATE_TIME: drawClock(row3, cols, env); break;
    case treeSCR_AUDIO_STATUS: drawAudioStatus(row3, 3, cols); break;
    case treeSCR_DELAY_MONITOR: drawDelay(row3, cols); break;
    case treeSCR_ETH0: drawEthernet(0, row3, cols, env); break;
    case treeSCR_ETH1: drawEthernet(1, row3, cols, env); break;
    default: drawTextScreen(screenId, rows, nRows, cols); break;
  }
  return 0;
}

void statusScreens::drawLevels(int screenId, char* const* rows, int nRows, int cols,
                               const statusDrawEnv& env) {
  if (screenId != treeSCR_DIGITAL_LEVELS && screenId != treeSCR_ANALOG_LEVELS) {
    if (invalidLevelCalls < 10) {
      invalidLevelCalls++;
      TRACE(pTraceLevel, -1, "Invalid item type for audioLevelDisplay update\n");
    }
    return;
  }
  srAudioLevels lv;
  srDecodeAudioLevels(audioLevels, &lv);
  bool digital = screenId == treeSCR_DIGITAL_LEVELS;
  const float* ave = digital ? lv.digitalAverage : lv.analogAverage;
  const float* pk = digital ? lv.digitalPeak : lv.analogPeak;
  levelStatistic* st = digital ? &stats[2] : &stats[0];
  static const char* const side[2] = {"L:", "R:"};
  for (int s = 0; s < 2 && s < nRows; s++) {
    st[s].add(ave[s], pk[s], env.mono);
    putText(rows[s], cols, 0, side[s], 2);
    drawMeter(rows[s], cols, toDb(ave[s]), toDb(pk[s]));
  }
  if (nRows > 2)
    setRowf(rows[2], cols, "%3.0f/%3.0fdB  %3.0f/%3.0fdB", double(st[0].averageDb),
            double(st[0].peakDb), double(st[1].averageDb), double(st[1].peakDb));
}

/* Cells 0..width at columns 2..cols-1: full cells up to the average, a
** trail up to the peak, one partial cell, blanks after it. */
void statusScreens::drawMeter(char* row, int cols, float aveDb, float peakDb) {
  int width = cols - 3;
  if (width < 0) return;
  float floorDb = float(meterFloor < 0 ? meterFloor : ssMETER_FLOOR_DB);
  aveDb = aveDb < floorDb ? floorDb : (aveDb > 0 ? 0 : aveDb);
  peakDb = peakDb < floorDb ? floorDb : (peakDb > 0 ? 0 : peakDb);
  int full = int(float(width) * (floorDb - aveDb) / floorDb);
  float p = float(width) * (floorDb - peakDb) / floorDb;
  int pCell = int(p);
  int steps = glyphs.steps < 1 ? 1 : (glyphs.steps > 10 ? 10 : glyphs.steps);
  int part = int((p - float(pCell)) * float(steps));
  if (part >= steps) part = steps - 1;
  /* In this order: a peak below the average puts its partial cell inside
  ** the full cells and blanks the rest of the meter. */
  char* cell = row + 2;
  for (int i = 0; i < full; i++) cell[i] = glyphs.full;
  for (int i = full; i < pCell; i++) cell[i] = glyphs.trail;
  cell[pCell] = glyphs.partial[part];
  for (int i = pCell + 1; i <= width; i++) cell[i] = ' ';
  if (traceOn(pTraceLevel, 3) && pTraceLevel) {
    TRACE(pTraceLevel, 3, "maxChar=%i  aveVal=%4.2f  peakVal=%4.2f\naveChars=%i ", width,
          double(aveDb), double(peakDb), full);
    TRACE(pTraceLevel, 3, "  peakChars=%i  partChar=%i\n", pCell, part);
  }
}

static int countBits(uint32_t v) {
  int n = 0;
  for (; v; v &= v - 1) n++;
  return n;
}

void statusScreens::drawGps(char* const* rows, int cols) {
  srGps g;
  srDecodeGps(gpsStatus, &g);
  const gpsStateRow* s = gpsStates;
  while (s->state >= 0 && uint32_t(s->state) != g.state) s++;
  setRow(rows[0], cols, s->text);
  setRowf(rows[1], cols, "Sats %2d    HDOP %4.1f", countBits(g.satMask), g.hdop * 0.2);
  double lat = g.latitude / 1e7, lon = g.longitude / 1e7;
  setRowf(rows[2], cols, "%c%8.5f %c%9.5f", lat > 0 ? 'N' : 'S', std::fabs(lat),
          lon > 0 ? 'E' : 'W', std::fabs(lon));
}

void statusScreens::drawClock(char* const* rows, int cols, const statusDrawEnv& env) {
  struct tm tmv;
  if (!gmtime_r(&env.wallClock, &tmv) || tmv.tm_mon < 0 || tmv.tm_mon > 11) {
    setRow(rows[1], cols, "invalid time format ");
    return;
  }
  setRowf(rows[0], cols, " %s %2u, %4u        ", monthNames[tmv.tm_mon], unsigned(tmv.tm_mday),
          unsigned(tmv.tm_year + 1900));
  setRowf(rows[1], cols, " %02u:%02u:%02u %s", unsigned(tmv.tm_hour), unsigned(tmv.tm_min),
          unsigned(tmv.tm_sec), tmv.tm_zone ? tmv.tm_zone : "UTC");
  bool useGps = env.readItem && env.readItem(env.readItemCtx, 17) != 0;
  if (!useGps) setRow(rows[2], cols, " time not GPS based ");
  else if (gpsStatus[srGPS_TIME_LOCKED]) setRow(rows[2], cols, " GPS time locked    ");
  else setRow(rows[2], cols, " acquiring GPS time ");
}

void statusScreens::drawAudioStatus(char* const* rows, int nRows, int cols) {
  size_t len = srTextLen(audioStatus, srAUDIO_TEXT_MAX);
  const char* text = reinterpret_cast<const char*>(audioStatus);
  size_t start = 0;
  for (int r = 0; r < nRows && start < len; r++) {
    const void* lf = memchr(text + start, '\n', len - start);
    size_t end = lf ? size_t(static_cast<const char*>(lf) - text) : len;
    putText(rows[r], cols, 0, text + start, end - start);
    start = end + 1;
  }
}

void statusScreens::drawDelay(char* const* rows, int cols) {
  srDelay d;
  srDecodeDelay(delayStatus, &d);
  /* Printed as they come: a NaN shows "nan", a huge value is cut at the
  ** row's end. */
  setRowf(rows[0], cols, "Delay   %9.6f s", double(d.current));
  if (d.ramping) {
    setRowf(rows[1], cols, "Target  %9.6f s", double(d.target));
    setRowf(rows[2], cols, "Finished in %5.2f s", double(d.remaining));
  } else {
    setRow(rows[1], cols, " (target reached) ");
  }
}

void statusScreens::drawEthernet(int port, char* const* rows, int cols, const statusDrawEnv& env) {
  static const char* const defaultNames[2] = {"eth0", "eth1"};
  const char* name = env.ethName[port] ? env.ethName[port] : defaultNames[port];
  ssInterfaceQuery query = env.queryInterface ? env.queryInterface : ssQueryInterface;
  ssInterfaceInfo info;
  memset(&info, 0, sizeof info);
  if (query(name, &info) != 0) {
    setRow(rows[0], cols, "   Unable to query");
    setRow(rows[1], cols, "   network device");
    return;
  }
  if (info.running) {
    setRowf(rows[0], cols, "IP %u.%u.%u.%u", info.ip[0], info.ip[1], info.ip[2], info.ip[3]);
    if (cols >= 20) putText(rows[0], cols, 18, "UP", 2);
    setRowf(rows[1], cols, "   %u.%u.%u.%u", info.netmask[0], info.netmask[1], info.netmask[2],
            info.netmask[3]);
    setRowf(rows[2], cols, "HW %02X:%02X:%02X:%02X:%02X:%02X", info.hw[0], info.hw[1], info.hw[2],
            info.hw[3], info.hw[4], info.hw[5]);
    return;
  }
  int modeItem = port == 0 ? 41 : 44;
  if (env.readItem && env.readItem(env.readItemCtx, modeItem) == 1) {
    setRow(rows[0], cols, "   ethernet port is");
    setRow(rows[1], cols, "   disabled by user");
  } else {
    setRow(rows[0], cols, "   link is down or");
    setRow(rows[1], cols, "   disconnected");
  }
}

/* ---- text screens ------------------------------------------------------- */

/* Append a bounded text field and a line feed to buf. */
static size_t appendLine(char* buf, size_t at, size_t size, const unsigned char* field,
                         size_t maxLen) {
  if (at + 2 > size) return at;  /* no room for a line feed and the NUL */
  size_t n = srTextLen(field, maxLen);
  if (n > size - at - 2) n = size - at - 2;
  memcpy(buf + at, field, n);
  at += n;
  buf[at++] = '\n';
  buf[at] = 0;
  return at;
}

void statusScreens::drawTextScreen(int screenId, char* const* rows, int nRows, int cols) {
  char text[srALARMS_TEXT_MAX + 2];
  size_t len = 0;
  text[0] = 0;
  if (screenId == treeSCR_VERSION) {
    for (int i = 0; i < srVERSION_COUNT; i++)
      len = appendLine(text, len, sizeof text, versions + srVersionScreenOrder[i], srVERSION_LEN);
  } else {
    len = appendLine(text, len, sizeof text, alarmsText, srALARMS_TEXT_MAX);
  }
  wrapText(text, int(len), cols);
  textRows(rows, nRows, cols);
}

/* Lines are stored back to back, cols characters each, blank-padded.
** Break at the last blank that fits (the blank is dropped), hard at the
** width when a line has none; a line feed ends a line; lines holding only
** blanks are dropped. */
int statusScreens::wrapText(const char* text, int len, int cols) {
  lineCount = 0;
  textLen = 0;
  textBuf[0] = 0;
  if (cols < 1) return 0;
  if (cols > ssMAX_COLS) cols = ssMAX_COLS;
  int maxLines = (ssTEXT_BUF_SIZE - 1) / cols;
  int end = 0;
  while (end < len && text[end]) end++;
  int pos = 0, stop = -1;
  while (pos < end && lineCount < maxLines) {
    /* The line feed ending this paragraph is looked up once per paragraph,
    ** not once per line: a 4 KB text without line feeds stays linear. */
    if (stop < pos) {
      const void* lf = memchr(text + pos, '\n', size_t(end - pos));
      stop = lf ? int(static_cast<const char*>(lf) - text) : end;
    }
    int lineEnd = stop, next = stop + 1;
    if (stop - pos > cols) {
      int brk = -1;
      for (int i = pos + cols; i > pos; i--)
        if (text[i] == ' ') { brk = i; break; }
      if (brk > 0) { lineEnd = brk; next = brk + 1; }
      else { lineEnd = pos + cols; next = lineEnd; }
    }
    bool blankOnly = true;
    for (int i = pos; i < lineEnd; i++)
      if (text[i] != ' ') { blankOnly = false; break; }
    if (!blankOnly) {
      char* line = textBuf + lineCount * cols;
      memset(line, ' ', size_t(cols));
      putText(line, cols, 0, text + pos, size_t(lineEnd - pos));
      lineCount++;
    }
    pos = next;
  }
  textLen = lineCount * cols;
  textBuf[textLen] = 0;
  return lineCount;
}

/* The text may have shrunk since the last scroll: keep the view on it. */
void statusScreens::textRows(char* const* rows, int nRows, int cols) {
  if (cols < 1) return;
  if (cols > ssMAX_COLS) cols = ssMAX_COLS;
  int maxFirst = lineCount > nRows ? lineCount - nRows : 0;
  if (scroll / cols > maxFirst) scroll = maxFirst * cols;
  if (scroll < 0 || scroll % cols) scroll = 0;
  int first = scroll / cols;
  for (int r = 0; r < nRows; r++) {
    blankRow(rows[r], cols);
    int l = first + r;
    if (l < lineCount) memcpy(rows[r], textBuf + l * cols, size_t(cols));
  }
}

int statusScreens::scrollKey(int key, int nRows, int cols) {
  if (cols < 1) return 0;
  switch (key) {
    case treeKEY_DOWN:
      if (scroll / cols + nRows < lineCount) {
        scroll += cols;
        return 1;
      }
      return 0;
    case treeKEY_UP:
      if (scroll >= cols) {
        scroll -= cols;
        return 1;
      }
      return 0;
    case treeKEY_RIGHT: return 0;
    default: return -1;
  }
}
