/* Typed items and their files: text and records in and out, change booking, refusals, file text, the reader. */
#include "config/tests/cfgTestSet.h"
#include "diag/shellSeam.h"

#include <cstring>
#include <filesystem>
#include <sys/resource.h>

using namespace cfgtest;

namespace {

/* Text in, stored text out, in order on one set: clamped to the limits, beyond 32 bits saturated (never
** wrapped), letters change nothing, text cut, leading zeros decimal, a mismatch keeps the fields not yet read. */
TEST_F(SmallSet, TextInputIsClampedCutAndParsedAsEachTypeSays) {
  const struct { int index; std::string in, stored; int change; /* 1 a change, 0 none, -1 unchecked */ } rows[] = {
      {ixVOLUME, "12", "7", 1},
      {ixVOLUME, "-20", "-8", 1},
      {ixVOLUME, "abc", "-8", 0},
      {ixVOLUME, "4294967296", "7", 1},    /* would wrap to 0 */
      {ixMACENBL, "5", "1", 1},
      {ixMACENBL, "-3", "0", 1},
      {ixMONVOL, "4.5", "0.000000", 1},
      {ixMONVOL, "-99", "-30.000000", 1},
      {ixUPDFILE, std::string(61, 'a'), std::string(60, 'a'), 1},
      /* cut text equal to the old one still counts as a change */
      {ixUPDFILE, std::string(61, 'a') + "b", std::string(60, 'a'), 1},
      {ixTIME, "2011-08-09 08:09:00", "2011-08-09 08:09:00", 1},
      {ixIP, "192.168.x.4", "192.168.10.100", -1},
      {ixMAC, "a0:b1:c2:d3:e4:f5", "A0:B1:C2:D3:E4:F5", 1},
  };
  for (const auto& r : rows) {
    data_itm_Base* it = cfg.getItem(r.index);
    it->changed = false;
    int count = it->changeCount;
    it->strIn(r.in.c_str());
    EXPECT_EQ(r.stored, valueText(cfg, r.index)) << r.in;
    if (r.change >= 0) {
      EXPECT_EQ(r.change == 1, it->changed) << r.in;
      EXPECT_EQ(count + r.change, it->changeCount) << r.in;
    }
  }
  kvtime_s t;
  ASSERT_EQ(0, cfg.readTime(ixTIME, &t));
  EXPECT_TRUE(t.month == 8 && t.hour == 8 && t.minute == 9);
}

/* A choice's text or "Invalid Lookup"; a file line bounded by the buffer; access by index refuses bad indexes
** (the filter to valid characters: the link test and the parameter access). */
TEST_F(SmallSet, LookupTextStrOutAndAccessByIndex) {
  EXPECT_STREQ("Digital", cfg.getItem(ixBLEND)->lookupText());
  EXPECT_STREQ("No", cfg.getItem(ixMACENBL)->lookupText());
  EXPECT_STREQ("Invalid Lookup", cfg.getItem(ixVOLUME)->lookupText());
  EXPECT_STREQ("Invalid Lookup", cfg.getItem(ixMONVOL)->lookupText());
  std::vector<cfgChoiceRow> rows;
  EXPECT_EQ(1, cfg.getChoiceList(cfg.getItem(ixBLEND), &rows));
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(3, rows[2].key);
  EXPECT_EQ(4, rows[2].textLen);
  char small[10]; /* a file line (the file test compares them whole) bounded by the buffer */
  int n = cfg.getItem(ixVOLUME)->strOut(small, sizeof small, "%25s: ", 42, nullptr, true);
  EXPECT_EQ(9, n);
  EXPECT_EQ(9u, strlen(small));
  int v = 99;
  expectAll(stdoutOf([&] {
    EXPECT_EQ(1, cfg.readInt(8, &v));
    EXPECT_EQ(1, cfg.readInt(500, &v));
    EXPECT_EQ(1, cfg.changeValue(500, "1"));
  }), {"Data item for index 8 is NULL", "Invalid index: 500", "Invalid configuration item ID (500)"});
  EXPECT_EQ(99, v);
  EXPECT_FALSE(cfg.isChanged(8, true));
  EXPECT_EQ(0, cfg.writeInt(ixVOLUME, 0)); /* unchanged: nothing done */
  EXPECT_EQ(1, cfg.writeInt(ixVOLUME, 6));
  char flag = 7;
  EXPECT_EQ(0, cfg.readTextOrFlag(ixMACENBL, &flag, 1, false));
  EXPECT_EQ(0, flag);
  EXPECT_TRUE(cfg.isChanged(ixVOLUME, true));
  EXPECT_FALSE(cfg.isChanged(ixVOLUME, false));
}

/* Records as the queue carries them, little-endian, spare bytes untouched (every type's round trip: the master's
** restart test); one without room is not written, reported for numbers only; a text record running past the
** bytes received is a data fault of the 1..3 kind, traced, nothing read past the bytes. */
TEST_F(SmallSet, BinaryRecordsLayoutOneWithoutRoomOrCutShortIsRefused) {
  cfg.getItem(ixVOLUME)->strIn("-5");
  cfg.getItem(ixUPDFILE)->strIn("abc.tgz");
  const uint8_t intRec[] = {0, 0, 0, 0, 1, 0xEE, 0xEE, 0xEE, 0xFB, 0xFF, 0xFF, 0xFF};
  const uint8_t textRec[] = {7, 0, 0, 0, 8, 0xEE, 0xEE, 0xEE, 7, 0, 'a', 'b', 'c', '.', 't', 'g', 'z'};
  uint8_t buf[40];
  memset(buf, 0xEE, sizeof buf);
  ASSERT_EQ(12, cfg.getItem(ixVOLUME)->binOut(buf, sizeof buf, -1));
  ASSERT_EQ(17, cfg.getItem(ixUPDFILE)->binOut(buf + 12, sizeof buf - 12, -1));
  EXPECT_EQ(0, memcmp(buf, intRec, 12));
  EXPECT_EQ(0, memcmp(buf + 12, textRec, 17));
  memset(buf, 0x55, sizeof buf);
  std::string out = stdoutOf([&] {
    EXPECT_EQ(12, cfg.getItem(ixVOLUME)->binOut(buf, 11, -1));
    EXPECT_EQ(17, cfg.getItem(ixUPDFILE)->binOut(buf, 16, -1));
  });
  EXPECT_NE(std::string::npos, out.find("ERR #13013 in genericConfig::binOut()"));
  EXPECT_EQ(out.find("13013"), out.rfind("13013"));
  EXPECT_EQ(0x55, buf[0]);
  uint8_t rec[] = {7, 0, 0, 0, 8, 0, 0, 0, 200, 0, 'x', 'y'};
  out = stdoutOf([&] { EXPECT_EQ(3, cfg.binInList(rec, sizeof rec, 0)); });
  EXPECT_NE(std::string::npos, out.find("'BinIn' record cut short. Index:7 has 4 value bytes. ItmCount=1"));
  EXPECT_EQ(std::string::npos, out.find("ERR #"));
  EXPECT_EQ("abc.tgz", valueText(cfg, ixUPDFILE));
}

TEST_F(SmallSet, ChangeFromOneClientGoesToEveryOtherSubscriberNeverTheSender) {
  data_itm_Base* it = cfg.getItem(ixVOLUME);
  uint8_t buf[32], v[4] = {3, 0, 0, 0};
  EXPECT_EQ(0, it->binOut(buf, sizeof buf, 17)); /* not subscribed: no record */
  for (int id : {17, 18, 19}) it->subscribers.insert(id);
  EXPECT_EQ(4, it->binIn(v, 4, 17));
  EXPECT_EQ(0u, cfg.pendingExport.clients.count(17));
  EXPECT_EQ(1u, cfg.pendingExport.clients[18].count(ixVOLUME));
  EXPECT_EQ(1u, cfg.pendingExport.clients[19].count(ixVOLUME));
  cfg.takeChangedIndexes(nullptr);
  EXPECT_EQ(4, it->binIn(v, 4, 18)); /* the same value again is no change */
  EXPECT_EQ(0, cfg.takeChangedIndexes(nullptr));
}

/* Items, files and groups that cannot be registered are refused and said; a client neither reads nor writes files. */
TEST(ItemRegistration, DuplicatesBadChoiceListsTooManyFilesAndClientFileAccessAreRefused) {
  testsup::TempDir dir;
  const std::string path = dir.file("a.cfg");
  generic_cfg cfg(nullptr, nullptr);
  int level = 0;
  cfg.pTraceLevel = &level;
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, cfg.addCfgFile(path.c_str(), "A", 2, -1, 5));
  EXPECT_EQ(-1, cfg.addCfgFile(path.c_str(), "A again", 2, -1, 5));
  for (int i = 1; i < 25; ++i) EXPECT_EQ(i, cfg.addCfgFile(nullptr, "n", 2, -1, 5));
  EXPECT_EQ(-1, cfg.addCfgFile(nullptr, "n", 2, -1, 5));
  EXPECT_EQ(0, cfg.addCfgGroup(4, "SMX Parameters", 0));
  EXPECT_EQ(1, cfg.addCfgGroup(4, "again", 0));
  ASSERT_EQ(1, cfg.addItemInt(1, 3, 1, 255, 0, 0, 9, "First", "d", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0, cfg.addItemInt(1, 4, 1, 255, 0, 0, 9, "First", "d", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0, cfg.addItemInt(1, 3, 1, 255, 0, 0, 9, "Second", "d", nullptr, nullptr, nullptr, nullptr));
  const choiceEntry_s one[] = {{0, "Only"}, {0, nullptr}};
  const choiceEntry_s three[] = {{0, "a"}, {1, "b"}, {2, "c"}, {0, nullptr}};
  EXPECT_EQ(0, cfg.addItemInt(1, 5, 1, 255, 0, 0, 9, "OneChoice", "d", nullptr, nullptr, one, nullptr));
  EXPECT_EQ(0, cfg.addItemBool(1, 6, 1, 255, false, 0, 1, "ThreeBool", "d", nullptr, nullptr, three));
  EXPECT_EQ(0, cfg.addItemInt(30, 8, 1, 255, 0, 0, 1, "BadFile", "d", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(1, cfg.readFilesAll());
  EXPECT_EQ(1, cfg.writeFilesAll());
  EXPECT_EQ(1, cfg.writeToFile(0));
  expectAll(testing::internal::GetCapturedStdout(),
            {"ERR #13026 in genericConfig::noAccess() - line ", "Must be in master mode to write to files.",
             "ERR #13019 in genericConfig::addItemHelper() - line ", "Duplicate data item ignored: First",
             "Attempt to assign item: Second with same index as: First", "Invalid lookup for OneChoice.",
             "Invalid lookup for ThreeBool.", ("Duplicated file name: <" + path + ">").c_str(),
             "Too many files. Maximum = 25", "Duplicate group ID: 4"});
  EXPECT_EQ(-1, access(path.c_str(), F_OK));
  EXPECT_STREQ("First", cfg.getItemName(3));
  EXPECT_NE(nullptr, cfg.findItem("Second")); /* named, but has no slot */
  EXPECT_EQ(nullptr, cfg.getItem(4));
  EXPECT_EQ(1u, cfg.findItem("OneChoice")->choices.size()); /* entries stay loaded */
  EXPECT_EQ(nullptr, cfg.findItem("BadFile"));
  data_itm<float> f(1.0f);  /* a float takes no choice list at all */
  const choiceEntry_s two[] = {{0, "a"}, {1, "b"}, {0, ""}};
  EXPECT_EQ(1, f.loadChoices(two));
}


/* The exact file text, in place before the sync runs; the unnamed file is never written; groups collect items by
** mask; a write failing half way leaves the old file and no temporary one; long texts beyond the size estimate
** are never cut. */
TEST_F(SmallSet, WrittenTextIsExactInPlaceBeforeTheSyncNeverHalfWrittenNeverCut) {
  std::vector<std::string> cmds;
  std::string seenBySync;
  setShellHook([&](const std::string& cmd, std::string*) {
    cmds.push_back(cmd);
    seenBySync = testsup::readFile(path);
    return 0;
  });
  int r = cfg.writeToFile(1);
  setShellHook(nullptr);
  ASSERT_EQ(0, r);
  EXPECT_EQ(std::vector<std::string>{"sync"}, cmds);
  std::string expected =
      testsup::readFile(std::string(DOVA_SOURCE_DIR) + "/config/tests/data/small_expected.cfg");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected, seenBySync);
  EXPECT_EQ(expected, testsup::readFile(path));
  EXPECT_EQ(0, cfg.writeToFile(0)); /* the unnamed file is never written */
  EXPECT_EQ(6u, cfg.getGroup(1)->items.size()); /* masks 1 and 3 */
  EXPECT_EQ(5u, cfg.getGroup(2)->items.size()); /* masks 2 and 3 */
  Child writer(dir.file("child.out"), [&]() {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {200, 200}; /* the new text is larger: write stops short */
    setrlimit(RLIMIT_FSIZE, &lim);
    cfg.getItem(ixUPDFILE)->strIn("changed.tgz");
    return cfg.writeToFile(1);
  });
  EXPECT_EQ(1, writer.wait(10000));
  EXPECT_NE(std::string::npos, writer.out().find("unable to open CONFIG_FILE"));
  EXPECT_EQ(expected, testsup::readFile(path));
  EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir.path()), {})); /* and child.out: no temporary */
  generic_cfg big(&level, nullptr); /* 40 texts of 1000 characters */
  big.master = 1;
  big.addCfgFile(path.c_str(), "Big", 2, -1, 5);
  for (int i = 0; i < 40; ++i)
    ASSERT_EQ(1, big.addItemText(0, i, 1, 255, std::string(1000, 'a' + i % 26).c_str(), 0, 2000,
                                 ("Text" + std::to_string(i)).c_str(), "t", nullptr, nullptr, nullptr));
  ASSERT_EQ(0, big.writeToFile(0));
  std::string text = testsup::readFile(path);
  EXPECT_EQ(std::string(80, '#') + "\n", text.substr(text.size() - 81));
  EXPECT_NE(std::string::npos, text.find("Text39: " + std::string(1000, 'a' + 39 % 26) + " # t\n"));
}

