/*
** The menu display loop of the console unit and its reactions to changed
** configuration items (see displayLoop.h).
**
** The loop is one thread of polling: one look at the configuration link
** and one front-end service per pass, 5 ms of sleep when nothing happened.
** Everything the master changes arrives as the front end's changed-item
** queue and is handled here in queue order.
*/
#include "app/displayLoop.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "app/doVA.h"
#include "app/maintenance.h"
#include "app/statusAccess.h"
#include "console/cnslTerminal.h"
#include "console/treeEditorCnsl.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "diag/ErrTrcLog.h"
#include "diag/trace.h"
#include "frontpanel/treeEditorModule.h"
#include "menu/menuTables.h"

namespace {

const int IDLE_SLEEP_US = 5000;
const int FACTORY_RESET_PASSES = 100;   /* about 1 s for the alert to show */
const int FACTORY_RESET_SLEEP_US = 10000;
const int BOOT_STATION_ROW_MAX = 19;
const int EXTENDED_RESTART_VERSION = 29; /* EXT_IF_VERSION above: GPS restart */

/* Indicator n shows this item; the label is its status line's. */
struct indicatorRow {
  int indicator;
  int item;
  const char* label;
  int powerUpWord;
};
const indicatorRow indicatorRows[] = {
    {0, itmSystem_Status, "System", 1},
    {1, itmAudio_Status, "Audio", 0},
    {2, itmGPS_Status, "GPS", 1},
    {3, itmImprtr_Status, "Importer", 1},
    {-1, -1, nullptr, 0},
};

/* A changed item and the indicator it refreshes (58 refreshes none). */
const int itemIndicator[][2] = {
    {itmSystem_Status, 0},      {itmSys_stat_count, 0},
    {itmAudio_Status, 1},
    {itmGPS_Status_Count, 2},   {itmGPS_Status, 2},
    {itmImprtr_Status, 3},      {itmImprtr_Status_count, 3},
    {-1, -1},
};

/* Message boxes: title (<= 19), body of three 20-character rows. */
struct alertText {
  const char* title;
  const char* body;
};
const alertText factoryResetAlert = {
    "!Factory Defaults!",
    " Please wait for    \n system to restart  \n!!!!!!!!!!!!!!!!!!!!\n"};
const alertText extendedRestartAlert = {
    "!Extended Restart!",
    "Please wait 30s for \nextended GPS restart\n!!!!!!!!!!!!!!!!!!!!\n"};
const alertText restartAlert = {
    "! System Restart !",
    " Please wait for    \n system to restart  \n!!!!!!!!!!!!!!!!!!!!\n"};
const alertText powerDownRequest = {
    "Power Down Request",
    "!  V to continue   !\n!  X to cancel     !\n!!!!!!!!!!!!!!!!!!!!\n"};
const alertText powerDownAlert = {
    "!!! Power Down !!!",
    " System is preparing\n to power down      \n!!!!!!!!!!!!!!!!!!!!\n"};
const alertText modeChangeAlert = {
    " AM/FM CHANGE ",
    "! system will re-  !\n! start in a moment!\n!!!!!!!!!!!!!!!!!!!!\n"};
const alertText masterLostAlert = {
    "! MASTER LOST !",
    "Config master is not\nanswering: changes  \nare not saved.      \n"};
const alertText changeRefusedAlert = {
    "! NOT SAVED !",
    "Config master lost: \nthe change was not  \nsaved. Try later.   \n"};

const char* const bootRows[4] = {"  ...TORVAL....", "  KIVAREX RELAY", nullptr,
                                 "    initializing..."};

/* What the change handling remembers between passes. */
struct displayState {
  int previousMode = -1;  /* operating mode (item 77) last seen; -1 none yet */
  /* the master watch: */
  bool lostShown = false;      /* the lost alert is up (ours, not yet closed) */
  bool lostNoticed = false;    /* the current loss has been shown once */
  int32_t relinksSeen = 0;
  int32_t refusalsSeen = 0;
};
displayState state;

bool readBoolItem(consoleApp& app, int item) {
  bool v = false;
  return app.cfg && app.cfg->readBool(item, &v) == 0 && v;
}

int readIntItem(consoleApp& app, int item) {
  int v = 0;
  if (app.cfg) app.cfg->readInt(item, &v);
  return v;
}

void readStationName(consoleApp& app) {
  app.statusText[0] = '\0';
  if (app.cfg) app.cfg->readText(itmSIS_CsStdNme, app.statusText, sizeof app.statusText);
}

}  // namespace

