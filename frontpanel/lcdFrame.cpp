/*
** Frame building, check values and the receive ring of the LCD link (see
** lcdFrame.h).  Parsing never reads beyond the buffered bytes: a frame is
** taken only when all of its 4 + n bytes are there.
*/
#include "frontpanel/lcdFrame.h"

#include <cstring>

uint16_t lcdCrc16(const uint8_t* data, int length, bool complement) {
  uint16_t crc = 0xFFFF;
  for (int i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (uint16_t)((crc >> 1) ^ 0x8408) : (uint16_t)(crc >> 1);
  }
  return complement ? (uint16_t)~crc : crc;
}

int lcdBuildFrame(uint8_t command, const uint8_t* data, int length, uint8_t* out) {
  if (length < 0) length = 0;
  if (length > lcdFRAME_MAX_DATA) length = lcdFRAME_MAX_DATA;
  out[0] = command;
  out[1] = (uint8_t)length;
  if (length > 0) memcpy(out + 2, data, (size_t)length);
  uint16_t crc = lcdCrc16(out, 2 + length);
  out[2 + length] = (uint8_t)(crc & 0xFF);
  out[3 + length] = (uint8_t)(crc >> 8);
  return 4 + length;
}

int lcdRxRing::push(const uint8_t* bytes, int n) {
  int taken = 0;
  while (taken < n && count < lcdRING_SIZE) {
    buf[(head + count) % lcdRING_SIZE] = bytes[taken++];
    ++count;
  }
  return taken;
}

int lcdRxRing::peek(int i) const {
  if (i < 0 || i >= count) return -1;
  return buf[(head + i) % lcdRING_SIZE];
}

void lcdRxRing::drop(int n) {
  if (n > count) n = count;
  if (n <= 0) return;
  head = (head + n) % lcdRING_SIZE;
  count -= n;
}

int lcdParseFrame(lcdRxRing& ring, lcdFrame* frame, bool strictCommand, unsigned* bad,
                  unsigned* calc) {
  if (ring.size() < 4) return lcdPARSE_NEED_MORE;
  int command = ring.peek(0);
  int length = ring.peek(1);
  if (strictCommand && (command & 0x3F) >= lcdCMD_LOW_LIMIT) {
    *bad = (unsigned)command;
    ring.drop(1);
    return lcdPARSE_BAD_CMD;
  }
  if (length > lcdFRAME_MAX_DATA) {
    *bad = (unsigned)length;
    ring.drop(1);
    return lcdPARSE_BAD_LEN;
  }
  if (ring.size() < 4 + length) return lcdPARSE_NEED_MORE;
  uint8_t bytes[lcdFRAME_MAX];
  for (int i = 0; i < 4 + length; ++i) bytes[i] = (uint8_t)ring.peek(i);
  uint16_t computed = lcdCrc16(bytes, 2 + length);
  uint16_t received = (uint16_t)(bytes[2 + length] | (bytes[3 + length] << 8));
  if (computed != received) {
    *bad = received;
    *calc = computed;
    ring.drop(1);
    return lcdPARSE_BAD_CRC;
  }
  frame->command = (uint8_t)command;
  frame->length = (uint8_t)length;
  memcpy(frame->data, bytes + 2, (size_t)length);
  ring.drop(4 + length);
  return lcdPARSE_FRAME;
}
