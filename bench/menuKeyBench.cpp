/*
** menuKeyBench: cost of one key in the menu editor, as a front end pays
** it (processKey, then refresh, then collecting the changed rows), in the
** largest menu (SIS SCHEDULE, 34 lines) on a 10 x 80 terminal and a
** 4 x 20 panel, browsing and in the value view, and one text-entry key.
** Target: well under 100 us per key.
*/
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "dataset/doviduConfig.h"
#include "menu/menuTables.h"
#include "menu/treeEditor.h"
#include "tests/support/testSupport.h"

namespace {

class benchFrontEnd : public treeEditor {
public:
  int init(generic_cfg* c, const treeItemDef* t, ErrTrcLog* l, int b, int h, int f, int cols,
           int* tl, int w, int lvl, const treeItemDef* s) override {
    return TreeEditInitBase(c, t, l, b, h, f, cols, tl, w, lvl, s);
  }
  int paint() override {
    for (int r = 0; r < rowCount(); ++r)
      if (takeRowChange(r) >= 0) ++rowsPainted;
    screenChanged = false;
    return 0;
  }
  int service() override { return 0; }
  void setStatusLine(int, int, bool) override {}
  long rowsPainted = 0;
};

double timeKeys(benchFrontEnd& e, int n, int keyA, int keyB, int flipEvery) {
  auto t0 = std::chrono::steady_clock::now();
  int k = keyA;
  for (int i = 0; i < n; ++i) {
    if (i % flipEvery == 0) k = (k == keyA) ? keyB : keyA;
    e.processKey(k);
    e.pollChanges();
    e.refresh();
    e.paint();
  }
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(t1 - t0).count() / n;
}

void toSisSchedule(benchFrontEnd& e) {
  e.processKey(treeKEY_RIGHT);
  for (int i = 0; i < 8; ++i) e.processKey(treeKEY_DOWN);
  e.processKey(treeKEY_RIGHT);
  e.refresh();
  e.paint();
}

}  // namespace

int main() {
  testsup::TempDir dir;
  char old[4096];
  if (getcwd(old, sizeof old) == nullptr || chdir(dir.path().c_str()) != 0) return 1;
  int level = 0;
  int status = 0;
  {
    dovidu_config cfg(&level, nullptr);
    if (cfg.initDataSet(&level, nullptr, 1, "cfgMaster.x", 0, -1) != 0) status = 1;
    const int N = 200000;
    for (int cols : {80, 20}) {
      int rows = cols == 80 ? 10 : 4;
      benchFrontEnd e;
      if (status || e.init(&cfg, treeMainMenuTable(), nullptr, rows - 1, 1, 0, cols, &level, 1,
                           tal_FULL_EDIT, nullptr) != 0) {
        status = 1;
        break;
      }
      toSisSchedule(e);
      int lines = e.currentItem()->visibleCount();
      double browse = timeKeys(e, N, treeKEY_DOWN, treeKEY_UP, lines);
      e.processKey(treeKEY_RIGHT);   /* value view */
      double view = timeKeys(e, N, treeKEY_DOWN, treeKEY_UP, lines);
      printf("%2d x %2d, SIS SCHEDULE (%d lines): browse %.2f us/key, value view %.2f us/key\n",
             rows, cols, lines, browse, view);
    }
    /* text entry: the station message (190 characters, window scrolling) */
    benchFrontEnd e;
    e.init(&cfg, treeMainMenuTable(), nullptr, 9, 1, 0, 80, &level, 1, tal_FULL_EDIT, nullptr);
    e.processKey(treeKEY_RIGHT);
    for (int i = 0; i < 7; ++i) e.processKey(treeKEY_DOWN);
    e.processKey(treeKEY_RIGHT);
    for (int i = 0; i < 6; ++i) e.processKey(treeKEY_DOWN);
    e.processKey(treeKEY_RIGHT);
    e.processKey(treeKEY_ENTER);
    double edit = timeKeys(e, N, treeKEY_RIGHT, treeKEY_LEFT, 150);
    printf("10 x 80, station message entry: %.2f us/key (cursor and window moves)\n", edit);
  }
  testsup::removeQueuesFor(dir.path());
  if (chdir(old) != 0) return 1;
  return status;
}