/* ------------------------------------------------------------------ */
/* Indicators, boot text, alerts                                        */
/* ------------------------------------------------------------------ */

int indicatorItem(int n) {
  for (const indicatorRow* r = indicatorRows; r->indicator >= 0; r++)
    if (r->indicator == n) return r->item;
  return -1;
}

int indicatorForItem(int item) {
  for (const auto& row : itemIndicator) {
    if (row[0] < 0) break;
    if (row[0] == item) return row[1];
  }
  return -1;
}

void updateIndicator(consoleApp& app, int n) {
  int item = indicatorItem(n);
  if (item < 0 || app.frontEnd == nullptr) return;
  app.frontEnd->setStatusLine(n, readIntItem(app, item), false);
}

void showBootText(consoleApp& app) {
  if (app.frontEnd == nullptr) return;
  readStationName(app);
  char station[sizeof app.statusText + 16];
  snprintf(station, sizeof station, " for station %s", app.statusText);
  station[BOOT_STATION_ROW_MAX] = '\0';
  for (int row = 0; row < 4; row++)
    app.frontEnd->dispBootText(row, bootRows[row] ? bootRows[row] : station, row == 3);
}

int showAlert(consoleApp& app, const char* title, const char* body) {
  if (app.frontEnd == nullptr) return 0;
  return app.frontEnd->showMessageBox(title, body);
}

static int showAlert(consoleApp& app, const alertText& a) { return showAlert(app, a.title, a.body); }

void frontEndLogLine(consoleApp& app, const char* text) {
  if (app.runMode == RUNMODE_DISPLAY && app.frontEnd != nullptr) app.frontEnd->addLogLine(text);
}

void setFrontEndBand(consoleApp& app, bool am) {
  if (app.frontEnd != nullptr) app.frontEnd->setBand(am ? 1 : 0);
}

void destroyFrontEnd(consoleApp& app) {
  delete app.frontEnd;
  app.frontEnd = nullptr;
  app.frontEndRows = app.frontEndCols = 0;
}

/* ------------------------------------------------------------------ */
/* miniDispInit                                                          */
/* ------------------------------------------------------------------ */

static void clampDisplaySize(consoleApp& app) {
  if (app.dispCols < 16) app.dispCols = 16;
  if (app.dispCols > 80) app.dispCols = 80;
  if (app.dispRows < 2) app.dispRows = 2;
  if (app.dispRows > 10) app.dispRows = 10;
}

/* Labels, power-up colours, boot text and the four indicators of a menu
** that has just been initialised. */
static void decorateFrontEnd(consoleApp& app) {
  treeEditorCnsl* window = dynamic_cast<treeEditorCnsl*>(app.frontEnd);
  if (window != nullptr) window->setShowLabels(app.showLedLabels);
  for (const indicatorRow* r = indicatorRows; r->indicator >= 0; r++)
    app.frontEnd->setStatusLabel(r->indicator, r->label);
  for (const indicatorRow* r = indicatorRows; r->indicator >= 0; r++)
    app.frontEnd->setLedPowerUp(r->indicator, r->powerUpWord, false);
  showBootText(app);
  for (int n = 0; n < dispINDICATORS; n++) updateIndicator(app, n);
  attachSoftwareUpdate(app);
}

/* While the menu owns the terminal, what the process and its children
** print goes to "doVA.console.log" next to the program. */
static void consoleStrayOutput(consoleApp& app) {
  std::string dir = app.pErrLog != nullptr ? app.pErrLog->programDir() : "";
  if (!dir.empty() && dir.back() != '/') dir += '/';
  cnslSetStrayOutputFile((dir + "doVA.console.log").c_str());
}

