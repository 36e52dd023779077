/*
** Test support: the display's firmware on a pseudo-terminal (see
** ptyDisplay.h).
*/
#include "frontpanel/tests/ptyDisplay.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

ptyDisplay::ptyDisplay() : silent(false), stop(false) {
  master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
  slavePath = ptsname(master);
  slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
  struct termios t;
  if (slave >= 0 && tcgetattr(slave, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  worker = std::thread([this] { run(); });
}

void ptyDisplay::hangUp() {
  stop = true;
  if (worker.joinable()) worker.join();
  if (slave >= 0) close(slave);
  if (master >= 0) close(master);
  slave = master = -1;
}

ptyDisplay::~ptyDisplay() {
  stop = true;
  if (worker.joinable()) worker.join();
  if (selected) {
    if (hadEnv) setenv("DOVA_LCD_DEVICE", savedEnv.c_str(), 1);
    else unsetenv("DOVA_LCD_DEVICE");
  }
  if (slave >= 0) close(slave);
  if (master >= 0) close(master);
}

void ptyDisplay::select() {
  const char* old = getenv("DOVA_LCD_DEVICE");
  hadEnv = old != nullptr;
  if (old) savedEnv = old;
  selected = true;
  setenv("DOVA_LCD_DEVICE", slavePath.c_str(), 1);
}

void ptyDisplay::run() {
  lcdRxRing ring;
  while (!stop) {
    struct pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, 2) <= 0) continue;
    uint8_t buf[lcdRING_SIZE];
    ssize_t n = read(master, buf, (size_t)ring.room());
    if (n > 0) ring.push(buf, (int)n);
    lcdFrame f;
    unsigned bad, calc;
    for (int r; (r = lcdParseFrame(ring, &f, false, &bad, &calc)) != lcdPARSE_NEED_MORE;) {
      if (r != lcdPARSE_FRAME) continue;
      uint8_t reply[lcdFRAME_MAX];
      bool changed;
      int len;
      {
        std::lock_guard<std::mutex> g(mu);
        frameBytes fb = {f.command, f.length};
        fb.insert(fb.end(), f.data, f.data + f.length);
        received.push_back(fb);
        len = panel.handle(f, reply, &changed);
      }
      if (len > 0 && !silent && !writeAll(reply, (size_t)len)) break;
    }
  }
}

void ptyDisplay::inject(const std::vector<uint8_t>& bytes) {
  if (master < 0) return;
  (void)writeAll(bytes.data(), bytes.size());
}

static long monoMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

/* A non-blocking write on a pty master fails with EAGAIN while another
** thread is inside a write on it, and when the line is full: the firmware
** thread's answers and the test's injected keys would then be lost now and
** then.  So writers take turns and a refused write is retried, for at most
** writeWaitMs of the clock (the wait for the other writer included), until
** every byte is out. */
bool ptyDisplay::writeAll(const uint8_t* bytes, size_t n) {
  long deadline = monoMs() + writeWaitMs;
  std::unique_lock<std::mutex> g(writeMu, std::defer_lock);
  while (!g.try_lock()) {
    if (monoMs() >= deadline) return false;
    usleep(500);
  }
  while (n > 0) {
    ssize_t w = write(master, bytes, n);
    if (w > 0) {
      bytes += w;
      n -= (size_t)w;
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (monoMs() >= deadline) return false;
    usleep(1000);
  }
  return true;
}

void ptyDisplay::key(int k) { inject(wireFrame(lcdCMD_KEY, {(uint8_t)k})); }

std::vector<frameBytes> ptyDisplay::frames() {
  std::lock_guard<std::mutex> g(mu);
  return received;
}

std::vector<frameBytes> ptyDisplay::framesOf(int command) {
  std::vector<frameBytes> out;
  for (const frameBytes& f : frames())
    if (f[0] == command) out.push_back(f);
  return out;
}

void ptyDisplay::clearFrames() {
  std::lock_guard<std::mutex> g(mu);
  received.clear();
}

std::vector<uint8_t> wireFrame(uint8_t command, const std::vector<uint8_t>& data) {
  uint8_t out[lcdFRAME_MAX];
  int n = lcdBuildFrame(command, data.data(), (int)data.size(), out);
  return std::vector<uint8_t>(out, out + n);
}
