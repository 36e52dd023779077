/*
** The display's side of the LCD link on a pseudo-terminal: the pty pair,
** the receive ring, the firmware (emuPanel) answering every frame the
** console unit sends, and the key frames waiting for their time.  The
** programs that play the display (lcdEmu.x with typed commands, webPanel.x
** in a browser) each own one and differ only in how they show it.  Not
** thread-safe: one thread owns the line; other threads hand it keys through
** their own queue.
**
** Idiom:
**   emuLine line;
**   std::string path;
**   if (line.open(&path) != 0) ... errno says why
**   line.onChange = fn; line.changeCtx = me;   (optional)
**   loop:  poll(line.fd() for POLLIN, up to 5 ms)
**          if readable: line.readLine();   (answers frames, calls onChange)
**          line.sendDue();                 (key frames whose time came)
**
** Keys are sent KEY_GAP_MS apart, so the console unit has asked for the
** key state before the next key arrives, as with fingers on the real panel.
** Key codes (the display's own, see emuPanel.h): 1 up, 2 down, 3 left,
** 4 right, 5 select, 6 X pressed, 12 X released.
*/
#ifndef TOOLS_LCDEMU_EMULINE_H
#define TOOLS_LCDEMU_EMULINE_H

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "diag/cppUtils.h"
#include "frontpanel/lcdFrame.h"
#include "tools/lcdEmu/emuPanel.h"

class emuLine {
public:
  enum { KEY_GAP_MS = 80 };
  enum { KEY_UP = 1, KEY_DOWN = 2, KEY_LEFT = 3, KEY_RIGHT = 4, KEY_SELECT = 5, KEY_X = 6,
         KEY_X_RELEASED = 12 };

  emuLine();
  ~emuLine();

  /* Open a pty pair (the slave set raw, 115200 baud, kept open by us so the
  ** line does not hang up between two runs of the console).  Returns 0 and
  ** the slave's path, or -1 with errno set. */
  int open(std::string* slavePath);
  void close();
  int fd() const { return master; }

  /* Key code of a key name ("up", "down", "left", "right", "select",
  ** "enter", "ok", "x"); 0 when unknown. */
  static int keyCode(const char* name);
  /* "up", "x" (press and release), "x+select" (X held around the key).
  ** Returns 0, or 1 for a name it does not know. */
  int pressKeys(const char* keys);
  void holdX();
  void releaseX();
  /* One key frame, spaced after the previous one; xAfter: X held after it
  ** is sent (1 held, 0 released, -1 as is). */
  void queueKey(int code, int xAfter);
  /* Bytes as they are; spaced: wait KEY_GAP_MS after the previous spaced
  ** bytes, else go out at once. */
  void queueBytes(const uint8_t* bytes, int n, int xAfter, bool spaced);
  /* Frames waiting for their time. */
  size_t waiting() const { return out.size(); }

  /* Read what the line offers, answer every complete frame (unless silent)
  ** and call onChange after each frame that changed the screen. */
  void readLine();
  /* Send the queued frames whose time came. */
  void sendDue();
  uint32_t nowMs() const { return elapsedMs(&start); }

  emuPanel panel;
  bool silent;   /* stop answering the console unit (a dead display) */
  void (*onChange)(void* ctx);
  void* changeCtx;
  /* Called with every frame read from the console unit, before it is
  ** answered (the tests keep what the link sent). */
  void (*onFrame)(void* ctx, const lcdFrame& f);
  void* frameCtx;

private:
  struct outgoing {
    uint32_t dueMs;
    std::vector<uint8_t> bytes;
    int xAfter;
  };
  void writeAll(const uint8_t* bytes, size_t n);
  int master;
  int slave;
  lcdRxRing ring;
  std::deque<outgoing> out;
  kvTimeStamp start;
  uint32_t lastDue;
};

#endif
