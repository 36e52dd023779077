/*
** Editing items through the menu, key by key, on the real data set (in
** the master role here, so a saved value lands in the item at once; the
** round trip through a separate master process is in menuMasterTest).
*/
#include "menu/tests/menuTestUtil.h"

#include "diag/shellSeam.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
/* Walk: SETTINGS child `menu`, then its `line`-th line, value view, edit. */
void startEdit(testFrontEnd& e, int menu, int line) {
  e.key(treeKEY_RIGHT);
  for (int i = 0; i < menu; ++i) e.key(treeKEY_DOWN);
  e.key(treeKEY_RIGHT);
  for (int i = 0; i < line; ++i) e.key(treeKEY_DOWN);
  e.keys({treeKEY_RIGHT, treeKEY_ENTER});
}
enum { EXCITER = 2, AUDIO_CONTROL = 4, STATION_INFO = 7, MAINTENANCE = 9 };
}  // namespace

TEST_F(MenuOnDataSet, stationShortNameIsTypedLetterByLetterInCapitalsOnly) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 0);
  ASSERT_EQ(tdm_EDIT, e.displayMode());
  EXPECT_EQ(screenOf({"STATION INFO      FM", "**Stn. Name Short***", " Prev:TORV", "  New:TORV"}, 20),
            e.screen());
  int row, col;
  ASSERT_TRUE(e.editCursor(&row, &col));
  EXPECT_EQ(3, row);
  EXPECT_EQ(6, col);
  e.type("w1x-yz");   /* digits and '-' are not offered; lower case becomes capitals */
  EXPECT_EQ(padRow("  New:WXYZ", 20), e.row(3));
  e.key(treeKEY_ENTER);
  EXPECT_EQ(screenOf({"STATION INFO      FM", "Enter=Save Esc=Quit", "'>'=continue editing",
                      "  New:WXYZ"}, 20), e.screen());
  e.key(treeKEY_ENTER);
  EXPECT_EQ("WXYZ", value(itmSIS_CsStdNme));
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ(padRow("        WXYZ", 20), e.row(2));
  bool queued = false;
  for (int k = 0; k < e.changedCount(); ++k) queued |= e.changedItem(k) == itmSIS_CsStdNme;
  EXPECT_TRUE(queued);
}

TEST_F(MenuOnDataSet, stepKeysWalkTheValidSetAndWrapAround) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 0);
  e.key(treeKEY_DOWN);            /* T -> S */
  EXPECT_EQ(padRow("  New:SORV", 20), e.row(3));
  e.key(treeKEY_UP5);             /* S -> X */
  EXPECT_EQ(padRow("  New:XORV", 20), e.row(3));
  e.keys({treeKEY_UP, treeKEY_UP, treeKEY_UP});   /* X Y Z ' ' */
  EXPECT_EQ(padRow("  New: ORV", 20), e.row(3));
  e.key(treeKEY_UP);              /* wraps to A */
  EXPECT_EQ(padRow("  New:AORV", 20), e.row(3));
  e.key(treeKEY_HELP);            /* key hints over the top rows */
  EXPECT_EQ(screenOf({"STATION INFO      FM", " ^=x5 v=bckspce", " <=delete >=insert", "  New:AORV"}, 20),
            e.screen());
  e.key(treeKEY_REDRAW);
  EXPECT_EQ(padRow("**Stn. Name Short***", 20), e.row(1));
}

TEST_F(MenuOnDataSet, ipv4AddressIsEditedAsZeroPaddedGroupsSkippingThePoints) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, EXCITER, 1);
  EXPECT_EQ(screenOf({"EXCITER           FM", "**Dest IP Address***", "Prev:010.010.010.100",
                      " New:010.010.010.100"}, 20), e.screen());
  e.type("1921");
  int row, col;
  ASSERT_TRUE(e.editCursor(&row, &col));
  EXPECT_EQ(5 + 5, col);   /* past the point */
  for (int k : {(int)treeKEY_INSERT, (int)treeKEY_DELETE, (int)treeKEY_BACKSPACE}) e.key(k);
  EXPECT_EQ(padRow(" New:192.110.010.100", 20), e.row(3));
  e.type("68001002");
  EXPECT_EQ(padRow(" New:192.168.001.002", 20), e.row(3));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("192.168.1.2", value(itmExctr_IP_Addr));
}

