/*
** Frames of the front-panel LCD link, both directions, and the receive
** ring they are parsed from.  Shared by the console unit's link (LCD4x20)
** and by the display emulator (lcdEmu.x), so both sides agree byte for byte.
**
** Frame:
**   | offset | size | field                                   |
**   |--------|------|-----------------------------------------|
**   | 0      | 1    | command byte                            |
**   | 1      | 1    | data length n, 0..22                    |
**   | 2      | n    | data                                    |
**   | 2 + n  | 2    | check value, little-endian              |
**
** The check value is CRC-16/X-25 (reflected polynomial 0x8408, initial
** 0xFFFF, complemented) over command, length and data.  The display's
** user settings block carries the same computation without the final
** complement.
*/
#ifndef FRONTPANEL_LCDFRAME_H
#define FRONTPANEL_LCDFRAME_H

#include <cstdint>

enum {
  lcdFRAME_MAX_DATA = 22,
  lcdFRAME_MAX = 26,
  lcdRING_SIZE = 100,
  lcdCMD_KEY = 0x80,
  lcdCMD_MASK = 0xBF,      /* a reply may carry bit 6 */
  lcdCMD_LOW_LIMIT = 37    /* low six bits of a received command below this */
};

/* CRC-16/X-25; complement=false gives the user settings block's value. */
uint16_t lcdCrc16(const uint8_t* data, int length, bool complement = true);

/* Build a frame into out (>= lcdFRAME_MAX bytes); the length is clamped to
** 22.  Returns the frame's byte count. */
int lcdBuildFrame(uint8_t command, const uint8_t* data, int length, uint8_t* out);

struct lcdFrame {
  uint8_t command;
  uint8_t length;
  uint8_t data[lcdFRAME_MAX_DATA];
};

/* A ring of 100 received bytes.  Bytes that do not fit are refused (the
** caller reads them later), so the ring never overwrites unparsed input. */
class lcdRxRing {
public:
  lcdRxRing() : head(0), count(0) {}
  int room() const { return lcdRING_SIZE - count; }
  int size() const { return count; }
  /* Append up to room() bytes; returns how many were taken. */
  int push(const uint8_t* bytes, int n);
  /* Byte i from the oldest; -1 outside the buffered bytes. */
  int peek(int i) const;
  void drop(int n);
  void clear() { head = count = 0; }

private:
  uint8_t buf[lcdRING_SIZE];
  int head;
  int count;
};

/* Result of lcdParseFrame. */
enum lcdParseResult {
  lcdPARSE_FRAME = 1,     /* *frame filled, its bytes consumed */
  lcdPARSE_NEED_MORE = 0, /* not a whole frame yet */
  lcdPARSE_BAD_CMD = -1,  /* one byte dropped: command byte not allowed */
  lcdPARSE_BAD_LEN = -2,  /* one byte dropped: length 23 or more */
  lcdPARSE_BAD_CRC = -3   /* one byte dropped: check value wrong */
};

/* Take at most one frame from the ring.  On a bad byte, *bad gets the
** offending value (command, length or received check value) and *calc
** the computed check value.  `strictCommand` applies the display's rule
** on received command bytes (the emulator accepts any command). */
int lcdParseFrame(lcdRxRing& ring, lcdFrame* frame, bool strictCommand, unsigned* bad,
                  unsigned* calc);

#endif