int frontEndInit(consoleApp& app, bool hardware) {
  clampDisplaySize(app);
  if (app.frontEnd != nullptr &&
      (app.frontEndRows != app.dispRows || app.frontEndCols != app.dispCols))
    destroyFrontEnd(app);
  app.frontEndRows = app.dispRows;
  app.frontEndCols = app.dispCols;
  if (app.frontEnd == nullptr && app.lcdMode) {
    treeEditorModule* panel = new treeEditorModule();
    panel->link().setStopFlag(&app.stopRequested);  /* Ctrl-C ends the display search */
    app.frontEnd = panel;
    TRACE(app.pTraceLevel, 1, "LCD class created\n");
  }
  if (app.frontEnd == nullptr) {
    consoleStrayOutput(app);
    app.frontEnd = new treeEditorCnsl();
    TRACE(app.pTraceLevel, 1, "Console edit class created\n");
  }
  if (hardware) {
    app.frontEnd->cfg = app.cfg;
    return app.frontEnd->openDisplay(app.dispRows, app.dispCols, app.pTraceLevel, app.pErrLog);
  }
  int word = app.dispCols < 61 ? 1 : 2;
  const treeItemDef* second = app.lcdMode ? treeFrontPanelMenuTable : nullptr;
  if (app.frontEnd->init(app.cfg, treeMainMenuTable(), app.pErrLog, app.dispRows - 1, 1, 0,
                         app.dispCols, app.pTraceLevel, word, tal_FULL_EDIT, second) != 0)
    return 1;
  decorateFrontEnd(app);
  return 0;
}

/* ------------------------------------------------------------------ */
/* Changed configuration data                                           */
/* ------------------------------------------------------------------ */

/* The power-down confirmation's answer: the request is always withdrawn;
** yes commands the power-down. */
static void powerDownAnswer(treeEditor* editor, bool yes) {
  consoleApp* app = static_cast<consoleApp*>(editor->messageBoxUser());
  if (app == nullptr || app->cfg == nullptr) return;
  app->cfg->writeInt(itmPOWEROFF_REQ, 0);
  if (yes) app->cfg->writeInt(itmPOWEROFF_CMD, 1);
  editor->refresh();
}

/* About a second of display passes for the alert, then the maintenance
** tool wipes the configuration and restarts the box. */
static void factoryReset(consoleApp& app) {
  showAlert(app, factoryResetAlert);
  app.frontEnd->refresh();
  for (int i = 0; i < FACTORY_RESET_PASSES && !app.stopRequested; i++) {
    app.frontEnd->service();
    usleep(FACTORY_RESET_SLEEP_US);
  }
  runFactoryDefaults();
}

static void restartRequested(consoleApp& app) {
  if (!readBoolItem(app, itmSYSRESTART_CMD)) return;
  bool extended = readBoolItem(app, itmUseGPSTime) &&
                  readIntItem(app, itmEXT_IF_VERSION) > EXTENDED_RESTART_VERSION;
  showAlert(app, extended ? extendedRestartAlert : restartAlert);
}

/* One changed item; returns true when the mode/name refresh is due. */
static bool handleChangedItem(consoleApp& app, int item) {
  TRACE(app.pTraceLevel, 1, "Data for %i change in eeCfg\n", item);
  int n = indicatorForItem(item);
  if (n >= 0) {
    updateIndicator(app, n);
    return false;
  }
  switch (item) {
    case itmSIS_CsStdNme:
      showBootText(app);
      return true;
    case itmPrmryCarrierCfg:
      return true;
    case itmRESET_TO_FACTORY_DEFAULTS:
      if (readBoolItem(app, item)) factoryReset(app);
      return false;
    case itmSYSRESTART_CMD:
      restartRequested(app);
      return false;
    case itmPOWEROFF_REQ:
      if (readBoolItem(app, item))
        app.frontEnd->showMessageBox(powerDownRequest.title, powerDownRequest.body,
                                     powerDownAnswer, &app);
      return false;
    case itmPOWEROFF_CMD:
      if (readBoolItem(app, item)) showAlert(app, powerDownAlert);
      return false;
    default:
      return false;
  }
}

