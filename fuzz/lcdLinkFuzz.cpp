/*
** Fuzz harness: the console unit's front-panel link (LCD4x20) on a real
** pseudo-terminal, fed arbitrary bytes from the display's side.
**
** The display is the emulator's firmware on the pty (the front-panel
** tests' ptyDisplay); it answers the link's requests as the real display
** would, and the input's bytes are injected into the same line in between:
** key frames, replies to the outstanding request, user settings blocks,
** garbage and partial frames alike.
**
** Input:  repeated { u8 chunk size C | C bytes injected }, each chunk
**         followed by a few service calls.
**
** Every event the link reports must be one of its events or a key byte;
** the LED colours and the adjustment screen stay in their ranges.
*/
#include "frontpanel/LCD4x20.h"
#include "frontpanel/tests/ptyDisplay.h"
#include "fuzz/fuzzSupport.h"

#include <unistd.h>
#include <vector>

static ptyDisplay* gDisplay;
static LCD4x20* gLink;
static int gTrace = -1;

/* The link's own events, or the key byte of a key frame as the display sent
** it (plus 12 while X is held): the link passes unknown keys on and the
** front-panel module drops them. */
static bool knownEvent(int ev) { return ev >= 0 && ev <= 255 + 12; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  gDisplay = new ptyDisplay();
  if (!gDisplay->ok()) fuzzFail("no pseudo-terminal");
  gDisplay->select();
  gLink = new LCD4x20();
  gLink->setSearchPasses(1);
  if (gLink->lcdInit(&gTrace, nullptr) != 0) fuzzFail("link did not find the display");
  gLink->waitQueueEmpty(1.0f, "fuzz start");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  fuzzBytes in(data, size);
  while (in.remaining()) {
    const uint8_t* chunk = nullptr;
    size_t n = in.take(in.byte() % 48, &chunk);
    gDisplay->inject(std::vector<uint8_t>(chunk, chunk + n));
    for (int i = 0; i < 6; ++i) {
      int ev = gLink->service();
      if (!knownEvent(ev)) fuzzFail("service event %d", ev);
      if (i == 2) usleep(50);
    }
    for (int led = -1; led <= 4; ++led)
      if (gLink->ledColour(led) < 0 || gLink->ledColour(led) > 3)
        fuzzFail("LED %d colour %d", led, gLink->ledColour(led));
    int adj = gLink->adjustScreen();
    if (adj < lcdADJ_NONE || adj > lcdADJ_LED) fuzzFail("adjustment screen %d", adj);
  }
  gDisplay->clearFrames();
  return 0;
}
