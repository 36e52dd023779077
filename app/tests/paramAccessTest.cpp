/*
** Parameter access by name, end to end: a real cfgMaster.x and real
** "doVA.x -v" / "doVA.x -s" runs in a private bin directory (private queue
** keys), with a private status region, checking what the operator sees on
** standard output and what the master saves; and the same runs without a
** master, after earlier runs that were killed with their messages still in
** the shared queue.  Status names print the records as the exporter wrote
** them (a running statusWriter.x's screens: the status screen tests).
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <csignal>
#include <string>
#include <unistd.h>

#include "status/kvSharedMem.h"
#include "status/statusRecords.h"
#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

class ParamAccess : public AppFixture {
protected:
  /* The status region as the exporter side leaves it. */
  void makeRegion() { ASSERT_EQ(status.initSharedMem(nullptr, true, shm.c_str()), 0); }
  /* doVA.x run with the given switches, which must exit 0: its standard output. */
  std::string run(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::string out, e;
    EXPECT_EQ(console(args, &out, &e), 0) << args[1].substr(0, 40) << ": " << e;
    if (err) *err = e;
    return out;
  }
  std::string view(const std::string& name) { return run({"-v", name}); }
  kvSharedMem status;
};

/* One session against one master: what each run prints, in order. */
TEST_F(ParamAccess, valuesOfEveryKindAreViewedSetAndPrintedAsTheOperatorExpects) {
  startMaster();
  makeRegion();
  const struct { std::vector<std::string> args; std::string out; } runs[] = {
      {{"-v", "SystemName"}, "SystemName=  \n"},
      {{"-s", "SystemName", "Demo"}, "SystemName=Demo\n"},
      {{"-v", "SystemName"}, "SystemName=Demo\n"},
      /* an address keeps the low bits of each byte */
      {{"-s", "ExgineIp", "10.0.0.300"}, "ExgineIp=10.0.0.44\n"},
      {{"-s", "ExgineIp", "10.0.0"}, "ERROR: Unable to parse IP address\nExgineIp=10.0.0.44\n"},
      {{"-s", "ExgineMac", "1:2:3:4:5"}, "ERROR: Unable to parse MAC address\nExgineMac=00:00:00:00:00:00\n"},
      {{"-s", "ExgineMac", "a:B:3c:4:5:1ff"}, "ExgineMac=0a:0b:3c:04:05:ff\n"},
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
      /* "-v" wins over "-s": the name is the viewed one and nothing is set */
      {{"-s", "E2xPort", "1234", "-v", "E2xPort"}, "E2xPort=9000\n"},
      /* numbers read as on the 32-bit box, whatever the width: the int
      ** limit, then the item's range (wrapped, each would read otherwise) */
      {{"-s", "FccId", "4294967296"}, "FccId=131071\n"},
      {{"-s", "DigitalGain", "-4294967296"}, "DigitalGain=-8\n"},
      {{"-s", "DigitalGain", "99999999999999999999"}, "DigitalGain=7\n"},
      {{"-s", "UseGpsTime", "4294967296"}, "UseGpsTime=yes\n"},
  };
  for (const auto& r : runs) EXPECT_EQ(run(r.args), r.out) << r.args[1].substr(0, 40);
  EXPECT_TRUE(waitForFile(savedFile(), "Exctr_IP_Addr: 10.0.0.44 ", 5000));
  /* "-T" too: a huge level traces everything, a huge negative one nothing
  ** but the lines that always print */
  for (const char* n : {"4294967296", "-4294967296", "99999999999999999999"}) {
    std::string traced = run({"-T", n, "-v", "SystemName"});
    EXPECT_EQ(n[0] != '-', traced.find("Shared memory initialized") != std::string::npos) << n;
  }
  /* linked at once: no second attempt */
  std::string out = run({"-T", "2", "-v", "SystemName"});
  EXPECT_NE(out.find("Cfg Init 1\n"), std::string::npos) << out;
  EXPECT_LT(out.find("Cfg Subscribe\n"), out.find("Subscribe Done\n")) << out;
  EXPECT_EQ(out.find("Cfg Init 2"), std::string::npos) << out;
  EXPECT_EQ(out.find("Subscribe Fail"), std::string::npos) << out;

  /* the SIS schedule: a set picks one payload, then the whole schedule
  ** shows; a block out of range, or none, changes nothing.  Every line:
  ** block number, then two names in 35-wide columns */
  std::string shown = run({"-v", "SisSchedule"});
  EXPECT_EQ(shown.find('\n'), 2u + 2u + 35u + 1u + 35u);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 16);
  const struct { std::vector<std::string> args; std::string head; bool changes; } sis[] = {
      {{"-s", "SisScheduleB2PL1", "7"}, "Block 2 Payload 1\n", true},
      {{"-s", "SisSchedule", "5"}, "No SIS Block or Payload specified - displaying SISSchedule only.\n", false},
      {{"-s", "SisScheduleB16PL1", "3"}, "Block 16 Payload 1\n", false},
      {{"-v", "SisScheduleB4294967296PL1"}, "Block 2147483647 Payload 1\n", false},
  };
  for (const auto& r : sis) {
    out = run(r.args);
    std::string now = run({"-v", "SisSchedule"});
    EXPECT_EQ(out, r.head + now) << r.args[1];
    EXPECT_EQ(now != shown, r.changes) << r.args[1];
    shown = now;
  }
  EXPECT_NE(shown.find("\n 2: STATION MESSAGE "), std::string::npos) << shown;

  /* status names print the records as the exporter wrote them */
  unsigned char* au = status.nextSlot(shmCH_AUDIO_STATUS);
  strcpy(reinterpret_cast<char*>(au), "Input   AES\nAnalog  OK\nDigital OK");
  srPutF32LE(au, srDELAY_CURRENT, NAN);
  status.commit(shmCH_AUDIO_STATUS);
  unsigned char* al = status.nextSlot(shmCH_ALARMS);
  strcpy(reinterpret_cast<char*>(al), "System status: OK\nActive alarms: 0\n");
  status.commit(shmCH_ALARMS);
  unsigned char* v = status.nextSlot(shmCH_VERSIONS);
  for (int i = 0; i < 9; i++) snprintf(reinterpret_cast<char*>(v) + 32 * i, 32, "text at %d", 32 * i);
  memset(v + 96, 'Z', 32);  /* no terminator: the field's 32 bytes */
  status.commit(shmCH_VERSIONS);

  EXPECT_EQ(view("MonitorDivDelay"), "DiversityDelay=      nan s\n");
  EXPECT_EQ(view("AudioStatus"), "Input   AES\nAnalog  OK\nDigital OK\n");
  EXPECT_EQ(view("SystemStatus"), "System status: OK\nActive alarms: 0\n\n");
  EXPECT_EQ(view("SoftwareVersion"),
            std::string(32, 'Z') + "\ntext at 0\ntext at 32\ntext at 64\ntext at 192\n"
            "text at 128\ntext at 160\ntext at 224\ntext at 256\n");
  /* Names of the second table match by their beginning (no GPS record:
  ** the screen's own rows are the status screen tests'). */
  EXPECT_EQ(view("GPSStatusNow"), view("GPSStatus"));
}

