/*
** Frames of the LCD link: check values and layouts byte for byte (the link
** and the display's firmware share this code, so only known values catch a
** slip here), and the receive ring.
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

/* Bad bytes, partial frames and bad check values reach the parser through
** the link tests; here the ring itself: it refuses what does not fit, and a
** frame stored across its end comes out whole after the junk before it. */
TEST(LcdFrame, theRingRefusesWhatDoesNotFitAndWrapsAround) {
  lcdRxRing ring;
  bytes junk(150, 0xEE);
  EXPECT_EQ(lcdRING_SIZE, ring.push(junk.data(), (int)junk.size()));
  EXPECT_EQ(0, ring.room());
  ring.drop(98);
  bytes key = build(0x80, {3});
  ASSERT_EQ((int)key.size(), ring.push(key.data(), (int)key.size()));
  lcdFrame f;
  unsigned bad = 0, calc = 0;
  int r = 0, dropped = 0;
  while ((r = lcdParseFrame(ring, &f, true, &bad, &calc)) < 0) ++dropped;
  ASSERT_EQ(lcdPARSE_FRAME, r);
  EXPECT_EQ(lcdRING_SIZE - 98, dropped);
  EXPECT_EQ(3, f.data[0]);
  EXPECT_EQ(-1, ring.peek(0));
}
