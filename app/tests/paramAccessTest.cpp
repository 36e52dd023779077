/*
** Parameter access by name, end to end: a real cfgMaster.x and real
** "doVA.x -v" / "doVA.x -s" runs in a private bin directory (private queue
** keys), with a private status region, checking what the operator sees on
** standard output and what the master saves.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <unistd.h>

#include "app/paramAccess.h"
#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "status/kvSharedMem.h"
#include "tests/support/testSupport.h"

using namespace testsup;

namespace {

class ParamAccess : public ::testing::Test {
protected:
  BinDir bin;
  TempDir work;
  ShmName shm;
  kvSharedMem status;
  Proc master;

  void SetUp() override {
    bin.link("doVA.x");
    bin.link("cfgMaster.x");
    ASSERT_EQ(status.initSharedMem(nullptr, true, shm.c_str()), 0);
  }
  void startMaster(Proc& p) {
    ASSERT_TRUE(p.start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}));
    ASSERT_TRUE(p.waitForOutput("configuration master ready", 5000)) << p.err();
  }
  void startMaster() { startMaster(master); }
  /* Runs doVA.x with the given switches; returns its standard output. */
  std::string console(const std::vector<std::string>& args, int* exitStatus = nullptr,
                      std::string* err = nullptr) {
    std::vector<std::string> argv{bin.prog("doVA.x")};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out, e;
    int st = runProgram(argv, &out, &e, {"DOVA_STATUS_SHM=" + shm.str()}, 20000);
    if (exitStatus) *exitStatus = st;
    if (err) *err = e;
    return out;
  }
  std::string savedFile() { return readFile(work.file("kvPrimeConfig.cfg")); }
};

TEST_F(ParamAccess, addressKeepsLowBitsIsEchoedAndSaved) {
  startMaster();
  int st = -1;
  EXPECT_EQ(console({"-s", "ExgineIp", "10.0.0.300"}, &st), "ExgineIp=10.0.0.44\n");
  EXPECT_EQ(st, 0);
  EXPECT_TRUE(testsup::waitUntil([&] {
    return savedFile().find("Exctr_IP_Addr: 10.0.0.44 ") != std::string::npos;
  }, 5000));
  EXPECT_EQ(console({"-s", "ExgineIp", "10.0.0"}),
            "ERROR: Unable to parse IP address\nExgineIp=10.0.0.44\n");
  EXPECT_EQ(console({"-s", "ExgineMac", "1:2:3:4:5"}),
            "ERROR: Unable to parse MAC address\nExgineMac=00:00:00:00:00:00\n");
  EXPECT_EQ(console({"-s", "ExgineMac", "a:B:3c:4:5:1ff"}), "ExgineMac=0a:0b:3c:04:05:ff\n");
}

