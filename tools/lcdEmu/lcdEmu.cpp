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
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "diag/cppUtils.h"
#include "frontpanel/lcdFrame.h"
#include "tools/lcdEmu/emuPanel.h"

namespace {

const int KEY_GAP_MS = 80;
const int POLL_MS = 5;

volatile sig_atomic_t stopNow = 0;
void onSignal(int) { stopNow = 1; }

struct keyName {
  const char* name;
  int code;
};
const keyName keyNames[] = {
    {"up", 1}, {"down", 2}, {"left", 3}, {"right", 4}, {"select", 5}, {"enter", 5},
    {"ok", 5}, {"x", 6},    {nullptr, 0},
};
int keyCode(const char* name) {
  for (const keyName* k = keyNames; k->name; ++k)
    if (strcmp(k->name, name) == 0) return k->code;
  return 0;
}

/* A frame waiting for its time; xAfter: X held after it is sent (-1 as is). */
struct outgoing {
  uint32_t dueMs;
  std::vector<uint8_t> bytes;
  int xAfter;
};

struct emulator {
  int master = -1;
  int slave = -1;
  emuPanel panel;
  lcdRxRing ring;
  std::deque<outgoing> out;
  bool dumpOnChange = false;
  bool silent = false;
  bool quit = false;
  kvTimeStamp start;
  uint32_t lastDue = 0;
  std::string stdinLine;
};

uint32_t nowMs(emulator& e) { return elapsedMs(&e.start); }

void printDump(emulator& e) {
  fputs(e.panel.dump().c_str(), stdout);
  fflush(stdout);
}

void queueBytes(emulator& e, const uint8_t* b, int n, int xAfter, bool spaced) {
  uint32_t now = nowMs(e);
  uint32_t due = spaced ? (e.lastDue + KEY_GAP_MS > now ? e.lastDue + KEY_GAP_MS : now) : now;
  if (spaced) e.lastDue = due;
  e.out.push_back(outgoing{due, std::vector<uint8_t>(b, b + n), xAfter});
}

void queueKey(emulator& e, int k, int xAfter) {
  uint8_t data[1] = {(uint8_t)k};
  uint8_t frame[lcdFRAME_MAX];
  int n = lcdBuildFrame(lcdCMD_KEY, data, 1, frame);
  queueBytes(e, frame, n, xAfter, true);
}

/* "x", "up", "x+select", ... */
int keyCommand(emulator& e, const char* keys) {
  const char* plus = strchr(keys, '+');
  if (plus == nullptr) {
    int k = keyCode(keys);
    if (k == 0) return 1;
    if (k == 6) {
      queueKey(e, 6, 1);
      queueKey(e, 12, 0);
    } else {
      queueKey(e, k, -1);
    }
    return 0;
  }
  std::string first(keys, (size_t)(plus - keys));
  int k = keyCode(plus + 1);
  if (first != "x" || k == 0 || k == 6) return 1;
  queueKey(e, 6, 1);
  queueKey(e, k, -1);
  queueKey(e, 12, 0);
  return 0;
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

int cmdKey(emulator& e, const char* a) { return keyCommand(e, a); }
int cmdHold(emulator& e, const char* a) {
  if (strcmp(a, "x") != 0) return 1;
  queueKey(e, 6, 1);
  return 0;
}
int cmdRelease(emulator& e, const char* a) {
  if (strcmp(a, "x") != 0) return 1;
  queueKey(e, 12, 0);
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
  e.silent = strcmp(a, "off") != 0;
  return 0;
}
int cmdKeyState(emulator& e, const char* a) {
  e.panel.forcedKeyBits = atoi(a) & 0xFF;
  return 0;
}
int cmdRaw(emulator& e, const char* a) {
  std::vector<uint8_t> b;
  if (hexBytes(a, &b) != 0 || b.empty()) return 1;
  queueBytes(e, b.data(), (int)b.size(), -1, false);
  return 0;
}
int cmdFrame(emulator& e, const char* a) {
  std::vector<uint8_t> b;
  if (hexBytes(a, &b) != 0 || b.empty() || b.size() > 1 + lcdFRAME_MAX_DATA) return 1;
  uint8_t frame[lcdFRAME_MAX];
  int n = lcdBuildFrame(b[0], b.data() + 1, (int)b.size() - 1, frame);
  queueBytes(e, frame, n, -1, true);
  return 0;
}
int cmdState(emulator& e, const char*) {
  printf("%s frames %d powerup %d user %d %d %d %d\n", e.panel.stateLine().c_str(),
         e.panel.frames, e.panel.powerUpStores, e.panel.user[0], e.panel.user[1],
         e.panel.user[2], e.panel.user[3]);
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

/* ---- the line --------------------------------------------------------------- */

/* Every byte of a frame goes out: a full line (the console not reading for
** a moment) is waited out for up to a second rather than dropping a key or
** an answer half way. */
void writeAll(int fd, const uint8_t* bytes, size_t n) {
  size_t done = 0;
  for (int waits = 0; done < n;) {
    ssize_t w = write(fd, bytes + done, n - done);
    if (w > 0) {
      done += (size_t)w;
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) {
      perror("lcdEmu: write");
      return;
    }
    struct pollfd p = {fd, POLLOUT, 0};
    if (++waits > 100 || poll(&p, 1, 10) < 0) {
      fprintf(stderr, "lcdEmu: line full, frame dropped\n");
      return;
    }
  }
}

void readLine(emulator& e) {
  uint8_t buf[lcdRING_SIZE];
  while (e.ring.room() > 0) {
    ssize_t n = read(e.master, buf, (size_t)e.ring.room());
    if (n <= 0) break;
    e.ring.push(buf, (int)n);
  }
  lcdFrame f;
  unsigned bad, calc;
  for (int r; (r = lcdParseFrame(e.ring, &f, false, &bad, &calc)) != lcdPARSE_NEED_MORE;) {
    if (r != lcdPARSE_FRAME) continue;
    uint8_t reply[lcdFRAME_MAX];
    bool changed = false;
    int n = e.panel.handle(f, reply, &changed);
    if (n > 0 && !e.silent) writeAll(e.master, reply, (size_t)n);
    if (changed && e.dumpOnChange) printDump(e);
  }
}

void sendDue(emulator& e) {
  uint32_t now = nowMs(e);
  while (!e.out.empty() && e.out.front().dueMs <= now) {
    outgoing o = e.out.front();
    e.out.pop_front();
    if (o.xAfter >= 0) e.panel.xHeld = o.xAfter == 1;
    writeAll(e.master, o.bytes.data(), o.bytes.size());
  }
}

/* The emulator keeps a slave descriptor of its own open, so the line does
** not hang up between two runs of the console unit, and sets it raw. */
int openPty(emulator& e, std::string* slavePath) {
  e.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (e.master < 0 || grantpt(e.master) != 0 || unlockpt(e.master) != 0) return 1;
  const char* name = ptsname(e.master);
  if (name == nullptr) return 1;
  *slavePath = name;
  e.slave = open(name, O_RDWR | O_NOCTTY);
  if (e.slave < 0) return 1;
  struct termios t;
  if (tcgetattr(e.slave, &t) == 0) {
    cfmakeraw(&t);
    cfsetspeed(&t, B115200);
    tcsetattr(e.slave, TCSANOW, &t);
  }
  fcntl(e.master, F_SETFL, fcntl(e.master, F_GETFL) | O_NONBLOCK);
  return 0;
}

void usage() {
  printf("lcdEmu.x [-o file] [-w] [-r] [-h]\n"
         "  the front-panel LCD module on a pseudo-terminal; start doVA.x with\n"
         "  DOVA_LCD_DEVICE=<the printed slave path>\n"
         "  -o file  also write the slave path into file\n"
         "  -w       dump the screen on every change\n"
         "  -r       answer with bit 6 set in the command byte\n"
         "  -h       this help\n"
         "commands on standard input:\n");
  for (const commandRow* c = commands; c->name; ++c) printf("  %s\n", c->help);
}

}  // namespace

int main(int argc, char** argv) {
  emulator e;
  const char* pathFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      pathFile = argv[++i];
    } else if (strcmp(argv[i], "-w") == 0) {
      e.dumpOnChange = true;
    } else if (strcmp(argv[i], "-r") == 0) {
      e.panel.replyBit6 = true;
    } else {
      usage();
      return strcmp(argv[i], "-h") == 0 ? 0 : 2;
    }
  }
  std::string slavePath;
  if (openPty(e, &slavePath) != 0) {
    fprintf(stderr, "lcdEmu: cannot open a pseudo-terminal: %s\n", strerror(errno));
    return 1;
  }
  signal(SIGTERM, onSignal);
  signal(SIGINT, onSignal);
  signal(SIGPIPE, SIG_IGN);
  getTimeStamp(&e.start);
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
  bool stdinOpen = true;
  while (!stopNow && !e.quit) {
    struct pollfd p[2] = {{e.master, POLLIN, 0}, {0, POLLIN, 0}};
    int n = poll(p, stdinOpen ? 2 : 1, POLL_MS);
    if (n > 0 && (p[0].revents & POLLIN)) readLine(e);
    if (n > 0 && stdinOpen && (p[1].revents & (POLLIN | POLLHUP | POLLERR)))
      stdinOpen = readStdin(e);
    sendDue(e);
  }
  close(e.slave);
  close(e.master);
  return 0;
}
