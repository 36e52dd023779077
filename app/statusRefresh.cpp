/*
** The display loop's idle pass: every new shared-memory record goes to the
** menu editor's status screens, and a DSP hardware fault raises its alert
** once per run (the operator has seen it; repeating it would block the
** menu behind a box every time the exporter re-reports the fault).
*/
#include "app/statusAccess.h"

#include "app/doVA.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "menu/statusScreens.h"
#include "menu/treeEditor.h"
#include "status/kvSharedMem.h"

/* Poll order and the setters each channel feeds; -1 ends the table. */
struct channelFeed {
  int channel;
  void (statusScreens::*set)(const unsigned char*);
  void (statusScreens::*alsoSet)(const unsigned char*);
};
static const channelFeed channelFeeds[] = {
    {shmCH_AUDIO_LEVELS, &statusScreens::setAudioLevels, nullptr},
    {shmCH_AUDIO_STATUS, &statusScreens::setAudioStatus, &statusScreens::setDelayStatus},
    {shmCH_IF_BOARD, &statusScreens::setIfBoardStatus, nullptr},
    {shmCH_SYSTEM, &statusScreens::setSystemStatus, nullptr},
    {shmCH_GPS, &statusScreens::setGpsStatus, nullptr},
    {shmCH_VERSIONS, &statusScreens::setVersions, nullptr},
    {shmCH_ALARMS, &statusScreens::setAlarmsText, nullptr},
    {-1, nullptr, nullptr},
};

static const char dspFaultTitle[] = "!! DSP HW FAULT !!";
static const char dspFaultBody[] =
    " DSP Hardware Fault \n (Memory or FIFO)   \n!!!!!!!!!!!!!!!!!!!!\n";

int pollStatusChannels(kvSharedMem& shm, statusScreens& screens) {
  int n = 0;
  /* a region shrunk, removed or recreated under us: no record is kept */
  if (shm.checkRegion()) screens.forgetRecords();
  for (const channelFeed* f = channelFeeds; f->channel >= 0; f++) {
    const unsigned char* rec = shm.readNewest(f->channel);
    if (!rec) continue;
    n++;
    (screens.*(f->set))(rec);
    if (f->alsoSet) (screens.*(f->alsoSet))(rec);
  }
  return n;
}

bool dspFaultLatch::due(bool faultSet) {
  if (!faultSet || shown) return false;
  shown = true;
  return true;
}

void idleRefresh(consoleApp& app) {
  static dspFaultLatch dspLatch;
  if (!app.frontEnd) return;
  pollStatusChannels(app.statusMem, app.frontEnd->screens);
  if (dspLatch.due(app.cfg && statusItemReader(static_cast<generic_cfg*>(app.cfg), itmDSPHwFault)))
    app.frontEnd->showMessageBox(dspFaultTitle, dspFaultBody);
}
