/*
** Configuration client start-up of the console unit: up to four link
** attempts back to back, then the subscription to every item.  Without a
** master the first attempt waits the 3 s registration timeout; a later one
** finds the endpoint already open and goes on to the subscription, which
** then fails with 20003 - so the console never hangs on a missing master.
*/
#include "app/cfgClientStart.h"

#include <cstdio>

#include "app/doVA.h"
#include "dataset/doviduConfig.h"
#include "diag/trace.h"

/* Start-up errors are reported as unit "doVA", function "main", with the
** line of the step that failed. */
static void startError(consoleApp& app, int num, const char* text, int line) {
  reportError(app.pErrLog, 3, num, "doVA", "main", line, "%s", text);
  app.startupErrors++;
}
#define START_ERROR(app, num, text) startError((app), (num), (text), __LINE__)

void cfgCreateDataSet(consoleApp& app) {
  if (app.cfg == nullptr) app.cfg = new dovidu_config(app.pTraceLevel, app.pErrLog);
  app.cfg->setStopFlag(&app.stopRequested);
}

void cfgDestroyDataSet(consoleApp& app) {
  delete app.cfg;
  app.cfg = nullptr;
}

/* One "Cfg Init %i" attempt: 0 when linked. */
static int linkAttempt(consoleApp& app, int attempt) {
  snprintf(app.statusText, sizeof app.statusText, "Cfg Init %i", attempt);
  showStatus(app, app.statusText);
  return app.cfg->initDataSet(app.pTraceLevel, app.pErrLog, 0, "doVA.x", 0, -1);
}

int cfgClientStart(consoleApp& app) {
  if (app.cfg == nullptr) cfgCreateDataSet(app);
  bool linked = false;
  for (int attempt = 1; attempt <= cfgSTART_ATTEMPTS && !linked && !app.stopRequested;
       attempt++)
    linked = linkAttempt(app, attempt) == 0;
  if (app.stopRequested) return 1; /* stopped, not failed: nothing to report */
  if (!linked) {
    showStatus(app, "Cfg Init Fail");
    START_ERROR(app, doVA_ERR_CFG_INIT, "Configuration initialization failure");
    return 1;
  }
  showStatus(app, "Cfg Subscribe");
  app.cfg->addAllItems(2);
  int result = app.cfg->subscribeListSend();
  if (app.stopRequested) return 1;
  if (result != 0) {
    showStatus(app, "Subscribe Fail");
    START_ERROR(app, doVA_ERR_CFG_LINK, "Could not link to configuration master process");
  }
  showStatus(app, "Subscribe Done");
  return result != 0 ? 1 : 0;
}

bool cfgAnnounceVersion(consoleApp& app) {
  if (app.cfg == nullptr) return false;
  app.cfg->writeInt(itmUSER_IF_VERSION, doVA_USER_IF_VERSION);
  int mode = 0;
  app.cfg->readInt(itmPrmryCarrierCfg, &mode);
  return mode == 4 || mode == 5;
}
