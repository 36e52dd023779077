/*
** The test display itself: keys the test injects while the firmware thread
** is busy answering must all reach the line, and so must every answer.
** Both threads write the same pty master; a lost write here shows up as a
** rare key or answer missing in the link and module tests.
*/
#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "frontpanel/tests/ptyDisplay.h"

TEST(PtyDisplay, keysInjectedWhileTheFirmwareAnswersAreNeverLost) {
  ptyDisplay display;
  ASSERT_TRUE(display.ok());
  int line = open(display.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(line, 0);

  const int kPings = 400, kKeys = 400;
  std::vector<uint8_t> ping = wireFrame(0, {});
  int pingsSent = 0, keysSeen = 0, answers = 0;
  std::thread keys([&] {
    for (int i = 0; i < kKeys; ++i) {
      display.key(1 + i % 5);
      if (i % 8 == 0) usleep(200);
    }
  });
  lcdRxRing ring;
  kvTimeStamp start;
  getTimeStamp(&start);
  // pings go out while the keys come in; read until everything arrived
  while ((keysSeen < kKeys || answers < kPings) && elapsedMs(&start) < 20000) {
    if (pingsSent < kPings && pingsSent - answers < 4 &&
        write(line, ping.data(), ping.size()) == (ssize_t)ping.size())
      ++pingsSent;
    uint8_t buf[lcdRING_SIZE];
    ssize_t n = read(line, buf, (size_t)ring.room());
    if (n > 0) ring.push(buf, (int)n);
    lcdFrame f;
    unsigned bad, calc;
    for (int r; (r = lcdParseFrame(ring, &f, true, &bad, &calc)) != lcdPARSE_NEED_MORE;) {
      ASSERT_EQ(lcdPARSE_FRAME, r) << "a garbled frame on the line";
      if (f.command == lcdCMD_KEY) ++keysSeen;
      else if ((f.command & lcdCMD_MASK) == 0) ++answers;
    }
    if (n <= 0) usleep(100);
  }
  keys.join();
  close(line);
  EXPECT_EQ(kKeys, keysSeen);
  EXPECT_EQ(kPings, answers);
}