/* Without a master: five runs killed in their waits leave their messages in
** the queue; a run stopped by SIGTERM is out at once and reports nothing
** false; the next runs give up within the waits, exit 0 and print exactly
** their value line. */
TEST_F(ParamAccess, withoutMasterTheConsoleGivesUpStopsAtOnceAndLeavesTheQueueUsable) {
  makeRegion();
  Proc killed[5];
  for (Proc& p : killed) startConsole(p, {"-v", "SystemName"}, false);
  usleep(3300 * 1000);  // past the registration wait: every list is offered
  for (Proc& p : killed) p.signal(SIGKILL);
  for (Proc& p : killed) p.wait(2000);

  Proc stopped;
  startConsole(stopped, {"-v", "SystemName"}, false);
  usleep(1000 * 1000);
  auto t0 = std::chrono::steady_clock::now();
  stopped.signal(SIGTERM);
  EXPECT_EQ(0, stopped.wait(2000));
#ifdef __SANITIZE_ADDRESS__
  const double stopBound = 1.0;  /* the leak check at exit takes its time on a loaded machine */
#else
  const double stopBound = 0.1;
#endif
  EXPECT_LT(secondsSince(t0), stopBound);
  EXPECT_EQ("", stopped.out());
  EXPECT_EQ(std::string::npos, stopped.err().find("2000")) << stopped.err();
  EXPECT_EQ(std::string::npos, stopped.err().find("Invalid index")) << stopped.err();

  /* attempt 1 waits 3 s for the grant; attempt 2 finds the endpoint open
  ** and the subscription finds nobody; one value line */
  std::string err;
  t0 = std::chrono::steady_clock::now();
  std::string out = run({"-T", "2", "-v", "SystemName"}, &err);
  EXPECT_NE(out.find("\nSystemName=  \n"), std::string::npos) << out;
  EXPECT_EQ(out.find("SystemName="), out.rfind("SystemName=")) << out;
  EXPECT_NE(std::string::npos, err.find("20003")) << err;
  EXPECT_EQ(std::string::npos, err.find("Invalid index")) << err;
  EXPECT_NE(out.find("Cfg Init 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Cfg Init 2\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Cfg Init 3"), std::string::npos) << out;
  EXPECT_LT(out.find("Subscribe Fail\n"), out.find("Subscribe Done\n")) << out;
  EXPECT_GE(secondsSince(t0), 2.9);
  EXPECT_LT(secondsSince(t0), 6.5);
}

}  // namespace
