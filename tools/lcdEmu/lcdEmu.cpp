/*
** lcdEmu.x: the front-panel LCD module's firmware on a pseudo-terminal.
** doVA.x runs its menu on it when started with DOVA_LCD_DEVICE set to the
** slave path this program prints ("LCD device: /dev/pts/N").
**
** Keys and inspection come from standard input, one command a line (see
** the command table below, or -h).  Keys are sent 80 ms apart, so the
** console unit has asked for the key state before the next key arrives,
** as with fingers on the real panel.
*/
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "diag/numParse.h"
#include "diag/stopSignals.h"
#include "frontpanel/lcdFrame.h"
#include "tools/lcdEmu/emuLine.h"
#include "tools/lcdEmu/panelView.h"

namespace {

const int POLL_MS = 5;

volatile sig_atomic_t stopNow = 0;
void onSignal(int) { stopNow = 1; }

struct emulator {
  emuLine line;
  bool dumpOnChange = false;
  bool view = false;   /* -v: the panel drawn in this terminal */
  bool quit = false;
  std::string stdinLine;
};

void printDump(emulator& e) {
  fputs(e.line.panel.dump().c_str(), stdout);
  fflush(stdout);
}

void dumpIfWatching(void* ctx) {
  emulator& e = *(emulator*)ctx;
  if (e.dumpOnChange) printDump(e);
}

int hexBytes(const char* args, std::vector<uint8_t>* bytes) {
  char* end = nullptr;
  for (const char* p = args; *p;) {
    while (*p == ' ') ++p;
    if (!*p) break;
    long v = strtol(p, &end, 16);
    if (end == p || v < 0 || v > 255) return 1;
    bytes->push_back((uint8_t)v);
    p = end;
  }
  return 0;
}

/* ---- the command language ----------------------------------------------- */

typedef int (*cmdFn)(emulator& e, const char* args);

int cmdKey(emulator& e, const char* a) { return e.line.pressKeys(a); }
int cmdHold(emulator& e, const char* a) {
  if (strcmp(a, "x") != 0) return 1;
  e.line.holdX();
  return 0;
}
int cmdRelease(emulator& e, const char* a) {
  if (strcmp(a, "x") != 0) return 1;
  e.line.releaseX();
  return 0;
}
int cmdDump(emulator& e, const char*) {
  printDump(e);
  return 0;
}
int cmdWatch(emulator& e, const char* a) {
  e.dumpOnChange = strcmp(a, "off") != 0;
  return 0;
}
int cmdSilent(emulator& e, const char* a) {
  e.line.silent = strcmp(a, "off") != 0;
  return 0;
}
int cmdKeyState(emulator& e, const char* a) {
  e.line.panel.forcedKeyBits = atoiSat(a) & 0xFF;
  return 0;
}
int cmdRaw(emulator& e, const char* a) {
  std::vector<uint8_t> b;
  if (hexBytes(a, &b) != 0 || b.empty()) return 1;
  e.line.queueBytes(b.data(), (int)b.size(), -1, false);
  return 0;
}
int cmdFrame(emulator& e, const char* a) {
  std::vector<uint8_t> b;
  if (hexBytes(a, &b) != 0 || b.empty() || b.size() > 1 + lcdFRAME_MAX_DATA) return 1;
  uint8_t frame[lcdFRAME_MAX];
  int n = lcdBuildFrame(b[0], b.data() + 1, (int)b.size() - 1, frame);
  e.line.queueBytes(frame, n, -1, true);
  return 0;
}
int cmdState(emulator& e, const char*) {
  const emuPanel& p = e.line.panel;
  printf("%s frames %d powerup %d user %d %d %d %d\n", p.stateLine().c_str(), p.frames,
         p.powerUpStores, p.user[0], p.user[1], p.user[2], p.user[3]);
  fflush(stdout);
  return 0;
}
int cmdQuit(emulator& e, const char*) {
  e.quit = true;
  return 0;
}

struct commandRow {
  const char* name;
  cmdFn fn;
  const char* help;
};
const commandRow commands[] = {
    {"key", cmdKey, "key up|down|left|right|select|enter|x|x+KEY   press (and release) keys"},
    {"hold", cmdHold, "hold x                 press X and keep it down"},
    {"release", cmdRelease, "release x              let X go"},
    {"dump", cmdDump, "dump                   print the screen and state, ended by END"},
    {"watch", cmdWatch, "watch on|off           dump on every screen change"},
    {"state", cmdState, "state                  print cursor, lights, frames, user settings"},
    {"silent", cmdSilent, "silent on|off          stop/start answering the console unit"},
    {"keystate", cmdKeyState, "keystate N             extra bits of the key state answer"},
    {"raw", cmdRaw, "raw HH HH ...          send bytes as they are (garbage, partial frames)"},
    {"frame", cmdFrame, "frame CMD HH ...       send a frame with its check value"},
    {"quit", cmdQuit, "quit                   end the emulator"},
    {nullptr, nullptr, nullptr},
};

void runCommand(emulator& e, std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  size_t sp = line.find(' ');
  std::string name = line.substr(0, sp);
  std::string args = sp == std::string::npos ? "" : line.substr(sp + 1);
  if (name.empty()) return;
  for (const commandRow* c = commands; c->name; ++c) {
    if (name != c->name) continue;
    if (c->fn(e, args.c_str()) != 0) printf("? bad arguments: %s\n", line.c_str());
    fflush(stdout);
    return;
  }
  printf("? unknown command: %s\n", name.c_str());
  fflush(stdout);
}

/* Returns false at the end of input. */
bool readStdin(emulator& e) {
  char buf[512];
  ssize_t n = read(0, buf, sizeof buf);
  if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return false;
  if (n < 0) return true;
  for (ssize_t i = 0; i < n; ++i) {
    if (buf[i] != '\n') {
      if (e.stdinLine.size() < 4096) e.stdinLine += buf[i];
      continue;
    }
    runCommand(e, e.stdinLine);
    e.stdinLine.clear();
  }
  return true;
}

void usage() {
  printf("lcdEmu.x [-o file] [-w] [-r] [-v] [-h]\n"
         "  the front-panel LCD module on a pseudo-terminal; start doVA.x with\n"
         "  DOVA_LCD_DEVICE=<the printed slave path>\n"
         "  -o file  also write the slave path into file\n"
         "  -w       dump the screen on every change\n"
         "  -r       answer with bit 6 set in the command byte\n"
         "  -v       draw the panel in this terminal and take its keys (arrows,\n"
         "           Enter = select, x = X, Space then a key = X+key, q quits)\n"
         "           instead of reading commands\n"
         "  -h       this help\n"
         "commands on standard input:\n");
  for (const commandRow* c = commands; c->name; ++c) printf("  %s\n", c->help);
}

}  // namespace

