/* Editing items through the menu, key by key, on the real data set in the
** master role: a save builds the request a client would queue and parses it
** at once (saves over the queue to cfgMaster.x: the window tests). */
#include "menu/tests/menuTestUtil.h"

#include "diag/shellSeam.h"

#include <algorithm>
#include <cstdio>

namespace {
/* Walk: SETTINGS child `menu`, then its `line`-th line, value view, edit. */
void startEdit(testFrontEnd& e, int menu, int line) {
  e.play("{right}{down*" + std::to_string(menu) + "}{right}{down*" + std::to_string(line) + "}{right}{enter}");
}
enum { EXCITER = 2, AUDIO_CONTROL = 4, STATION_INFO = 7, MAINTENANCE = 9 };
}  // namespace

/* With a panel's key glyphs: Escape asks and keeps the edit until a second
** Escape; a change of the item from elsewhere, a message box and a redraw
** of the confirmation (a panel sends it after a key combination) all leave
** the edit in progress. */
TEST_F(MenuOnDataSet, stationShortNameIsTypedConfirmedAndCancelled) {
  testFrontEnd& e = open(4, 20);
  e.setSaveCancelChars('V', 'X');
  startEdit(e, STATION_INFO, 0);
  int row, col;
  ASSERT_TRUE(e.editCursor(&row, &col));
  EXPECT_EQ(306, row * 100 + col);
  e.play("AB{esc}");
  EXPECT_EQ("  V=Save  X=Cancel|'>'=continue editing|  New:ABRV", e.rows(1));
  e.play("{right}");   /* back to editing, rows restored */
  EXPECT_EQ("**Stn. Name Short***| Prev:TORV|  New:ABRV", e.rows(1));
  e.play("{esc}{esc}");
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ("TORV", value(itmSIS_CsStdNme));

  e.play("{enter}AB");
  cfg->changeValue(itmSIS_CsStdNme, "QQQQ");   /* the master's echo of someone else */
  e.service();
  EXPECT_EQ(padRow("  New:ABRV", 20), e.row(3));
  e.showMessageBox("!! DSP HW FAULT !!", " DSP Hardware Fault \n (Memory or FIFO)   \n");
  e.paint();
  e.play("{enter}");   /* closes the box, not the edit */
  EXPECT_EQ(padRow("  New:ABRV", 20), e.row(3));
  e.play("C{enter}");
  EXPECT_EQ(padRow("  V=Save  X=Cancel", 20), e.row(1));
  e.play("{redraw}");
  EXPECT_EQ("STATION INFO      FM|**Stn. Name Short***| Prev:TORV|  New:ABCV", e.rows(0));
  e.play("{up}");   /* still confirming: no edit happens, and Enter saves */
  EXPECT_EQ(padRow("  New:ABCV", 20), e.row(3));
  e.play("{enter}");
  EXPECT_EQ(tdm_MENU, e.displayMode());
  EXPECT_EQ("ABCV", value(itmSIS_CsStdNme));
}