/* Call sign and band from the station name and the operating mode; a
** changed mode (not the first one seen) is announced. */
static void modeAndNameRefresh(consoleApp& app) {
  int mode = readIntItem(app, itmPrmryCarrierCfg);
  readStationName(app);
  app.frontEnd->setCallSign(app.statusText);
  app.frontEnd->setBand(mode == 4 || mode == 5 ? 1 : 0);
  if (state.previousMode >= 0 && state.previousMode != mode) showAlert(app, modeChangeAlert);
  state.previousMode = mode;
}

void resetChangeHandling() { state = displayState(); }

void handleChangedData(consoleApp& app) {
  if (app.frontEnd == nullptr) return;
  bool modeDue = false;
  /* the queue is read by index: an answer may queue more while we walk */
  for (int k = 0; k < app.frontEnd->changedCount(); k++)
    if (handleChangedItem(app, app.frontEnd->changedItem(k))) modeDue = true;
  app.frontEnd->clearChanged();
  if (!modeDue && state.previousMode >= 0) return;
  modeAndNameRefresh(app);
}

/* ------------------------------------------------------------------ */
/* The loop                                                             */
/* ------------------------------------------------------------------ */

/* In the window, Ctrl-C stops the loop as SIGTERM does, so the terminal
** is handed back cooked instead of being left in raw mode. */
static void stopOnInterrupt(struct sigaction* saved) {
  struct sigaction term;
  sigaction(SIGTERM, nullptr, &term);
  sigaction(SIGINT, &term, saved);
}

/* The lost alert closed by the operator (or by the master coming back). */
static void lostAlertClosed(treeEditor*, bool) { state.lostShown = false; }

/* Once per pass: a lost master is shown as an alert as soon as no other
** box is up; a change refused meanwhile says so; a master that serves
** again takes the alert away and the whole screen is drawn afresh (its
** full answer arrived as changed items). */
static void masterWatchPass(consoleApp& app) {
  generic_cfg* cfg = app.cfg;
  if (cfg->relinkCount() != state.relinksSeen) {
    state.relinksSeen = cfg->relinkCount();
    state.lostNoticed = false;
    if (state.lostShown && app.frontEnd->messageBoxShown()) app.frontEnd->processKey(treeKEY_ENTER);
    state.lostShown = false;
    app.frontEnd->refresh();
  }
  if (cfg->isMasterLost() && !state.lostNoticed &&
      app.frontEnd->showMessageBox(masterLostAlert.title, masterLostAlert.body, lostAlertClosed,
                                   &app)) {
    state.lostNoticed = true;
    state.lostShown = true;
  }
  if (cfg->refusedChangeCount() != state.refusalsSeen) {
    state.refusalsSeen = cfg->refusedChangeCount();
    showAlert(app, changeRefusedAlert);
  }
}

static void runPasses(consoleApp& app) {
  int result = 0;
  while (result >= 0 && app.cfg != nullptr && app.cfg->isRegistered() && !app.stopRequested) {
    powerWatch(app);
    app.cfg->serviceCfg(0, 0);
    masterWatchPass(app);
    result = app.frontEnd->service();
    if (result == 0) {
      idleRefresh(app);
      usleep(IDLE_SLEEP_US);
    } else if (result > 0) {
      handleChangedData(app);
    }
  }
}

void runDisplayLoop(consoleApp& app) {
  int savedLevel = app.traceLevel;
  if (!app.lcdMode) app.traceLevel = 0;  /* no trace lines over the window */
  resetChangeHandling();
  struct sigaction savedInt;
  if (!app.lcdMode) stopOnInterrupt(&savedInt);
  if (frontEndInit(app, false) == 0) {
    idleRefresh(app);
    app.cfg->watchMaster(true);
    state.relinksSeen = app.cfg->relinkCount();
    state.refusalsSeen = app.cfg->refusedChangeCount();
    runPasses(app);
    app.cfg->watchMaster(false);
  }
  if (!app.lcdMode) sigaction(SIGINT, &savedInt, nullptr);
  app.traceLevel = savedLevel;
}
