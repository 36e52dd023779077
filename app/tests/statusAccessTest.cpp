/*
** Live status in the console unit: "doVA.x -v <status name>" against a
** running statusWriter.x and configuration master, and against records
** written as the exporter writes them.
*/
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <unistd.h>

#include "status/kvSharedMem.h"
#include "status/statusRecords.h"
#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

class LiveStatus : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    startMaster();
  }
  /* Wait (bounded) until the writer's GPS receiver reports time synced. */
  bool waitGpsLocked() {
    kvSharedMem r;
    return r.initSharedMem(nullptr, false, shm.c_str()) == 0 && waitUntil([&] {
             const unsigned char* rec = r.readNewest(shmCH_GPS);
             return rec && srGetU32LE(rec, srGPS_STATE) == 5;
           }, 4000);
  }
  std::string view(const std::string& name) {
    std::string out, err;
    EXPECT_EQ(AppFixture::console({"-v", name}, &out, &err), 0) << err;
    return out;
  }
};

}  // namespace

TEST_F(LiveStatus, status_names_print_the_screens_of_a_running_writer) {
  startWriter({"-lock", "0", "-dspfault", "0", "-audiofault", "0"});
  ASSERT_TRUE(waitGpsLocked());
  ASSERT_TRUE(writer.waitForOutput("alarms changed", 5000)) << writer.out();
  std::string out = view("GPSStatus");
  ASSERT_EQ(out.size(), 3u * 21u) << out;
  EXPECT_EQ(out.substr(0, 21), "Status   TIME SYNCED\n");
  EXPECT_EQ(out.substr(21, 5), "Sats ");
  EXPECT_NE(out.find("    HDOP "), std::string::npos);
  EXPECT_EQ(out.substr(42, 9), "N39.09912") << out;
  EXPECT_EQ(out.substr(52, 6), "W 94.5") << out;
  /* The clock screen: date, time and the GPS time row, 20 wide. */
  std::string clock = view("SystemTime");
  ASSERT_EQ(clock.size(), 3u * 21u) << clock;
  EXPECT_EQ(clock[21 + 3], ':');
  EXPECT_EQ(clock[21 + 6], ':');
  std::string gpsRow = clock.substr(42, 20);
  EXPECT_TRUE(gpsRow == " GPS time locked    " || gpsRow == " time not GPS based ") << gpsRow;
  /* nine version texts in parameter order */
  EXPECT_EQ(view("SoftwareVersion"),
            "System SW  4.2.0\nConsole    2.4.1\nEngine     3.1.7\nEncoder    2.0.4\n"
            "GPS rx     7.03\nFPGA       0x2A17\nIF board   1.12\nKernel     2.6.33\n"
            "Boot       1.0.5\n");
  EXPECT_EQ(view("MonitorDivDelay"), "DiversityDelay= 4.500000 s\n");
  EXPECT_NE(view("AudioStatus").find("Analog  NO SIGNAL"), std::string::npos);
  std::string alarms = view("SystemStatus");
  EXPECT_NE(alarms.find("Active alarms: 2"), std::string::npos) << alarms;
  EXPECT_NE(alarms.find("DSP hardware fault"), std::string::npos) << alarms;
  /* Ethernet rows exist whatever interfaces this machine has. */
  std::string eth = view("Eth1Status");
  EXPECT_EQ(eth.size(), 3u * 21u) << eth;
  EXPECT_EQ(writer.stop(3000), 0);
}

TEST_F(LiveStatus, status_names_print_the_records_as_the_exporter_wrote_them) {
  kvSharedMem w;
  ASSERT_EQ(w.initSharedMem(nullptr, true, shm.c_str()), 0);
  unsigned char* au = w.nextSlot(shmCH_AUDIO_STATUS);
  strcpy(reinterpret_cast<char*>(au), "Input   AES\nAnalog  OK\nDigital OK");
  srPutF32LE(au, srDELAY_CURRENT, NAN);
  w.commit(shmCH_AUDIO_STATUS);
  unsigned char* al = w.nextSlot(shmCH_ALARMS);
  strcpy(reinterpret_cast<char*>(al), "System status: OK\nActive alarms: 0\n");
  w.commit(shmCH_ALARMS);
  unsigned char* v = w.nextSlot(shmCH_VERSIONS);
  for (int i = 0; i < 9; i++) snprintf(reinterpret_cast<char*>(v) + 32 * i, 32, "text at %d", 32 * i);
  memset(v + 96, 'Z', 32);  /* no terminator: the field's 32 bytes */
  w.commit(shmCH_VERSIONS);
  srGps g{0xffffffffu, 0, -1, 10, false, 9};
  srEncodeGps(w.nextSlot(shmCH_GPS), g);
  w.commit(shmCH_GPS);

  EXPECT_EQ(view("MonitorDivDelay"), "DiversityDelay=      nan s\n");
  EXPECT_EQ(view("AudioStatus"), "Input   AES\nAnalog  OK\nDigital OK\n");
  EXPECT_EQ(view("SystemStatus"), "System status: OK\nActive alarms: 0\n\n");
  EXPECT_EQ(view("SoftwareVersion"),
            std::string(32, 'Z') + "\ntext at 0\ntext at 32\ntext at 64\ntext at 192\n"
            "text at 128\ntext at 160\ntext at 224\ntext at 256\n");
  EXPECT_EQ(view("GPSStatus"),
            "Status UNKNOWN STATE\nSats 32    HDOP  2.0\nS 0.00000 W  0.00000\n");
  /* Names of the second table match by their beginning. */
  EXPECT_EQ(view("GPSStatusNow"), view("GPSStatus"));
}
