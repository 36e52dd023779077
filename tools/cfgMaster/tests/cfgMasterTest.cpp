/*
** The configuration master as its clients and its files see it: a real
** cfgMaster.x in a private bin directory, clients made of the data set in
** this test process, the files in a private working directory.
*/
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "tests/support/testSupport.h"

using namespace testsup;

namespace {

/* A console-like client of the data set living in this test process. */
struct testClient {
  int level = 0;
  dovidu_config cfg{&level, pErrTrcLog};

  bool link(const std::string& binDir, const char* name) {
    pErrTrcLog->setProgramDir((binDir + "/client").c_str()); /* the master's keys */
    if (cfg.initDataSet(&level, pErrTrcLog, 0, name, 0, -1) != 0) return false;
    cfg.addAllItems(2);
    return cfg.subscribeListSend() == 0;
  }
  bool pollUntil(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 2) {
      cfg.serviceCfg(0, 0);
      if (done()) return true;
      usleep(2000);
    }
    return false;
  }
  std::string text(int index) {
    char buf[512] = {0};
    cfg.readText(index, buf, sizeof buf);
    return buf;
  }
};

class MasterTest : public ::testing::Test {
protected:
  BinDir bin;
  TempDir work;
  Proc master;
  Proc restarted;

  void SetUp() override { bin.link("cfgMaster.x"); }
  std::string cfgPath() const { return work.file("kvPrimeConfig.cfg"); }
  void startMaster(Proc& p) {
    ASSERT_TRUE(p.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}));
    ASSERT_TRUE(p.waitForOutput("configuration master ready", 5000)) << p.err();
  }
  void startMaster() { startMaster(master); }
  static bool waitFor(const std::function<bool()>& cond, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
      if (cond()) return true;
      usleep(10000);
    }
    return false;
  }
  bool fileHas(const std::string& text) {
    return readFile(cfgPath()).find(text) != std::string::npos;
  }
};

TEST_F(MasterTest, missingFilesAreCreatedFromTheDefaults) {
  startMaster();
  std::string prime = readFile(cfgPath());
  EXPECT_NE(prime.find("# Primary System Configuration #"), std::string::npos);
  EXPECT_NE(prime.find("           Exctr_IP_Addr: 10.10.10.100"), std::string::npos);
  EXPECT_NE(readFile(work.file("kvSecondaryConfig.cfg")).find("Secondary configuration data"),
            std::string::npos);
  EXPECT_EQ(master.stop(3000), 0);
}

/* One client per process (the client ID is the process ID): the echo of
** its own change comes back to it; other subscribers are the console
** tests' business. */
TEST_F(MasterTest, changeIsEchoedToTheSenderAndSavedAfterTheDelay) {
  startMaster();
  testClient a;
  ASSERT_TRUE(a.link(bin.path(), "clientA"));
  ASSERT_EQ(a.cfg.sendChangeRequest("SYSTEM_NAME", "Studio, North", true), 0);
  EXPECT_TRUE(a.pollUntil([&] { return a.text(itmSYSTEM_NAME) == "Studio, North"; }, 3000));
  /* written two seconds after the last change, not before */
  usleep(800 * 1000);
  EXPECT_FALSE(fileHas("SYSTEM_NAME: Studio, North"));
  EXPECT_TRUE(waitFor([&] { return fileHas("SYSTEM_NAME: Studio, North"); }, 5000));
  EXPECT_EQ(master.stop(3000), 0);
}

TEST_F(MasterTest, writeRequestSavesAtOnce) {
  startMaster();
  testClient a;
  ASSERT_TRUE(a.link(bin.path(), "clientA"));
  ASSERT_EQ(a.cfg.writeInt(itmVolume_Adjust, -5), 0);
  ASSERT_TRUE(a.pollUntil([&] {
    int v = 0;
    a.cfg.readInt(itmVolume_Adjust, &v);
    return v == -5;
  }, 3000));
  ASSERT_EQ(a.cfg.requestFileWrite(-1), 0);
  EXPECT_TRUE(waitFor([&] { return fileHas("Volume_Adjust: -5 "); }, 1500)); /* the delay is 2 s */
  EXPECT_EQ(master.stop(3000), 0);
}

TEST_F(MasterTest, stopWritesPendingChangesAndShutsClientsDown) {
  startMaster();
  testClient a;
  ASSERT_TRUE(a.link(bin.path(), "clientA"));
  ASSERT_EQ(a.cfg.writeInt(itmEXCITER_PORT, 9123), 0);
  ASSERT_TRUE(a.pollUntil([&] {
    int v = 0;
    a.cfg.readInt(itmEXCITER_PORT, &v);
    return v == 9123;
  }, 3000));
  EXPECT_EQ(master.stop(3000), 0); /* well inside the 2 s delay */
  EXPECT_TRUE(fileHas("EXCITER_PORT: 9123 "));
  EXPECT_TRUE(a.pollUntil([&] { return a.cfg.shutdownReceived; }, 2000));
  EXPECT_FALSE(a.cfg.isRegistered());
}