/* One session against one master: what each run prints, in order. */
TEST_F(ParamAccess, valuesOfEveryKindAreViewedSetAndPrintedAsTheOperatorExpects) {
  startMaster();
  const struct {
    std::vector<std::string> args;
    std::string out;
  } runs[] = {
      {{"-v", "SystemName"}, "SystemName=  \n"},
      {{"-s", "SystemName", "Demo"}, "SystemName=Demo\n"},
      {{"-v", "SystemName"}, "SystemName=Demo\n"},
      /* everything after the first comma of the joined text is the value */
      {{"-s", "StationMessage", "Traffic, weather, news"}, "StationMessage=Traffic, weather, news\n"},
      {{"-s", "StationMessage,Road closed", "A1, A2"}, "StationMessage=Road closed,A1, A2\n"},
      /* quotes inside the text reach the master and come back as typed */
      {{"-s", "StationMessage", "Traffic, weather, \"live\" news"},
       "StationMessage=Traffic, weather, \"live\" news\n"},
      /* a cleared text holds its default (" "), as the file gives it back */
      {{"-s", "StationMessage", ""}, "StationMessage= \n"},
      /* overlong values are cut, not overflowed */
      {{"-s", "StationMessage", std::string(1500, 'A')}, "StationMessage=" + std::string(190, 'A') + "\n"},
      {{"-v", std::string(300, 'N')}, "ERROR: Item " + std::string(127, 'N') + " not found.\n"},
      /* the short name keeps only its valid characters; others become its first, A */
      {{"-s", "StationNameShort", "wxyz"}, "StationNameShort=AAAA\n"},
      {{"-s", "UseGpsTime", "0"}, "UseGpsTime=no\n"},
      {{"-s", "UseGpsTime", "7"}, "UseGpsTime=yes\n"},
      {{"-s", "DiversityDelay", "2.5"}, "DiversityDelay= 2.500000\n"},
      {{"-s", "DigitalGain", "-20"}, "DigitalGain=-8\n"},
      {{"-s", "MPSHDCMode", "3"}, "MPSHDCMode=1\n"},
      {{"-s", "MPSHDCMode", "4"}, "MPSHDCMode=4\n"},
      {{"-s", "MPSHDCMode", "5"}, "MPSHDCMode=1\n"},
      {{"-v", "StationMessagePriority"}, "StationMessagePriority=0\n"},
      /* the operating mode prints its name line first */
      {{"-s", "OperatingMode", "4"}, "OperatingMode=FM MP1-MP3 Dynamic\nOperatingMode=4\n"},
      {{"-v", "OperatingMode"}, "OperatingMode=AM MA1\nOperatingMode=4\n"},
      /* names match exactly or by their beginning */
      {{"-v", "Eth0IPAddressOfTheBox"}, "Eth0IPAddressOfTheBox=10.10.10.10\n"},
      {{"-v", "SystemNameX"}, "ERROR: Item SystemNameX not found.\n"},
      {{"-v", "NoSuchParameter"}, "ERROR: Item NoSuchParameter not found.\n"},
      /* "-v" wins over "-s": the name is the viewed one and nothing is set */
      {{"-s", "E2xPort", "1234", "-v", "E2xPort"}, "E2xPort=9000\n"},
  };
  for (const auto& r : runs) {
    int st = -1;
    EXPECT_EQ(console(r.args, &st), r.out) << r.args[1].substr(0, 40);
    EXPECT_EQ(st, 0) << r.args[1].substr(0, 40);
  }
}

/* Numbers on the command line read as on the 32-bit box, whatever the
** width: the int limit, then the item's range ("-T" too: a huge level
** traces everything, a huge negative one nothing but the lines that always
** print). */
TEST_F(ParamAccess, commandLineNumbersSaturateAtTheIntLimits) {
  startMaster();
  EXPECT_EQ(console({"-s", "UseGpsTime", "0"}), "UseGpsTime=no\n");
  const struct { const char* n; const char* fcc; const char* gain; bool traces; } rows[] = {
      {"4294967296", "FccId=131071\n", "DigitalGain=7\n", true},
      {"-4294967296", "FccId=0\n", "DigitalGain=-8\n", false},
      {"99999999999999999999", "FccId=131071\n", "DigitalGain=7\n", true},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(console({"-s", "FccId", r.n}), r.fcc);
    EXPECT_EQ(console({"-s", "DigitalGain", r.n}), r.gain);
    EXPECT_EQ(console({"-s", "UseGpsTime", r.n}), "UseGpsTime=yes\n") << r.n;
    std::string traced = console({"-T", r.n, "-v", "SystemName"});
    EXPECT_EQ(r.traces, traced.find("Shared memory initialized") != std::string::npos) << r.n;
  }
  EXPECT_EQ(console({"-v", "SisScheduleB4294967296PL1"}).substr(0, 27), "Block 2147483647 Payload 1\n");
}

