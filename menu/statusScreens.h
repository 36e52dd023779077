/*
** statusScreens: the live status screens of the menu editor and the text
** screens that scroll (levels, GPS, clock, audio status, diversity delay,
** Ethernet, software version, status and alarms).
**
** The editor owns one statusScreens.  The owner's idle pass hands it the
** newest shared-memory records through the setters; the editor calls
** enterScreen() when a special item becomes current, draw() from its
** refresh, and scrollKey() for keys on a text screen.  Records are used in
** place in the mapped region: only their addresses are kept.
**
** Drawing writes nothing but the body rows it is given: each row buffer
** holds at least cols + 1 bytes and comes back blank-filled to cols with a
** terminator at cols.  What a screen shows depends only on the stored
** records, the level statistics, the scroll offset and the values in
** statusDrawEnv (clock, configuration items, interface query), so a test
** can draw any screen from crafted bytes.
**
** The software update screen (337) is drawn by its owner; it may use
** wrapText()/textRows() and the scroll state here.
*/
#ifndef MENU_STATUSSCREENS_H
#define MENU_STATUSSCREENS_H

#include <cstdint>
#include <ctime>

#include "diag/cppUtils.h"

/* New-data bits, one per status source. */
enum {
  ssBIT_AUDIO_LEVELS = 0x01,
  ssBIT_IF_BOARD = 0x02,
  ssBIT_GPS = 0x04,
  ssBIT_SYSTEM = 0x08,
  ssBIT_AUDIO_STATUS = 0x10,
  ssBIT_DELAY = 0x20,
  ssBIT_VERSIONS = 0x40,
  ssBIT_ALARMS = 0x100
};

enum {
  ssTEXT_BUF_SIZE = 2048,
  ssSTAT_RING = 5,
  ssMETER_FLOOR_DB = -60,
  ssMAX_COLS = 300
};

/* One interface as the Ethernet screens see it. */
struct ssInterfaceInfo {
  bool running;
  uint8_t ip[4];
  uint8_t netmask[4];
  uint8_t hw[6];
};
/* Query an interface: 0 done (info filled, running false when the
** interface is down or does not exist), -1 when no socket could be made. */
typedef int (*ssInterfaceQuery)(const char* name, ssInterfaceInfo* info);
int ssQueryInterface(const char* name, ssInterfaceInfo* info); /* socket + ioctl */

/* Reads one configuration item as an integer (0 when it cannot). */
typedef int (*ssItemReader)(void* ctx, int itemId);

/* Everything a draw takes from outside the records. */
struct statusDrawEnv {
  kvTimeStamp mono;         /* paces the level statistics */
  time_t wallClock;         /* the clock screen */
  ssItemReader readItem;    /* items 17, 41, 44; null reads 0 */
  void* readItemCtx;
  ssInterfaceQuery queryInterface; /* null: ssQueryInterface */
  const char* ethName[2];   /* null: "eth0", "eth1" */
};

/* Running summary of one level meter: the last 5 (average, peak) pairs. */
struct levelStatistic {
  float average[ssSTAT_RING];  /* linear */
  float peak[ssSTAT_RING];
  int count;
  int next;
  float averageDb;   /* -90 while empty */
  float peakDb;
  kvTimeStamp lastRecompute;
  void clear();
  void add(float average, float peak, const kvTimeStamp& now);
};

/* Meter characters of a front end.  Terminal: 'X', '-', 10 steps, all
** partial cells '|'.  Front panel: glyphs 0 and 1, 6 steps, glyphs 2..7. */
struct meterGlyphs {
  char full;
  char trail;
  int steps;          /* 1..10 */
  char partial[10];
};
extern const meterGlyphs ssTerminalMeter;
extern const meterGlyphs ssFrontPanelMeter;

class statusScreens {
public:
  statusScreens();

