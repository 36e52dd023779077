/*
** Configuration files: the exact text written, reading it back, the reader
** on awkward input, refusals in client mode and writes that fail half way.
*/
#include "config/tests/cfgTestSet.h"
#include "diag/shellSeam.h"
#include "tests/support/testSupport.h"

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace cfgtest;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string valueText(generic_cfg& c, int ix) {
  char buf[300];
  c.getItem(ix)->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
  return buf;
}

struct FileSet : ::testing::Test {
  testsup::TempDir dir;
  std::string path = dir.file("small.cfg");
  int level = 0;
  generic_cfg cfg{&level, nullptr};
  void SetUp() override {
    cfg.master = 1;
    buildSmallSet(cfg, path.c_str());
  }
  /* Apply text through the reader (a private writable copy). */
  void apply(const std::string& text) {
    std::vector<char> b(text.begin(), text.end());
    cfg.applyCfgText(b.data(), (int)b.size());
  }
};

TEST_F(FileSet, WrittenTextMatchesTheExpectedFileByteForByte) {
  ASSERT_EQ(0, cfg.writeToFile(1));
  std::string expected =
      testsup::readFile(std::string(DOVA_SOURCE_DIR) + "/config/tests/data/small_expected.cfg");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected, testsup::readFile(path));
  EXPECT_EQ(0, cfg.writeToFile(0)); /* the unnamed file is never written */
}

/* A number beyond 32 bits in a file reads as on the 32-bit box: the int
** limit, then the item's own clamp (an address keeps the low 8 bits; the
** date's fields are four and two digits wide, so they cannot overflow). */
TEST_F(FileSet, NumbersBeyondThirtyTwoBitsSaturateInEveryNumericType) {
  const struct { const char* n; int volume; bool enable; uint8_t octet; } rows[] = {
      {"4294967296", 7, true, 255},
      {"-4294967296", -8, false, 0},
      {"99999999999999999999", 7, true, 255},
  };
  for (const auto& r : rows) {
    std::string n = r.n;
    apply("Volume_Adjust: " + n + "\nExctr_MAC_Enbl: " + n + "\nExctr_IP_Addr: " + n +
          ".1.2.3\n");
    int volume = 0;
    bool enable = !r.enable;
    ip_addr_s ip;
    ASSERT_EQ(0, cfg.readInt(ixVOLUME, &volume));
    ASSERT_EQ(0, cfg.readBool(ixMACENBL, &enable));
    ASSERT_EQ(0, cfg.readIp(ixIP, &ip));
    EXPECT_EQ(r.volume, volume) << n;
    EXPECT_EQ(r.enable, enable) << n;
    EXPECT_EQ(r.octet, ip.octet[0]) << n;
    EXPECT_EQ(1, ip.octet[1]) << n;
  }
}

TEST_F(FileSet, ReaderAppliesOnlyWellFormedValueLines) {
  apply("       Volume_Adjust: -3      # comment\n");
  EXPECT_EQ("-3", valueText(cfg, ixVOLUME));
  apply("Volume_Adjust:\nVolume_Adjust:    # only a comment\nVolume_Adjust 5\n# Volume_Adjust: 6\n");
  EXPECT_EQ("-3", valueText(cfg, ixVOLUME));
  apply("UPDATE_FILE: my station # 1\n");
  EXPECT_EQ("my station", valueText(cfg, ixUPDFILE));
  apply("UPDATE_FILE: dos.tgz\r\nVolume_Adjust: 4\r\n");
  EXPECT_EQ("dos.tgz\r", valueText(cfg, ixUPDFILE)); /* CR stays a value character */
  EXPECT_EQ("4", valueText(cfg, ixVOLUME));
  apply("\t_x: 1\nVolume_Adjust: 2");
  EXPECT_EQ("2", valueText(cfg, ixVOLUME)); /* last line without newline */
  apply("UPDATE_FILE: a");
  EXPECT_EQ("a", valueText(cfg, ixUPDFILE));
}

TEST_F(FileSet, ReaderSurvivesNulBytesHugeInputAndNoLineEnd) {
  std::string nul("Volume_Adjust: 1\0junk\nUPDATE_FILE: b\0c\n", 39);
  apply(nul);
  EXPECT_EQ("1", valueText(cfg, ixVOLUME));
  EXPECT_EQ("b", valueText(cfg, ixUPDFILE));
  std::string big = "UPDATE_FILE: " + std::string(60000, 'z'); /* no line end at all */
  apply(big);
  EXPECT_EQ(std::string(60, 'z'), valueText(cfg, ixUPDFILE));
  apply(std::string(70000, ':'));
  apply(std::string(70000, '#'));
}

TEST_F(FileSet, UnknownNamesAreReportedNineteenTimesThenSkipped) {
  generic_cfg::resetParseMisses();
  std::string text;
  for (int i = 0; i < 25; ++i) text += "NoSuchItem" + std::to_string(i) + ": 1\n";
  text += "Volume_Adjust: 5\n";
  CaptureStdout();
  apply(text);
  std::string out = GetCapturedStdout();
  size_t count = 0;
  for (size_t p = out.find("ERR #13020"); p != std::string::npos; p = out.find("ERR #13020", p + 1))
    ++count;
  EXPECT_EQ(19u, count);
  EXPECT_NE(std::string::npos,
            out.find("Item from file not available in dataset. Item=<NoSuchItem0> map_itms.size() = 12"));
  EXPECT_EQ("5", valueText(cfg, ixVOLUME));
  generic_cfg::resetParseMisses();
}

