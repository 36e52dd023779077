/* statusWriter.x as a reader of its region sees it, and its exits. */
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <unistd.h>

#include "status/kvSharedMem.h"
#include "status/statusRecords.h"
#include "tests/support/testSupport.h"

using namespace testsup;

namespace {

std::string writerPath() { return buildBinDir() + "/statusWriter.x"; }

class Writer : public ::testing::Test {
protected:
  ShmName shm;
  Proc writer;
  kvSharedMem reader;
  /* The channel's newest record decoded into *out; false when there is none. */
  template <class R> bool newest(int channel, void (*decode)(const unsigned char*, R*), R* out) {
    const unsigned char* rec = reader.readNewest(channel);
    if (rec) decode(rec, out);
    return rec != nullptr;
  }
  bool regionExists() { return access(("/dev/shm" + shm.str()).c_str(), F_OK) == 0; }
  void start(std::vector<std::string> extra) {
    std::vector<std::string> argv{writerPath(), "-shm", shm.str()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_TRUE(writer.start(argv));
    ASSERT_TRUE(writer.waitForOutput("statusWriter: writing", 5000)) << writer.err();
    ASSERT_EQ(reader.initSharedMem(nullptr, false, shm.c_str()), 0);
  }
};

}  // namespace

/* One run through the scenarios: GPS acquires, locks and holds over when
** lost; the delay ramps to its target and rests; version texts are written
** once; the region stays after a stop (the console keeps reading it). */
TEST_F(Writer, gps_locks_and_holds_over_and_the_delay_ramps_to_its_target) {
  start({"-lock", "0.2", "-gpslost", "6", "-ramp", "5", "-rampat", "1", "-ramprate", "2"});
  srGps g;
  srDelay d{};
  auto gps = [&] { return newest(shmCH_GPS, srDecodeGps, &g); };
  auto delay = [&] { return newest(shmCH_AUDIO_STATUS, srDecodeDelay, &d); };
  ASSERT_TRUE(gps());
  EXPECT_EQ(g.state, 0u);
  EXPECT_FALSE(g.timeLocked);
  ASSERT_TRUE(waitUntil([&] { return delay() && d.ramping; }, 3000));
  EXPECT_EQ(d.target, 5.0f);
  EXPECT_GT(d.current, 4.4f);
  EXPECT_LT(d.current, 5.0f);
  EXPECT_GT(d.remaining, 0.0f);
  ASSERT_TRUE(waitUntil([&] { return delay() && !d.ramping; }, 3000));
  EXPECT_EQ(d.current, 5.0f);
  EXPECT_EQ(d.remaining, 0.0f);
  ASSERT_TRUE(waitUntil([&] { return gps() && g.state == 5; }, 6000));
  EXPECT_TRUE(g.timeLocked);
  EXPECT_GE(__builtin_popcount(g.satMask), 7);
  EXPECT_GT(g.latitude, 0);
  EXPECT_LT(g.longitude, 0);
  EXPECT_EQ(reader.commitCount(shmCH_VERSIONS), 1u);
  ASSERT_TRUE(waitUntil([&] { return gps() && g.state == 6; }, 8000));
  EXPECT_FALSE(g.timeLocked);
  EXPECT_EQ(g.satMask, 0u);
  const unsigned char* alarms = reader.readNewest(shmCH_ALARMS);
  ASSERT_NE(alarms, nullptr);
  EXPECT_NE(strstr(reinterpret_cast<const char*>(alarms), "GPS signal lost"), nullptr);
  writer.signal(SIGINT);
  EXPECT_EQ(writer.wait(3000), 0);
  EXPECT_TRUE(regionExists());
}

TEST_F(Writer, run_time_ends_it_unlink_removes_the_region_and_bad_switches_exit_2) {
  std::string out, err;
  EXPECT_EQ(runProgram({writerPath(), "-r", "0"}, &out, &err), 2);
  EXPECT_NE(err.find("-r needs a number"), std::string::npos);
  EXPECT_EQ(runProgram({writerPath(), "-nonsense"}, &out, &err), 2);
  EXPECT_EQ(runProgram({writerPath(), "-shm", "noslash"}, &out, &err), 2);
  EXPECT_EQ(runProgram({writerPath(), "-h"}, &out, &err), 0);
  EXPECT_NE(out.find("-gpslost"), std::string::npos);
  start({"-t", "0.3", "-unlink"});
  EXPECT_EQ(writer.wait(3000), 0);
  EXPECT_FALSE(regionExists());
}