  /* Setters: store the record's address and mark it new; null does
  ** nothing.  The delay setter takes the audio status record. */
  void setAudioLevels(const unsigned char* rec);
  void setAudioStatus(const unsigned char* rec);
  void setDelayStatus(const unsigned char* rec);
  void setGpsStatus(const unsigned char* rec);
  void setSystemStatus(const unsigned char* rec);
  void setIfBoardStatus(const unsigned char* rec);
  void setVersions(const unsigned char* rec);
  void setAlarmsText(const unsigned char* rec);
  /* The status region changed under the reader: drop every record (the
  ** screens show their no-data rows until new ones arrive) and mark them
  ** all new so the current screen is drawn again. */
  void forgetRecords();

  /* The data bit of a screen (0 for none or an unknown ID). */
  static int dataBitFor(int screenId);
  /* A special item became current: select its data bit and mark it new
  ** (first draw at once); the level screens empty their statistics; text
  ** screens start at the top. */
  void enterScreen(int screenId);
  /* 1 when the current screen has new data to show (the change poll adds
  ** it to its count), else 0. */
  int screenChangePending() const { return (newBits & currentBit) ? 1 : 0; }
  unsigned newDataBits() const { return newBits; }

  /* Fill rows[0..nRows-1] for screenId; clears the screen's data bit.
  ** Returns 0, or 1 for a screen this module does not draw (337, others). */
  int draw(int screenId, char* const* rows, int nRows, int cols, const statusDrawEnv& env);
  /* Same with the real clocks, the real interface query and the item
  ** reader stored by setItemReader(). */
  int draw(int screenId, char* const* rows, int nRows, int cols);
  void setItemReader(ssItemReader reader, void* ctx);

  /* A key on a text screen: 1 scrolled (redraw), 0 nothing to do (stay),
  ** -1 not a scrolling key (the editor leaves the screen). */
  int scrollKey(int key, int nRows, int cols);

  /* Word-wrap text (at most len bytes, stops at NUL) into the screen buffer
  ** as lines of exactly cols characters; returns the line count. */
  int wrapText(const char* text, int len, int cols);
  int textLines() const { return lineCount; }
  int scrollOffset() const { return scroll; }
  const char* textBuffer() const { return textBuf; }
  /* Show the wrapped lines from the scroll offset in the body rows. */
  void textRows(char* const* rows, int nRows, int cols);

  /* Front ends call this once per service call; true every 16th call while
  ** a text screen is shown (or an update runs), when they must refresh. */
  bool forcedRefreshDue(bool textScreenShown);

  meterGlyphs glyphs;
  int meterFloor;                   /* dB */
  levelStatistic stats[4];          /* analog L, analog R, digital L, digital R */
  const int* pTraceLevel;

  /* Newest records (null until the first arrives). */
  const unsigned char* audioLevels;
  const unsigned char* audioStatus;
  const unsigned char* delayStatus;
  const unsigned char* gpsStatus;
  const unsigned char* systemStatus;
  const unsigned char* ifBoardStatus;
  const unsigned char* versions;
  const unsigned char* alarmsText;

private:
  void drawLevels(int screenId, char* const* rows, int nRows, int cols, const statusDrawEnv& env);
  void drawMeter(char* row, int cols, float aveDb, float peakDb);
  void drawGps(char* const* rows, int cols);
  void drawClock(char* const* rows, int cols, const statusDrawEnv& env);
  void drawAudioStatus(char* const* rows, int nRows, int cols);
  void drawDelay(char* const* rows, int cols);
  void drawEthernet(int port, char* const* rows, int cols, const statusDrawEnv& env);
  void drawTextScreen(int screenId, char* const* rows, int nRows, int cols);
  void setRecord(const unsigned char** slot, const unsigned char* rec, int bit, int level,
                 const char* what);

  unsigned newBits;
  int currentBit;
  char textBuf[ssTEXT_BUF_SIZE];
  int textLen;
  int lineCount;
  int scroll;           /* a multiple of the column count */
  unsigned serviceCalls;
  int invalidLevelCalls;
  ssItemReader itemReader;
  void* itemReaderCtx;
};

#endif