TEST_F(MasterTest, interruptFromTheKeyboardStopsAsCleanly) {
  startMaster();
  testClient a;
  ASSERT_TRUE(a.link(bin.path(), "clientA"));
  a.cfg.writeInt(itmTimeZone, 120);
  ASSERT_TRUE(a.pollUntil([&] {
    int v = 0;
    a.cfg.readInt(itmTimeZone, &v);
    return v == 120;
  }, 3000));
  master.signal(SIGINT);
  EXPECT_EQ(master.wait(3000), 0);
  EXPECT_TRUE(fileHas("TimeZone: 120 "));
  EXPECT_TRUE(a.pollUntil([&] { return a.cfg.shutdownReceived; }, 2000));
}

TEST_F(MasterTest, restartKeepsEveryValueSetBefore) {
  startMaster();
  {
    testClient a;
    ASSERT_TRUE(a.link(bin.path(), "clientA"));
    ip_addr_s ip{{192, 0, 2, 7}};
    a.cfg.writeIp(itmExctr_IP_Addr, ip);
    a.cfg.sendChangeRequest("SIS_StnMsgMsg", "Traffic, weather", true);
    a.cfg.writeFloat(itmDvrstyDly_Reqd_Anlg, 2.5f);
    ASSERT_TRUE(a.pollUntil([&] { return a.text(itmSIS_StnMsgMsg) == "Traffic, weather"; }, 3000));
    EXPECT_TRUE(a.pollUntil([&] { return a.cfg.readFloat(itmDvrstyDly_Reqd_Anlg) == 2.5f; }, 3000));
  }
  EXPECT_EQ(master.stop(3000), 0);
  startMaster(restarted);
  testClient b;
  ASSERT_TRUE(b.link(bin.path(), "clientB"));
  ip_addr_s ip{};
  b.cfg.readIp(itmExctr_IP_Addr, &ip);
  EXPECT_EQ(ip.octet[0], 192);
  EXPECT_EQ(ip.octet[3], 7);
  EXPECT_EQ(b.text(itmSIS_StnMsgMsg), "Traffic, weather");
  EXPECT_FLOAT_EQ(b.cfg.readFloat(itmDvrstyDly_Reqd_Anlg), 2.5f);
  EXPECT_EQ(restarted.stop(3000), 0);
}

TEST_F(MasterTest, damagedFileIsReportedKeptAndRewrittenOnlyOnChange) {
  std::string damaged =
      "################################################################################\n"
      "# Primary System Configuration #\n"
      "################################################################################\n"
      "            Volume_Adjust: -3      # eexCmnData.volumeAdjust\n"
      "this line means nothing\n"
      "          NoSuchItemHere: 12       # gone from the data set\n"
      "            EXCITER_PORT: abc\n"
      "             SYSTEM_NAME: Kept Name\n"
      "           Exctr_IP_Addr: 10.1.";  /* cut short */
  writeFile(cfgPath(), damaged);
  startMaster();
  EXPECT_NE(master.err().find("is damaged"), std::string::npos) << master.err();
  EXPECT_EQ(readFile(cfgPath() + ".damaged"), damaged);

  testClient a;
  ASSERT_TRUE(a.link(bin.path(), "clientA"));
  int v = 0;
  a.cfg.readInt(itmVolume_Adjust, &v);
  EXPECT_EQ(v, -3);
  EXPECT_EQ(a.text(itmSYSTEM_NAME), "Kept Name");
  usleep(2500 * 1000); /* past the write delay: nothing changed, nothing written */
  EXPECT_EQ(readFile(cfgPath()), damaged);

  a.cfg.writeInt(itmVolume_Adjust, 4);
  EXPECT_TRUE(waitFor([&] { return fileHas("Volume_Adjust: 4 "); }, 5000));
  EXPECT_TRUE(fileHas("SYSTEM_NAME: Kept Name"));
  EXPECT_FALSE(fileHas("this line means nothing"));
  EXPECT_EQ(readFile(cfgPath() + ".damaged"), damaged);
  EXPECT_EQ(master.stop(3000), 0);
}

TEST_F(MasterTest, secondMasterOnTheSameKeysRefusesToStart) {
  startMaster();
  TempDir other;
  std::string out, err;
  EXPECT_EQ(runProgram({bin.prog("cfgMaster.x"), "-C", other.path()}, &out, &err), 1);
  EXPECT_NE(err.find("another configuration master"), std::string::npos) << err;
  testClient a; /* the first one still serves */
  EXPECT_TRUE(a.link(bin.path(), "clientA"));
  EXPECT_EQ(master.stop(3000), 0);
}

TEST_F(MasterTest, switchesHelpAndErrors) {
  std::string out, err;
  EXPECT_EQ(runProgram({bin.prog("cfgMaster.x"), "-h"}, &out, &err), 0);
  EXPECT_NE(out.find("-C"), std::string::npos);
  EXPECT_EQ(runProgram({bin.prog("cfgMaster.x"), "-x"}, &out, &err), 1);
  EXPECT_EQ(runProgram({bin.prog("cfgMaster.x"), "-C", work.file("no/such/dir")}, &out, &err), 1);
  EXPECT_NE(err.find("cannot use directory"), std::string::npos);
}

}  // namespace
