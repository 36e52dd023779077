/*
** Maintenance actions: the factory reset's tool calls and the software
** update behind the menu's update screen (see maintenance.h).
**
** The update never blocks the display: the download and the installer run
** as shell pipes made non-blocking, and each draw of the update screen
** reads only what is waiting.  The download's progress is the size of the
** file growing under "<run dir>/update/", not what the tool prints.
*/
#include "app/maintenance.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/doVA.h"
#include "app/updateRequest.h"
#include "config/dataItem.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "diag/shellSeam.h"
#include "diag/sysPaths.h"
#include "diag/trace.h"
#include "menu/treeEditor.h"

namespace {

const char* const kFactoryResetCommands[] = {"./kvUpgrade.x -d", "./kvUpgrade.x -r", nullptr};

const char* const kUpdateTitle = " **Run Update?** ";
const char* const kUpdateBodyFormat =
    "!  %c to continue   !\n!  %c to cancel     !\n!!!!!!!!!!!!!!!!!!!!\n";
const int kConfirmGlyph = 2;  /* the display's glyphs for the confirm and */
const int kCancelGlyph = 1;   /* cancel keys */
const size_t kBoxUpdateDirLen = 16;  /* strlen("/mnt/run/update/") */
const size_t kReadChunk = 512;
const size_t kReadPerStep = 64 * 1024;  /* bounds one draw's work */

/* Decimal digits of a positive size. */
int decimalDigits(int64_t v) {
  int d = 1;
  while (v >= 10) {
    v /= 10;
    d++;
  }
  return d;
}

/* Size of a regular file; -1 when it cannot be opened or is no file. */
int64_t regularFileSize(const char* path) {
  FILE* f = fopen(path, "r");
  if (f == nullptr) return -1;
  struct stat st;
  int64_t size = -1;
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)) size = (int64_t)st.st_size;
  fclose(f);
  return size;
}

}  // namespace

void runFactoryDefaults() {
  for (const char* const* c = kFactoryResetCommands; *c != nullptr; ++c) runShell(*c);
}

std::string runDirShellPath(const char* relative) {
  std::string path = std::string(runDir()) + "/" + relative;
  return shellWord(path.c_str());
}

void downloadSizeText(char* out, int size, int64_t bytes) {
  int d = bytes > 0 ? decimalDigits(bytes) : 1;
  double b = (double)bytes;
  if (d < 4) snprintf(out, size, "%7dB", (int)bytes);
  else if (d <= 6) snprintf(out, size, "%7.3fkB", b / 1e3);
  else if (d <= 9) snprintf(out, size, "%7.3fMB", b / 1e6);
  else if (d <= 12) snprintf(out, size, "%7.3fGB", b / 1e9);
  else snprintf(out, size, "%7.3fTB", b / 1e12);
}

/* ------------------------------------------------------------------ */
/* The software update's steps                                          */
/* ------------------------------------------------------------------ */

const softwareUpdate::stepRow softwareUpdate::stepTable[] = {
    {STEP_ASK, &softwareUpdate::ask},
    {STEP_CONFIRMED, &softwareUpdate::confirmed},
    {STEP_START, &softwareUpdate::startDownload},
    {STEP_DOWNLOAD, &softwareUpdate::download},
    {STEP_INSTALL, &softwareUpdate::install},
    {STEP_CANCELED, &softwareUpdate::canceled},
    {STEP_FINISHED, &softwareUpdate::finished},
    {-1, nullptr},
};

softwareUpdate::~softwareUpdate() { closePipe(); }

int softwareUpdate::stepFn(void* ctx, int* step, char* text, int textSize) {
  if (ctx == nullptr || step == nullptr) return 0;
  return static_cast<softwareUpdate*>(ctx)->runStep(step, text, textSize);
}

int softwareUpdate::runStep(int* step, char* text, int textSize) {
  int result = 0;
  const stepRow* row = stepTable;
  while (row->step >= 0 && row->step != *step) ++row;
  if (row->step < 0) *step = STEP_FINISHED;  /* an unknown step ends the update */
  else result = (this->*row->action)(step);
  if (text != nullptr && textSize > 0) snprintf(text, (size_t)textSize, "%s", out);
  return result;
}

/* The confirmation; the step stays 0 until the operator answers, and a box
** dropped because another is shown is simply asked again next draw. */
int softwareUpdate::ask(int* step) {
  out[0] = '\0';
  outLen = 0;
  answerStep = step;
  treeEditor* fe = app ? app->frontEnd : nullptr;
  if (fe != nullptr && !fe->messageBoxShown()) {
    char body[80];
    snprintf(body, sizeof body, kUpdateBodyFormat, kConfirmGlyph, kCancelGlyph);
    fe->showMessageBox(kUpdateTitle, body, &softwareUpdate::answer, this);
  }
  return 2;
}

void softwareUpdate::answer(treeEditor* editor, bool yes) {
  softwareUpdate* u = static_cast<softwareUpdate*>(editor->messageBoxUser());
  if (u == nullptr || u->answerStep == nullptr) return;
  *u->answerStep = yes ? STEP_CONFIRMED : STEP_CANCELED;
  u->answerStep = nullptr;
  editor->refresh();
}

int softwareUpdate::confirmed(int* step) {
  printf("Downloading\n");
  fflush(stdout);
  *step = STEP_START;
  return 0;
}

