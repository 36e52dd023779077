/*
** Saves from the menu reach a real configuration master: the editor runs
** on a console-style client data set, the master is a separate process
** (forked, its trace captured), and every saved value must come back from
** the master as an export that lands in the client's item and in the
** editor's changed-item queue.
*/
#include "menu/tests/menuTestUtil.h"

#include <cstdio>

namespace {

/* Child: a master of the data set, tracing what it receives. */
int runMaster() {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  int level = 3;   /* change requests are traced above level 2 */
  dovidu_config cfg(&level, nullptr);
  if (cfg.initDataSet(&level, nullptr, 1, "cfgMaster.x", 0, -1) != 0) return 3;
  printf("MASTER READY\n");
  for (;;) {
    cfg.serviceCfg(0, 0);
    usleep(1000);
  }
}

class MenuWithRealMaster : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.enter());
    master = std::make_unique<testsup::Child>(dir.file("master.log"), runMaster);
    ASSERT_TRUE(master->waitForOutput("MASTER READY", 5000));
    cfg = std::make_unique<dovidu_config>(&traceLevel, nullptr);
    ASSERT_EQ(0, cfg->initDataSet(&traceLevel, nullptr, 0, "doVA.x", 0, -1));
    cfg->addAllItems(2);
    ASSERT_EQ(0, cfg->subscribeListSend());
    ed = std::make_unique<testFrontEnd>();
    ASSERT_EQ(0, ed->init(cfg.get(), treeMainMenuTable(), nullptr, 3, 1, 0, 20, &traceLevel, 1,
                          tal_FULL_EDIT, nullptr));
    ed->pollChanges();
    ed->clearChanged();
  }
  void TearDown() override {
    ed.reset();
    cfg.reset();
    master.reset();
    EXPECT_TRUE(dir.leave());
  }
  bool waitForLog(const std::string& text, int ms) { return master->waitForOutput(text, ms); }
  /* Poll the link and the editor until the master's echo of `index`
  ** arrives (bounded). */
  bool waitForEcho(int index, int ms = 3000) {
    for (int t = 0; t < ms; t += 5) {
      cfg->serviceCfg(0, 0);
      ed->service();
      for (int k = 0; k < ed->changedCount(); ++k)
        if (ed->changedItem(k) == index && cfg->getItem(index)->changeCount > echoBase) return true;
      usleep(5000);
    }
    return false;
  }
  void save(int index) {
    echoBase = cfg->getItem(index)->changeCount;
    ed->clearChanged();
    ed->play("{enter}{enter}");
  }
  std::string value(int index) {
    char buf[1200];
    cfg->getItem(index)->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
    return buf;
  }

  testsup::WorkDir dir;
  std::unique_ptr<testsup::Child> master;
  int traceLevel = 0;
  int echoBase = 0;
  std::unique_ptr<dovidu_config> cfg;
  std::unique_ptr<testFrontEnd> ed;
};

}  // namespace

/* Each save's request text as the master traces it, then its echo in the
** client's item and on the editor's screen. */
TEST_F(MenuWithRealMaster, savedValuesReachTheMasterQuotedOrAsShownAndComeBack) {
  ed->play("{right}{down*7}{right}{right}{enter}kxyz");   /* SETTINGS, STATION INFO, SHORT NAME */
  save(itmSIS_CsStdNme);
  EXPECT_TRUE(waitForLog("Received new value:<SIS_CsStdNme,\"KXYZ\">", 3000))
      << testsup::readFile(dir.file("master.log"));
  ASSERT_TRUE(waitForEcho(itmSIS_CsStdNme));
  EXPECT_EQ("KXYZ", value(itmSIS_CsStdNme));
  EXPECT_EQ(padRow("        KXYZ", 20), ed->row(2));

  /* a cleared long text goes as two quoted blanks */
  ed->play("{down*4}{enter}ON AIR");   /* STATION SLOGAN */
  save(itmSIS_SlgnUnvNme);
  ASSERT_TRUE(waitForEcho(itmSIS_SlgnUnvNme));
  EXPECT_EQ("ON AIR", value(itmSIS_SlgnUnvNme));
  ed->play("{enter}{del*8}");
  save(itmSIS_SlgnUnvNme);
  EXPECT_TRUE(waitForLog("Received new value:<SIS_SlgnUnvNme,\"  \">", 3000));
  ASSERT_TRUE(waitForEcho(itmSIS_SlgnUnvNme));
  EXPECT_EQ("  ", value(itmSIS_SlgnUnvNme));

  ed->play("{esc}{right}{up*12}{down*2}{right}{down}{right}{enter}172016000009");   /* EXCITER, IP ADDRESS */
  save(itmExctr_IP_Addr);
  /* the field as shown, zero-padded groups and all */
  EXPECT_TRUE(waitForLog("Received new value:<Exctr_IP_Addr,172.016.000.009>", 3000))
      << testsup::readFile(dir.file("master.log"));
  ASSERT_TRUE(waitForEcho(itmExctr_IP_Addr));
  EXPECT_EQ("172.16.0.9", value(itmExctr_IP_Addr));

  ed->play("{up}{enter}{down}");   /* the protocol choice above */
  save(itmExcter_Prtcl);
  EXPECT_TRUE(waitForLog("Received new value:<Excter_Prtcl,1>", 3000));
  ASSERT_TRUE(waitForEcho(itmExcter_Prtcl));
  EXPECT_EQ(padRow("         TCP", 20), ed->row(2));

  ed->play("{down*2}{enter}9123");   /* port number, typed */
  save(itmEXCITER_PORT);
  EXPECT_TRUE(waitForLog("Received new value:<EXCITER_PORT,9123>", 3000));
  ASSERT_TRUE(waitForEcho(itmEXCITER_PORT));
  EXPECT_EQ("9123", value(itmEXCITER_PORT));
}
