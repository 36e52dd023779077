/* The shared status region between writers and readers in one or two
** processes, and regions a broken writer left behind or changes under them. */
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "status/kvSharedMem.h"
#include "tests/support/testSupport.h"

static long regionBytes(const std::string& name) {
  struct stat st;
  return stat(("/dev/shm" + name).c_str(), &st) == 0 ? long(st.st_size) : -1;
}

/* In one process: a region shorter than the channel table is refused by a
** reader, one just long enough is read to its last byte; a writer grows a
** short region, reports a second open and starts from an empty region; the
** first poll of each channel; a reader cannot write; a write index outside
** the ring; a ring gone round several times; a long region is never shrunk. */
TEST(kvSharedMem, missing_short_and_long_regions_first_poll_and_a_write_index_outside_the_ring) {
  testsup::ShmName name;
  kvSharedMem r;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(r.initSharedMem(nullptr, false, name.c_str()), -1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("ERR #18006"), std::string::npos);
  EXPECT_EQ(r.readNewest(7), nullptr);
  ASSERT_EQ(ftruncate(fd, 26421), 0);
  unsigned char last = 'z';
  ASSERT_EQ(pwrite(fd, &last, 1, 26420), 1);
  close(fd);
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  const unsigned char* rec = r.readNewest(shmCH_ALARMS);
  ASSERT_NE(rec, nullptr);
  /* the ring's last text byte sits at 26420, its terminator at 26421: both
  ** readable although the region ends at 26421 */
  const unsigned char* lastSlot = rec + 2 * 4097;
  EXPECT_EQ(lastSlot + 4095 - r.regionBase(), 26420);
  EXPECT_EQ(lastSlot[4095], 'z');
  EXPECT_EQ(lastSlot[4096], 0);
  r.close();
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  EXPECT_EQ(regionBytes(name.str()), long(w.size()));
  testing::internal::CaptureStdout();
  EXPECT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0); /* reported, and reopened */
  EXPECT_NE(testing::internal::GetCapturedStdout().find("ERROR: initSharedMem already opened"),
            std::string::npos);
  EXPECT_TRUE(w.isOpen());
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  for (int ch = 0; ch < shmNUM_CHANNELS; ch++) { /* the zero-filled record, then nothing */
    rec = r.readNewest(ch);
    ASSERT_NE(rec, nullptr) << ch;
    EXPECT_EQ(rec[0], 0);
    EXPECT_EQ(r.readNewest(ch), nullptr) << ch;
  }
  EXPECT_EQ(r.nextSlot(0), nullptr);
  EXPECT_EQ(r.commit(0), -1);
  kvSharedMem r2; /* one that has not polled yet */
  ASSERT_EQ(r2.initSharedMem(nullptr, false, name.c_str()), 0);
  unsigned char* wi = const_cast<unsigned char*>(w.channel(7)->writeIndex);
  for (uint32_t bad : {3u, 0xffffffffu}) {
    shmPutU32(wi, bad);
    EXPECT_EQ(r2.readNewest(7), nullptr) << bad;
  }
  EXPECT_EQ(w.nextSlot(7), w.channel(7)->firstRecord); /* the writer recovers onto slot 0 */
  EXPECT_EQ(w.commit(7), 0);
  EXPECT_EQ(r2.readNewest(7) - r2.regionBase(), 14131);
  for (uint32_t i = 1; i <= 23; i++) { /* round and round channel 0's five slots */
    shmPutU32(w.nextSlot(0), i);
    w.commit(0);
  }
  EXPECT_EQ(shmGetU32(r2.readNewest(0)), 23u);
  EXPECT_EQ(r2.commitCount(0), 23u);
  EXPECT_EQ(r2.writeIndex(0), 23u % 5u);
  EXPECT_EQ(r2.updateCounter(), 24u);
  w.close();
  ASSERT_EQ(truncate(("/dev/shm" + name.str()).c_str(), 1 << 20), 0);
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  EXPECT_EQ(regionBytes(name.str()), 1L << 20);
  EXPECT_EQ(w.writeIndex(7), 0u);
  EXPECT_EQ(w.updateCounter(), 0u);
}