int main(int argc, char** argv) {
  emulator e;
  e.line.onChange = dumpIfWatching;
  e.line.changeCtx = &e;
  const char* pathFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      pathFile = argv[++i];
    } else if (strcmp(argv[i], "-w") == 0) {
      e.dumpOnChange = true;
    } else if (strcmp(argv[i], "-v") == 0) {
      e.view = true;
    } else if (strcmp(argv[i], "-r") == 0) {
      e.line.panel.replyBit6 = true;
    } else {
      usage();
      return strcmp(argv[i], "-h") == 0 ? 0 : 2;
    }
  }
  std::string slavePath;
  if (e.line.open(&slavePath) != 0) {
    fprintf(stderr, "lcdEmu: cannot open a pseudo-terminal: %s\n", strerror(errno));
    return 1;
  }
  installStopSignals(onSignal);
  if (pathFile != nullptr) {
    FILE* f = fopen(pathFile, "w");
    if (f == nullptr) {
      fprintf(stderr, "lcdEmu: cannot write %s\n", pathFile);
      return 1;
    }
    fprintf(f, "%s\n", slavePath.c_str());
    fclose(f);
  }
  printf("LCD device: %s\n", slavePath.c_str());
  fflush(stdout);
  if (e.view) {
    int rc = runPanelView(e.line, slavePath, &stopNow);
    e.line.close();
    return rc;
  }
  bool stdinOpen = true;
  while (!stopNow && !e.quit) {
    struct pollfd p[2] = {{e.line.fd(), POLLIN, 0}, {0, POLLIN, 0}};
    int n = poll(p, stdinOpen ? 2 : 1, POLL_MS);
    if (n > 0 && (p[0].revents & POLLIN)) e.line.readLine();
    if (n > 0 && stdinOpen && (p[1].revents & (POLLIN | POLLHUP | POLLERR)))
      stdinOpen = readStdin(e);
    e.line.sendDue();
  }
  e.line.close();
  return 0;
}