TEST_F(ParamAccess, sisSchedulePicksOnePayloadOrShowsTheSchedule) {
  startMaster();
  std::string out = console({"-s", "SisScheduleB2PL1", "7"});
  EXPECT_EQ(out.rfind("Block 2 Payload 1\n", 0), 0u) << out;
  EXPECT_NE(out.find("\n 2: STATION MESSAGE "), std::string::npos) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 17);

  out = console({"-s", "SisSchedule", "5"});
  EXPECT_EQ(out.rfind("No SIS Block or Payload specified - displaying SISSchedule only.\n", 0), 0u);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 17);

  std::string before = console({"-v", "SisSchedule"});
  out = console({"-s", "SisScheduleB16PL1", "3"});
  EXPECT_EQ(out, "Block 16 Payload 1\n" + before);
  /* every line: block number, then two names in 35-wide columns */
  EXPECT_NE(before.find("15: "), std::string::npos);
  EXPECT_EQ(before.find('\n'), 2u + 2u + 35u + 1u + 35u);
}

TEST_F(ParamAccess, withoutMasterTheConsoleGivesUpAndExitsZero) {
  auto t0 = std::chrono::steady_clock::now();
  int st = -1;
  std::string err;
  std::string out = console({"-T", "2", "-v", "SystemName"}, &st, &err);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(st, 0);
  EXPECT_NE(out.find("\nSystemName=  \n"), std::string::npos) << out;
  /* attempt 1 waits for the grant; attempt 2 finds the endpoint open and
  ** the subscription finds nobody */
  EXPECT_NE(out.find("Cfg Init 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Cfg Init 2\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Cfg Init 3"), std::string::npos) << out;
  EXPECT_LT(out.find("Subscribe Fail\n"), out.find("Subscribe Done\n")) << out;
  EXPECT_NE(err.find("20003"), std::string::npos) << err;
  EXPECT_GE(secs, 2.9); /* the first attempt waits 3 s for the grant */
  EXPECT_LT(secs, 12.0);
}

TEST_F(ParamAccess, linkedConsoleShowsItsStartUpAndAnnouncesItsVersion) {
  startMaster();
  std::string out = console({"-T", "2", "-v", "SystemName"});
  EXPECT_NE(out.find("Cfg Init 1\n"), std::string::npos) << out;
  EXPECT_LT(out.find("Cfg Subscribe\n"), out.find("Subscribe Done\n")) << out;
  EXPECT_EQ(out.find("Cfg Init 2"), std::string::npos) << out;
  EXPECT_EQ(out.find("Subscribe Fail"), std::string::npos) << out;

  int level = 0;
  pErrTrcLog->setProgramDir(bin.prog("listener").c_str());
  dovidu_config listener(&level, pErrTrcLog);
  ASSERT_EQ(listener.initDataSet(&level, pErrTrcLog, 0, "listener", 0, -1), 0);
  listener.addAllItems(2);
  ASSERT_EQ(listener.subscribeListSend(), 0);
  /* the menu path (console window) writes the version once linked */
  Proc menu;
  ASSERT_TRUE(menu.start({bin.prog("doVA.x"), "-mc"},
                         {"DOVA_STATUS_SHM=" + shm.str(), "TERM=xterm"}));
  int version = 0;
  EXPECT_TRUE(testsup::waitUntil([&] {
    listener.serviceCfg(0, 0);
    listener.readInt(itmUSER_IF_VERSION, &version);
    return version == 0x01080003;
  }, 5000)) << version;
  menu.stop(3000);
}

TEST(ParamTables, everyRowIsFoundByItsOwnNameAndMapsToAnItem) {
  for (const paramRow* t : {paramExactNames, paramPrefixNames}) {
    for (const paramRow* r = t; r->kind != pkEND; r++) {
      EXPECT_EQ(findParam(r->name), r) << r->name;
      if (r->kind != pkSTATUS) {
        EXPECT_TRUE(r->item >= 0 && r->item < 320) << r->name;
      }
    }
  }
  EXPECT_EQ(operatingModeName(6), nullptr);
  EXPECT_EQ(sisMessageName(16), nullptr);
}

}  // namespace
