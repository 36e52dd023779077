/*
** Fuzz harness: the status region reader (kvSharedMem) and every status
** screen's draw (statusScreens) over an arbitrary region image.
**
** The region is a private shared-memory object of the real size.  Each
** input is tiled over the whole region (so every channel's counters and
** records see input bytes), then the first eight input bytes choose the
** channels' write indexes: below 128 a slot of the channel, else the tiled
** word stays (mostly outside the ring).  A fresh reader maps the region,
** the console's idle pass (pollStatusChannels) hands the newest records to
** the screens, and every screen is drawn at 4x20 and 10x80 (and the body
** rows of those displays), with the text screens scrolled through.  Every
** row must come back exactly as wide as the display.  The status names of
** the parameter access ("doVA.x -v GPSStatus" ...) print from the same
** region, each through a console of its own.
*/
#include "app/doVA.h"
#include "app/statusAccess.h"
#include "fuzz/fuzzSupport.h"
#include "menu/statusScreens.h"
#include "menu/treeDefs.h"
#include "status/kvSharedMem.h"

#include <cstring>
#include <string>
#include <unistd.h>

static kvSharedMem* gWriter;
static std::string gName;
static uint8_t gItemBytes[4];
static ssInterfaceInfo gIf;

static void unlinkRegion() { kvSharedMem::unlinkRegion(gName.c_str()); }

static int readItem(void*, int itemId) { return (int8_t)gItemBytes[itemId & 3]; }
static int queryIf(const char* name, ssInterfaceInfo* info) {
  if (!name) fuzzFail("interface query without a name");
  *info = gIf;
  return gIf.running || gIf.ip[0] ? 0 : -1;
}

static void checkRows(char* const* rows, int nRows, int cols, int screen) {
  for (int r = 0; r < nRows; ++r) {
    size_t l = strnlen(rows[r], ssMAX_COLS + 2);
    if ((int)l != cols) fuzzFail("screen %d row %d is %zu wide at %d columns", screen, r, l, cols);
  }
}

static void drawAll(statusScreens& s, int nRows, int cols, const statusDrawEnv& env) {
  static char store[12][ssMAX_COLS + 2];
  char* rows[12];
  for (int r = 0; r < 12; ++r) rows[r] = store[r];
  for (int id = treeITM_SPECIAL_START; id <= treeITM_SPECIAL_END; ++id) {
    memset(store, 'Z', sizeof store);
    s.enterScreen(id);
    if (s.draw(id, rows, nRows, cols, env) != 0) continue;
    checkRows(rows, nRows, cols, id);
    for (int k = 0; k < 40; ++k) {
      int key = k < 30 ? treeKEY_DOWN : treeKEY_UP;
      int r = s.scrollKey(key, nRows, cols);
      if (r < 0) break;
      if (r == 0) continue;
      s.draw(id, rows, nRows, cols, env);
      checkRows(rows, nRows, cols, id);
    }
  }
}

/* The printers of the status names, each on a fresh view of the region
** (a record is new only once per view). */
static void printAll() {
  typedef void (*printer)(consoleApp&, const char*);
  static const printer printers[] = {printSoftwareVersion, printMonitorDivDelay, printAudioStatus,
                                     printSystemStatus,    printGpsStatus,       printSystemTime,
                                     printEth0Status,      printEth1Status,      nullptr};
  for (const printer* p = printers; *p; ++p) {
    consoleApp app;
    if (app.statusMem.initSharedMem(nullptr, false, gName.c_str()) != 0) fuzzFail("no view");
    (*p)(app, "status");
  }
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  gName = fuzzShmName();
  gWriter = new kvSharedMem();
  if (gWriter->initSharedMem(nullptr, true, gName.c_str()) != 0) fuzzFail("region not made");
  atexit(unlinkRegion);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  unsigned char* region = const_cast<unsigned char*>(gWriter->regionBase());
  size_t total = gWriter->size();
  for (size_t off = 0; off < total; off += size)
    memcpy(region + off, data, size < total - off ? size : total - off);
  for (int ch = 0; ch < shmNUM_CHANNELS && (size_t)ch < size; ++ch) {
    const shmChannelShape& shape = shmChannelTable[ch];
    if (data[ch] < 128) shmPutU32(region + shape.offset + 4, (uint32_t)(data[ch] % shape.slotCount));
  }
  memcpy(gItemBytes, data, size < 4 ? size : 4);
  fuzzBytes ifBytes(data, size);
  gIf.running = ifBytes.byte() & 1;
  for (uint8_t& b : gIf.ip) b = ifBytes.byte();
  for (uint8_t& b : gIf.netmask) b = ifBytes.byte();
  for (uint8_t& b : gIf.hw) b = ifBytes.byte();

  kvSharedMem reader;
  if (reader.initSharedMem(nullptr, false, gName.c_str()) != 0) fuzzFail("reader not opened");
  statusScreens screens;
  pollStatusChannels(reader, screens);
  for (int ch = -1; ch <= shmNUM_CHANNELS; ++ch) reader.readNewest(ch);

  statusDrawEnv env;
  env.mono = {(uint32_t)(size * 7), 0};
  env.wallClock = (time_t)(int32_t)shmGetU32(region + 16);
  env.readItem = readItem;
  env.readItemCtx = nullptr;
  env.queryInterface = queryIf;
  env.ethName[0] = env.ethName[1] = nullptr;
  drawAll(screens, 4, 20, env);
  drawAll(screens, 3, 20, env);
  drawAll(screens, 10, 80, env);
  drawAll(screens, 9, 80, env);
  printAll();
  return 0;
}
