/*
** Fuzz harness: the front-panel link's receive side (lcdRxRing and
** lcdParseFrame), fed arbitrary serial bytes in arbitrary chunk sizes, as
** the display's firmware (or line noise) could send them.
**
** Input:  repeated { u8 chunk size C | C bytes for the ring }; the first
**         byte's bit 7 chooses the display's strict command rule.
**
** Every parse must either hand out a frame of at most 22 data bytes or
** drop at least one byte or wait for more; the ring must stay within its
** 100 bytes and never lose or invent a byte.
*/
#include "frontpanel/lcdFrame.h"
#include "fuzz/fuzzSupport.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 20000) return 0;
  fuzzBytes in(data, size);
  bool strict = (size ? data[0] : 0) & 0x80;
  lcdRxRing ring;
  while (in.remaining()) {
    const uint8_t* chunk = nullptr;
    size_t n = in.take(in.byte() % 64, &chunk);
    size_t done = 0;
    int guard = 0;
    while (done < n) {
      int before = ring.size();
      int took = ring.push(chunk + done, (int)(n - done));
      if (took < 0 || took > lcdRING_SIZE - before) fuzzFail("push took %d with %d free", took, lcdRING_SIZE - before);
      if (ring.size() != before + took) fuzzFail("ring grew by %d for %d bytes", ring.size() - before, took);
      done += (size_t)took;
      for (;;) {
        if (++guard > 100000) fuzzFail("parser makes no progress");
        int had = ring.size();
        lcdFrame f;
        memset(&f, 0xAA, sizeof f);
        unsigned bad = 0, calc = 0;
        int r = lcdParseFrame(ring, &f, strict, &bad, &calc);
        if (r == lcdPARSE_NEED_MORE) {
          if (ring.size() != had) fuzzFail("waiting for more dropped bytes");
          break;
        }
        if (r == lcdPARSE_FRAME) {
          if (f.length > lcdFRAME_MAX_DATA) fuzzFail("frame of %d data bytes", f.length);
          if (had - ring.size() != f.length + 4)
            fuzzFail("frame of %d data bytes consumed %d", f.length, had - ring.size());
          uint8_t raw[lcdFRAME_MAX];
          int len = lcdBuildFrame(f.command, f.data, f.length, raw);
          if (len != f.length + 4) fuzzFail("rebuilt frame of %d bytes", len);
        } else if (r == lcdPARSE_BAD_CMD || r == lcdPARSE_BAD_LEN || r == lcdPARSE_BAD_CRC) {
          if (had - ring.size() != 1) fuzzFail("bad byte dropped %d bytes", had - ring.size());
        } else {
          fuzzFail("parse result %d", r);
        }
        if (ring.size() < 0 || ring.size() > lcdRING_SIZE) fuzzFail("ring size %d", ring.size());
        for (int i = -1; i <= ring.size(); ++i) {
          int b = ring.peek(i);
          if ((i < 0 || i >= ring.size()) != (b == -1)) fuzzFail("peek(%d) = %d of %d", i, b, ring.size());
        }
      }
    }
  }
  return 0;
}
