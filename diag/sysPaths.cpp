/*
** Box defaults for the names and paths the console unit touches, each
** movable by one environment variable.
*/
#include "diag/sysPaths.h"

#include <cstdlib>

static const char* envOr(const char* name, const char* dflt) {
  const char* v = getenv(name);
  return (v != nullptr && v[0] != '\0') ? v : dflt;
}

const char* statusShmName() { return envOr("DOVA_STATUS_SHM", "/kvMainStatusShare"); }
const char* lcdDeviceOverride() { return envOr("DOVA_LCD_DEVICE", nullptr); }
const char* runDir() { return envOr("DOVA_RUN_DIR", "/mnt/run"); }