TEST_F(MenuOnDataSet, macAddressTakesHexDigitsInEitherCase) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, EXCITER, 3);
  EXPECT_EQ(padRow("N:00:00:00:00:00:00", 20), e.row(3));
  e.type("0a1B2c3D4e5f");
  EXPECT_EQ(padRow("N:0A:1B:2C:3D:4E:5F", 20), e.row(3));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("0A:1B:2C:3D:4E:5F", value(itmExctr_MAC_Addr));
}

TEST_F(MenuOnDataSet, smallNumberRangeIsSteppedAndStopsAtItsLimits) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, AUDIO_CONTROL, 2);   /* Digital Gain, -8..7 dB */
  EXPECT_EQ(screenOf({"AUDIO CONTROL     FM", "***Digital Gain***", " Prev:0", "  New:0"}, 20),
            e.screen());
  for (int i = 0; i < 20; ++i) e.key(treeKEY_UP);
  EXPECT_EQ(padRow("  New:7", 20), e.row(3));
  for (int i = 0; i < 30; ++i) e.key(treeKEY_LEFT);
  EXPECT_EQ(padRow("  New:-8", 20), e.row(3));
  e.keys({treeKEY_RIGHT, treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("-7", value(itmVolume_Adjust));
}

TEST_F(MenuOnDataSet, wideNumberRangeIsTypedDigitByDigitWithoutAMinusWhenNotNegative) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, 6, 1);   /* AUDIO MONITOR, Headphone Volume 0..100 */
  EXPECT_EQ(padRow("  New:40", 20), e.row(3));
  e.type("-7");          /* '-' is not offered */
  EXPECT_EQ(padRow("  New:70", 20), e.row(3));
  e.type("5");
  EXPECT_EQ(padRow("  New:75", 20), e.row(3));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("75", value(itmHEADPHONE_VOL));
}

TEST_F(MenuOnDataSet, choiceListsAreOfferedInAscendingOrder) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 18);   /* EAS SIS Blocks */
  EXPECT_EQ(screenOf({"STATION INFO      FM", "***EAS SIS Blocks***", ">> 8 Blocks <<<", "  10 Blocks"}, 20),
            e.screen());
  e.key(treeKEY_DOWN);
  EXPECT_EQ(screenOf({"STATION INFO      FM", "***EAS SIS Blocks***", ">>10 Blocks <<<", "  11 Blocks"}, 20),
            e.screen());
  e.keys({treeKEY_DOWN, treeKEY_DOWN, treeKEY_DOWN});
  EXPECT_EQ(screenOf({"STATION INFO      FM", "***EAS SIS Blocks***", "  11 Blocks", ">>12 Blocks <<<"}, 20),
            e.screen());
  e.key(treeKEY_ENTER);
  EXPECT_EQ(padRow(">>12 Blocks <<<", 20), e.row(3));   /* the choice under the prompt */
  e.key(treeKEY_ENTER);
  EXPECT_EQ("12", value(itmEAS_NUM_SIS_BLKS));
}

