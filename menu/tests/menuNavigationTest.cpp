/* The menu as the operator walks it: the real main table over the real data set. */
#include "menu/tests/menuTestUtil.h"

#include "diag/shellSeam.h"
#include "status/statusRecords.h"

#include <algorithm>

/* Context lines, the value view, keys and stray characters that change
** nothing, status screens paging between siblings (the root and SETTINGS
** screens: the panel's end-to-end run). */
TEST_F(MenuOnDataSet, rootBrowsingWithContextLinesTheValueViewAndStatusScreens) {
  testFrontEnd& e = open(4, 20);
  e.play("{right}");
  std::string before = e.rows(0);
  for (int k : {0, -5, 31, 128, 4096, 4113, 99999, (int)'x', (int)' ', (int)treeKEY_UP5, (int)treeKEY_HELP,
                (int)treeKEY_INSERT_ALT, (int)treeKEY_REDRAW})
    EXPECT_EQ(0, e.key(k)) << k;
  EXPECT_EQ(before, e.rows(0));
  e.play("{down*2}");
  EXPECT_EQ("^ Date & Time|->Exciter Config|v Network Config", e.rows(1));
  e.play("{down*10}");   /* stops at the last line */
  EXPECT_EQ("^ Station Info|  SIS Schedule|->Maintenance", e.rows(1));
  e.play("{up*5}{right}{down*2}{right}");   /* AUDIO CONTROL, Digital Gain */
  EXPECT_EQ(treeEditor::MC_VALUE, e.menuCursorState());
  EXPECT_EQ("AUDIO CONTROL     FM|^   Digital Gain|         0dB|v ('SELECT' to edit)", e.rows(0));
  e.play("{down}");
  EXPECT_EQ("^   Audio Bypass|         no|v ('SELECT' to edit)", e.rows(1));
  e.play("{left}");   /* back to browsing, same line selected */
  EXPECT_EQ(padRow("->Audio Bypass", 20), e.row(2));
  e.play("{esc}{down}{right}{down}{right}");   /* AUDIO STATUS: no data until a record arrives */
  EXPECT_EQ("AUDIO STATUS      FM| -no data available-| -no data available-| -no data available-", e.rows(0));
  e.play("{down}");   /* status screens page between siblings, the text screen above too */
  EXPECT_EQ(331, e.currentItem()->itemID);
  e.play("{up}{up}");
  EXPECT_EQ(345, e.currentItem()->itemID);
  e.play("{left}");
  EXPECT_EQ(361, e.currentItem()->itemID);
  testing::internal::CaptureStdout();
  e.somethingChanged(17, 0);
  EXPECT_NE(std::string::npos,
            testing::internal::GetCapturedStdout().find("Invalid lineNum for 'somethingChanged'.  value=17"));
}

/* Only Enter or Help close a box, Help answering no; a box shown while one
** is up is dropped with its completion, and a completion answers its own
** box only (the power-down and update boxes answered: the window tests). */
TEST_F(MenuOnDataSet, messageBoxOverlaysAnyModeAndOnlyEnterOrHelpCloseIt) {
  testFrontEnd& e = open(4, 20);
  std::vector<std::string> got;
  auto record = [](treeEditor* ed, bool yes) {
    static_cast<std::vector<std::string>*>(ed->messageBoxUser())->push_back(yes ? "yes" : "no");
  };
  auto other = [](treeEditor* ed, bool) {
    static_cast<std::vector<std::string>*>(ed->messageBoxUser())->push_back("other");
  };
  e.play("{right}{right}");
  ASSERT_EQ(1, e.showMessageBox("! System Restart !", " Please wait for    \n system to restart  \n", record, &got));
  EXPECT_EQ(0, e.showMessageBox(" **Run Update?** ", "x", other, &got));
  e.paint();
  EXPECT_EQ("!! System Restart !!| Please wait for| system to restart|", e.rows(0));
  for (int k : {(int)treeKEY_DOWN, (int)treeKEY_ESCAPE, (int)treeKEY_RIGHT, (int)'a', 9999}) e.key(k);
  EXPECT_TRUE(got.empty());
  e.play("{help}");
  ASSERT_EQ(1, e.showMessageBox("!!! Power Down !!!", " System is preparing\n"));
  e.play("{enter}");
  EXPECT_EQ((std::vector<std::string>{"no"}), got);
  EXPECT_FALSE(e.messageBoxShown());
  EXPECT_EQ(tdm_MENU, e.displayMode());
}