TEST_F(FileSet, LargeFileIsReadThroughItsOwnBuffer) {
  std::string text = "UPDATE_FILE: big.tgz\n" + std::string(60000, '#') + "\nVolume_Adjust: 3\n";
  testsup::writeFile(path, text);
  CaptureStdout();
  EXPECT_EQ(0, cfg.readFile(1));
  EXPECT_NE(std::string::npos, GetCapturedStdout().find("ERR #13025"));
  EXPECT_EQ("big.tgz", valueText(cfg, ixUPDFILE));
  EXPECT_EQ("3", valueText(cfg, ixVOLUME));
}

TEST_F(FileSet, LongTextValuesAreNeverCutInTheFile) {
  /* 40 text values of 1000 characters outgrow the size estimate */
  generic_cfg big(&level, nullptr);
  big.master = 1;
  big.addCfgFile(path.c_str(), "Big", 2, -1, 5);
  for (int i = 0; i < 40; ++i) {
    std::string name = "Text" + std::to_string(i);
    ASSERT_EQ(1, big.addItemText(0, i, 1, 255, std::string(1000, 'a' + i % 26).c_str(), 0, 2000,
                                 name.c_str(), "t", nullptr, nullptr, nullptr));
  }
  ASSERT_EQ(0, big.writeToFile(0));
  std::string text = testsup::readFile(path);
  EXPECT_EQ(std::string(80, '#') + "\n", text.substr(text.size() - 81));
  EXPECT_NE(std::string::npos, text.find("Text39: " + std::string(1000, 'a' + 39 % 26) + " # t\n"));
}

TEST(ClientFiles, ClientNeitherReadsNorWritesFiles) {
  testsup::TempDir dir;
  generic_cfg c(nullptr, nullptr);
  int level = 0;
  c.pTraceLevel = &level;
  buildSmallSet(c, dir.file("c.cfg").c_str());
  CaptureStdout();
  EXPECT_EQ(1, c.readFilesAll());
  EXPECT_EQ(1, c.writeFilesAll());
  EXPECT_EQ(1, c.writeToFile(1));
  std::string out = GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("ERR #13026 in genericConfig::noAccess() - line "));
  EXPECT_NE(std::string::npos, out.find("Must be in master mode to write to files."));
  EXPECT_TRUE(testsup::readFile(dir.file("c.cfg")).empty());
}

TEST(FileGroups, DuplicatesAndTooManyFilesAreRefused) {
  int level = 0;
  generic_cfg c(&level, nullptr);
  CaptureStdout();
  EXPECT_EQ(0, c.addCfgFile("a.cfg", "A", 2, -1, 5));
  EXPECT_EQ(-1, c.addCfgFile("a.cfg", "A again", 2, -1, 5));
  for (int i = 1; i < 25; ++i) EXPECT_EQ(i, c.addCfgFile(nullptr, "n", 2, -1, 5));
  EXPECT_EQ(-1, c.addCfgFile(nullptr, "n", 2, -1, 5));
  EXPECT_EQ(0, c.addCfgGroup(4, "SMX Parameters", 0));
  EXPECT_EQ(1, c.addCfgGroup(4, "again", 0));
  std::string out = GetCapturedStdout();
  EXPECT_NE(std::string::npos, out.find("Duplicated file name: <a.cfg>"));
  EXPECT_NE(std::string::npos, out.find("Too many files. Maximum = 25"));
  EXPECT_NE(std::string::npos, out.find("Duplicate group ID: 4"));
}

TEST_F(FileSet, GroupsCollectItemsByMask) {
  EXPECT_EQ(6u, cfg.getGroup(1)->items.size()); /* masks 1 and 3 */
  EXPECT_EQ(5u, cfg.getGroup(2)->items.size()); /* masks 2 and 3 */
}

TEST_F(FileSet, WriteThatFailsHalfWayLeavesTheOldFileIntact) {
  ASSERT_EQ(0, cfg.writeToFile(1));
  std::string before = testsup::readFile(path);
  Child writer(dir.file("child.out"), [&]() {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {200, 200}; /* the new text is larger: write stops short */
    setrlimit(RLIMIT_FSIZE, &lim);
    cfg.getItem(ixUPDFILE)->strIn("changed.tgz");
    return cfg.writeToFile(1);
  });
  EXPECT_EQ(1, writer.wait(10000));
  EXPECT_NE(std::string::npos, writer.out().find("unable to open CONFIG_FILE"));
  EXPECT_EQ(before, testsup::readFile(path));
  DIR* d = opendir(dir.path().c_str());
  int entries = 0;
  while (struct dirent* e = readdir(d))
    if (strncmp(e->d_name, "small.cfg", 9) == 0) ++entries;
  closedir(d);
  EXPECT_EQ(1, entries); /* no temporary file left behind */
}

TEST_F(FileSet, SavedFileIsInPlaceBeforeTheSyncCommandRuns) {
  std::vector<std::string> cmds;
  std::string seenBySync;
  setShellHook([&](const std::string& cmd, std::string*) {
    cmds.push_back(cmd);
    seenBySync = testsup::readFile(path);
    return 0;
  });
  cfg.getItem(ixUPDFILE)->strIn("synced.tgz");
  int r = cfg.writeToFile(1);
  setShellHook(nullptr);
  ASSERT_EQ(0, r);
  ASSERT_EQ(1u, cmds.size());
  EXPECT_EQ("sync", cmds[0]);
  EXPECT_NE(std::string::npos, seenBySync.find("synced.tgz")); /* renamed first */
  EXPECT_EQ(seenBySync, testsup::readFile(path));
}

}  // namespace
