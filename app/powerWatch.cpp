/*
** powerWatch: the console unit's side of "power off" and "restart".
**
** The configuration master sets POWEROFF_CMD (item 50) or SYSRESTART_CMD
** (item 51); the console acts only when one stays set for more than 10
** seconds, and then again every 11 seconds while it stays set, by running
** the maintenance tool ("kvUpgrade.x -s" powers down, "-r" restarts).
** A cleared item forgets its timer at once.
*/
#include "app/doVA.h"

#include <cstdio>
#include <cstring>

#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "diag/cppUtils.h"
#include "diag/shellSeam.h"
#include "diag/sysPaths.h"

namespace {

const uint32_t kHoldSeconds = 10;

/* One item's timer: returns true when the action is due now. */
bool holdExpired(bool set, uint32_t* since, uint32_t now) {
  if (!set) {
    *since = 0;
    return false;
  }
  if (*since == 0) *since = now;
  if (now - *since > kHoldSeconds) {
    *since = now;
    return true;
  }
  return false;
}

}  // namespace

/* The box's own command is "/mnt/run/kvUpgrade.x -s"; a run directory
** moved by DOVA_RUN_DIR is quoted when it holds anything unusual. */
void maintenanceCommand(char* out, int size, const char* option) {
  std::string tool = shellWord((std::string(runDir()) + "/kvUpgrade.x").c_str());
  snprintf(out, size, "%s %s", tool.c_str(), option);
}

void powerWatchAt(consoleApp& app, bool powerOff, bool restart, uint32_t now) {
  char cmd[512];
  if (holdExpired(powerOff, &app.powerOffSince, now)) {
    maintenanceCommand(cmd, sizeof cmd, "-s");
    runShell(cmd);
  }
  if (holdExpired(restart, &app.restartSince, now)) {
    printf("Forcing restart ...\n");
    fflush(stdout);
    maintenanceCommand(cmd, sizeof cmd, "-r");
    runShell(cmd);
  }
}

/* Items the master never set (or no data set at all) read as clear. */
void powerWatch(consoleApp& app) {
  bool powerOff = false;
  bool restart = false;
  if (app.cfg != nullptr) {
    if (app.cfg->readBool(itmPOWEROFF_CMD, &powerOff) != 0) powerOff = false;
    if (app.cfg->readBool(itmSYSRESTART_CMD, &restart) != 0) restart = false;
  }
  uint32_t now = 0;
  if (powerOff || restart) {
    kvTimeStamp ts;
    getTimeStamp(&ts);
    now = ts.sec;
  }
  powerWatchAt(app, powerOff, restart, now);
}
