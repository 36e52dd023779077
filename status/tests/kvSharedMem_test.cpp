/*
** The shared status region between a writer and a reader in two processes:
** size, first poll, newest-record semantics, the unaligned channel 7 and
** a region whose contents a broken writer left behind.
*/
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "status/kvSharedMem.h"
#include "tests/support/testSupport.h"

namespace {

/* Run `body` in a forked child and return its exit status (bounded). */
template <class F>
int inChild(F body, int timeoutMs = 5000) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : 128;
    usleep(5000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

}  // namespace

TEST(kvSharedMem, region_is_26421_bytes_in_whole_pages_plus_one_page) {
  EXPECT_EQ(kvSharedMem::regionSize(4096), 28672u);
  EXPECT_EQ(kvSharedMem::regionSize(65536), 65536u);    /* fits, a page still added */
  EXPECT_EQ(kvSharedMem::regionSize(26421), 2u * 26421u); /* exact fit adds one page */
  testsup::ShmName name;
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  EXPECT_EQ(w.size(), kvSharedMem::regionSize(sysconf(_SC_PAGESIZE)));
}

TEST(kvSharedMem, reader_without_region_fails_with_shm_open_error) {
  testsup::ShmName name;
  kvSharedMem r;
  testing::internal::CaptureStdout();
  EXPECT_EQ(r.initSharedMem(nullptr, false, name.c_str()), -1);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("ERR #18004 in kvSharedMem::initSharedMem()"), std::string::npos) << out;
  EXPECT_NE(out.find("Shared memory: shm_open call failed"), std::string::npos);
  EXPECT_FALSE(r.isOpen());
}

TEST(kvSharedMem, first_poll_takes_the_zero_filled_record_then_nothing_until_a_commit) {
  testsup::ShmName name;
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  kvSharedMem r;
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  for (int ch = 0; ch < shmNUM_CHANNELS; ch++) {
    const unsigned char* rec = r.readNewest(ch);
    ASSERT_NE(rec, nullptr) << ch;
    EXPECT_EQ(rec[0], 0);
    EXPECT_EQ(r.readNewest(ch), nullptr) << ch;
  }
  /* A reader cannot write. */
  EXPECT_EQ(r.nextSlot(0), nullptr);
  EXPECT_EQ(r.commit(0), -1);
}

TEST(kvSharedMem, reader_in_another_process_sees_the_newest_of_a_fast_writer) {
  testsup::ShmName name;
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  /* The writer is a separate process: commits 1..23 on channel 0 (5 slots),
  ** each record carrying its number. */
  /* The child uses the mapping it inherited: a second writer open would
  ** zero-fill the region. */
  int st = inChild([&] {
    for (uint32_t i = 1; i <= 23; i++) {
      unsigned char* slot = w.nextSlot(0);
      if (!slot) return 1;
      shmPutU32(slot, i);
      w.commit(0);
    }
    return 0;
  });
  ASSERT_EQ(st, 0);
  kvSharedMem r;
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  const unsigned char* rec = r.readNewest(0);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(shmGetU32(rec), 23u);
  EXPECT_EQ(r.commitCount(0), 23u);
  EXPECT_EQ(r.updateCounter(), 23u);
  EXPECT_EQ(r.writeIndex(0), 23u % 5u);
  EXPECT_EQ(r.readNewest(0), nullptr);
}

TEST(kvSharedMem, writer_process_and_reader_process_over_the_named_region) {
  testsup::ShmName name;
  /* The writer opens the region by name in its own process and commits a
  ** long text on the unaligned channel 7, then one record on channel 2. */
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  if (pid == 0) {
    kvSharedMem w;
    if (w.initSharedMem(nullptr, true, name.c_str()) != 0) _exit(1);
    unsigned char* slot = w.nextSlot(shmCH_ALARMS);
    memset(slot, 'a', 4096);
    slot[4096] = 0;
    w.commit(shmCH_ALARMS);
    shmPutU32(w.nextSlot(shmCH_GPS) + 32, 5);
    w.commit(shmCH_GPS);
    if (write(ready[1], "x", 1) != 1) _exit(2);
    usleep(300000);  /* keep the mapping while the reader looks */
    _exit(0);
  }
  close(ready[1]);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  kvSharedMem r;
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  const unsigned char* txt = r.readNewest(shmCH_ALARMS);
  ASSERT_NE(txt, nullptr);
  EXPECT_EQ(txt - r.regionBase(), 14131 + 4097);  /* slot 1 of the ring */
  EXPECT_EQ(r.channel(7)->writeIndex - r.regionBase(), 14127);
  EXPECT_EQ(r.writeIndex(7), 1u);
  EXPECT_EQ(strlen(reinterpret_cast<const char*>(txt)), 4096u);
  const unsigned char* gps = r.readNewest(shmCH_GPS);
  ASSERT_NE(gps, nullptr);
  EXPECT_EQ(shmGetU32(gps + 32), 5u);
  EXPECT_EQ(r.updateCounter(), 2u);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_EQ(WEXITSTATUS(st), 0);
}

