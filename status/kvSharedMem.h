/*
** kvSharedMem: the shared status region between the exporter side (one
** writer) and the console unit (readers).
**
** The region is eight channels, each a small ring of fixed-size records.
** The writer fills the slot after the write index and then commits, which
** moves the write index onto it; a reader takes only the newest record, and
** only when the write index moved since its last look.  There is no lock:
** a record a reader holds is rewritten only after the writer has gone
** round the whole ring (three or five commits).
**
** Region layout (all counters 32-bit little-endian):
**
**   offset  size      content
**   ------  --------  ------------------------------------------------
**        0  4         update counter (every commit on any channel)
**        4  4         ch 0 commit count
**        8  4         ch 0 write index
**       12  5 x 40    ch 0 records: audio levels
**      212  4 + 4     ch 1 commit count, write index
**      220  3 x 116   ch 1 records: audio status and diversity delay
**      568  4 + 4     ch 2 commit count, write index
**      576  5 x 36    ch 2 records: GPS receiver status
**      756  4 + 4     ch 3 commit count, write index
**      764  5 x 28    ch 3 records: system status
**      904  4 + 4     ch 4 commit count, write index
**      912  5 x 8     ch 4 records: interface-board status
**      952  4 + 4     ch 5 commit count, write index
**      960  3 x 288   ch 5 records: version texts
**     1824  4 + 4     ch 6 commit count, write index
**     1832  3 x 4097  ch 6 records (the console unit does not read them)
**    14123  4 + 4     ch 7 commit count, write index   <- not 4-aligned
**    14131  3 x 4097  ch 7 records: status-and-alarms text
**    26422            end of the used part (26421 bytes rounded to whole
**                     pages, plus one page: 28672 with 4096-byte pages)
**
** Because channel 7 is not aligned, every counter is read and written byte
** by byte (memcpy), never through an int pointer.
**
** Record field layouts are in status/statusRecords.h.
**
** A region that changes under a reader.  The exporter side may truncate
** its region, remove it or create a new one (another inode, another size)
** while consoles have it mapped; touching a page past the end of a shrunk
** region would kill the reader with SIGBUS.  So a reader:
**   - keeps its descriptor and looks at the region's size before every
**     poll (checkRegion, one fstat), and at the name every half second
**     (a removed or recreated region);
**   - keeps one address for its whole life: a lost region is replaced by
**     zero pages at that address, a new one is mapped over it again, so
**     a record address handed out earlier never dangles;
**   - catches a SIGBUS inside its own mapping (the region shrank between
**     the look and the read): the handler puts the zero pages in and the
**     next checkRegion notices;
**   - hands out no record while the region is lost (readNewest null), so
**     the status screens show their no-data rows.
**
** Errors (module "kvSharedMem", priority 4):
**   18004 "Shared memory: shm_open call failed"
**   18005 "Shared memory allocation (ftruncate) failure"   (writer only)
**   18006 "Shared memory mmap failure"
*/
#ifndef STATUS_KVSHAREDMEM_H
#define STATUS_KVSHAREDMEM_H

#include <cstddef>
#include <cstdint>

#include "diag/cppUtils.h"

class ErrTrcLog;

enum {
  shmNUM_CHANNELS = 8,
  shmUSED_SIZE = 26421,     /* base of the size rule; the table ends at 26422,
                            ** inside the same page */
  shmFIRST_LAST_READ = 100  /* a last-read index no write index takes */
};

/* Channel numbers by content. */
enum {
  shmCH_AUDIO_LEVELS = 0,
  shmCH_AUDIO_STATUS = 1,   /* also the diversity delay status */
  shmCH_GPS = 2,
  shmCH_SYSTEM = 3,
  shmCH_IF_BOARD = 4,
  shmCH_VERSIONS = 5,
  shmCH_UNUSED6 = 6,
  shmCH_ALARMS = 7
};

