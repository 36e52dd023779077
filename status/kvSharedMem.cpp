/*
** kvSharedMem: opening, polling and (for the writer) committing records in
** the shared status region.  The byte layout is drawn in kvSharedMem.h.
**
** Ordering without locks: the writer fills a slot, then a release fence,
** then stores the new write index; a reader loads the write index, then an
** acquire fence, then reads the slot.  A reader never writes the region.
*/
#include "status/kvSharedMem.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "diag/sysPaths.h"
#include "diag/trace.h"

/* Offsets of each channel's commit count, the write index 4 bytes after it
** and the slots 8 bytes after it.  Channel 7 starts unaligned. */
const shmChannelShape shmChannelTable[] = {
    {0, 4, 5, 40},
    {1, 212, 3, 116},
    {2, 568, 5, 36},
    {3, 756, 5, 28},
    {4, 904, 5, 8},
    {5, 952, 3, 288},
    {6, 1824, 3, 4097},
    {7, 14123, 3, 4097},
    {-1, 0, 0, 0},
};

uint32_t shmGetU32(const unsigned char* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void shmPutU32(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

/* The counters are read byte by byte; keep the compiler from caching them
** across polls. */
static uint32_t loadCounter(const unsigned char* p) {
  const volatile unsigned char* v = p;
  unsigned char b[4] = {v[0], v[1], v[2], v[3]};
  return shmGetU32(b);
}

static void storeCounter(unsigned char* p, uint32_t value) {
  unsigned char b[4];
  shmPutU32(b, value);
  volatile unsigned char* v = p;
  for (int i = 0; i < 4; i++) v[i] = b[i];
}

kvSharedMem::kvSharedMem() : pTraceLevel(nullptr), base(nullptr), mappedSize(0), writer(false) {
  memset(channels, 0, sizeof channels);
}

kvSharedMem::~kvSharedMem() { close(); }

size_t kvSharedMem::regionSize(long pageSize) {
  if (pageSize <= 0) pageSize = 4096;
  return size_t(shmUSED_SIZE / pageSize) * size_t(pageSize) + size_t(pageSize);
}

void kvSharedMem::close() {
  if (base) munmap(base, mappedSize);
  base = nullptr;
  mappedSize = 0;
  memset(channels, 0, sizeof channels);
}

int kvSharedMem::unlinkRegion(const char* name) {
  return shm_unlink(name ? name : statusShmName());
}

int kvSharedMem::initSharedMem(ErrTrcLog* pErrLog, bool asWriter, const char* name) {
  if (base) {
    printf("ERROR: initSharedMem already opened\n");
    fflush(stdout);
    close();
  }
  if (!name) name = statusShmName();
  size_t size = regionSize(sysconf(_SC_PAGESIZE));

  /* The writer creates the region but does not truncate an existing one:
  ** a console already mapping it would fault on its next read while the
  ** size is 0.  It only grows a region that is too small, never shrinks
  ** one, and zero-fills it below, which leaves the same empty region a
  ** truncation would. */
  int fd = asWriter ? shm_open(name, O_RDWR | O_CREAT, 0666) : shm_open(name, O_RDONLY, 0666);
  if (fd < 0) {
    ERRLOG(pErrLog, 4, 18004, "kvSharedMem", "Shared memory: shm_open call failed");
    return -1;
  }
  struct stat st;
  bool sized = fstat(fd, &st) == 0;
  if (asWriter && (!sized || size_t(st.st_size) < size) && ftruncate(fd, off_t(size)) != 0) {
    ::close(fd);
    ERRLOG(pErrLog, 4, 18005, "kvSharedMem", "Shared memory allocation (ftruncate) failure");
    return -1;
  }
  /* A reader must not map a region some other writer made too short for
  ** the channel table: the first read of the tail would fault.  Pages of
  ** the mapping past the end of a long-enough region are never touched. */
  bool tooSmall = !asWriter && (!sized || size_t(st.st_size) < size_t(shmUSED_SIZE));
  void* p = tooSmall ? MAP_FAILED
                     : mmap(nullptr, size, asWriter ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
                            fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) {
    ERRLOG(pErrLog, 4, 18006, "kvSharedMem", "Shared memory mmap failure");
    return -1;
  }
  base = static_cast<unsigned char*>(p);
  mappedSize = size;
  writer = asWriter;
  if (writer) memset(base, 0, size);
  setUpChannels();
  if (pTraceLevel)
    TRACE(pTraceLevel, 2, "Shared memory %s opened as %s, %u bytes\n", name,
        writer ? "writer" : "reader", unsigned(size));
  return 0;
}

void kvSharedMem::setUpChannels() {
  for (const shmChannelShape* s = shmChannelTable; s->number >= 0; s++) {
    shmChannel& c = channels[s->number];
    c.slotCount = s->slotCount;
    c.slotSize = s->slotSize;
    c.lastRead = shmFIRST_LAST_READ;
    c.base = base;
    c.commitCount = base + s->offset;
    c.writeIndex = base + s->offset + 4;
    c.firstRecord = base + s->offset + 8;
  }
}

const shmChannel* kvSharedMem::channel(int n) const {
  if (!base || n < 0 || n >= shmNUM_CHANNELS) return nullptr;
  return &channels[n];
}

uint32_t kvSharedMem::updateCounter() const { return base ? loadCounter(base) : 0; }

uint32_t kvSharedMem::commitCount(int n) const {
  const shmChannel* c = channel(n);
  return c ? loadCounter(c->commitCount) : 0;
}

uint32_t kvSharedMem::writeIndex(int n) const {
  const shmChannel* c = channel(n);
  return c ? loadCounter(c->writeIndex) : 0;
}

const unsigned char* kvSharedMem::readNewest(int n) {
  if (!base || n < 0 || n >= shmNUM_CHANNELS) return nullptr;
  shmChannel& c = channels[n];
  uint32_t wi = loadCounter(c.writeIndex);
  std::atomic_thread_fence(std::memory_order_acquire);
  /* An index past the ring is a writer in trouble: nothing to take. */
  if (wi >= uint32_t(c.slotCount) || int(wi) == c.lastRead) return nullptr;
  c.lastRead = int(wi);
  return c.firstRecord + size_t(wi) * size_t(c.slotSize);
}

unsigned char* kvSharedMem::nextSlot(int n) {
  if (!base || !writer || n < 0 || n >= shmNUM_CHANNELS) return nullptr;
  shmChannel& c = channels[n];
  uint32_t wi = loadCounter(c.writeIndex);
  uint32_t next = wi < uint32_t(c.slotCount) ? (wi + 1) % uint32_t(c.slotCount) : 0;
  return c.firstRecord + size_t(next) * size_t(c.slotSize);
}

int kvSharedMem::commit(int n) {
  if (!base || !writer || n < 0 || n >= shmNUM_CHANNELS) return -1;
  shmChannel& c = channels[n];
  uint32_t wi = loadCounter(c.writeIndex);
  uint32_t next = wi < uint32_t(c.slotCount) ? (wi + 1) % uint32_t(c.slotCount) : 0;
  std::atomic_thread_fence(std::memory_order_release);
  storeCounter(c.writeIndex, next);
  storeCounter(c.commitCount, loadCounter(c.commitCount) + 1);
  storeCounter(base, loadCounter(base) + 1);
  return 0;
}
