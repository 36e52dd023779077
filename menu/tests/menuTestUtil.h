/*
** Test front end of the menu editor: a screen image built only from what
** paint() is told to repaint, so a wrong change mark shows as a wrong
** screen.  The fixture: the real data set (master role, private queue keys
** in a temporary directory) under the real main menu table.
*/
#ifndef MENU_TESTS_MENUTESTUTIL_H
#define MENU_TESTS_MENUTESTUTIL_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dataset/doviduConfig.h"
#include "menu/menuTables.h"
#include "menu/treeEditor.h"
#include "tests/support/testSupport.h"

class testFrontEnd : public treeEditor {
public:
  int init(generic_cfg* c, const treeItemDef* mainTable, ErrTrcLog* errLog, int body, int header,
           int footer, int cols, int* traceLevel, int word, int level,
           const treeItemDef* second) override {
    int r = TreeEditInitBase(c, mainTable, errLog, body, header, footer, cols, traceLevel, word,
                             level, second);
    if (r == 0) {
      image.assign(rowCount(), std::string(columnCount(), '?'));
      refresh();
      paint();
    }
    return r;
  }
  /* Every row painted is exactly as wide as the display. */
  int paint() override {
    for (int r = 0; r < rowCount(); ++r) {
      EXPECT_EQ((size_t)columnCount(), strlen(rowText(r))) << "row " << r;
      int from = takeRowChange(r);
      if (from < 0) continue;
      image[r].replace(from, std::string::npos, rowText(r) + from);
    }
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

  /* One key as a front end handles it: process, poll, refresh, paint. */
  int key(int k) {
    int r = processKey(k);
    service();
    return r;
  }
  /* Keys as a script: characters are typed, "{down}" or "{down*3}" is a key. */
  void play(const std::string& script) {
    static const struct { const char* name; int key; } names[] = {
        {"up", treeKEY_UP},       {"up5", treeKEY_UP5},  {"down", treeKEY_DOWN},     {"left", treeKEY_LEFT},
        {"right", treeKEY_RIGHT}, {"enter", treeKEY_ENTER}, {"esc", treeKEY_ESCAPE}, {"ins", treeKEY_INSERT},
        {"del", treeKEY_DELETE},  {"bs", treeKEY_BACKSPACE}, {"help", treeKEY_HELP}, {"aux", treeKEY_AUX},
        {"redraw", treeKEY_REDRAW}, {nullptr, 0}};
    for (size_t i = 0; i < script.size(); ++i) {
      size_t end = script.find('}', i);
      if (script[i] != '{' || end == std::string::npos) {
        key((unsigned char)script[i]);
        continue;
      }
      std::string name = script.substr(i + 1, end - i - 1);
      size_t star = name.find('*');
      int times = star == std::string::npos ? 1 : atoi(name.c_str() + star + 1), k = 0;
      for (auto* n = names; n->name; ++n)
        if (name.substr(0, star) == n->name) k = n->key;
      EXPECT_NE(0, k) << "no key " << name;
      for (int t = 0; t < times; ++t) key(k);
      i = end;
    }
  }
  std::string row(int r) const { return image.at(r); }
  /* Rows from `first` on, trailing blanks cut, joined with '|'. */
  std::string rows(int first) const {
    std::string s;
    for (size_t r = first; r < image.size(); ++r)
      s += image[r].substr(0, image[r].find_last_not_of(' ') + 1) + (r + 1 < image.size() ? "|" : "");
    return s;
  }

  std::vector<std::string> image;
};

/* Pad to `width` (or cut): expected rows read as the operator sees them. */
inline std::string padRow(const std::string& s, int width) {
  std::string r = s.substr(0, width);
  r.resize(width, ' ');
  return r;
}

class MenuOnDataSet : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.enter());
    cfg = std::make_unique<dovidu_config>(&traceLevel, nullptr);
    ASSERT_EQ(0, cfg->initDataSet(&traceLevel, nullptr, 1, "cfgMaster.x", 0, -1));
  }
  void TearDown() override {
    ed.reset();
    cfg.reset();
    EXPECT_TRUE(dir.leave());
  }
  /* The console's call: body = rows - 1, one header row, no footer. */
  testFrontEnd& open(int rows, int cols, int level = tal_FULL_EDIT, bool panel = false) {
    ed = std::make_unique<testFrontEnd>();
    EXPECT_EQ(0, ed->init(cfg.get(), treeMainMenuTable(), nullptr, rows - 1, 1, 0, cols,
                          &traceLevel, cols > 60 ? 2 : 1, level,
                          panel ? treeFrontPanelMenuTable : nullptr));
    return *ed;
  }
  std::string value(int index) {
    char buf[1200];
    cfg->getItem(index)->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
    return buf;
  }
  /* Walk from the root: open SETTINGS, then the n-th visible child. */
  void openSettingsChild(int n) { ed->play("{right}{down*" + std::to_string(n) + "}{right}"); }

  testsup::WorkDir dir;
  int traceLevel = 0;
  std::unique_ptr<dovidu_config> cfg;
  std::unique_ptr<testFrontEnd> ed;
};

#endif
