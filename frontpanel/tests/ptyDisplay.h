/*
** The front-panel display on a real pseudo-terminal: a thread runs the
** emulator's line (pty pair and firmware), keeps every frame it receives
** and puts the test's keys and raw bytes on the line.
*/
#ifndef FRONTPANEL_TESTS_PTYDISPLAY_H
#define FRONTPANEL_TESTS_PTYDISPLAY_H

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

#include "tools/lcdEmu/emuLine.h"

/* One received frame as bytes: command, length, data (no check value). */
typedef std::vector<uint8_t> frameBytes;

class ptyDisplay {
public:
  ptyDisplay() {
    opened = line.open(&slavePath) == 0;
    line.frameCtx = this;
    line.onFrame = [](void* me, const lcdFrame& f) {
      ptyDisplay* d = static_cast<ptyDisplay*>(me);
      std::lock_guard<std::mutex> g(d->mu);
      d->received.push_back(frameBytes{f.command, f.length});
      d->received.back().insert(d->received.back().end(), f.data, f.data + f.length);
    };
    if (opened) worker = std::thread([this] {
      while (!stop) {
        struct pollfd p = {line.fd(), POLLIN, 0};
        poll(&p, 1, 2);
        std::vector<send> now;
        {
          std::lock_guard<std::mutex> g(mu);
          now.swap(pending);
        }
        std::lock_guard<std::mutex> g(lineMu);
        for (const send& s : now)
          if (s.key) line.queueKey(s.key, s.xAfter);
          else line.queueBytes(s.bytes.data(), (int)s.bytes.size(), -1, false);
        line.readLine();
        line.sendDue();
      }
    });
  }
  ~ptyDisplay() { hangUp(); }
  bool ok() const { return opened; }
  /* The link under test finds this display (each test selects its own). */
  void select() { setenv("DOVA_LCD_DEVICE", slavePath.c_str(), 1); }
  /* The display goes away: the firmware stops and the line hangs up. */
  void hangUp() {
    stop = true;
    if (worker.joinable()) worker.join();
    line.close();
  }
  /* f(line) while the display's thread waits: the panel's state, silent. */
  void with(const std::function<void(emuLine&)>& f) {
    std::lock_guard<std::mutex> g(lineMu);
    f(line);
  }
  /* Bytes go out at once; a key after the previous one as a finger would,
  ** xAfter: X held (1) or released (0) once it is sent, -1 as is. */
  void inject(const std::vector<uint8_t>& b) { post({b, 0, -1}); }
  void key(int k, int xAfter = -1) { post({{}, k, xAfter}); }
  std::vector<frameBytes> frames() {
    std::lock_guard<std::mutex> g(mu);
    return received;
  }
  std::vector<frameBytes> framesOf(int command) {
    std::vector<frameBytes> out;
    for (const frameBytes& f : frames())
      if (f[0] == command) out.push_back(f);
    return out;
  }
  void clearFrames() {
    std::lock_guard<std::mutex> g(mu);
    received.clear();
  }

private:
  struct send {
    std::vector<uint8_t> bytes;
    int key, xAfter;
  };
  /* Only the display's thread writes the line: the test's thread may be
  ** the one that has to drain it. */
  void post(const send& s) {
    std::lock_guard<std::mutex> g(mu);
    pending.push_back(s);
  }
  emuLine line;
  bool opened = false;
  std::string slavePath;
  std::thread worker;
  std::atomic<bool> stop{false};
  std::mutex mu, lineMu;  /* mu: frames and pending sends; lineMu: the line */
  std::vector<frameBytes> received;
  std::vector<send> pending;
};

#endif
