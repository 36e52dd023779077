/*
** webPanel.x: the front panel in a browser.  It plays the LCD module on a
** pseudo-terminal with the same firmware emulation as lcdEmu.x, and serves
** the panel (display, LEDs, keys) to every browser that opens its address.
** doVA.x runs its menu on it when started with DOVA_LCD_DEVICE set to the
** slave path this program prints ("LCD device: /dev/pts/N").
**
** One thread owns the line: it answers the console's frames, publishes the
** display's state to the web side after every change and sends the keys
** the pages gave, in the order they came, spaced as fingers would.
*/
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <vector>

#include "diag/stopSignals.h"
#include "tools/lcdEmu/emuLine.h"
#include "tools/webPanel/panelServer.h"
#include "tools/webPanel/panelState.h"

namespace {

const int POLL_MS = 5;
/* The console asks the display something at least every couple of seconds
** while it runs; longer silence shows as "no console" on the pages. */
const uint32_t SILENT_MS = 5000;
/* Keys waiting on the line beyond this are dropped: a flood from a page
** must not queue minutes of key presses for the console. */
const size_t LINE_KEYS_MAX = 16;

volatile sig_atomic_t stopNow = 0;
void onSignal(int) { stopNow = 1; }

struct webPanel {
  emuLine line;
  panelServer server;
  bool dirty = true;
  int framesSeen = 0;
  uint32_t lastFrameMs = 0;
  bool link = false;
};

void takeKeys(webPanel& w) {
  std::vector<int> keys;
  w.server.takeKeys(&keys);
  for (int k : keys) {
    if (k != emuLine::KEY_X_RELEASED && w.line.waiting() >= LINE_KEYS_MAX) continue;
    if (k == emuLine::KEY_X) w.line.holdX();
    else if (k == emuLine::KEY_X_RELEASED) w.line.releaseX();
    else w.line.queueKey(k, -1);
  }
}

/* Every frame tells that a console is there; backlight and contrast
** frames change the page without changing the screen, so any frame makes
** a new state (publish drops one equal to the last). */
void watchLink(webPanel& w) {
  uint32_t now = w.line.nowMs();
  if (w.line.panel.frames != w.framesSeen) {
    w.framesSeen = w.line.panel.frames;
    w.lastFrameMs = now;
    w.dirty = true;
  }
  bool link = w.framesSeen > 0 && now - w.lastFrameMs < SILENT_MS;
  if (link != w.link) {
    w.link = link;
    w.dirty = true;
  }
}

void usage(FILE* to) {
  fprintf(to,
          "webPanel.x [-l ADDRESS:PORT] [-u FILE] [-o FILE] [-r] [-h]\n"
          "  the front-panel LCD module on a pseudo-terminal, shown and operated in a\n"
          "  browser; start doVA.x with DOVA_LCD_DEVICE=<the printed slave path>\n"
          "  -l ADDRESS:PORT  serve on this IPv4 address and port (default 127.0.0.1:8080;\n"
          "                   port 0: any free port)\n"
          "  -u FILE          every request needs a login from FILE, htdigest-style lines\n"
          "                   user:%s:md5(user:%s:password)\n"
          "  -o FILE          also write the slave path into FILE\n"
          "  -r               answer with bit 6 set in the command byte\n"
          "  -h               this help\n",
          panelServer::REALM, panelServer::REALM);
}

}  // namespace

int main(int argc, char** argv) {
  webPanel w;
  std::string listen = "127.0.0.1:8080";
  std::string users;
  const char* pathFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    bool hasArg = i + 1 < argc;
    if (strcmp(argv[i], "-l") == 0 && hasArg) {
      listen = argv[++i];
    } else if (strcmp(argv[i], "-u") == 0 && hasArg) {
      users = argv[++i];
    } else if (strcmp(argv[i], "-o") == 0 && hasArg) {
      pathFile = argv[++i];
    } else if (strcmp(argv[i], "-r") == 0) {
      w.line.panel.replyBit6 = true;
    } else if (strcmp(argv[i], "-h") == 0) {
      usage(stdout);
      return 0;
    } else {
      fprintf(stderr, "webPanel: unknown or incomplete switch '%s'\n", argv[i]);
      usage(stderr);
      return 2;
    }
  }
  std::string slavePath;
  if (w.line.open(&slavePath) != 0) {
    fprintf(stderr, "webPanel: cannot open a pseudo-terminal: %s\n", strerror(errno));
    return 1;
  }
  installStopSignals(onSignal);
  signal(SIGPIPE, SIG_IGN);
  std::string why;
  if (w.server.start(listen, users, &why) != 0) {
    fprintf(stderr, "webPanel: %s\n", why.c_str());
    return 1;
  }
  if (pathFile != nullptr) {
    FILE* f = fopen(pathFile, "w");
    if (f == nullptr) {
      fprintf(stderr, "webPanel: cannot write %s: %s\n", pathFile, strerror(errno));
      return 1;
    }
    fprintf(f, "%s\n", slavePath.c_str());
    fclose(f);
  }
  if (!w.server.loopbackOnly() && users.empty())
    fprintf(stderr,
            "webPanel: warning: serving on %s without -u: anyone who reaches this address "
            "can operate the panel\n",
            w.server.address().c_str());
  printf("LCD device: %s\n", slavePath.c_str());
  printf("Web panel: http://%s/\n", w.server.address().c_str());
  fflush(stdout);
  while (!stopNow) {
    struct pollfd p[2] = {{w.line.fd(), POLLIN, 0}, {w.server.wakeFd(), POLLIN, 0}};
    int n = poll(p, 2, POLL_MS);
    if (n > 0 && (p[0].revents & POLLIN)) w.line.readLine();
    if (n > 0 && (p[1].revents & POLLIN)) takeKeys(w);
    w.line.sendDue();
    watchLink(w);
    if (w.dirty) {
      w.dirty = false;
      w.server.publish(panelStateJson(w.line.panel, w.link));
    }
  }
  /* the display goes silent at once; civetweb then takes a second or two to
  ** close the pages and join its threads */
  w.line.close();
  w.server.stop();
  return 0;
}
