/*
** Maintenance actions of the console unit: the factory reset's tool calls
** and the software update that the menu's update screen (337) runs step
** by step.  Everything reaches the system through the shell seam
** (diag/shellSeam.h); the maintenance tool and the update directory live
** in the run directory (diag/sysPaths.h, "/mnt/run" on the box).
**
** Restart and power down are powerWatch's (powerWatch.cpp); the alerts
** that announce them are the display loop's (displayLoop.cpp).
**
** Software update steps (one per draw of the update screen):
**   0  clear the text, ask " **Run Update?** "; the answer sets 6 or 5
**   6  print "Downloading"                                        -> 3
**   3  start "<run>/kvUpgrade.x -t a.b.c.d <file>", non-blocking    -> 4
**   4  show the download's size; at its end check the file and
**      start "<run>/update/update.sh" (-> 2), or report (-> 1)
**   2  append the installer's output; at its end close it          -> 1
**   5  "Upgrade canceled"                                          -> 1
**   1  finished: the text stays
*/
#ifndef APP_MAINTENANCE_H
#define APP_MAINTENANCE_H

#include <cstdint>
#include <cstdio>
#include <string>

struct consoleApp;
class treeEditor;

/* The factory reset's tool calls, in order: "./kvUpgrade.x -d" (wipe the
** configuration) then "./kvUpgrade.x -r" (restart).  Both are relative to
** the process's working directory; results are not examined. */
void runFactoryDefaults();

/* "<run dir>/<relative>", single-quoted for the shell only when it holds
** anything but letters, digits and "/._-+". */
std::string runDirShellPath(const char* relative);

/* Size text of the download screen: "%7dB" below 4 digits, then
** "%7.3fkB", "%7.3fMB", "%7.3fGB", "%7.3fTB" by the number of digits. */
void downloadSizeText(char* out, int size, int64_t bytes);

class softwareUpdate {
public:
  enum {
    STEP_ASK = 0,
    STEP_FINISHED = 1,
    STEP_INSTALL = 2,
    STEP_START = 3,
    STEP_DOWNLOAD = 4,
    STEP_CANCELED = 5,
    STEP_CONFIRMED = 6,
    OUTPUT_SIZE = 2048,   /* the screen's text, terminator included */
    FILE_NAME_MAX = 119,  /* of the update file in the download command */
    PATH_LIMIT = 60       /* "/mnt/run/update/" + name stays below this */
  };

  explicit softwareUpdate(consoleApp* app = nullptr) : app(app) {}
  ~softwareUpdate();  /* closes a pipe still open */
  softwareUpdate(const softwareUpdate&) = delete;
  softwareUpdate& operator=(const softwareUpdate&) = delete;

  void setApp(consoleApp* a) { app = a; }
  /* One step: runs *step, sets the next one, copies the output text into
  ** text (NUL-terminated, cut to textSize).  Returns the step's result. */
  int runStep(int* step, char* text, int textSize);
  /* The treeUpdateStepFn the editor calls; ctx is a softwareUpdate. */
  static int stepFn(void* ctx, int* step, char* text, int textSize);

  const char* output() const { return out; }
  const char* downloadPath() const { return localPath; }
  bool pipeOpen() const { return pipe != nullptr; }

private:
  typedef int (softwareUpdate::*stepAction)(int* step);
  struct stepRow {
    int step;
    stepAction action;
  };
  static const stepRow stepTable[];

  int ask(int* step);
  int confirmed(int* step);
  int startDownload(int* step);
  int download(int* step);
  int install(int* step);
  int canceled(int* step);
  int finished(int* step);

  static void answer(treeEditor* editor, bool yes);
  bool startPipe(const std::string& command);
  void closePipe();
  /* Non-blocking read: 1 something read (or nothing yet), 0 output ended. */
  int drainPipe(bool keep);
  void append(const char* text, size_t len);
  void appendPrintable(const char* text, size_t len);
  void setDownloadText(int64_t bytes);
  void readUpdateItems();
  bool requestRefused(); /* a refused name or host: out says why */

  consoleApp* app;
  FILE* pipe = nullptr;
  int* answerStep = nullptr;  /* the editor's step, set by the answer */
  char out[OUTPUT_SIZE] = {0};
  size_t outLen = 0;
  uint8_t host[4] = {0, 0, 0, 0};
  char fileName[FILE_NAME_MAX + 1] = {0};
  char localPath[1024] = {0};
};

/* Give the front end the update screen's step function (after its init). */
void attachSoftwareUpdate(consoleApp& app);

#endif