TEST(kvSharedMem, write_index_outside_the_ring_means_no_new_record) {
  testsup::ShmName name;
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  kvSharedMem r;
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  unsigned char* wi = const_cast<unsigned char*>(w.channel(7)->writeIndex);
  shmPutU32(wi, 3);
  EXPECT_EQ(r.readNewest(7), nullptr);
  shmPutU32(wi, 0xffffffffu);
  EXPECT_EQ(r.readNewest(7), nullptr);
  /* The writer recovers onto slot 0. */
  EXPECT_EQ(w.nextSlot(7), w.channel(7)->firstRecord);
  EXPECT_EQ(w.commit(7), 0);
  EXPECT_EQ(r.readNewest(7) - r.regionBase(), 14131);
}

TEST(kvSharedMem, opening_twice_reports_and_reopens) {
  testsup::ShmName name;
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("ERROR: initSharedMem already opened"),
            std::string::npos);
  EXPECT_TRUE(w.isOpen());
}

TEST(kvSharedMem, region_shorter_than_the_channel_table_is_refused_not_mapped) {
  testsup::ShmName name;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100), 0);
  close(fd);
  kvSharedMem r;
  testing::internal::CaptureStdout();
  EXPECT_EQ(r.initSharedMem(nullptr, false, name.c_str()), -1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("ERR #18006"), std::string::npos);
  EXPECT_EQ(r.readNewest(7), nullptr);
}

static long regionBytes(const std::string& name) {
  int fd = shm_open(name.c_str(), O_RDONLY, 0);
  if (fd < 0) return -1;
  struct stat st;
  long n = fstat(fd, &st) == 0 ? long(st.st_size) : -1;
  close(fd);
  return n;
}

TEST(kvSharedMem, writer_grows_a_short_region_and_never_shrinks_a_long_one) {
  testsup::ShmName name;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100), 0);
  close(fd);
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  EXPECT_EQ(regionBytes(name.str()), long(w.size()));
  w.close();
  fd = shm_open(name.c_str(), O_RDWR, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 1 << 20), 0);
  close(fd);
  ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
  EXPECT_EQ(regionBytes(name.str()), 1L << 20);
  /* The reopened writer starts from an empty region all the same. */
  EXPECT_EQ(w.writeIndex(7), 0u);
  EXPECT_EQ(w.updateCounter(), 0u);
}

TEST(kvSharedMem, reader_accepts_a_region_just_long_enough_for_the_channel_table) {
  testsup::ShmName name;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 26421), 0);
  unsigned char last = 'z';
  ASSERT_EQ(pwrite(fd, &last, 1, 26420), 1);
  close(fd);
  kvSharedMem r;
  ASSERT_EQ(r.initSharedMem(nullptr, false, name.c_str()), 0);
  const unsigned char* rec = r.readNewest(shmCH_ALARMS);
  ASSERT_NE(rec, nullptr);
  /* The ring's last text byte sits at 26420, its terminator at 26421:
  ** both readable although the region ends at 26421. */
  const unsigned char* lastSlot = rec + 2 * 4097;
  EXPECT_EQ(lastSlot + 4095 - r.regionBase(), 26420);
  EXPECT_EQ(lastSlot[4095], 'z');
  EXPECT_EQ(lastSlot[4096], 0);
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
  pid_t pid = fork();
  if (pid == 0) {
    kvSharedMem r;
    if (r.initSharedMem(nullptr, false, name.c_str()) != 0) _exit(1);
    const volatile unsigned char* tail = r.regionBase() + 26420;
    unsigned sum = 0;
    flags[0] = 1;
    kvTimeStamp t0;
    getTimeStamp(&t0);
    for (long i = 0; !flags[1]; i++) {
      sum += tail[0] + tail[-13000];
      if ((i & 0xfff) == 0 && elapsedMs(&t0) > 10000) _exit(4);
    }
    _exit(sum == 1u ? 3 : 0);
  }
  for (int i = 0; i < 500 && !flags[0]; i++) usleep(10000);
  ASSERT_EQ(flags[0], 1);
  int st = 0;
  bool ended = false;
  for (int i = 0; i < 3000 && !ended; i++) {
    kvSharedMem w;
    ASSERT_EQ(w.initSharedMem(nullptr, true, name.c_str()), 0);
    ended = waitpid(pid, &st, WNOHANG) == pid;
  }
  flags[1] = 1;
  if (!ended) {
    for (int i = 0; i < 500 && !ended; i++) {
      ended = waitpid(pid, &st, WNOHANG) == pid;
      if (!ended) usleep(10000);
    }
    if (!ended) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
    }
  }
  munmap(flagPage, 4096);
  ASSERT_TRUE(WIFEXITED(st)) << "reader died of signal " << (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
  EXPECT_EQ(WEXITSTATUS(st), 0);
  EXPECT_EQ(regionBytes(name.str()), long(first.size()));
}
