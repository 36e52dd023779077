/*
** The display's side of the LCD link on a pty (see emuLine.h).
*/
#include "tools/lcdEmu/emuLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct keyName {
  const char* name;
  int code;
};
const keyName keyNames[] = {
    {"up", 1}, {"down", 2}, {"left", 3}, {"right", 4}, {"select", 5}, {"enter", 5},
    {"ok", 5}, {"x", 6},    {nullptr, 0},
};

}  // namespace

emuLine::emuLine()
    : silent(false), onChange(nullptr), changeCtx(nullptr), onFrame(nullptr), frameCtx(nullptr),
      master(-1), slave(-1), lastDue(0) {
  getTimeStamp(&start);
}

emuLine::~emuLine() { close(); }

int emuLine::open(std::string* slavePath) {
  master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
  const char* name = ptsname(master);
  if (name == nullptr) return -1;
  *slavePath = name;
  slave = ::open(name, O_RDWR | O_NOCTTY);
  if (slave < 0) return -1;
  struct termios t;
  if (tcgetattr(slave, &t) == 0) {
    cfmakeraw(&t);
    cfsetspeed(&t, B115200);
    tcsetattr(slave, TCSANOW, &t);
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  return 0;
}

void emuLine::close() {
  if (slave >= 0) ::close(slave);
  if (master >= 0) ::close(master);
  slave = master = -1;
}

int emuLine::keyCode(const char* name) {
  for (const keyName* k = keyNames; k->name; ++k)
    if (strcmp(k->name, name) == 0) return k->code;
  return 0;
}

int emuLine::pressKeys(const char* keys) {
  const char* plus = strchr(keys, '+');
  if (plus == nullptr) {
    int k = keyCode(keys);
    if (k == 0) return 1;
    if (k == KEY_X) {
      queueKey(KEY_X, 1);
      queueKey(KEY_X_RELEASED, 0);
    } else {
      queueKey(k, -1);
    }
    return 0;
  }
  std::string first(keys, (size_t)(plus - keys));
  int k = keyCode(plus + 1);
  if (first != "x" || k == 0 || k == KEY_X) return 1;
  queueKey(KEY_X, 1);
  queueKey(k, -1);
  queueKey(KEY_X_RELEASED, 0);
  return 0;
}

void emuLine::holdX() { queueKey(KEY_X, 1); }
void emuLine::releaseX() { queueKey(KEY_X_RELEASED, 0); }

void emuLine::queueKey(int code, int xAfter) {
  uint8_t data[1] = {(uint8_t)code};
  uint8_t frame[lcdFRAME_MAX];
  int n = lcdBuildFrame(lcdCMD_KEY, data, 1, frame);
  queueBytes(frame, n, xAfter, true);
}

void emuLine::queueBytes(const uint8_t* bytes, int n, int xAfter, bool spaced) {
  uint32_t now = nowMs();
  uint32_t due = spaced ? (lastDue + KEY_GAP_MS > now ? lastDue + KEY_GAP_MS : now) : now;
  if (spaced) lastDue = due;
  out.push_back(outgoing{due, std::vector<uint8_t>(bytes, bytes + n), xAfter});
}

/* Every byte of a frame goes out: a full line (the console not reading for
** a moment) is waited out for up to a second rather than dropping a key or
** an answer half way. */
void emuLine::writeAll(const uint8_t* bytes, size_t n) {
  size_t done = 0;
  for (int waits = 0; done < n;) {
    ssize_t w = write(master, bytes + done, n - done);
    if (w > 0) {
      done += (size_t)w;
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) {
      perror("lcdEmu: write");
      return;
    }
    struct pollfd p = {master, POLLOUT, 0};
    if (++waits > 100 || poll(&p, 1, 10) < 0) {
      fprintf(stderr, "lcdEmu: line full, frame dropped\n");
      return;
    }
  }
}

void emuLine::readLine() {
  uint8_t buf[lcdRING_SIZE];
  while (ring.room() > 0) {
    ssize_t n = read(master, buf, (size_t)ring.room());
    if (n <= 0) break;
    ring.push(buf, (int)n);
  }
  lcdFrame f;
  unsigned bad, calc;
  for (int r; (r = lcdParseFrame(ring, &f, false, &bad, &calc)) != lcdPARSE_NEED_MORE;) {
    if (r != lcdPARSE_FRAME) continue;
    if (onFrame != nullptr) onFrame(frameCtx, f);
    uint8_t reply[lcdFRAME_MAX];
    bool changed = false;
    int n = panel.handle(f, reply, &changed);
    if (n > 0 && !silent) writeAll(reply, (size_t)n);
    if (changed && onChange != nullptr) onChange(changeCtx);
  }
}

void emuLine::sendDue() {
  uint32_t now = nowMs();
  while (!out.empty() && out.front().dueMs <= now) {
    outgoing o = out.front();
    out.pop_front();
    if (o.xAfter >= 0) panel.xHeld = o.xAfter == 1;
    writeAll(o.bytes.data(), o.bytes.size());
  }
}
