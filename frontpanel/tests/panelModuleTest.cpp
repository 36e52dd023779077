/* The front panel's module against the display's firmware on a real pty
** (the menu on the panel: the end-to-end run over lcdEmu.x). */
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#include "frontpanel/tests/ptyDisplay.h"
#include "frontpanel/treeEditorModule.h"
#include "tests/support/testSupport.h"

namespace {

bool has(const std::string& out, const char* text) { return out.find(text) != std::string::npos; }

class PanelModule : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(display.ok());
    display.select();
    ASSERT_TRUE(dir.enter());
  }
  void TearDown() override {
    ed.reset();
    EXPECT_TRUE(dir.leave());
  }
  int serviceFor(int ms) {
    int last = 0;
    for (int waited = 0; waited < ms; waited += 2) {
      if ((last = ed->service()) < 0) return last;
      usleep(2000);
    }
    return last;
  }
  std::string row(int r) {
    std::string s;
    display.with([&](emuLine& l) {
      for (int c = 0; c < 20; ++c) s += l.panel.printable(l.panel.screen[r][c]);
    });
    return s;
  }
  std::string screen() { return row(0) + "\n" + row(1) + "\n" + row(2) + "\n" + row(3); }

  ptyDisplay display;
  testsup::WorkDir dir;
  int traceLevel = 0;
  std::unique_ptr<treeEditorModule> ed;
};

}  // namespace

TEST_F(PanelModule, theStartUpLogLedsRefusedBootTextASilentDisplayAndNoDisplay) {
  ed = std::make_unique<treeEditorModule>();
  ed->link().setSearchPasses(1);
  ASSERT_EQ(0, ed->openDisplay(4, 20, &traceLevel, nullptr));
  for (int l = 0; l < 4; ++l) EXPECT_EQ(0, ed->link().ledColour(l));  // switched off at open
  ed->addLogLine("Cfg Init 1");
  EXPECT_EQ(" Cfg Init 1", row(0).substr(4, 11));
  EXPECT_EQ('.', row(0)[2]);
  for (int i = 2; i <= 5; ++i) ed->addLogLine(("line " + std::to_string(i)).c_str());
  // five lines on four rows: the oldest is hidden, row 0 says so at column 4
  EXPECT_EQ("^line 2", row(0).substr(4, 7)) << screen();
  EXPECT_EQ(" line 5", row(3).substr(4, 7)) << screen();
  for (int i = 6; i <= 21; ++i) ed->addLogLine(("line " + std::to_string(i)).c_str());
  EXPECT_EQ(20, ed->logCount());
  EXPECT_EQ("line 2", std::string(ed->logLine(0)).substr(5, 6));  // the first went
  EXPECT_EQ(20u, std::string(ed->logLine(19)).size());
  // up scrolls to older lines; the last row then says newer ones are below
  display.key(1);
  serviceFor(100);
  EXPECT_EQ("^line 17", row(0).substr(4, 8)) << screen();
  EXPECT_EQ('v', row(3)[4]) << screen();
  display.clearFrames();
  ed->setStatusLine(0, 2, false);  // error on the system line: LED 3
  ed->setStatusLine(1, 0, false);  // audio ok: LED 2
  ed->setStatusLine(2, 1, false);  // GPS warning: LED 1
  ed->setStatusLine(3, 9, false);  // unknown: error colour
  EXPECT_EQ(lcdLED_ERROR, ed->link().ledColour(3));
  EXPECT_TRUE(ed->link().ledFlashing(3));
  EXPECT_EQ(lcdLED_OK, ed->link().ledColour(2));
  EXPECT_EQ(lcdLED_WARN, ed->link().ledColour(1));
  EXPECT_EQ(lcdLED_ERROR, ed->link().ledColour(0));
  testing::internal::CaptureStdout();
  ed->dispBootText(0, "hello", true);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(has(out, "ERR #22001 in treeEditModule::dispBootText() - line ")) << out;
  EXPECT_TRUE(has(out, "Module initialization must be done before writing to display."));
  serviceFor(100);
  display.with([](emuLine& l) { EXPECT_EQ(0, l.panel.ledLevel[2][0]); });  // LED 2 green only
  EXPECT_TRUE(display.framesOf(4).empty());  // no boot text was stored
  // a lost display ends the service even while the log shows
  display.with([](emuLine& l) { l.silent = true; });
  ed->setStatusLine(0, 1, false);
  testing::internal::CaptureStdout();
  int r = serviceFor(2000);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(-2, r);
  EXPECT_TRUE(has(out, "tem: LCD Communication failure")) << out;
  // no display at all: the search fails and the log says so
  ed = std::make_unique<treeEditorModule>();
  ed->link().setSearchPasses(2);
  display.clearFrames();
  testing::internal::CaptureStdout();
  EXPECT_EQ(1, ed->openDisplay(4, 20, &traceLevel, nullptr));
  out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(has(out, "ERR #23001 in LCD4x20::lcdInit()")) << out;
  EXPECT_TRUE(has(out, "Cannot open serial port")) << out;
  EXPECT_TRUE(has(out, "tem: Error(s) initializing LCD display module")) << out;
  EXPECT_FALSE(ed->link().isOpen());
  EXPECT_EQ(2u, display.framesOf(0).size());  // one ping per pass
  ASSERT_EQ(1, ed->logCount());
  EXPECT_EQ(" LCD Init Fail", std::string(ed->logLine(0)).substr(4, 14));
}
