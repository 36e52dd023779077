/* The master's damaged-file check, the copy it keeps, its loop's pace. */
#include <gtest/gtest.h>

#include <string>

#include "dataset/doviduConfig.h"
#include "tests/support/testSupport.h"
#include "tools/cfgMaster/fileCheck.h"
#include "tools/cfgMaster/masterLoop.h"

using namespace testsup;

namespace {

/* Garbage, unknown names, bad values, a NUL in a line and a cut end are
** damage (a file as the master writes it is sound: its restart tests). */
TEST(FileCheck, garbageAndCutEndsAreDamage) {
  int level = 0;
  dovidu_config cfg{&level, nullptr}; /* files, groups and items only, no link */
  cfg.defineFiles();
  cfg.addAllItems(1);
  const std::string hash = std::string(80, '#') + "\n";
  std::string text = hash + "# Primary System Configuration #\n" + hash +
         "  Volume_Adjust: -3   # fine\n\njust words\n  Unheard_Of: 4\n  EXCITER_PORT: abc\n"
         "  Exctr_IP_Addr: 1.2\n  Blend_Control:   # no value\n" + hash;
  cfgFileReport r = checkCfgText(cfg, 1, text.data(), text.size());
  EXPECT_TRUE(r.damaged());
  EXPECT_EQ(r.badLines, 5);
  EXPECT_EQ(r.unknownNames, 1);
  EXPECT_EQ(r.firstBadLine, 6);
  EXPECT_FALSE(r.endsEarly);
  text = hash + "  Volume_Adjust: -3\n  EXCITER_PORT: 90";
  r = checkCfgText(cfg, 1, text.data(), text.size());
  EXPECT_TRUE(r.endsEarly);
  EXPECT_EQ(r.badLines, 0);
  EXPECT_GT(r.missingItems, 200);
  const char nulLine[] = "  Volume_Adjust: -3\0zz\n";
  text = hash + std::string(nulLine, sizeof nulLine - 1) + hash;
  EXPECT_EQ(checkCfgText(cfg, 1, text.data(), text.size()).badLines, 1);
}

TEST(FileCheck, damagedCopyKeepsTheBytesAndIsNotDuplicated) {
  TempDir d;
  std::string path = d.file("kvPrimeConfig.cfg");
  writeFile(path, "first damage\n");
  EXPECT_EQ(keepDamagedCopy(path), path + ".damaged");
  EXPECT_EQ(keepDamagedCopy(path), path + ".damaged"); /* same bytes: reused */
  writeFile(path + ".new", "second damage\n"); /* the copy is a hard link: replace, not rewrite */
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
