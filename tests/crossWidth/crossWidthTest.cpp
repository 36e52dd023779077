/*
** The box runs 32-bit programs, the peers on a development machine are
** 64-bit: the programs of this build against those of a build of the other
** width (DOVA_OTHER_WIDTH_BIN_DIR), both ways round, in one private bin
** directory.  A slip in the envelope (the `long` message type is 4 bytes on
** one side and 8 on the other) or in the region layout shows here only.
*/
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "status/kvSharedMem.h"
#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

/* The parameter: the console (doVA.x and cfgProbe.x) runs on this build's
** width; the master, the status writer and the supervisor on the other,
** whose doVA.x (as doVA.peer.x) reads the region too, to compare with. */
class CrossWidth : public AppFixture, public ::testing::WithParamInterface<bool> {
protected:
  std::string consoleDir, peerDir;
  void SetUp() override {
    consoleDir = GetParam() ? buildBinDir() : DOVA_OTHER_WIDTH_BIN_DIR;
    peerDir = GetParam() ? DOVA_OTHER_WIDTH_BIN_DIR : buildBinDir();
    ASSERT_EQ(0, access((peerDir + "/cfgMaster.x").c_str(), X_OK))
        << "no programs of the other width in " << DOVA_OTHER_WIDTH_BIN_DIR;
    for (const char* p : {"doVA.x", "cfgProbe.x"}) bin.linkFrom(consoleDir, p, p);
    for (const char* p : {"cfgMaster.x", "statusWriter.x", "supervisor.x"}) bin.linkFrom(peerDir, p, p);
    bin.linkFrom(peerDir, "doVA.x", "doVA.peer.x");
    startWriter({"-q", "-s", "0.1", "-lock", "0"});  // GPS records slow: both consoles see the same
    startMaster();
  }
  void TearDown() override {
    EXPECT_EQ(0, writer.stop());
    EXPECT_EQ(0, master.stop());
  }
  std::string run(const std::string& prog, const std::vector<std::string>& args) {
    std::string out, err;
    EXPECT_EQ(0, runProgram(argv(prog, args), &out, &err, env(), 15000, bin.path()))
        << prog << " " << args[0] << ": " << err;
    return out;
  }
};

/* The status region read the same on both widths, every value type, the
** probe holding what the master saved, and the kill path. */
TEST_P(CrossWidth, theStatusRegionValuesAndTheKillPathCrossTheWidths) {
  /* the status region first (the GPS record stays for the writer's first
  ** 10 s): the version texts at the offsets the console prints them in */
  kvSharedMem region;
  ASSERT_EQ(0, region.initSharedMem(nullptr, false, shm.c_str()));
  const unsigned char* versions = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (versions = region.readNewest(5)) != nullptr; }, 2000));
  std::string expected;
  for (int off : {96, 0, 32, 64, 192, 128, 160, 224, 256})
    expected += std::string(reinterpret_cast<const char*>(versions) + off) + "\n";

  /* both widths print the same; a few pieces are known */
  struct { const char* name; std::string has; } rows[] = {
      {"GPSStatus", "N39.0991"}, {"GPSStatus", "W 94.5781"}, {"SoftwareVersion", expected},
      {"MonitorDivDelay", "DiversityDelay= 4.500000 s\n"}, {"AudioStatus", "Analog"}};
  for (const auto& r : rows) {
    std::string console = run("doVA.x", {"-v", r.name});
    EXPECT_EQ(run("doVA.peer.x", {"-v", r.name}), console) << r.name;
    EXPECT_NE(std::string::npos, console.find(r.has)) << r.name << ":\n" << console;
  }

  /* GPS, the delay ramp and levels: the console width's own writer test,
  ** run against the writer of the peers' width */
  std::string out, err;
  EXPECT_EQ(0, runProgram({consoleDir + "/statusWriter_tests", "--gtest_filter=Writer.gps*"},
                          &out, &err, {"DOVA_TEST_BIN_DIR=" + peerDir}, 30000))
      << out << err;
  EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test.")) << out;

  /* one value of every kind set by name; the echo printed is the value as
  ** the master of the other width sent it back */
  struct { const char *name, *value, *printed; } values[] = {
      {"SystemName", "Cross Width", "SystemName=Cross Width\n"}, {"FccId", "123456", "FccId=123456\n"},
      {"DigitalGain", "-5", "DigitalGain=-5\n"}, {"DiversityDelay", "2.5", "DiversityDelay= 2.500000\n"},
      {"ExgineIp", "10.1.2.3", "ExgineIp=10.1.2.3\n"}, {"UseGpsTime", "1", "UseGpsTime=yes\n"},
      {"ExgineMac", "a:b:c:d:e:f", "ExgineMac=0a:0b:0c:0d:0e:0f\n"},
      {"FccId", "4294967296", "FccId=131071\n"},  // the int limit on both widths, then the item's
  };
  for (const auto& v : values) {
    EXPECT_EQ(v.printed, run("doVA.x", {"-s", v.name, v.value})) << v.name;
    EXPECT_EQ(v.printed, run("doVA.x", {"-v", v.name})) << v.name;
  }
  /* the time item (not saved, so only the probe shows it) past 2038, a
  ** bool item, and then every item of the data set as the probe holds it */
  std::string dump = run("cfgProbe.x", {"-s", "TimeDateChange", "2040-02-29 12:34:56", "-s",
                                        "Bypass_Enbl", "1", "-w"});
  EXPECT_NE(std::string::npos, dump.find("TimeDateChange: 2040-02-29 12:34:56")) << dump;
  EXPECT_NE(std::string::npos, dump.find("Bypass_Enbl: 1")) << dump;
  for (const char* file : {"kvPrimeConfig.cfg", "kvSecondaryConfig.cfg"}) {
    size_t at = dump.find(std::string("=== ") + file + "\n");
    ASSERT_NE(std::string::npos, at) << dump;
    at = dump.find('\n', at) + 1;
    std::string held = dump.substr(at, dump.find("=== ", at) - at);
    /* the master writes on the probe's request; wait for the last change */
    EXPECT_TRUE(waitForFile(work.file(file), held, 5000))
        << file << "\nprobe:\n" << held << "\nmaster:\n" << readFile(work.file(file));
  }

  Proc supervisor;
  ASSERT_TRUE(supervisor.start({bin.prog("supervisor.x")}, {}, bin.path()));
  ASSERT_TRUE(supervisor.waitForOutput("Supervisor ready", 5000)) << supervisor.err();
  run("doVA.x", {"-kill"});
  EXPECT_EQ(0, supervisor.wait(5000)) << "the supervisor did not take the shutdown";
}

std::string widths(const ::testing::TestParamInfo<bool>& p) {
  return p.param == (sizeof(void*) == 4) ? "console32_peers64" : "console64_peers32";
}
INSTANTIATE_TEST_SUITE_P(Widths, CrossWidth, ::testing::Bool(), widths);

}  // namespace