/* Help opens only from a value view, under the menu's header; it scrolls
** the item's help with its range or length, ignores other keys and Left,
** Escape or Enter close it. */
TEST_F(MenuOnDataSet, helpViewScrollsTheItemHelpWithRangeAndUnitsUnderTheMenuHeader) {
  testFrontEnd& e = open(4, 20);
  auto helpText = [&] {
    std::string all;
    for (int i = 0; i < 10; ++i, e.play("{down}")) all += e.row(1) + "|";
    return all + e.row(2) + "|" + e.row(3);
  };
  openSettingsChild(4);
  EXPECT_EQ(0, e.key(treeKEY_AUX));   /* browsing: no help */
  EXPECT_EQ(treeEditor::MC_BROWSE, e.menuCursorState());
  e.play("{down*2}{right}");   /* Digital Gain value view */
  std::string before = e.rows(0);
  EXPECT_EQ(1, e.key(treeKEY_AUX));
  EXPECT_EQ(0u, e.rows(0).find("AUDIO CONTROL     FM| Digital Gain:| Adjusts the HD1")) << e.rows(0);
  std::string all = helpText();
  EXPECT_NE(std::string::npos, all.find("Range: -8 to 7dB")) << all;
  EXPECT_EQ((char)e.displayChar(0), e.row(1)[0]);   /* lines hidden above */
  std::string scrolled = e.rows(0);
  for (int k : {(int)treeKEY_REDRAW, (int)treeKEY_AUX, (int)treeKEY_HELP, (int)treeKEY_RIGHT,
                (int)treeKEY_UP5, (int)'x'})
    EXPECT_EQ(0, e.key(k)) << k;
  EXPECT_EQ(scrolled, e.rows(0));
  EXPECT_EQ(1, e.key(treeKEY_UP));
  EXPECT_NE(scrolled, e.rows(0));
  for (int k : {(int)treeKEY_LEFT, (int)treeKEY_ESCAPE, (int)treeKEY_ENTER}) {
    e.key(treeKEY_AUX);
    ASSERT_EQ(treeEditor::MC_HELP, e.menuCursorState());
    e.key(k);   /* each closes the help, back to the same value view */
    EXPECT_EQ(treeEditor::MC_VALUE, e.menuCursorState()) << k;
    EXPECT_EQ(before, e.rows(0)) << k;
  }
  e.play("{esc}{right}{up*9}{down*7}{right}{right}{aux}");   /* STATION INFO, Stn. Name Short */
  all = helpText();
  EXPECT_NE(std::string::npos, all.find("Stn. Name Short:")) << all;
  EXPECT_NE(std::string::npos, all.find("Up to 4 characters")) << all;
}

TEST_F(MenuOnDataSet, badTablesAreRejectedAtTheFirstBadRowWithTheirMessage) {
  const treeItemDef end = {-1, -1, 0, 0, nullptr, nullptr, nullptr}, menuA = {-1, 347, tit_MENU, 0, "A", "A", nullptr},
                    vol = {347, 3, tit_EDIT, 0, "V", "Vol", nullptr};
  const struct {
    std::vector<treeItemDef> table;
    int code;
    const char* text;
  } cases[] = {
      {{menuA, {5, -1, tit_MENU, 0, "B", "B", nullptr}, end}, 21003,
       "Tree item list must end with itemID=-1 and parentItemID=-1"},
      {{menuA, vol, vol, end}, 21001, "Error in tree edit init: Parent already contains this item. Item='Vol' ID=3"},
      {{{-1, 340, tit_SPECIAL, 0, "X", "X", nullptr}, end}, 21001, "Special handler does not exist for item"},
      {{{-1, 67, tit_EDIT, 0, "X", "Nothing", nullptr}, end}, 21001,
       "Not a registered / subscribed to item. Item='Nothing' ID=67"},
      {{{400, 3, tit_EDIT, 0, "X", "Orphan", nullptr}, end}, 21001, "Parent item does not exist"},
  };
  for (const auto& c : cases) {
    testFrontEnd e;
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, e.init(cfg.get(), c.table.data(), nullptr, 3, 1, 0, 20, &traceLevel, 1, 2, nullptr));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find(c.text)) << out;
    EXPECT_EQ(0u, out.find("ERR #" + std::to_string(c.code) + " in treeEdit::TreeEditInitBase() - line ")) << out;
    EXPECT_EQ(1u, std::count(out.begin(), out.end(), '#')) << "one report only: " << out;
  }
}

