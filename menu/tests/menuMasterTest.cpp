/*
** Saves from the menu reach a real configuration master: the editor runs on
** a console-style client data set, the master is a forked process whose
** trace is captured, and each saved value comes back as the master's export
** into the client's item and the editor's changed-item queue.
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

class MenuWithRealMaster : public MenuOnDataSet {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.enter());
    master = std::make_unique<testsup::Child>(dir.file("master.log"), runMaster);
    ASSERT_TRUE(master->waitForOutput("MASTER READY", 5000));
    cfg = std::make_unique<dovidu_config>(&traceLevel, nullptr);
    ASSERT_EQ(0, cfg->initDataSet(&traceLevel, nullptr, 0, "doVA.x", 0, -1));
    cfg->addAllItems(2);
    ASSERT_EQ(0, cfg->subscribeListSend());
    open(4, 20).pollChanges();
  }
  void TearDown() override {
    ed.reset();
    cfg.reset();
    master.reset();
    MenuOnDataSet::TearDown();
  }
  /* Poll until the master's echo of `index` reaches the editor (bounded). */
  bool waitForEcho(int index, int echoBase) {
    for (int t = 0; t < 3000; t += 5) {
      cfg->serviceCfg(0, 0);
      ed->service();
      for (int k = 0; k < ed->changedCount(); ++k)
        if (ed->changedItem(k) == index && cfg->getItem(index)->changeCount > echoBase) return true;
      usleep(5000);
    }
    return false;
  }

  std::unique_ptr<testsup::Child> master;
};

}  // namespace

/* Each save's request as the master traces it (texts quoted, a cleared text
** as two quoted blanks, an address as the field shows it, zero-padded
** groups and all), then its echo in the client's item and on the screen. */
TEST_F(MenuWithRealMaster, savedValuesReachTheMasterQuotedOrAsShownAndComeBack) {
  const struct {
    const char* keys;
    int item;
    const char* request, *stored, *shown;   /* as the master traces it; stored; the value row */
  } saves[] = {
      {"{right}{down*7}{right}{right}{down*4}{enter}ON AIR", itmSIS_SlgnUnvNme, "<SIS_SlgnUnvNme,\"ON AIR\">",
       "ON AIR", "       ON AIR"},
      {"{enter}{del*8}", itmSIS_SlgnUnvNme, "<SIS_SlgnUnvNme,\"  \">", "  ", ""},
      {"{esc}{right}{up*12}{down*2}{right}{down}{right}{enter}172016000009", itmExctr_IP_Addr,
       "<Exctr_IP_Addr,172.016.000.009>", "172.16.0.9", "     172.16.0.9"},
  };
  for (const auto& s : saves) {
    ed->play(s.keys);
    int echoBase = cfg->getItem(s.item)->changeCount;
    ed->clearChanged();
    ed->play("{enter}{enter}");
    EXPECT_TRUE(master->waitForOutput(std::string("Received new value:") + s.request, 3000))
        << testsup::readFile(dir.file("master.log"));
    ASSERT_TRUE(waitForEcho(s.item, echoBase)) << s.request;
    EXPECT_EQ(s.stored, value(s.item));
    EXPECT_EQ(padRow(s.shown, 20), ed->row(2));
  }
}
