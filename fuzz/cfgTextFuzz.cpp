/*
** Fuzz harness: the configuration text reader (generic_cfg::applyCfgText)
** over the master's full data set (311 items), fed arbitrary file contents.
**
** The text sits in a buffer of exactly its size, so a read one byte past
** the end is an ASan report.  Every item the text changed is then saved as
** its file line and read back: the value must come out unchanged (a value
** the master saves and cannot read back is a value lost at the next
** start).
*/
#include "dataset/doviduConfig.h"
#include "fuzz/fuzzSupport.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static dovidu_config* gCfg;
static int gTrace = 0;

static std::string fileText(dovidu_config* cfg, int fileNum);

/* Save file `fileNum` as text and read that text back. */
static std::string readBack(dovidu_config* cfg, int fileNum) {
  std::string saved = fileText(cfg, fileNum);
  std::vector<char> again(saved.begin(), saved.end());
  if (!again.empty()) cfg->applyCfgText(again.data(), (int)again.size());
  return saved;
}

static dovidu_config* masterSet() {
  if (gCfg) return gCfg;
  gCfg = new dovidu_config(&gTrace, nullptr);
  gCfg->master = 1; /* master role without queues: the reader is local */
  gCfg->defineFiles();
  gCfg->addAllItems(1);
  /* the defaults as a first save and read leave them: a default outside
  ** its item's limits (the access level) is clamped once, by design */
  for (int f = 1; f <= 2; ++f) readBack(gCfg, f);
  gCfg->takeChangedIndexes(nullptr);
  return gCfg;
}

static std::string fileText(dovidu_config* cfg, int fileNum) {
  std::vector<char> buf(200000);
  int n = cfg->formatValues(fileNum, buf.data(), (int)buf.size());
  return std::string(buf.data(), (size_t)n);
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  generic_cfg::resetParseMisses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 200000) return 0;
  dovidu_config* cfg = masterSet();
  char* text = (char*)malloc(size ? size : 1);
  if (size) memcpy(text, data, size);
  cfg->applyCfgText(text, (int)size);
  free(text);

  /* every item the text changed, saved as its file line and read back */
  std::vector<int32_t> changed;
  cfg->takeChangedIndexes(&changed);
  for (int32_t idx : changed) {
    data_itm_Base* it = cfg->getItem(idx);
    if (!it || !it->file || it->file->noName) continue; /* never saved */
    std::vector<char> line(140000);
    int n = it->strOut(line.data(), (int)line.size(), "%25s: ", 42, nullptr, true);
    std::string saved(line.data(), (size_t)n);
    cfg->applyCfgText(line.data(), n);
    n = it->strOut(line.data(), (int)line.size(), "%25s: ", 42, nullptr, true);
    std::string reread(line.data(), (size_t)n);
    if (reread != saved)
      fuzzFail("item %d changed when read back:\n%s%s", idx, saved.c_str(), reread.c_str());
  }
  cfg->takeChangedIndexes(nullptr);
  return 0;
}
