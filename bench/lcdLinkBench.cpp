/*
** lcdLinkBench: what the front-panel link costs.  Parsing: frames per
** second through the receive ring with garbage between them (the console
** unit parses at most one frame per service call, so this bounds nothing
** in practice; it shows the parser is not the bottleneck).  Round trip: one
** request and its answer over a real pseudo-terminal with a responder
** thread, and a full 4-row repaint (four row writes, one at a time), which
** is what the operator waits for after a key.  On the box the 115200-baud
** line adds about 2 ms per 26-byte frame.
*/
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "frontpanel/LCD4x20.h"
#include "frontpanel/lcdFrame.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void parseBench() {
  uint8_t frame[lcdFRAME_MAX];
  const uint8_t text[22] = {0, 1, 'M', 'A', 'I', 'N', ' ', 'M', 'E', 'N', 'U'};
  int n = lcdBuildFrame(31, text, 22, frame);
  const uint8_t junk[3] = {0xFF, 0x3F, 0x99};
  lcdRxRing ring;
  lcdFrame f;
  unsigned bad, calc;
  long frames = 0;
  const long rounds = 2000000;
  auto t0 = std::chrono::steady_clock::now();
  for (long i = 0; i < rounds; ++i) {
    ring.push(junk, 3);
    ring.push(frame, n);
    for (int r; (r = lcdParseFrame(ring, &f, true, &bad, &calc)) != lcdPARSE_NEED_MORE;)
      if (r == lcdPARSE_FRAME) ++frames;
  }
  double s = secondsSince(t0);
  printf("parse: %ld frames of 26 bytes with 3 garbage bytes each in %.3f s: %.2f M frames/s\n",
         frames, s, frames / s / 1e6);
}

/* Answers every frame with an empty frame of the same command. */
void responder(int master, std::atomic<bool>* stop) {
  lcdRxRing ring;
  while (!*stop) {
    struct pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, 1) <= 0) continue;
    uint8_t buf[lcdRING_SIZE];
    ssize_t n = read(master, buf, (size_t)ring.room());
    if (n > 0) ring.push(buf, (int)n);
    lcdFrame f;
    unsigned bad, calc;
    for (int r; (r = lcdParseFrame(ring, &f, false, &bad, &calc)) != lcdPARSE_NEED_MORE;) {
      if (r != lcdPARSE_FRAME) continue;
      uint8_t out[lcdFRAME_MAX];
      int len = lcdBuildFrame(f.command, nullptr, 0, out);
      if (write(master, out, (size_t)len) < 0) return;
    }
  }
}

void roundTripBench() {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    printf("round trip: no pseudo-terminal\n");
    return;
  }
  std::string slavePath = ptsname(master);
  int keep = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
  struct termios t;
  tcgetattr(keep, &t);
  cfmakeraw(&t);
  tcsetattr(keep, TCSANOW, &t);
  std::atomic<bool> stop(false);
  std::thread th(responder, master, &stop);
  setenv("DOVA_LCD_DEVICE", slavePath.c_str(), 1);
  int level = 0;
  {
    LCD4x20 lcd;
    lcd.setSearchPasses(1);
    if (lcd.lcdInit(&level, nullptr) != 0) {
      printf("round trip: link did not start\n");
    } else {
      const int n = 2000;
      auto t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < n; ++i) {
        lcd.setBacklight(i % 100);
        while (!lcd.idle()) lcd.service();
      }
      double s = secondsSince(t0);
      printf("round trip: %d requests in %.3f s: %.1f us per request and answer\n", n, s,
             s / n * 1e6);
      const int screens = 300;
      t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < screens; ++i) {
        for (int r = 0; r < 4; ++r) lcd.writeRow(r, 0, "  MAIN MENU   TORV-FM", 20);
        while (!lcd.idle()) lcd.service();
      }
      s = secondsSince(t0);
      printf("repaint: %d full screens in %.3f s: %.1f us per 4-row screen\n", screens, s,
             s / screens * 1e6);
    }
  }
  stop = true;
  th.join();
  close(keep);
  close(master);
}

}  // namespace

int main() {
  parseBench();
  roundTripBench();
  return 0;
}