TEST_F(MenuOnDataSet, exciterProtocolListsUdpNormalTcpUdpReverse) {
  testFrontEnd& e = open(10, 80);
  startEdit(e, EXCITER, 0);
  EXPECT_EQ(padRow(">>UDP (normal) <<<", 80), e.row(2));
  EXPECT_EQ(padRow("  TCP", 80), e.row(3));
  EXPECT_EQ(padRow("  UDP (reverse)", 80), e.row(4));
  e.keys({treeKEY_DOWN, treeKEY_DOWN, treeKEY_DOWN, treeKEY_UP, treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("1", value(itmExcter_Prtcl));
}

TEST_F(MenuOnDataSet, longTextScrolledPastTheWindowKeepsTheOuterPartsWhenSaved) {
  std::string msg;
  for (int i = 0; msg.size() < 190; ++i) msg += (char)('A' + i % 26);
  ASSERT_EQ(0, cfg->sendChangeRequest("SIS_StnMsgMsg", msg.c_str(), true) > 1);
  ASSERT_EQ(msg, value(itmSIS_StnMsgMsg));
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 6);
  EXPECT_EQ(msg.substr(0, 20), e.row(2));   /* no room for prompts */
  EXPECT_EQ(msg.substr(0, 20), e.row(3));
  for (int i = 0; i < 25; ++i) e.key(treeKEY_RIGHT);
  EXPECT_EQ(msg.substr(6, 20), e.row(3));
  e.type("x");   /* writes column 25 of the value, scrolls once more */
  EXPECT_EQ(msg.substr(7, 18) + "x" + msg.substr(26, 1), e.row(3));
  for (int i = 0; i < 300; ++i) e.key(treeKEY_RIGHT);   /* stops at the value's end */
  EXPECT_EQ(msg.substr(170, 20), e.row(3));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  std::string expect = msg;
  expect[25] = 'x';
  EXPECT_EQ(expect, value(itmSIS_StnMsgMsg));
}

TEST_F(MenuOnDataSet, clearingATextSavesTwoBlanks) {
  cfg->changeValue(itmSYSTEM_NAME, "HELLO");
  testFrontEnd& e = open(4, 20);
  startEdit(e, MAINTENANCE, 0);
  EXPECT_EQ(padRow("  New:HELLO", 20), e.row(3));
  for (int i = 0; i < 5; ++i) e.key(treeKEY_DELETE);
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("  ", value(itmSYSTEM_NAME));
}

TEST_F(MenuOnDataSet, escapeAsksFirstAndASecondEscapeCancels) {
  testFrontEnd& e = open(4, 20);
  e.setSaveCancelChars('V', 'X');   /* a panel names its keys by glyphs */
  startEdit(e, STATION_INFO, 0);
  e.type("AB");
  e.key(treeKEY_ESCAPE);
  EXPECT_EQ(tdm_EDIT, e.displayMode());
  EXPECT_EQ(padRow("  V=Save  X=Cancel", 20), e.row(1));
  e.key(treeKEY_UP);   /* any other key keeps the question */
  EXPECT_EQ(padRow("  V=Save  X=Cancel", 20), e.row(1));
  e.key(treeKEY_RIGHT);   /* back to editing, rows restored */
  EXPECT_EQ(padRow("**Stn. Name Short***", 20), e.row(1));
  EXPECT_EQ(padRow("  New:ABRV", 20), e.row(3));
  e.keys({treeKEY_ESCAPE, treeKEY_ESCAPE});
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ("TORV", value(itmSIS_CsStdNme));
}

TEST_F(MenuOnDataSet, valueMissingFromItsChoicesRefusesTheEdit) {
  cfg->changeValue(itmHDCC_CHANNEL_MODE_CORE, "3");
  testFrontEnd& e = open(4, 20);
  testing::internal::CaptureStdout();
  startEdit(e, AUDIO_CONTROL, 1);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("ERR #21004")) << out;
  EXPECT_NE(std::string::npos, out.find("Current value not in list of choices for item")) << out;
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ(treeEditor::MC_VALUE, e.menuCursorState());
  EXPECT_EQ(padRow("   Invalid Lookup", 20), e.row(2));
}

TEST_F(MenuOnDataSet, changeArrivingMidEditKeepsTheEditInProgress) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 0);
  e.type("AB");
  cfg->changeValue(itmSIS_CsStdNme, "QQQQ");   /* the master's echo of someone else */
  e.service();
  EXPECT_EQ(padRow("  New:ABRV", 20), e.row(3));
  e.showMessageBox("!! DSP HW FAULT !!", " DSP Hardware Fault \n (Memory or FIFO)   \n");
  e.paint();
  e.key(treeKEY_ENTER);   /* closes the box, not the edit */
  EXPECT_EQ(padRow("  New:ABRV", 20), e.row(3));
  e.type("C");
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("ABCV", value(itmSIS_CsStdNme));
}

TEST_F(MenuOnDataSet, veryLongValuesNeverOverflowARowAtAnyWidth) {
  std::string name(128, 'N');
  cfg->sendChangeRequest("SYSTEM_NAME", name.c_str(), true);
  std::string msg(190, 'm');
  cfg->sendChangeRequest("SIS_StnMsgMsg", msg.c_str(), true);
  for (int cols : {20, 40, 80}) {
    testFrontEnd& e = open(cols == 80 ? 10 : 4, cols);
    auto check = [&](const char* where) {
      for (int r = 0; r < e.rowCount(); ++r)
        ASSERT_EQ((size_t)cols, strlen(e.rowText(r))) << where << " row " << r << " at " << cols;
    };
    startEdit(e, MAINTENANCE, 0);
    check("system name edit");
    for (int i = 0; i < 200; ++i) e.key(i % 3 ? treeKEY_RIGHT : (int)treeKEY_INSERT);
    check("system name scrolled");
    e.keys({treeKEY_ESCAPE, treeKEY_ESCAPE, treeKEY_ESCAPE});
    startEdit(e, STATION_INFO, 6);
    check("message edit");
    e.keys({treeKEY_ESCAPE, treeKEY_ESCAPE, treeKEY_LEFT});
    check("message value view");
  }
}