/* The reader, text after text on one set: only well-formed value lines apply; CR stays a value character; a
** last line without a newline counts; NUL ends a line's text; huge input and no line end are survived; beyond
** 32 bits a number reads as on the 32-bit box: the int limit, then the item's clamp (an address keeps the low
** 8 bits; the date's fields are too narrow to overflow). */
TEST_F(SmallSet, ReaderAppliesOnlyWellFormedLinesAndSurvivesAwkwardInput) {
  const std::string z60(60, 'z');
  const struct { std::string text; int index; std::string value; } rows[] = {
      {"       Volume_Adjust: -3      # comment\n", ixVOLUME, "-3"},
      {"Volume_Adjust:\nVolume_Adjust:    # only a comment\nVolume_Adjust 5\n# Volume_Adjust: 6\n", ixVOLUME,
       "-3"},
      {"UPDATE_FILE: my station # 1\n", ixUPDFILE, "my station"},
      {"UPDATE_FILE: dos.tgz\r\nVolume_Adjust: 4\r\n", ixUPDFILE, "dos.tgz\r"},
      {"", ixVOLUME, "4"},
      {"\t_x: 1\nVolume_Adjust: 2", ixVOLUME, "2"},
      {"UPDATE_FILE: a", ixUPDFILE, "a"},
      {std::string("Volume_Adjust: 1\0junk\nUPDATE_FILE: b\0c\n", 39), ixVOLUME, "1"},
      {"", ixUPDFILE, "b"},
      {"UPDATE_FILE: " + std::string(60000, 'z'), ixUPDFILE, z60},
      {std::string(70000, ':'), ixUPDFILE, z60},
      {std::string(70000, '#'), ixUPDFILE, z60},
      {"Volume_Adjust: 4294967296\nExctr_MAC_Enbl: 4294967296\nExctr_IP_Addr: 4294967296.1.2.3\n", ixVOLUME, "7"},
      {"", ixMACENBL, "1"},
      {"", ixIP, "255.1.2.3"},
  };
  for (const auto& r : rows) {
    std::vector<char> text(r.text.begin(), r.text.end()); /* the reader writes into its text */
    if (!r.text.empty()) cfg.applyCfgText(text.data(), (int)text.size());
    EXPECT_EQ(r.value, valueText(cfg, r.index)) << r.text.substr(0, 60);
  }
}

/* Unknown names are reported nineteen times, then skipped (a large file read whole: the master's tests). */
TEST_F(SmallSet, UnknownNamesAreReportedNineteenTimes) {
  generic_cfg::resetParseMisses();
  std::string text;
  for (int i = 0; i < 25; ++i) text += "NoSuchItem" + std::to_string(i) + ": 1\n";
  testsup::writeFile(path, text + "UPDATE_FILE: big.tgz\n");
  std::string out = stdoutOf([&] { EXPECT_EQ(0, cfg.readFile(1)); });
  EXPECT_EQ(19u, testsup::countOf(out, "ERR #13020"));
  EXPECT_NE(std::string::npos,
            out.find("Item from file not available in dataset. Item=<NoSuchItem0> map_itms.size() = 12"));
  EXPECT_EQ("big.tgz", valueText(cfg, ixUPDFILE));
  generic_cfg::resetParseMisses();
}

}  // namespace
