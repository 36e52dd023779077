/*
** Fuzz harness: binary value records (generic_cfg::binInList and every
** item type's binIn) as a console unit's data set receives them, fed
** arbitrary record bytes in a buffer of exactly their size.
**
** Afterwards the record (binOut) of every item that changed must read back
** into the same value: what the master sends a client must be what the
** client stores.
*/
#include "dataset/doviduConfig.h"
#include "fuzz/fuzzSupport.h"

#include <cstdlib>
#include <cstring>
#include <vector>

static dovidu_config* gCfg;
static int gTrace = 0;

static dovidu_config* clientSet() {
  if (gCfg) return gCfg;
  gCfg = new dovidu_config(&gTrace, nullptr);
  gCfg->defineFiles(); /* client role, no queues */
  gCfg->addAllItems(2);
  return gCfg;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  dovidu_config* cfg = clientSet();
  uint8_t* rec = (uint8_t*)malloc(size ? size : 1);
  if (size) memcpy(rec, data, size);
  cfg->binInList(rec, (int)size, 0);
  free(rec);

  /* the items the records changed: nothing else moved */
  std::vector<int32_t> changed;
  cfg->takeChangedIndexes(&changed);
  std::vector<uint8_t> out(70000);
  for (int32_t idx : changed) {
    data_itm_Base* it = cfg->getItem(idx);
    if (!it) fuzzFail("changed index %d has no item", idx);
    int n = it->binOut(out.data(), (int)out.size(), -1);
    if (n != it->recordLength())
      fuzzFail("item %d: record of %d bytes, expected %d", it->index, n, it->recordLength());
    std::vector<uint8_t> exact(out.begin(), out.begin() + n);
    int before = it->changeCount;
    if (cfg->binInList(exact.data(), n, 0) != 0) fuzzFail("item %d: own record refused", it->index);
    /* a NaN never equals itself: every NaN record counts as a change */
    bool nan = it->typeCode == dtFLOAT && static_cast<data_itm<float>*>(it)->value !=
                                              static_cast<data_itm<float>*>(it)->value;
    if (!nan && it->changeCount != before) fuzzFail("item %d: own record changed the value", it->index);
  }
  cfg->takeChangedIndexes(nullptr);
  return 0;
}
