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
#include <csignal>
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

/* ---- the SIGBUS trap -------------------------------------------------------
** One row per open reader: the address range of its mapping.  A bus error
** inside a range means the region shrank under that reader: the handler
** maps zero pages over the whole range (the faulting read then sees 0)
** and marks the row; checkRegion() takes the mark.  A bus error anywhere
** else goes to the handler that was there before, or kills the process as
** it always would.  The table is small and scanned linearly: a console
** has one reader, a test a few. */
namespace {
struct trapRow {
  std::atomic<uintptr_t> start;
  std::atomic<size_t> length;
  volatile sig_atomic_t hit;
};
const int TRAP_ROWS = 16;
trapRow trapTable[TRAP_ROWS];
struct sigaction previousBusAction;
bool trapInstalled = false;

void onBusError(int sig, siginfo_t* info, void* context) {
  uintptr_t at = reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
  for (trapRow& r : trapTable) {
    uintptr_t start = r.start.load();
    size_t length = r.length.load();
    if (length == 0 || at < start || at >= start + length) continue;
    mmap(reinterpret_cast<void*>(start), length, PROT_READ,
         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    r.hit = 1;
    return;
  }
  if ((previousBusAction.sa_flags & SA_SIGINFO) && previousBusAction.sa_sigaction) {
    previousBusAction.sa_sigaction(sig, info, context);
    return;
  }
  if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN &&
      previousBusAction.sa_handler != nullptr) {
    previousBusAction.sa_handler(sig);
    return;
  }
  signal(SIGBUS, SIG_DFL); /* the fault repeats and ends the process */
}

int trapAdd(unsigned char* start, size_t length) {
  if (!trapInstalled) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = onBusError;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGBUS, &sa, &previousBusAction) == 0) trapInstalled = true;
  }
  for (int i = 0; i < TRAP_ROWS; i++) {
    if (trapTable[i].length.load() != 0) continue;
    trapTable[i].hit = 0;
    trapTable[i].start.store(reinterpret_cast<uintptr_t>(start));
    trapTable[i].length.store(length);
    return i;
  }
  return -1;
}

void trapRemove(int slot) {
  if (slot < 0 || slot >= TRAP_ROWS) return;
  trapTable[slot].length.store(0);
  trapTable[slot].start.store(0);
}

bool trapTake(int slot) {
  if (slot < 0 || slot >= TRAP_ROWS || !trapTable[slot].hit) return false;
  trapTable[slot].hit = 0;
  return true;
}

const uint32_t NAME_LOOK_MS = 500;
}  // namespace

kvSharedMem::kvSharedMem()
    : pTraceLevel(nullptr), base(nullptr), mappedSize(0), writer(false), attached(false), fd(-1), orphaned(false),
      inode(0), device(0), trapSlot(-1), lastNameLook{0, 0} {
  memset(channels, 0, sizeof channels);
  regionName[0] = '\0';
}

kvSharedMem::~kvSharedMem() { close(); }

size_t kvSharedMem::regionSize(long pageSize) {
  if (pageSize <= 0) pageSize = 4096;
  return size_t(shmUSED_SIZE / pageSize) * size_t(pageSize) + size_t(pageSize);
}

