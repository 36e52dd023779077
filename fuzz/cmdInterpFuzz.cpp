/*
** Fuzz harness: the command console's line reader and matcher (cmdInterp)
** over a pipe that carries arbitrary bytes, with the level pushes and pops
** the console makes ("c" opens the data level, "tst" the test level, "u"
** goes back up, "h" prints the help).
**
** The reader must end on the closed pipe within a bounded number of calls,
** and every argument it hands out must be a string of at most one line.
*/
#include "cmdline/cmdInterp.h"
#include "fuzz/fuzzSupport.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

static FILE* gNull;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 60000) return 0; /* stays within one pipe buffer */
  if (!gNull) gNull = fopen("/dev/null", "w");
  int fds[2];
  if (pipe(fds) != 0) fuzzFail("pipe");
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fds[1], data + done, size - done);
    if (n <= 0) fuzzFail("pipe write");
    done += (size_t)n;
  }
  close(fds[1]);
  {
    cmdInterp ci(fds[0], gNull);
    ci.pushLevel(topLevelCmds, commonCmds, "cfg->");
    /* every call takes at least one byte until the end: size + a few */
    size_t calls = 0;
    for (;; ++calls) {
      if (calls > size + 8) fuzzFail("no end of input after %zu calls for %zu bytes", calls, size);
      int id = ci.readCommand();
      if (id == CMD_END_OF_INPUT) break;
      if (id == CMD_NO_LINE || id == CMD_REJECTED) continue;
      int n = ci.argCount();
      if (n < 0 || n >= CMD_MAX_TOKENS) fuzzFail("argument count %d", n);
      for (int k = -1; k <= n + 1; ++k) {
        size_t l = strlen(ci.arg(k));
        if (l > CMD_LINE_MAX) fuzzFail("argument %d of %zu characters", k, l);
        (void)ci.argInt(k);
      }
      switch (id) {
        case CMDID_DATA_MODE:
          ci.pushLevel(dataLevelCmds, commonCmds, "dta->");
          break;
        case CMDID_TEST: ci.pushLevel(testLevelCmds, commonCmds, "tst->"); break;
        case CMDID_UP: ci.popLevel(); break;
        case CMDID_HELP: ci.help(); break;
        default: break;
      }
      if (ci.depth() > 64) fuzzFail("levels pile up: %d", ci.depth());
    }
  }
  close(fds[0]);
  return 0;
}