TEST(kvSharedMem, console_reading_survives_a_writer_that_restarts_over_and_over) {
  testsup::ShmName name;
  kvSharedMem first;
  ASSERT_EQ(first.initSharedMem(nullptr, true, name.c_str()), 0);
  /* The reader process keeps touching the tail of channel 7 (the last page
  ** of the region) while the writer reopens the region again and again.
  ** A writer that truncated on open would leave the region empty for a
  ** moment and the reader would die of SIGBUS. */
  void* flagPage = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(flagPage, MAP_FAILED);
  volatile int* flags = static_cast<volatile int*>(flagPage); /* [0] reading, [1] stop */
  testsup::Child reader("/dev/null", [&] {
    kvSharedMem r;
    if (r.initSharedMem(nullptr, false, name.c_str()) != 0) return 1;
    const volatile unsigned char* tail = r.regionBase() + 26420;
    unsigned sum = 0;
    flags[0] = 1;
    kvTimeStamp t0;
    getTimeStamp(&t0);
    for (long i = 0; !flags[1]; i++) {
      sum += tail[0] + tail[-13000];
      if ((i & 0xfff) == 0 && elapsedMs(&t0) > 10000) return 4;
    }
    return sum == 1u ? 3 : 0;
  });
  ASSERT_TRUE(testsup::waitUntil([&] { return flags[0] == 1; }, 5000));
  for (int i = 0; i < 3000 && reader.running(); i++) {
    kvSharedMem w;
    ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  }
  flags[1] = 1;
  int st = reader.wait(5000);
  munmap(flagPage, 4096);
  EXPECT_EQ(st, 0) << "128 + n: the reader died of signal n";
  EXPECT_EQ(regionBytes(name.str()), long(first.size()));
}

/* The exporter side shrinks, removes or recreates its region under a
** reader that holds record addresses.  In a child (a crash must not take
** the test binary down): each change is read through the old address
** first (the race a check cannot close), then noticed by checkRegion, no
** record comes while the region is lost, and a region that is back (grown
** again or recreated, larger) is followed: its newest records come in. */
TEST(kvSharedMem, region_shrunk_removed_or_recreated_under_a_reader_never_kills_it) {
  /* truncateTo -1: the name removed instead; recreate: then a new region, twice the size */
  const struct { const char* what; long truncateTo; bool recreate; } changes[] = {
      {"truncated to 0", 0, false}, {"truncated to half", 14000, false}, {"removed", -1, false},
      {"removed and recreated larger", -1, true}};
  for (const auto& c : changes) {
    testsup::ShmName name;
    testsup::Child reader("/dev/null", [&]() {
      kvSharedMem w;
      if (w.initSharedMem(nullptr, true, name.c_str()) != 0) return 1;
      memcpy(w.nextSlot(shmCH_ALARMS), "before", 7);
      w.commit(shmCH_ALARMS);
      kvSharedMem r;
      if (r.initSharedMem(nullptr, false, name.c_str()) != 0) return 2;
      const volatile unsigned char* rec = r.readNewest(shmCH_ALARMS);
      if (!rec || rec[0] != 'b') return 3;
      if (c.truncateTo >= 0 && truncate(("/dev/shm" + name.str()).c_str(), c.truncateTo) != 0)
        return 4;
      if (c.truncateTo < 0) kvSharedMem::unlinkRegion(name.c_str());
      unsigned sink = rec[0] + rec[4096];  /* the tail page: SIGBUS without the trap */
      (void)sink;
      usleep(600 * 1000);                  /* past the half-second look at the name */
      if (r.checkRegion() != 1 || r.regionAttached()) return 5;
      for (int ch = 0; ch < shmNUM_CHANNELS; ch++)
        if (r.readNewest(ch)) return 6;
      if (r.checkRegion() != 0) return 7;
      kvSharedMem w2;
      if (c.recreate) {
        int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
        if (fd < 0 || ftruncate(fd, off_t(2 * w.size())) != 0) return 8;
        close(fd);
      } else if (c.truncateTo < 0) {
        return 0;  /* gone for good: nothing more to follow */
      }
      if (w2.initSharedMem(nullptr, true, name.c_str()) != 0) return 9;
      memcpy(w2.nextSlot(shmCH_ALARMS), "after", 6);
      w2.commit(shmCH_ALARMS);
      usleep(600 * 1000);
      if (r.checkRegion() != 1 || !r.regionAttached()) return 10;
      rec = r.readNewest(shmCH_ALARMS);
      return rec && rec[0] == 'a' ? 0 : 11;
    });
    EXPECT_EQ(reader.wait(5000), 0) << c.what << " (128: the reader died of a signal)";
  }
}
