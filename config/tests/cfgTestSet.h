/* A small data set of every item type for the configuration tests, and helpers that drive a configuration end. */
#ifndef CONFIG_TESTS_CFGTESTSET_H
#define CONFIG_TESTS_CFGTESTSET_H

#include "config/genericConfig.h"
#include "tests/support/testSupport.h"

#include <gtest/gtest.h>
#include <initializer_list>

namespace cfgtest {

/* Index of each test item; 8 is left empty on purpose. */
enum {
  ixVOLUME = 0,    /* int  -8..7, "dB" */
  ixMONVOL = 1,    /* float -30..0 */
  ixMACENBL = 2,   /* bool with No/Yes */
  ixIP = 3,        /* ip 10.10.10.100 */
  ixMAC = 4,       /* mac 00:1A:2B:3C:4D:5E */
  ixTIME = 5,      /* date-time 2009-08-09 08:09:00 */
  ixSHORTNAME = 6, /* text max 4, capitals and blank */
  ixUPDFILE = 7,   /* text max 60 */
  ixBLEND = 9,     /* int 1..3 with a choice list */
  ixLONGTEXT = 10, /* text max 20000, not saved; 11 and 12 alike */
  ixLONGTEXT2 = 11,
  ixLONGTEXT3 = 12
};

/* Files 0 (no name) and 1 (cfgPath, may be null), groups 1 and 2, the items above; returns the item count. */
inline int buildSmallSet(generic_cfg& c, const char* cfgPath) {
  static const choiceEntry_s lstNoYes[] = {{0, "No"}, {1, "Yes"}, {-1, nullptr}};
  static const choiceEntry_s lstBlend[] = {{1, "Analog"}, {2, "Digital"}, {3, "Auto"}, {-1, ""}};
  c.addCfgFile(nullptr, "Not saved data", 2, -1, 5);
  c.addCfgFile(cfgPath, "Small test configuration", 2, -1, 5);
  c.addCfgGroup(1, "Basic config Parameters", 0);
  c.addCfgGroup(2, "Core operating Parameters", 0);
  int n = 0;
  n += c.addItemInt(1, ixVOLUME, 1, 255, 0, -8, 7, "Volume_Adjust", "Volume adjustment", nullptr,
                    "Output level trim", nullptr, "dB");
  n += c.addItemFloat(1, ixMONVOL, 1, 255, -6.5f, -30, 0, "Monitor_Vol", "Monitor volume",
                      nullptr, nullptr, " dBFs");
  n += c.addItemBool(1, ixMACENBL, 3, 255, false, 0, 1, "Exctr_MAC_Enbl", "Use exciter MAC",
                     nullptr, nullptr, lstNoYes);
  n += c.addItemIp(1, ixIP, 2, 255, ip_addr_s{{10, 10, 10, 100}}, "Exctr_IP_Addr",
                   "Exciter IP address", nullptr, nullptr);
  n += c.addItemMac(1, ixMAC, 2, 255, mac_addr_s{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
                    "Exctr_MAC_Addr", "Exciter MAC address", nullptr, nullptr);
  n += c.addItemTime(1, ixTIME, 2, 255, kvtime_s{2009, 8, 9, 8, 9, 0}, "TimeDateChange",
                     "Date and time", nullptr, nullptr);
  n += c.addItemText(1, ixSHORTNAME, 2, 255, "WXYZ", 0, 4, "SIS_CsStdNme", "Station short name",
                     nullptr, nullptr, "ABCDEFGHIJKLMNOPQRSTUVWXYZ ");
  n += c.addItemText(1, ixUPDFILE, 1, 255, "update.tgz", 0, 60, "UPDATE_FILE", "Update file",
                     nullptr, nullptr, nullptr);
  n += c.addItemInt(1, ixBLEND, 1, 255, 2, 1, 3, "Blend_Control", "Blend control", nullptr,
                    nullptr, lstBlend, nullptr);
  for (int ix : {ixLONGTEXT, ixLONGTEXT2, ixLONGTEXT3})
    n += c.addItemText(0, ix, ix == ixLONGTEXT ? 1 : 0, 255, "", 0, 20000,
                       ix == ixLONGTEXT ? "Long_Text" : ix == ixLONGTEXT2 ? "Long_Text2" : "Long_Text3",
                       "Long text", nullptr, nullptr, nullptr);
  return n;
}

using testsup::Child;

/* The small set on the master side in this process, its file in a private directory. */
struct SmallSet : ::testing::Test {
  testsup::TempDir dir;
  std::string path = dir.file("small.cfg");
  int level = 0;
  generic_cfg cfg{&level, nullptr};
  void SetUp() override {
    cfg.master = 1;
    ASSERT_EQ(12, buildSmallSet(cfg, path.c_str()));
  }
};

/* Run cfg.serviceCfg(0, 0) every millisecond until done() or timeoutMs. */
inline bool pumpUntil(generic_cfg& cfg, const std::function<bool()>& done, int timeoutMs) {
  return testsup::waitUntil([&] {
    if (done()) return true;
    cfg.serviceCfg(0, 0);
    return false;
  }, timeoutMs, 1);
}

/* The stored value of an item as its file line shows it. */
inline std::string valueText(generic_cfg& cfg, int index) {
  static char buf[20100];
  cfg.getItem(index)->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
  return buf;
}

/* What fn() prints on stdout. */
inline std::string stdoutOf(const std::function<void()>& fn) {
  testing::internal::CaptureStdout();
  fn();
  return testing::internal::GetCapturedStdout();
}

inline void expectAll(const std::string& out, std::initializer_list<const char*> texts) {
  for (const char* t : texts) EXPECT_NE(std::string::npos, out.find(t)) << t << " not in:\n" << out;
}

}  // namespace cfgtest

#endif
