/*
** Change requests whose value is sent quoted ("%s,\"%s\"", as the parameter
** access and the menu send text): the master takes everything between the
** outer quotes, commas and inner quotes included, and still refuses an
** unquoted request with three fields.
*/
#include "config/tests/cfgTestSet.h"
#include "ipc/msgQ_IO.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace cfgtest;

namespace {

struct QuotedChange : ::testing::Test {
  int level = 0;
  generic_cfg master{&level, nullptr};
  void SetUp() override {
    master.master = 1;
    buildSmallSet(master, nullptr);
    set("Long_Text,before");
  }
  /* The request as it arrives from the queue: no NUL behind it. */
  int rx(const std::string& request) {
    std::vector<uint8_t> b(request.begin(), request.end());
    b.push_back(0xEE);
    return master.processMasterRx(ipcMSG_NEW_DATA_VALUE, b.data(), (int)request.size(), 42);
  }
  void set(const std::string& request) { rx(request); }
  std::string value() {
    char buf[20100];
    master.getItem(ixLONGTEXT)->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
    return buf;
  }
};

}  // namespace

TEST_F(QuotedChange, innerQuotesAndCommasSurviveTheOuterPair) {
  set("Long_Text,\"Traffic, weather, \"live\" news\"");
  EXPECT_EQ("Traffic, weather, \"live\" news", value());
  set("Long_Text,\"\"\"\"");
  EXPECT_EQ("\"\"", value());
  set("Long_Text,\"a,b c\"\r\n");
  EXPECT_EQ("a,b c", value());
}

TEST_F(QuotedChange, emptyQuotesClearTheText) {
  set("Long_Text,\"\"");
  EXPECT_EQ("", value());
}

TEST_F(QuotedChange, unquotedValuesAndALoneQuoteGoThroughTheTokenizer) {
  set("Long_Text,  plain words  ");
  EXPECT_EQ("plain words", value());
  set("Long_Text,\"");
  EXPECT_EQ("", value());  /* an open quote holds nothing */
  set("Long_Text,\"x");
  EXPECT_EQ("x", value());
  set("Long_Text,say \"hi\"");
  EXPECT_EQ("say \"hi\"", value());
}

TEST_F(QuotedChange, threeUnquotedFieldsAndAMissingNameAreStillRefused) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(1, rx("Long_Text,a,b"));
  EXPECT_EQ(1, rx(",\"quoted\""));
  EXPECT_EQ(1, rx("No_Such,\"x\""));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ("before", value());
  size_t n13010 = 0;
  for (size_t p = out.find("ERR #13010"); p != std::string::npos; p = out.find("ERR #13010", p + 1))
    ++n13010;
  EXPECT_EQ(2u, n13010) << out;
  EXPECT_NE(std::string::npos, out.find("Invalid item identifier:<No_Such>/<x?")) << out;
}
