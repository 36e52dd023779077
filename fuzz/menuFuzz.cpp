/*
** Fuzz harness: the menu editor (treeEditor) over the real main menu and
** the full data set, fed an arbitrary key sequence.
**
** The data set is a master-role one without queues, so saved edits apply
** to the items directly, as in the configuration master; the shell hook
** runs nothing (the clock screen would otherwise set the date).  Every
** input starts from the default values again and opens a fresh editor:
**
**   byte 0   bit 0: 4x20 front-panel shape (else 10x80 terminal);
**            bit 1: with the front-panel table; bits 2..4: access level;
**            bit 5: values from the master follow
**   [bit 5]  u16 length L (little-endian) and L bytes of binary value
**            records, applied as a console applies the master's pushes
**            (any text length, any float, dates out of range)
**   then     one key per byte: 0..15 the editor keys treeKEY_UP..
**            treeKEY_BACKSPACE_ALT, anything else goes in as the
**            character code (the keyboard may send any byte)
**
** After every key the front end's service pass runs (poll, refresh,
** paint), and every row must be exactly as wide as the display, the edit
** cursor inside the screen.
*/
#include "dataset/doviduConfig.h"
#include "fuzz/fuzzSupport.h"
#include "menu/menuTables.h"
#include "menu/treeEditor.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

class fuzzFrontEnd : public treeEditor {
public:
  int init(generic_cfg* c, const treeItemDef* mainTable, ErrTrcLog* errLog, int body, int header,
           int footer, int cols, int* traceLevel, int word, int level,
           const treeItemDef* second) override {
    int r = TreeEditInitBase(c, mainTable, errLog, body, header, footer, cols, traceLevel, word,
                             level, second);
    if (r == 0) {
      refresh();
      paint();
    }
    return r;
  }
  int paint() override {
    for (int r = 0; r < rowCount(); ++r) takeRowChange(r);
    screenChanged = false;
    return 0;
  }
  int service() override {
    int n = pollChanges();
    refresh();
    paint();
    return n > 0;
  }
  void setStatusLine(int, int, bool) override {}
};

dovidu_config* gCfg;
int gTrace = 0;
std::vector<uint8_t> gDefaults; /* every item's record at its default */

dovidu_config* dataSet() {
  if (gCfg) return gCfg;
  gCfg = new dovidu_config(&gTrace, nullptr);
  gCfg->master = 1;
  gCfg->defineFiles();
  gCfg->addAllItems(1);
  gDefaults.resize(70000);
  int used = 0;
  for (data_itm_Base* it : gCfg->allItems())
    used += it->binOut(gDefaults.data() + used, (int)gDefaults.size() - used, -1);
  gDefaults.resize((size_t)used);
  return gCfg;
}

void checkScreen(fuzzFrontEnd& ed, int key) {
  int cols = ed.columnCount();
  for (int r = 0; r < ed.rowCount(); ++r) {
    size_t l = strlen(ed.rowText(r));
    if ((int)l != cols) fuzzFail("after key %d row %d is %zu wide at %d columns", key, r, l, cols);
  }
  int row = -1, col = -1;
  if (ed.editCursor(&row, &col) && (row < 0 || row >= ed.rowCount() || col < 0 || col >= cols))
    fuzzFail("after key %d edit cursor at row %d column %d", key, row, col);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4000) return 0;
  dovidu_config* cfg = dataSet();
  cfg->binInList(gDefaults.data(), (int)gDefaults.size(), 0);
  uint8_t shape = data[0];
  size_t first = 1;
  if (shape & 0x20) {
    fuzzBytes in(data + 1, size - 1);
    const uint8_t* rec = nullptr;
    size_t len = in.take(in.u16(), &rec);
    std::vector<uint8_t> exact(rec, rec + len);
    cfg->binInList(exact.data(), (int)len, 0);
    first = size - in.remaining();
  }
  cfg->takeChangedIndexes(nullptr);
  bool panel = shape & 1;
  /* the terminal's window also comes narrow (a message box laid out
  ** again below 20 columns) */
  bool narrow = !panel && (shape & 0x40);
  int rows = panel ? 4 : narrow && (shape & 0x10) ? 3 : 10;
  int cols = panel ? 20 : narrow ? 16 + (shape >> 7) * 2 : 80;
  int level = (shape >> 2) % 5;
  auto ed = std::make_unique<fuzzFrontEnd>();
  if (ed->init(cfg, treeMainMenuTable(), nullptr, rows - 1, 1, 0, cols, &gTrace, panel ? 1 : 2,
               level, (shape & 2) ? treeFrontPanelMenuTable : nullptr) != 0)
    fuzzFail("editor init failed");
  checkScreen(*ed, -1);
  for (size_t i = first; i < size; ++i) {
    int key = data[i] < 16 ? treeKEY_UP + data[i] : data[i];
    ed->processKey(key);
    ed->takePendingAction();
    ed->service();
    checkScreen(*ed, key);
  }
  return 0;
}