void softwareUpdate::readUpdateItems() {
  memset(host, 0, sizeof host);
  fileName[0] = '\0';
  if (app == nullptr || app->cfg == nullptr) return;
  ip_addr_s ip{};
  if (app->cfg->readIp(itmUPDATE_HOST_IP, &ip) == 0)
    for (int i = 0; i < 4; i++) host[i] = ip.octet[i];
  app->cfg->readText(itmUPDATE_FILE, fileName, sizeof fileName);
}

/* The file name and host are item values any client can set: checked
** before anything runs (updateRequest.h). */
bool softwareUpdate::requestRefused() {
  data_itm_Base* item = app && app->cfg ? app->cfg->getItem(itmUPDATE_FILE) : nullptr;
  const char* valid = item && item->validChars && item->validChars[0] ? item->validChars : nullptr;
  if (!updateRequestRefused(host, fileName, valid, out, sizeof out)) return false;
  outLen = strlen(out);
  return true;
}

/* The file name is an item value: quoted unless it is plainly a name. */
int softwareUpdate::startDownload(int* step) {
  readUpdateItems();
  if (requestRefused()) {
    *step = STEP_FINISHED; /* nothing runs; the screen says why */
    return 0;
  }
  snprintf(localPath, sizeof localPath, "%s/update/%s", runDir(),
           strlen(fileName) + kBoxUpdateDirLen < (size_t)PATH_LIMIT ? fileName : "");
  char address[20];
  snprintf(address, sizeof address, "%u.%u.%u.%u", host[0], host[1], host[2], host[3]);
  std::string cmd = runDirShellPath("kvUpgrade.x") + " -t " + address + " " + shellWord(fileName);
  startPipe(cmd);
  *step = STEP_DOWNLOAD;
  return 0;
}

int softwareUpdate::download(int* step) {
  if (drainPipe(false) != 0) {
    int64_t size = regularFileSize(localPath);
    setDownloadText(size > 0 ? size : 0);
    return 0;
  }
  closePipe();
  int64_t size = regularFileSize(localPath);
  if (size < 0) {
    append("Error! No Such File", strlen("Error! No Such File"));
    *step = STEP_FINISHED;
    return 0;
  }
  if (size == 0) {
    append("\nError Downloading File(s)", strlen("\nError Downloading File(s)"));
    *step = STEP_FINISHED;
    return 0;
  }
  setDownloadText(size);
  append("\n", 1);
  std::string script = runDirShellPath("update/update.sh");
  startPipe("if [ -s " + script + " ] ; then " + script + " ; fi");
  *step = STEP_INSTALL;
  return 0;
}

int softwareUpdate::install(int* step) {
  if (drainPipe(true) == 0) {
    closePipe();
    *step = STEP_FINISHED;
  }
  return 1;
}

int softwareUpdate::canceled(int* step) {
  snprintf(out, sizeof out, "Upgrade canceled");
  outLen = strlen(out);
  *step = STEP_FINISHED;
  return 0;
}

int softwareUpdate::finished(int*) { return 0; }

void softwareUpdate::setDownloadText(int64_t bytes) {
  char size[32];
  downloadSizeText(size, sizeof size, bytes);
  snprintf(out, sizeof out, "Downloaded %s\nIP: %u.%u.%u.%u\n%s", size, host[0], host[1],
           host[2], host[3], fileName);
  outLen = strlen(out);
}

void softwareUpdate::append(const char* text, size_t len) {
  size_t room = sizeof out - 1 - outLen;
  if (len > room) len = room;
  memcpy(out + outLen, text, len);
  outLen += len;
  out[outLen] = '\0';
}

/* What an installer prints is untrusted: a NUL would hide the rest of the
** text and control characters would upset the display, so line feeds stay,
** carriage returns go and other control characters become blanks. */
void softwareUpdate::appendPrintable(const char* text, size_t len) {
  char clean[kReadChunk];
  size_t n = 0;
  for (size_t i = 0; i < len; i++) {
    unsigned char c = (unsigned char)text[i];
    if (c == '\r' || c == '\0') continue;
    clean[n++] = (c < 0x20 && c != '\n') || c == 0x7f ? ' ' : (char)c;
    if (n == sizeof clean) {
      append(clean, n);
      n = 0;
    }
  }
  append(clean, n);
}

/* ------------------------------------------------------------------ */
/* Pipes                                                                */
/* ------------------------------------------------------------------ */

bool softwareUpdate::startPipe(const std::string& command) {
  closePipe();
  TRACE(app ? app->pTraceLevel : nullptr, 1, "Software update runs: %s\n", command.c_str());
  pipe = openShell(command.c_str(), "r");
  if (pipe == nullptr) return false;
  int fd = fileno(pipe);
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  return true;
}

void softwareUpdate::closePipe() {
  if (pipe == nullptr) return;
  closeShell(pipe);
  pipe = nullptr;
}

/* Reads what is waiting, bypassing stdio so nothing is held back in its
** buffer.  A missing pipe counts as ended output. */
int softwareUpdate::drainPipe(bool keep) {
  if (pipe == nullptr) return 0;
  int fd = fileno(pipe);
  char buf[kReadChunk];
  for (size_t total = 0; total < kReadPerStep;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      if (keep) appendPrintable(buf, (size_t)n);
      total += (size_t)n;
      continue;
    }
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? 1 : 0;
  }
  return 1;
}

void attachSoftwareUpdate(consoleApp& app) {
  static softwareUpdate update;
  update.setApp(&app);
  if (app.frontEnd != nullptr) app.frontEnd->setUpdateStep(&softwareUpdate::stepFn, &update);
}