/* The update screen shows nothing without an owner; with one it runs a
** step per pass and follows the installer's output three lines before its
** last, scrolling back on demand (the real tool: the window tests). */
TEST_F(MenuOnDataSet, updateScreenRunsTheOwnersStepsAndFollowsTheInstaller) {
  testFrontEnd& e = open(10, 80);
  std::vector<unsigned char> alarms(srALARMS_SIZE, 0);
  memcpy(alarms.data(), "GPS antenna fault", 17);
  e.screens.setAlarmsText(alarms.data());
  e.play("{down}{right}{down}{right}{up}");   /* the alarms text screen, then SW UPDATE */
  ASSERT_EQ(padRow("GPS antenna fault", 80), e.row(1));
  e.play("{left}{esc}{up}");
  openSettingsChild(9);
  e.play("{down*6}{right}");
  EXPECT_EQ(tdm_TEXT, e.displayMode());
  EXPECT_EQ(std::string(8, '|'), e.rows(1));
  struct Feed {
    int lines = 0;
    std::vector<int> steps;
  } feed;
  e.setUpdateStep(
      [](void* ctx, int* step, char* text, int size) {
        auto* f = static_cast<Feed*>(ctx);
        f->steps.push_back(*step);
        if (*step == 0) {   /* as if confirmed and downloaded: the installer runs next */
          snprintf(text, size, "Installing");
          *step = 2;
          return 0;
        }
        f->lines += 6;
        int n = 0;
        for (int i = 1; i <= f->lines && n < size - 16; ++i) n += snprintf(text + n, size - n, "line %i\n", i);
        if (f->lines >= 18) *step = 1;
        return 1;
      },
      &feed);
  e.play("{left}{right}");
  EXPECT_EQ(padRow("Installing", 80), e.row(1));
  e.service();   /* 6 lines: the view starts at line 4 */
  EXPECT_EQ("line 4|line 5|line 6|", e.rows(1).substr(0, 21));
  e.service();   /* 12 lines: view follows to line 10 */
  EXPECT_EQ(padRow("line 10", 80), e.row(1));
  e.service();   /* 18 lines, installer done */
  e.service();   /* finished: no more steps, the text stays */
  EXPECT_EQ("line 16|line 17|line 18|", e.rows(1).substr(0, 24));
  EXPECT_EQ((std::vector<int>{0, 2, 2, 2}), feed.steps);
  EXPECT_EQ(0, e.key(treeKEY_DOWN));   /* nothing hidden below */
  e.play("{up*20}");
  EXPECT_EQ(padRow("line 1", 80) + padRow("line 9", 80), e.row(1) + e.row(9));
  EXPECT_EQ(1, e.key(treeKEY_DOWN));
  EXPECT_EQ(padRow("line 2", 80), e.row(1));
  EXPECT_EQ(0, e.key(treeKEY_RIGHT));
}

/* Nothing at a level shows (NO DATA); the logs menu is listed only at
** factory level 2 (after MAINTENANCE); lowering the level keeps the
** selection on a listed line. */
TEST_F(MenuOnDataSet, accessLevelListsTheLogsMenuAndLoweringItKeepsTheSelectionListed) {
  testFrontEnd& e = open(4, 20, tal_VIEW_ONLY);
  e.play("{right}{right}{enter}");   /* System Settings: nothing at level 0, nothing to edit */
  EXPECT_EQ("SETTINGS          FM|   System Settings|      (NO DATA)|", e.rows(0));
  EXPECT_EQ(tdm_MENU, e.displayMode());
  e.play("{esc}");   /* to the top in one step */
  EXPECT_EQ(e.rootItem(), e.currentItem());
  treeItem* settings = e.findNavItem(347);
  e.setAccessLevel(tal_FULL_EDIT);
  EXPECT_EQ(10, settings->visibleCount());
  for (int i = 0; i < settings->visibleCount(); ++i) EXPECT_NE(351, settings->visibleChild(i)->itemID);
  EXPECT_EQ(0, e.findNavItem(-1)->level);   /* lowest descendant level wins */
  EXPECT_EQ(0, settings->level);
  e.setAccessLevel(tal_FACTORY_2);
  EXPECT_EQ(351, settings->visibleChild(10)->itemID);
  e.play("{right}{down*12}");   /* Log Levels, the last line */
  ASSERT_EQ(351, settings->selectedChild()->itemID);
  e.setAccessLevel(tal_FULL_EDIT);
  e.refresh();
  e.paint();
  EXPECT_EQ(360, settings->selectedChild()->itemID);   /* clamped onto Maintenance */
  EXPECT_EQ(padRow("->Maintenance", 20), e.row(2));
  e.play("{up}");
  EXPECT_EQ(350, settings->selectedChild()->itemID);
}