void kvSharedMem::close() {
  trapRemove(trapSlot);
  trapSlot = -1;
  if (base) munmap(base, mappedSize);
  if (fd >= 0) ::close(fd);
  fd = -1;
  base = nullptr;
  attached = false;
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
  int d = asWriter ? shm_open(name, O_RDWR | O_CREAT, 0666) : shm_open(name, O_RDONLY, 0666);
  if (d < 0) {
    ERRLOG(pErrLog, 4, 18004, "kvSharedMem", "Shared memory: shm_open call failed");
    return -1;
  }
  struct stat st;
  bool sized = fstat(d, &st) == 0;
  if (asWriter && (!sized || size_t(st.st_size) < size) && ftruncate(d, off_t(size)) != 0) {
    ::close(d);
    ERRLOG(pErrLog, 4, 18005, "kvSharedMem", "Shared memory allocation (ftruncate) failure");
    return -1;
  }
  /* A reader must not map a region some other writer made too short for
  ** the channel table: the first read of the tail would fault.  Pages of
  ** the mapping past the end of a long-enough region are never touched. */
  bool tooSmall = !asWriter && (!sized || size_t(st.st_size) < size_t(shmUSED_SIZE));
  void* p = tooSmall ? MAP_FAILED
                     : mmap(nullptr, size, asWriter ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
                            d, 0);
  if (p == MAP_FAILED) {
    ::close(d);
    ERRLOG(pErrLog, 4, 18006, "kvSharedMem", "Shared memory mmap failure");
    return -1;
  }
  base = static_cast<unsigned char*>(p);
  mappedSize = size;
  writer = asWriter;
  attached = true;
  if (writer) {
    ::close(d);
  } else {
    /* the reader keeps watching the region it maps (checkRegion) */
    fd = d;
    orphaned = false;
    inode = (unsigned long)st.st_ino;
    device = (unsigned long)st.st_dev;
    snprintf(regionName, sizeof regionName, "%s", name);
    getTimeStamp(&lastNameLook);
    trapSlot = trapAdd(base, mappedSize);
  }
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

/* ---- a region that changes under the reader ------------------------------ */

/* The live region at the reader's one address. */
bool kvSharedMem::mapLive() {
  void* p = mmap(base, mappedSize, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0);
  if (p == MAP_FAILED) return false;
  for (shmChannel& c : channels) c.lastRead = shmFIRST_LAST_READ;
  attached = true;
  return true;
}

/* Zero pages at the reader's address: old record addresses read 0. */
void kvSharedMem::mapZeros() {
  mmap(base, mappedSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
  attached = false;
}

/* Is the region under the name still the one fd holds?  A removed region
** leaves fd as it is (the name may come back); a new one replaces fd.
** Sets *changed when the live view had to be dropped.  False when no
** region has the name. */
bool kvSharedMem::nameStillOurs(bool* changed) {
  getTimeStamp(&lastNameLook);
  int d = shm_open(regionName, O_RDONLY, 0666);
  struct stat st;
  if (d < 0 || fstat(d, &st) != 0) {
    if (d >= 0) ::close(d);
    return false;
  }
  if ((unsigned long)st.st_ino == inode && (unsigned long)st.st_dev == device) {
    ::close(d);
    return true;
  }
  if (fd >= 0) ::close(fd);
  fd = d;
  inode = (unsigned long)st.st_ino;
  device = (unsigned long)st.st_dev;
  if (attached) {
    mapZeros();
    *changed = true;
  }
  return true;
}

int kvSharedMem::checkRegion() {
  if (!base || writer) return 0;
  bool changed = false;
  if (trapTake(trapSlot)) { /* the handler already put zeros in */
    attached = false;
    changed = true;
  }
  if (changed || elapsedMs(&lastNameLook) >= NAME_LOOK_MS) orphaned = !nameStillOurs(&changed);
  struct stat st;
  bool longEnough = !orphaned && fd >= 0 && fstat(fd, &st) == 0 && size_t(st.st_size) >= shmUSED_SIZE;
  if (attached && !longEnough) {
    mapZeros();
    changed = true;
  }
  if (!attached && longEnough && mapLive()) changed = true;
  if (changed && pTraceLevel)
    TRACE(pTraceLevel, 0, "Status region %s %s\n", regionName,
          attached ? "mapped again" : "lost: no status data");
  return changed ? 1 : 0;
}

const unsigned char* kvSharedMem::readNewest(int n) {
  if (!base || n < 0 || n >= shmNUM_CHANNELS) return nullptr;
  if (!attached) return nullptr; /* a lost region has no records */
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