TEST_F(MenuOnDataSet, dateAndTimeSetsTheSystemClockAndSendsNothing) {
  const treeItemDef clockTable[] = {{-1, 24, tit_EDIT, 0, "CLOCK", "System Clock", nullptr},
                                    {-1, -1, 0, 0, nullptr, nullptr, nullptr}};
  std::vector<std::string> commands;
  setShellHook([&](const std::string& cmd, std::string*) {
    commands.push_back(cmd);
    return 0;
  });
  testFrontEnd e;
  ASSERT_EQ(0, e.init(cfg.get(), clockTable, nullptr, 3, 1, 0, 20, &traceLevel, 1, 2, nullptr));
  std::string before = value(itmTimeDateChange);
  e.keys({treeKEY_RIGHT, treeKEY_ENTER});
  ASSERT_EQ(tdm_EDIT, e.displayMode());
  e.type("2031");
  e.keys({treeKEY_LEFT, treeKEY_RIGHT});   /* the cursor never rests on the '/' */
  int row, col;
  ASSERT_TRUE(e.editCursor(&row, &col));
  EXPECT_EQ(5, col);
  e.type("0809080907");                    /* August 9th, 08:09:07: no octal reading */
  EXPECT_EQ("2031/08/09 08:09:07", e.row(3).substr(0, 19));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  setShellHook(nullptr);
  ASSERT_EQ(1u, commands.size());
  EXPECT_EQ("date 080908092031.07", commands[0]);
  EXPECT_EQ(before, value(itmTimeDateChange));
  EXPECT_EQ(tdm_MENU, e.displayMode());
}

TEST_F(MenuOnDataSet, wholeNumberFieldIsAsWideAsTheWiderOfMinimumAndMaximum) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, 1, 0);   /* DATE & TIME, Time Zone Offset -800..800 min, now -300 */
  EXPECT_EQ(padRow(" Prev:-300", 20), e.row(2));
  EXPECT_EQ(padRow("  New:-300", 20), e.row(3));  /* "-800" gives four columns */
  e.type("-8009");
  int row, col;
  ASSERT_TRUE(e.editCursor(&row, &col));
  EXPECT_EQ(6 + 3, col);                          /* the last column holds the cursor */
  EXPECT_EQ(padRow("  New:-809", 20), e.row(3));
  e.keys({treeKEY_LEFT, '0', treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("-800", value(itmTimeZone));
}

namespace {
/* Visible-child indices from the root to every editable line. */
void editablePaths(treeItem* menu, std::vector<int>* path, std::vector<std::vector<int>>* out) {
  for (int i = 0; i < menu->visibleCount(); ++i) {
    treeItem* child = menu->visibleChild(i);
    path->push_back(i);
    if (child->kind == tit_MENU) editablePaths(child, path, out);
    if (child->kind == tit_EDIT) out->push_back(*path);
    path->pop_back();
  }
}
/* A number item's limit as the text the master would store. */
std::string limitText(const data_itm_Base* d, float limit) {
  char buf[48];
  if (d->typeCode == dtFLOAT) snprintf(buf, sizeof buf, "%f", limit);
  else snprintf(buf, sizeof buf, "%lld", std::max(-2147483648LL, std::min(2147483647LL, (long long)limit)));
  return buf;
}
}  // namespace

/* Opening the editor and confirming without a change never changes a value:
** every editable line of the catalogue, on the console's 10 x 80 and the
** panel's 4 x 20 (with its own table), with the defaults and with every
** number at its minimum and at its maximum. */
TEST_F(MenuOnDataSet, openingAndConfirmingAnyItemLeavesItsValueAlone) {
  /* a date-time line would set the clock through the shell */
  setShellHook([](const std::string&, std::string*) { return 0; });
  struct { int rows, cols; bool panel; } displays[] = {{10, 80, false}, {4, 20, true}};
  int checked = 0;
  for (const auto& d : displays) {
    for (int values = 0; values < 3; ++values) {
      testFrontEnd& e = open(d.rows, d.cols, tal_FULL_EDIT, d.panel);
      e.setAccessLevel(tal_FULL_EDIT);
      std::vector<int> path;
      std::vector<std::vector<int>> paths;
      editablePaths(e.rootItem(), &path, &paths);
      ASSERT_GT(paths.size(), 100u);
      for (const std::vector<int>& p : paths) {
        treeItem* menu = e.rootItem();
        for (size_t k = 0; k + 1 < p.size(); ++k) menu = menu->visibleChild(p[k]);
        treeItem* line = menu->visibleChild(p.back());
        data_itm_Base* data = line->data;
        bool number = data->typeCode <= dtFLOAT && line->choices.empty();
        if (values > 0 && number)
          cfg->changeValue(line->itemID, limitText(data, values == 1 ? data->min : data->max).c_str());
        std::string before = value(line->itemID);
        e.key(treeKEY_ESCAPE);
        menu = e.rootItem();
        for (size_t k = 0; k < p.size(); ++k) {
          for (int n = 0; n < menu->visibleCount(); ++n) e.key(treeKEY_UP);
          for (int n = 0; n < p[k]; ++n) e.key(treeKEY_DOWN);
          e.key(treeKEY_RIGHT);
          if (k + 1 < p.size()) menu = menu->visibleChild(p[k]);
        }
        ASSERT_EQ(line, e.currentItem()->selectedChild()) << line->longLabel();
        e.keys({treeKEY_ENTER, treeKEY_ENTER, treeKEY_ENTER});
        EXPECT_EQ(tdm_MENU, e.displayMode()) << line->longLabel();
        EXPECT_EQ(before, value(line->itemID))
            << d.cols << " columns: " << line->longLabel() << " changed by looking at it";
        ++checked;
      }
    }
  }
  setShellHook(nullptr);
  EXPECT_GT(checked, 600);
}

TEST_F(MenuOnDataSet, redrawTakesTheConfirmationOffTheRowsButItsKeysStillAnswer) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 0);
  e.type("AB");
  e.key(treeKEY_ENTER);
  EXPECT_EQ(padRow("Enter=Save Esc=Quit", 20), e.row(1));
  e.key(treeKEY_REDRAW);   /* a panel sends it after a key combination */
  EXPECT_EQ(screenOf({"STATION INFO      FM", "**Stn. Name Short***", " Prev:TORV", "  New:ABRV"}, 20),
            e.screen());
  EXPECT_EQ(tdm_EDIT, e.displayMode());
  e.key(treeKEY_UP);       /* still confirming: no edit happens */
  EXPECT_EQ(padRow("  New:ABRV", 20), e.row(3));
  e.key(treeKEY_ENTER);    /* and Enter saves */
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ("ABRV", value(itmSIS_CsStdNme));
}

