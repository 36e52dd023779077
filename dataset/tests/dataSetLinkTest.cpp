/*
** The data set on disk and at a console's start-up: a master writes and
** reads back its primary file; a client retried after a missing grant
** still has its files and groups once.
*/
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "dataset/tests/dataSetTestUtil.h"
#include "diag/cppUtils.h"

namespace {

std::map<std::string, std::string> dumpValues(generic_cfg& cfg) {
  std::map<std::string, std::string> out;
  for (data_itm_Base* it : cfg.allItems()) {
    char buf[400];
    it->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
    out[it->name] = buf;
  }
  return out;
}

/* An item's name as a file line starts: right-aligned in 25 columns. */
std::string nameColumn(const char* name) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%25s: ", name);
  return buf;
}

int countLines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace

TEST_F(DataSetInTempDir, masterWritesPrimaryFileAndASecondMasterReadsItBackIdentically) {
  std::map<std::string, std::string> written;
  std::string firstText;
  {
    auto cfg = master();
    cfg->changeValue(itmSIS_CsStdNme, "WXYZ");
    cfg->changeValue(itmVolume_Adjust, "-3");
    cfg->changeValue(itmETH1_IP_ADDR, "192.168.7.9");
    cfg->changeValue(itmExctr_MAC_Addr, "00:1a:2b:3c:4d:5e");
    cfg->changeValue(itmSYSTEM_NAME, "my station");
    cfg->changeValue(itmMonitor_Vol, "-12.5");
    cfg->changeValue(itmSIS_Nplds_00 + 5 * 3 + 2, "-1");   /* SIS_Plid1_05 */
    cfg->changeValue(itmPOWEROFF_CMD, "1");                 /* never saved */
    ASSERT_EQ(0, cfg->writeFilesAll());
    written = dumpValues(*cfg);
    firstText = testsup::readFile("kvPrimeConfig.cfg");
  }
  const std::string hashes(80, '#');
  EXPECT_EQ(0u, firstText.find(hashes + "\n# Primary System Configuration #\n" + hashes + "\n"));
  EXPECT_EQ(288 + 4, countLines(firstText));
  EXPECT_NE(std::string::npos, firstText.find("\n" + nameColumn("SIS_CsStdNme") + "WXYZ "));
  EXPECT_EQ(std::string::npos, firstText.find("POWEROFF_CMD"));
  EXPECT_EQ(4, countLines(testsup::readFile("kvSecondaryConfig.cfg")));

  /* Only two values come back different: the unsaved power-off command
  ** starts again at 0, and the access level, saved at its default 1, is
  ** clamped to its range 4..4 as soon as it is read from text. */
  auto again = master();
  std::map<std::string, std::string> readBack = dumpValues(*again);
  ASSERT_EQ(written.size(), readBack.size());
  std::set<std::string> differing;
  for (const auto& kv : written)
    if (readBack[kv.first] != kv.second) differing.insert(kv.first);
  EXPECT_EQ((std::set<std::string>{"LCD_AccessLvl", "POWEROFF_CMD"}), differing);
  EXPECT_EQ("4", readBack["LCD_AccessLvl"]);
  EXPECT_EQ("192.168.7.9", readBack["ETH1_IP_ADDR"]);
  EXPECT_EQ("00:1A:2B:3C:4D:5E", readBack["Exctr_MAC_Addr"]);
  EXPECT_EQ("-1", readBack["SIS_Plid1_05"]);
  ASSERT_EQ(0, again->writeFilesAll());
  std::string secondText = testsup::readFile("kvPrimeConfig.cfg");
  size_t at = firstText.find(nameColumn("LCD_AccessLvl") + "1 ");
  ASSERT_NE(std::string::npos, at);
  firstText[at + 27] = '4';
  EXPECT_TRUE(firstText == secondText) << "rewritten file differs beyond the access level";
}

/* The console's start-up retries initDataSet on the same object: the first
** attempt finds no master and times out on the grant, the next one finds
** the endpoint open and succeeds at once.  The files and groups must still
** come once each. */
TEST_F(DataSetInTempDir, clientRetriedAfterAMissingGrantStillHasThreeFilesAndSevenGroups) {
  dovidu_config client(&traceLevel, nullptr);
  testing::internal::CaptureStdout();  /* the unanswered registration's reports */
  int first = client.initDataSet(&traceLevel, nullptr, 0, "doVA.x", 0, -1);
  kvTimeStamp t0;
  getTimeStamp(&t0);
  int second = client.initDataSet(&traceLevel, nullptr, 0, "doVA.x", 0, -1);
  float secondSec = elapsedSeconds(&t0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(1, first);
  EXPECT_EQ(0, second);
  EXPECT_LT(secondSec, 1.0f);
  ASSERT_EQ(3, client.fileCount());
  EXPECT_TRUE(client.getFile(0)->noName);
  EXPECT_EQ("kvPrimeConfig.cfg", client.getFile(1)->fileName);
  EXPECT_EQ("kvSecondaryConfig.cfg", client.getFile(2)->fileName);
  EXPECT_EQ(7u, client.groupList().size());
  EXPECT_EQ(311, client.addAllItems(2));
  EXPECT_EQ(23u, client.getFile(0)->items.size());
  EXPECT_EQ(288u, client.getFile(1)->items.size());
}