TEST_F(MenuOnDataSet, randomKeysAtAnyDisplaySizeKeepEveryRowIntact) {
  setShellHook([](const std::string&, std::string*) { return 0; });   /* a date-time line sets the clock */
  const int keyPool[] = {treeKEY_UP,    treeKEY_UP5,    treeKEY_DOWN,  treeKEY_BACKSPACE, treeKEY_LEFT,  treeKEY_DELETE,
                         treeKEY_RIGHT, treeKEY_INSERT, treeKEY_ENTER, treeKEY_AUX,       treeKEY_HELP,  treeKEY_ESCAPE,
                         treeKEY_REDRAW, treeKEY_RIGHT, treeKEY_RIGHT, treeKEY_DOWN};
  const int sizes[][2] = {{2, 1}, {2, 5}, {3, 12}, {4, 20}, {10, 80}, {6, 300}};
  unsigned seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7fff;
  };
  for (const auto& sz : sizes) {   /* the test front end checks every row's width */
    SCOPED_TRACE(std::to_string(sz[0]) + "x" + std::to_string(sz[1]));
    testFrontEnd& e = open(sz[0], sz[1], tal_FACTORY_2, true);
    int modes[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < 3000; ++i) {
      unsigned r = next();
      int k = r % 5 == 0 ? (int)(32 + next() % 96) : keyPool[next() % 16];
      if (r % 97 == 0) e.showMessageBox("! System Restart !", " Please wait for    \n x\n");
      e.key(k);
      e.takePendingAction();
      modes[e.displayMode()]++;
      ASSERT_FALSE(HasFailure()) << "after key " << i;
    }
    /* the walk went everywhere: menus, edits, status and text screens */
    EXPECT_TRUE(modes[tdm_MENU] > 0 && modes[tdm_EDIT] > 0 && modes[tdm_SPECIAL] + modes[tdm_TEXT] > 0);
  }
  setShellHook(nullptr);
}

/* A view-only item never opens the editor; an empty menu is skipped. */
TEST_F(MenuOnDataSet, viewOnlyItemsShowTheirValueButOnlyEditItemsOpenTheEditor) {
  const treeItemDef table[] = {{-1, 400, tit_MENU, 0, "AUDIO", "Audio", nullptr},
                               {400, 3, tit_VIEW, 0, "GAIN", "Digital Gain", nullptr},
                               {400, 401, tit_MENU, 0, "SUB", "Empty Menu", nullptr},
                               {400, 40, tit_EDIT, 0, "PHONES", "Headphone Volume", nullptr},
                               {-1, -1, 0, 0, nullptr, nullptr, nullptr}};
  testFrontEnd e;
  ASSERT_EQ(0, e.init(cfg.get(), table, nullptr, 3, 1, 0, 20, &traceLevel, 1, 2, nullptr));
  e.play("{right}{right}{enter}");   /* AUDIO, the gain's value view: no edit hint, Enter opens nothing */
  EXPECT_EQ("AUDIO             FM|    Digital Gain|         0dB|v", e.rows(0));
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ(1, e.key(treeKEY_DOWN));         /* skips the empty menu */
  EXPECT_EQ("^ Headphone Volume|         40|  ('SELECT' to edit)", e.rows(1));
  EXPECT_EQ(0, e.key(treeKEY_DOWN));         /* no wrap past the last */
  e.play("{enter}");
  EXPECT_EQ(tdm_EDIT, e.displayMode());
}
