/*
** What the master counts as a damaged configuration file, how it keeps a
** copy, and how its loop paces itself.
*/
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "dataset/doviduConfig.h"
#include "tests/support/testSupport.h"
#include "tools/cfgMaster/fileCheck.h"
#include "tools/cfgMaster/masterLoop.h"

using namespace testsup;

namespace {

/* The data set without any link: files, groups and items only. */
struct offlineSet {
  int level = 0;
  dovidu_config cfg{&level, nullptr};
  offlineSet() {
    cfg.defineFiles();
    cfg.addAllItems(1);
  }
};

const char* kHash =
    "################################################################################\n";

TEST(FileCheck, fileAsWrittenIsSound) {
  offlineSet s;
  std::string text(60000, '\0');
  int len = s.cfg.formatValues(1, &text[0], (int)text.size());
  cfgFileReport r = checkCfgText(s.cfg, 1, text.data(), (size_t)len);
  EXPECT_FALSE(r.damaged());
  EXPECT_EQ(r.missingItems, 0);
  EXPECT_EQ(r.badLines, 0);
}

TEST(FileCheck, garbageUnknownNamesBadValuesAndCutEndsAreDamage) {
  offlineSet s;
  std::string text = std::string(kHash) + "# Primary System Configuration #\n" + kHash +
                     "  Volume_Adjust: -3   # fine\n"
                     "\n"
                     "just words\n"
                     "  Unheard_Of: 4\n"
                     "  EXCITER_PORT: abc\n"
                     "  Exctr_IP_Addr: 1.2\n"
                     "  Blend_Control:   # no value\n" +
                     kHash;
  cfgFileReport r = checkCfgText(s.cfg, 1, text.data(), text.size());
  EXPECT_TRUE(r.damaged());
  EXPECT_EQ(r.badLines, 5);
  EXPECT_EQ(r.unknownNames, 1);
  EXPECT_EQ(r.firstBadLine, 6);
  EXPECT_FALSE(r.endsEarly);

  std::string cut = std::string(kHash) + "  Volume_Adjust: -3\n  EXCITER_PORT: 90";
  r = checkCfgText(s.cfg, 1, cut.data(), cut.size());
  EXPECT_TRUE(r.endsEarly);
  EXPECT_EQ(r.badLines, 0);
  EXPECT_GT(r.missingItems, 200);

  const char nulLine[] = "  Volume_Adjust: -3\0zz\n";
  std::string withNul = std::string(kHash) + std::string(nulLine, sizeof nulLine - 1) + kHash;
  r = checkCfgText(s.cfg, 1, withNul.data(), withNul.size());
  EXPECT_EQ(r.badLines, 1);
}

TEST(FileCheck, damagedCopyKeepsTheBytesAndIsNotDuplicated) {
  TempDir d;
  std::string path = d.file("kvPrimeConfig.cfg");
  writeFile(path, "first damage\n");
  EXPECT_EQ(keepDamagedCopy(path), path + ".damaged");
  EXPECT_EQ(keepDamagedCopy(path), path + ".damaged"); /* same bytes: reused */
  writeFile(path + ".new", "second damage\n");
  rename((path + ".new").c_str(), path.c_str());
  EXPECT_EQ(keepDamagedCopy(path), path + ".damaged.1");
  EXPECT_EQ(readFile(path + ".damaged"), "first damage\n");
  EXPECT_EQ(readFile(path + ".damaged.1"), "second damage\n");
}

TEST(PollPacer, shortSleepsWhileTrafficFlowsLongerWhenIdle) {
  pollPacer p;
  EXPECT_EQ(p.afterPass(0, false, 1000), (int)pollPacer::IDLE_US);
  EXPECT_EQ(p.afterPass(3, false, 2000), (int)pollPacer::BUSY_US);
  EXPECT_EQ(p.afterPass(0, false, 2100), (int)pollPacer::BUSY_US);
  EXPECT_EQ(p.afterPass(0, false, 2000 + pollPacer::ACTIVE_WINDOW_MS), (int)pollPacer::IDLE_US);
  EXPECT_EQ(p.afterPass(passMAX_MESSAGES, true, 3000), 0);
}

}  // namespace