/* Each case opens one line's editor on the panel's 4 x 20, plays keys and
** compares the rows under the title after each step; Enter asks and the
** second Enter saves. */
TEST_F(MenuOnDataSet, eachFieldKindTakesItsKeysAndSavesWhatItShows) {
  const struct {
    int menu, line, item;
    std::vector<std::pair<std::string, std::string>> steps;
    const char* stored;
  } cases[] = {
      /* text: the step keys walk the valid set and wrap around; typed in capitals only */
      {STATION_INFO, 0, itmSIS_CsStdNme,
       {{"{down}", " Prev:TORV|  New:SORV"}, {"{up5}", " Prev:TORV|  New:XORV"},
        {"{up*3}", " Prev:TORV|  New: ORV"}, {"{up}", " Prev:TORV|  New:AORV"},
        {"{help}", " <=delete >=insert|  New:AORV"}, {"{redraw}", " Prev:TORV|  New:AORV"},
        {"w1x-yz", " Prev:TORV|  New:WXYZ"}},
       "WXYZ"},
      /* zero-padded address groups, the points skipped; sent as shown, read as decimal */
      {EXCITER, 1, itmExctr_IP_Addr,
       {{"", "Prev:010.010.010.100| New:010.010.010.100"},
        {"1921{ins}{del}{bs}", "Prev:010.010.010.100| New:192.110.010.100"},
        {"68001002", "Prev:010.010.010.100| New:192.168.001.002"}},
       "192.168.1.2"},
      {EXCITER, 3, itmExctr_MAC_Addr,
       {{"", "P:00:00:00:00:00:00|N:00:00:00:00:00:00"}, {"0a1B2c3D4e5f", "P:00:00:00:00:00:00|N:0A:1B:2C:3D:4E:5F"}},
       "0A:1B:2C:3D:4E:5F"},
      /* Digital Gain -8..7 dB: stepped, stops at its limits */
      {AUDIO_CONTROL, 2, itmVolume_Adjust,
       {{"{up*20}", " Prev:0|  New:7"}, {"{left*30}", " Prev:0|  New:-8"}, {"{right}", " Prev:0|  New:-7"}},
       "-7"},
      /* Headphone Volume 0..100: typed, no '-' offered */
      {6, 1, itmHEADPHONE_VOL, {{"-7", " Prev:40|  New:70"}, {"5", " Prev:40|  New:75"}}, "75"},
      /* Time Zone -800..800: "-800" gives the field four columns; -809 is held at the minimum */
      {1, 0, itmTimeZone, {{"", " Prev:-300|  New:-300"}, {"-8009", " Prev:-300|  New:-809"}}, "-800"},
      /* Test Tone Volume -30..0: signs and point, three columns wider than "-30.000000" */
      {6, 3, itmMonitor_Vol,
       {{"", " Prev:0.000000|  New:0.000000"}, {"-12.5xyz+", " Prev:0.000000|  New:-12.5+00"},
        {"{bs}77777777777777777777", " Prev:0.000000|  New:-12.577777777"}},
       "-12.577778"},
      /* choices in ascending order, the choice stays under the prompt */
      {STATION_INFO, 18, itmEAS_NUM_SIS_BLKS,
       {{"", ">> 8 Blocks <<<|  10 Blocks"}, {"{down}", ">>10 Blocks <<<|  11 Blocks"},
        {"{down*3}", "  11 Blocks|>>12 Blocks <<<"}},
       "12"},
      {EXCITER, 0, itmExcter_Prtcl,
       {{"", ">>UDP (normal) <<<|  TCP"}, {"{down*3}", "  TCP|>>UDP (reverse) <<<"}, {"{up}", "  UDP (normal)|>>TCP <<<"}},
       "1"},
      /* a cleared text saves two blanks */
      {MAINTENANCE, 0, itmSYSTEM_NAME, {{"", " Prev:HELLO|  New:HELLO"}, {"{del*5}", " Prev:HELLO|  New:"}}, "  "},
  };
  cfg->changeValue(itmSYSTEM_NAME, "HELLO");
  for (const auto& c : cases) {
    testFrontEnd& e = open(4, 20);
    startEdit(e, c.menu, c.line);
    ASSERT_EQ(tdm_EDIT, e.displayMode()) << c.stored;
    for (const auto& step : c.steps) {
      e.play(step.first);
      EXPECT_EQ(step.second, e.rows(2)) << c.stored << " after " << step.first;
    }
    std::string shown = e.row(3);
    e.play("{enter}");   /* the value stays under the confirmation */
    EXPECT_EQ("Enter=Save Esc=Quit |'>'=continue editing|" + shown, e.row(1) + "|" + e.row(2) + "|" + e.row(3))
        << c.stored;
    e.play("{enter}");
    EXPECT_EQ(c.stored, value(c.item));
    EXPECT_EQ(tdm_MENU, e.displayMode()) << c.stored;
  }
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

/* A text longer than the window: the window scrolls with the cursor and
** stops at the value's end; delete, insert and backspace shift only the
** shown window; what lies outside it is kept when saved. */
TEST_F(MenuOnDataSet, longTextEditsOnlyTheShownWindowAndKeepsTheRest) {
  std::string msg;
  for (int i = 0; msg.size() < 190; ++i) msg += (char)('A' + i % 26);
  ASSERT_EQ(0, cfg->sendChangeRequest("SIS_StnMsgMsg", msg.c_str(), true) > 1);
  testFrontEnd& e = open(4, 20);
  startEdit(e, STATION_INFO, 6);
  EXPECT_EQ(msg.substr(0, 20), e.row(2));   /* no room for prompts */
  EXPECT_EQ(msg.substr(0, 20), e.row(3));
  e.play("{right*25}");
  EXPECT_EQ(msg.substr(6, 20), e.row(3));
  e.play("x");   /* writes column 25 of the value, scrolls once more */
  EXPECT_EQ(msg.substr(7, 18) + "x" + msg.substr(26, 1), e.row(3));
  e.play("{right*300}");   /* stops at the value's end */
  EXPECT_EQ(msg.substr(170, 20), e.row(3));
  e.play("{enter}{enter}");
  msg[25] = 'x';
  EXPECT_EQ(msg, value(itmSIS_StnMsgMsg));

  e.play("{enter}{del}");   /* the window's last column becomes a blank */
  EXPECT_EQ(msg.substr(1, 19) + " ", e.row(3));
  e.play("{right}{ins}");   /* a blank at the cursor, the last one is lost */
  EXPECT_EQ(msg.substr(1, 1) + " " + msg.substr(2, 18), e.row(3));
  e.play("{bs}");           /* back over the first column */
  EXPECT_EQ(" " + msg.substr(2, 18) + " ", e.row(3));
  e.play("{enter}{enter}");
  /* saved without the leading blank, as the file would give it back */
  EXPECT_EQ(msg.substr(2, 18) + " " + msg.substr(20), value(itmSIS_StnMsgMsg));
  /* blanks pushed into a full name at every width: the front end checks each row */
  cfg->sendChangeRequest("SYSTEM_NAME", std::string(128, 'N').c_str(), true);
  for (int cols : {20, 40, 80}) {
    startEdit(open(cols == 80 ? 10 : 4, cols), MAINTENANCE, 0);
    for (int i = 0; i < 70; ++i) ed->play("{ins}{right}{right}");
  }
}

TEST_F(MenuOnDataSet, dateAndTimeSetsTheSystemClockAndSendsNothing) {
  const treeItemDef clockTable[] = {{-1, 24, tit_EDIT, 0, "CLOCK", "System Clock", nullptr},
                                    {-1, -1, 0, 0, nullptr, nullptr, nullptr}};
  std::string commands;
  setShellHook([&](const std::string& cmd, std::string*) {
    commands += cmd + "\n";
    return 0;
  });
  testFrontEnd e;
  ASSERT_EQ(0, e.init(cfg.get(), clockTable, nullptr, 3, 1, 0, 20, &traceLevel, 1, 2, nullptr));
  std::string before = value(itmTimeDateChange);
  e.play("{right}{enter}2031{left}{right}");   /* the cursor never rests on the '/' */
  int row, col;
  ASSERT_TRUE(e.editCursor(&row, &col));
  EXPECT_EQ(5, col);
  e.play("0809080907");   /* August 9th, 08:09:07: no octal reading */
  EXPECT_EQ("2031/08/09 08:09:07", e.row(3).substr(0, 19));
  e.play("{enter}{enter}");
  setShellHook(nullptr);
  EXPECT_EQ("date 080908092031.07\n", commands);
  EXPECT_EQ(before, value(itmTimeDateChange));
  EXPECT_EQ(tdm_MENU, e.displayMode());
}

namespace {
/* Every editable line under `menu` with its visible-child indices from the root. */
void editableLines(treeItem* menu, std::vector<int>* path, std::vector<std::pair<std::vector<int>, treeItem*>>* out) {
  for (int i = 0; i < menu->visibleCount(); ++i) {
    treeItem* child = menu->visibleChild(i);
    path->push_back(i);
    if (child->kind == tit_MENU) editableLines(child, path, out);
    if (child->kind == tit_EDIT) out->push_back({*path, child});
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
** panel's 4 x 20 (with its own table), with the defaults, every number at
** its minimum, and every number at its maximum with free texts full. */
TEST_F(MenuOnDataSet, openingAndConfirmingAnyItemLeavesItsValueAlone) {
  setShellHook([](const std::string&, std::string*) { return 0; });   /* a date-time line sets the clock */
  struct { int rows, cols; bool panel; } displays[] = {{10, 80, false}, {4, 20, true}};
  for (const auto& d : displays) {
    for (int values = 0; values < 3; ++values) {
      testFrontEnd& e = open(d.rows, d.cols, tal_FULL_EDIT, d.panel);
      std::vector<int> path;
      std::vector<std::pair<std::vector<int>, treeItem*>> lines;
      editableLines(e.rootItem(), &path, &lines);
      ASSERT_GT(lines.size(), 100u);
      for (const auto& l : lines) {
        treeItem* line = l.second;
        data_itm_Base* data = line->data;
        if (values > 0 && data->typeCode <= dtFLOAT && line->choices.empty())
          cfg->changeValue(line->itemID, limitText(data, values == 1 ? data->min : data->max).c_str());
        if (values == 2 && data->typeCode == dtSTRING && !data->validChars)
          cfg->changeValue(line->itemID, std::string((size_t)data->max, 'N').c_str());
        std::string before = value(line->itemID);
        e.play("{esc}");
        treeItem* menu = e.rootItem();
        for (int k : l.first) {
          e.play("{up*" + std::to_string(menu->visibleCount()) + "}{down*" + std::to_string(k) + "}{right}");
          menu = menu->visibleChild(k);
        }
        ASSERT_EQ(line, e.currentItem()->selectedChild()) << line->longLabel();
        e.play("{enter}{enter}{enter}");
        EXPECT_EQ(tdm_MENU, e.displayMode()) << line->longLabel();
        EXPECT_EQ(before, value(line->itemID)) << d.cols << " columns: " << line->longLabel() << " changed by looking";
      }
    }
  }
  setShellHook(nullptr);
}