TEST_F(MenuOnDataSet, decimalNumberTakesSignsAndPointInAFieldThreeWiderThanItsWidestLimit) {
  testFrontEnd& e = open(4, 20);
  startEdit(e, 6, 3);   /* AUDIO MONITOR, Test Tone Volume -30..0 dBFs */
  EXPECT_EQ(padRow(" Prev:0.000000", 20), e.row(2));
  EXPECT_EQ(padRow("  New:0.000000", 20), e.row(3));
  e.type("-12.5xyz+");   /* letters are not offered */
  EXPECT_EQ(padRow("  New:-12.5+00", 20), e.row(3));
  e.key(treeKEY_BACKSPACE);
  for (int i = 0; i < 20; ++i) e.key('7');   /* "-30.000000" + 3: thirteen columns */
  EXPECT_EQ(padRow("  New:-12.577777777", 20), e.row(3));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  EXPECT_EQ("-12.577778", value(itmMonitor_Vol));
}

TEST_F(MenuOnDataSet, deleteInsertAndBackspaceInALongTextShiftOnlyTheShownWindow) {
  std::string msg;
  for (int i = 0; msg.size() < 60; ++i) msg += (char)('A' + i % 26);
  cfg->sendChangeRequest("SIS_StnMsgMsg", msg.c_str(), true);
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 6);
  e.key(treeKEY_DELETE);   /* the window's last column becomes a blank */
  EXPECT_EQ(msg.substr(1, 19) + " ", e.row(3));
  e.keys({treeKEY_RIGHT, treeKEY_INSERT});   /* a blank at the cursor, the last one is lost */
  EXPECT_EQ(msg.substr(1, 1) + " " + msg.substr(2, 18), e.row(3));
  e.key(treeKEY_BACKSPACE);                   /* back over the first column */
  EXPECT_EQ(" " + msg.substr(2, 18) + " ", e.row(3));
  e.keys({treeKEY_ENTER, treeKEY_ENTER});
  /* saved without the leading blank, as the file would give it back */
  EXPECT_EQ(msg.substr(2, 18) + " " + msg.substr(20), value(itmSIS_StnMsgMsg));
}
