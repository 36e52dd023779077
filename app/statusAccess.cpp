/*
** Status names of the parameter access: print the newest shared-memory
** record of a status source, or the rows of its status screen, and exit.
** Nothing is set.  Texts come from another process and are read only up
** to their field's size.
*/
#include "app/statusAccess.h"

#include <cstdio>

#include "app/doVA.h"
#include "config/dataItem.h"
#include "config/genericConfig.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "menu/statusScreens.h"
#include "menu/treeDefs.h"
#include "status/statusRecords.h"

enum { statusLINE_COLS = 20, statusLINE_ROWS = 3 };

int statusItemReader(void* ctx, int item) {
  generic_cfg* cfg = static_cast<generic_cfg*>(ctx);
  data_itm_Base* it = cfg ? cfg->getItem(item) : nullptr;
  return it ? int(it->intValue()) : 0;
}

/* Print a bounded text field followed by a line feed. */
static void printField(const unsigned char* field, size_t maxLen) {
  char text[srALARMS_TEXT_MAX + 1];
  srCopyText(text, sizeof text, field, maxLen);
  printf("%s\n", text);
}

void printSoftwareVersion(consoleApp& app, const char*) {
  const unsigned char* rec = app.statusMem.readNewest(shmCH_VERSIONS);
  if (!rec) return;
  for (int i = 0; i < srVERSION_COUNT; i++) printField(rec + srVersionParamOrder[i], srVERSION_LEN);
}

void printMonitorDivDelay(consoleApp& app, const char*) {
  const unsigned char* rec = app.statusMem.readNewest(shmCH_AUDIO_STATUS);
  if (!rec) return;
  /* As the exporter wrote it: a NaN prints "nan". */
  printf("DiversityDelay=%9.6f s\n", double(srGetF32LE(rec, srDELAY_CURRENT)));
}

void printAudioStatus(consoleApp& app, const char*) {
  const unsigned char* rec = app.statusMem.readNewest(shmCH_AUDIO_STATUS);
  if (rec) printField(rec, srAUDIO_TEXT_MAX);
}

void printSystemStatus(consoleApp& app, const char*) {
  const unsigned char* rec = app.statusMem.readNewest(shmCH_ALARMS);
  if (rec) printField(rec, srALARMS_TEXT_MAX);
}

/* Draw one status screen 20 columns wide and print its three rows. */
static void drawAndPrint(consoleApp& app, statusScreens& screens, int screenId) {
  screens.pTraceLevel = app.pTraceLevel;
  screens.setItemReader(statusItemReader, static_cast<generic_cfg*>(app.cfg));
  char buf[statusLINE_ROWS][statusLINE_COLS + 1];
  char* rows[statusLINE_ROWS] = {buf[0], buf[1], buf[2]};
  if (screens.draw(screenId, rows, statusLINE_ROWS, statusLINE_COLS) != 0) return;
  for (char* r : rows) printf("%s\n", r);
}

static void printScreen(consoleApp& app, int screenId) {
  statusScreens screens;
  drawAndPrint(app, screens, screenId);
}

/* The GPS and clock screens need the newest GPS record; with none there
** is nothing to print. */
static void printGpsScreen(consoleApp& app, int screenId) {
  const unsigned char* rec = app.statusMem.readNewest(shmCH_GPS);
  if (!rec) return;
  statusScreens screens;
  screens.setGpsStatus(rec);
  drawAndPrint(app, screens, screenId);
}

void printGpsStatus(consoleApp& app, const char*) { printGpsScreen(app, treeSCR_GPS); }
void printSystemTime(consoleApp& app, const char*) { printGpsScreen(app, treeSCR_DATE_TIME); }
void printEth0Status(consoleApp& app, const char*) { printScreen(app, treeSCR_ETH0); }
void printEth1Status(consoleApp& app, const char*) { printScreen(app, treeSCR_ETH1); }
