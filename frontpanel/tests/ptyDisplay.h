/*
** Test support: a front-panel display on a real pseudo-terminal pair.  A
** thread plays the display's firmware (the emulator's emuPanel) on the
** master side, records every frame the console unit sends, and lets the
** test inject raw bytes (keys, garbage, partial frames).  The link under
** test opens the slave through DOVA_LCD_DEVICE.
*/
#ifndef FRONTPANEL_TESTS_PTYDISPLAY_H
#define FRONTPANEL_TESTS_PTYDISPLAY_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frontpanel/lcdFrame.h"
#include "tools/lcdEmu/emuPanel.h"

/* One received frame as bytes: command, length, data (no check value). */
typedef std::vector<uint8_t> frameBytes;

class ptyDisplay {
public:
  ptyDisplay();
  ~ptyDisplay();
  const std::string& path() const { return slavePath; }
  bool ok() const { return master >= 0; }

  /* Sets DOVA_LCD_DEVICE to this display (restored at destruction). */
  void select();

  void inject(const std::vector<uint8_t>& bytes);
  /* The display goes away: the firmware stops and the line hangs up. */
  void hangUp();
  void key(int k);                     /* one key frame */
  std::vector<frameBytes> frames();    /* everything received so far */
  void clearFrames();
  /* Frames with this command received so far. */
  std::vector<frameBytes> framesOf(int command);

  /* The firmware's state; lock() while touching it from the test. */
  emuPanel panel;
  std::mutex& lock() { return mu; }
  std::atomic<bool> silent;
  /* How long a write waits for room on a full line (and for the other
  ** writer) before its bytes are dropped: 2 s for tests; a fuzz run, whose
  ** time limit per input is about that, gives less. */
  std::atomic<int> writeWaitMs{2000};

private:
  void run();
  bool writeAll(const uint8_t* bytes, size_t n);
  int master = -1;
  int slave = -1;
  std::string slavePath;
  std::thread worker;
  std::atomic<bool> stop;
  std::mutex mu;
  std::mutex writeMu;  /* one writer at a time on the master (see writeAll) */
  std::vector<frameBytes> received;
  std::string savedEnv;
  bool hadEnv = false;
  bool selected = false;
};

/* The wire bytes of a frame built from command and data (check value
** included), for byte-for-byte comparisons. */
std::vector<uint8_t> wireFrame(uint8_t command, const std::vector<uint8_t>& data);

#endif
