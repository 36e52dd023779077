/*
** Fuzz harness: the menu editor (treeEditor) over the real main menu and
** the full data set, fed an arbitrary key sequence.
**
** The data set is a master-role one without queues, so saved edits apply
** to the items directly, as in the configuration master; the shell hook
** runs nothing (the clock screen would otherwise set the date).  Each input
** opens a fresh editor:
**
**   byte 0   bit 0: 4x20 front-panel shape (else 10x80 terminal);
**            bit 1: with the front-panel table; bits 2..4: access level
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

dovidu_config* dataSet() {
  if (gCfg) return gCfg;
  gCfg = new dovidu_config(&gTrace, nullptr);
  gCfg->master = 1;
  gCfg->defineFiles();
  gCfg->addAllItems(1);
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
  uint8_t shape = data[0];
  bool panel = shape & 1;
  int rows = panel ? 4 : 10, cols = panel ? 20 : 80;
  int level = (shape >> 2) % 5;
  auto ed = std::make_unique<fuzzFrontEnd>();
  if (ed->init(cfg, treeMainMenuTable(), nullptr, rows - 1, 1, 0, cols, &gTrace, panel ? 1 : 2,
               level, (shape & 2) ? treeFrontPanelMenuTable : nullptr) != 0)
    fuzzFail("editor init failed");
  checkScreen(*ed, -1);
  for (size_t i = 1; i < size; ++i) {
    int key = data[i] < 16 ? treeKEY_UP + data[i] : data[i];
    ed->processKey(key);
    ed->takePendingAction();
    ed->service();
    checkScreen(*ed, key);
  }
  return 0;
}
