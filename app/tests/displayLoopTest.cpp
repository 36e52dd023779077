/*
** What the display loop does with changed items, on the real data set (in
** the master role, so a value set here is the item's value at once) and a
** front end that only records: indicators, the alerts with their texts,
** the power-down confirmation and its answer, the operating-mode change.
*/
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "app/displayLoop.h"
#include "app/doVA.h"
#include "dataset/doviduConfig.h"
#include "dataset/itemIndex.h"
#include "menu/menuTables.h"
#include "menu/treeEditor.h"
#include "tests/support/testSupport.h"

namespace {

class recordingFrontEnd : public treeEditor {
public:
  int init(generic_cfg* c, const treeItemDef* t, ErrTrcLog* log, int body, int header,
           int footer, int cols, int* level, int word, int access,
           const treeItemDef* second) override {
    return TreeEditInitBase(c, t, log, body, header, footer, cols, level, word, access, second);
  }
  int paint() override { return 0; }
  int service() override { return pollChanges() > 0; }
  void setStatusLine(int line, int status, bool) override {
    lastLine = line;
    lastStatus = status;
    statusCalls++;
  }
  void dispBootText(int row, const char* text, bool commit) override {
    boot[row & 3] = text;
    if (commit) commits++;
  }
  int lastLine = -1, lastStatus = -1, statusCalls = 0, commits = 0;
  std::string boot[4];
};

class ChangedData : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.enter());
    cfg = new dovidu_config(&app.traceLevel, nullptr);
    ASSERT_EQ(0, cfg->initDataSet(&app.traceLevel, nullptr, 1, "cfgMaster.x", 0, -1));
    app.cfg = cfg;
    app.runMode = RUNMODE_DISPLAY;
    fe = new recordingFrontEnd();
    ASSERT_EQ(0, fe->init(cfg, treeMainMenuTable(), nullptr, 3, 1, 0, 20, &app.traceLevel, 1,
                          tal_FULL_EDIT, nullptr));
    app.frontEnd = fe;
    resetChangeHandling();
    handleChangedData(app);  // the first pass after start-up
  }
  void TearDown() override {
    destroyFrontEnd(app);
    delete cfg;
    app.cfg = nullptr;
    EXPECT_TRUE(dir.leave());
  }
  void set(int item, const char* value) { cfg->changeValue(item, value); }
  void changed(std::initializer_list<int> items) {
    for (int i : items) fe->queueChanged(i);
    handleChangedData(app);
    fe->refresh();
  }
  std::string header() { return fe->rowText(0); }
  std::string body(int r) { return fe->rowText(1 + r); }
  int item(int index) {
    int v = -1;
    cfg->readInt(index, &v);
    return v;
  }

  testsup::WorkDir dir;
  consoleApp app;
  dovidu_config* cfg = nullptr;
  recordingFrontEnd* fe = nullptr;
};

}  // namespace

TEST_F(ChangedData, statusItemsAndTheirCountsRefreshTheirIndicators) {
  EXPECT_EQ(-1, indicatorItem(4));
  set(itmGPS_Status, "2");
  changed({itmGPS_Status_Count});
  EXPECT_EQ(2, fe->lastLine);
  EXPECT_EQ(2, fe->lastStatus);
  int calls = fe->statusCalls;
  changed({itmAudio_Status_Count});
  EXPECT_EQ(calls, fe->statusCalls);
  EXPECT_EQ(0, fe->changedCount());  // the queue is emptied after each pass
}

TEST_F(ChangedData, aNewStationNameRedrawsTheBootTextAndTheCallSign) {
  set(itmSIS_CsStdNme, "KABCDEFGHIJK");
  changed({itmSIS_CsStdNme});
  EXPECT_EQ("  ...TORVAL....", fe->boot[0]);
  EXPECT_EQ("  KIVAREX RELAY", fe->boot[1]);
  EXPECT_EQ(" for station KABC", fe->boot[2]);  // the item holds four characters
  EXPECT_EQ("    initializing...", fe->boot[3]);
  EXPECT_EQ(1, fe->commits);
  EXPECT_EQ("MAIN MENU    KABC-FM", header());
}

TEST_F(ChangedData, anOperatingModeChangeIsAnnouncedAndSwitchesTheBand) {
  set(itmPrmryCarrierCfg, "4");
  changed({itmPrmryCarrierCfg});
  EXPECT_TRUE(fe->messageBoxShown());
  EXPECT_EQ("!!! AM/FM CHANGE !!!", header());
  EXPECT_EQ("! system will re-  !", body(0));
  fe->processKey(treeKEY_ENTER);
  fe->refresh();
  EXPECT_EQ("MAIN MENU    TORV-AM", header());
  // the same mode again: no alert
  changed({itmPrmryCarrierCfg});
  EXPECT_FALSE(fe->messageBoxShown());
}

TEST_F(ChangedData, theFirstModeSeenAfterStartUpIsNotAnnounced) {
  set(itmPrmryCarrierCfg, "5");
  resetChangeHandling();
  changed({itmIF_WDog_Enbl});
  EXPECT_FALSE(fe->messageBoxShown());
  EXPECT_EQ("MAIN MENU    TORV-AM", header());
}

TEST_F(ChangedData, restartShowsTheExtendedAlertOnlyWithGpsTimeAndANewInterface) {
  set(itmSYSRESTART_CMD, "1");
  set(itmUseGPSTime, "1");
  set(itmEXT_IF_VERSION, "29");
  changed({itmSYSRESTART_CMD});
  EXPECT_EQ("!! System Restart !!", header());
  EXPECT_EQ(" Please wait for    ", body(0));
  fe->processKey(treeKEY_ENTER);
  set(itmEXT_IF_VERSION, "30");
  changed({itmSYSRESTART_CMD});
  EXPECT_EQ("!!Extended Restart!!", header());
  EXPECT_EQ("Please wait 30s for ", body(0));
  EXPECT_EQ("extended GPS restart", body(1));
}

TEST_F(ChangedData, powerDownRequestIsWithdrawnOnNoAndCommandedOnYes) {
  set(itmPOWEROFF_REQ, "1");
  changed({itmPOWEROFF_REQ});
  EXPECT_EQ("!Power Down Request!", header());
  EXPECT_EQ("!  V to continue   !", body(0));
  fe->processKey(treeKEY_HELP);  // no
  EXPECT_EQ(0, item(itmPOWEROFF_REQ));
  EXPECT_EQ(0, item(itmPOWEROFF_CMD));

  set(itmPOWEROFF_REQ, "1");
  changed({itmPOWEROFF_REQ});
  fe->processKey(treeKEY_ENTER);  // yes
  EXPECT_EQ(0, item(itmPOWEROFF_REQ));
  EXPECT_EQ(1, item(itmPOWEROFF_CMD));
  changed({itmPOWEROFF_CMD});
  EXPECT_EQ("!!!! Power Down !!!!", header().substr(0, 20));
  EXPECT_EQ(" System is preparing", body(0));
}

TEST_F(ChangedData, ofTwoAlertsInOnePassOnlyTheFirstIsShown) {
  set(itmPOWEROFF_CMD, "1");
  set(itmSYSRESTART_CMD, "1");
  changed({itmPOWEROFF_CMD, itmSYSRESTART_CMD});
  EXPECT_EQ("!!!! Power Down !!!!", header());
  fe->processKey(treeKEY_ENTER);
  fe->refresh();
  EXPECT_FALSE(fe->messageBoxShown());
}