/* Static shape of one channel: where it sits and how big its slots are. */
struct shmChannelShape {
  int number;       /* -1 ends the table */
  int offset;       /* of the commit count; write index follows, then slots */
  int slotCount;
  int slotSize;
};
extern const shmChannelShape shmChannelTable[];

/* Per-process view of one channel. */
struct shmChannel {
  int slotCount;
  int slotSize;
  int lastRead;                 /* starts at shmFIRST_LAST_READ */
  unsigned char* firstRecord;
  unsigned char* base;
  unsigned char* commitCount;   /* 4 bytes, maybe unaligned */
  unsigned char* writeIndex;    /* 4 bytes, maybe unaligned */
};

class kvSharedMem {
public:
  kvSharedMem();
  ~kvSharedMem();   /* unmaps; never unlinks (the region outlives us) */
  kvSharedMem(const kvSharedMem&) = delete;
  kvSharedMem& operator=(const kvSharedMem&) = delete;

  /* Open and map the region named by statusShmName() (or `name` when not
  ** null).  Writer: create it, grow it to size when it is shorter (never
  ** shrink or truncate a region readers may have mapped), map read-write,
  ** zero-fill.  Reader: map read-only; a region shorter than the channel
  ** table is refused with 18006.  Returns 0, or -1 after logging
  ** 18004..18006.
  ** Opening an open object prints "ERROR: initSharedMem already opened"
  ** and opens again. */
  int initSharedMem(ErrTrcLog* pErrLog, bool writer, const char* name = nullptr);

  /* The newest record of `channel` when its write index moved since this
  ** process last looked (remembering the new index), else null.  A write
  ** index outside the channel's slots is taken as "nothing new". */
  const unsigned char* readNewest(int channel);

  /* Writer only: the slot after the write index, to be filled before
  ** commit(); null for a reader, a closed region or a bad channel. */
  unsigned char* nextSlot(int channel);
  /* Writer only: move the write index onto the next slot, then count the
  ** commit on the channel and in the region.  0, or -1 as nextSlot. */
  int commit(int channel);

  /* Reader: look whether the region under the name is still the one
  ** mapped and still long enough; follow it when it changed (lost: zero
  ** pages; new or grown back: mapped, every channel read afresh).
  ** Returns 1 when the view changed since the last call (every record
  ** address taken before now shows zeros or the new region: drop them),
  ** else 0.  A writer or a closed object returns 0. */
  int checkRegion();
  /* Reader: the live region is mapped (false while it is lost). */
  bool regionAttached() const { return base != nullptr && attached; }

  /* Unmap (safe to call twice). */
  void close();
  /* Remove the region's name from the system (writer's tidy exit). */
  static int unlinkRegion(const char* name = nullptr);

  /* 26421 rounded down to whole pages plus one page. */
  static size_t regionSize(long pageSize);

  bool isOpen() const { return base != nullptr; }
  bool isWriter() const { return writer; }
  size_t size() const { return mappedSize; }
  const unsigned char* regionBase() const { return base; }
  const shmChannel* channel(int n) const;
  uint32_t updateCounter() const;
  uint32_t commitCount(int channel) const;
  uint32_t writeIndex(int channel) const;

  const int* pTraceLevel;

private:
  void setUpChannels();
  bool mapLive();
  void mapZeros();
  bool nameStillOurs(bool* changed);

  unsigned char* base;
  size_t mappedSize;
  bool writer;
  bool attached;       /* reader: base shows the live region */
  int fd;              /* reader: the region's descriptor, -1 when none */
  bool orphaned;       /* reader: no region has the name any more */
  unsigned long inode; /* of fd */
  unsigned long device;
  int trapSlot;        /* reader: its entry in the SIGBUS trap table, -1 */
  kvTimeStamp lastNameLook;
  char regionName[256];
  shmChannel channels[shmNUM_CHANNELS];
};

/* Little-endian 32-bit load and store at any alignment. */
uint32_t shmGetU32(const unsigned char* p);
void shmPutU32(unsigned char* p, uint32_t v);

#endif
