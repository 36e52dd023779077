/*
** Frames of the LCD link: check values and layouts byte for byte (the link
** and the display's firmware share this code, so only known values catch a
** slip here), and the parser on garbage, partial frames, bad check values,
** bad lengths and a ring that wraps around.
*/
#include <gtest/gtest.h>

#include <vector>

#include "frontpanel/lcdFrame.h"

namespace {

typedef std::vector<uint8_t> bytes;

bytes build(uint8_t cmd, const bytes& data) {
  uint8_t out[lcdFRAME_MAX];
  return bytes(out, out + lcdBuildFrame(cmd, data.data(), (int)data.size(), out));
}

int parse(lcdRxRing& ring, lcdFrame* f) {
  unsigned bad = 0, calc = 0;
  return lcdParseFrame(ring, f, true, &bad, &calc);
}

/* Parse until a frame came (its result) or nothing is left (the last). */
int untilFrame(lcdRxRing& ring, lcdFrame* f, int* dropped = nullptr) {
  int r = 0;
  for (int i = 0; i < 40 && ring.size() > 0; ++i) {
    if ((r = parse(ring, f)) == lcdPARSE_FRAME || r == lcdPARSE_NEED_MORE) break;
    if (dropped) ++*dropped;
  }
  return r;
}

void push(lcdRxRing& ring, const bytes& b) {
  ASSERT_EQ((int)b.size(), ring.push(b.data(), (int)b.size()));
}

}  // namespace

TEST(LcdFrame, checkValuesAndLayoutsAreTheDisplaysOwn) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(0x906E, lcdCrc16(text, 9));  // X.25
  EXPECT_EQ(0x906E ^ 0xFFFF, lcdCrc16(text, 9, false));
  const uint8_t user[14] = {10, 60, 80, 50};  // the user block: uncomplemented
  EXPECT_EQ(0xEADB, lcdCrc16(user, 14, false));
  // command, length, data, check value little-endian
  EXPECT_EQ((bytes{0x00, 0x00, 0x47, 0x0F}), build(0, {}));
  EXPECT_EQ((bytes{0x1F, 0x07, 0x05, 0x02, 'H', 'e', 'l', 'l', 'o', 0xFB, 0x27}),
            build(31, {5, 2, 'H', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ((bytes{0x0B, 0x02, 0x03, 0x01, 0x92, 0xB2}), build(11, {3, 1}));
  // more than 22 data bytes are cut to 22: a frame never exceeds 26 bytes
  bytes f = build(31, bytes(30, 'x'));
  EXPECT_EQ(26u, f.size());
  EXPECT_EQ(22, f[1]);
}

/* One stream of bad and good bytes, parsed the way the link does it: every
** good frame comes out once, nothing bad becomes a frame. */
TEST(LcdFrame, garbagePartialFramesBadCheckValuesAndBadLengthsNeverBecomeFrames) {
  lcdRxRing ring;
  lcdFrame f;
  unsigned got = 0, calc = 0;
  int dropped = 0;
  push(ring, {0x3F, 0xFF, 0x25, 0x00});  // bad commands and noise
  push(ring, build(0x80, {5}));
  ASSERT_EQ(lcdPARSE_FRAME, untilFrame(ring, &f, &dropped));
  EXPECT_EQ(4, dropped);
  EXPECT_EQ(0x80, f.command);
  EXPECT_EQ(5, f.data[0]);

  bytes fr = build(24, {4});  // a partial frame waits for its rest
  push(ring, bytes(fr.begin(), fr.begin() + 3));
  EXPECT_EQ(lcdPARSE_NEED_MORE, parse(ring, &f));
  EXPECT_EQ(3, ring.size());
  push(ring, bytes(fr.begin() + 3, fr.end()));
  ASSERT_EQ(lcdPARSE_FRAME, parse(ring, &f));
  EXPECT_EQ(24, f.command);

  fr.back() ^= 0x55;
  push(ring, fr);
  push(ring, build(0x80, {1}));
  EXPECT_EQ(lcdPARSE_BAD_CRC, lcdParseFrame(ring, &f, true, &got, &calc));
  EXPECT_NE(got, calc);
  ASSERT_EQ(lcdPARSE_FRAME, untilFrame(ring, &f));
  EXPECT_EQ(1, f.data[0]);

  bytes badLen = {24, 23};  // 23 data bytes, with a valid check value
  badLen.insert(badLen.end(), 23, 0);
  uint16_t crc = lcdCrc16(badLen.data(), (int)badLen.size());
  badLen.push_back((uint8_t)(crc & 0xFF));
  badLen.push_back((uint8_t)(crc >> 8));
  push(ring, badLen);
  EXPECT_EQ(lcdPARSE_BAD_LEN, lcdParseFrame(ring, &f, true, &got, &calc));
  EXPECT_EQ(23u, got);
  for (int i = 0; i < 40 && ring.size() >= 4; ++i) EXPECT_NE(lcdPARSE_FRAME, parse(ring, &f));

  // the ring refuses what does not fit and wraps around
  ring.drop(ring.size());
  bytes junk(150, 0xEE);
  EXPECT_EQ(lcdRING_SIZE, ring.push(junk.data(), (int)junk.size()));
  EXPECT_EQ(0, ring.room());
  ring.drop(98);
  push(ring, build(0x80, {3}));  // stored across the end of the ring
  ASSERT_EQ(lcdPARSE_FRAME, untilFrame(ring, &f));
  EXPECT_EQ(3, f.data[0]);
  EXPECT_EQ(-1, ring.peek(0));
}
