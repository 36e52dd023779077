/*
** Status screens drawn from crafted records, compared row by row.  Records
** are heap buffers of exactly the record's size: reading past one trips the
** sanitizer build.
*/
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "menu/statusScreens.h"
#include "menu/treeDefs.h"
#include "status/statusRecords.h"

namespace {

struct Rows {
  char buf[4][ssMAX_COLS + 1];
  char* rows[4] = {buf[0], buf[1], buf[2], buf[3]};
};

class StatusScreen : public testing::Test {
protected:
  statusScreens s;
  int items[64] = {};   /* configuration items the screens read, by index */
  statusDrawEnv env{};
  void SetUp() override {
    env.mono = {1000, 0};
    env.readItem = [](void* ctx, int id) { return static_cast<int*>(ctx)[id]; };
    env.readItemCtx = items;
  }
  /* The screen drawn on `n` rows: each row exactly `cols` wide (a panel's
  ** meter glyph 0 is a NUL byte), shown with its trailing blanks cut, '|'
  ** between rows. */
  std::string shown(int screen, int n = 3, int cols = 20) {
    Rows rows;
    EXPECT_EQ(0, s.draw(screen, rows.rows, n, cols, env));
    std::string out;
    for (int i = 0; i < n; i++) {
      std::string row(rows.buf[i], size_t(cols));
      EXPECT_TRUE(strlen(rows.buf[i]) == size_t(cols) || (!s.glyphs.full && rows.buf[i][cols] == '\0'))
          << screen << " row " << i << ": " << row;
      out += row.substr(0, row.find_last_not_of(' ') + 1) + (i + 1 < n ? "|" : "");
    }
    return out;
  }
};

std::string lastRow(const std::string& rows) { return rows.substr(rows.rfind('|') + 1); }

std::vector<unsigned char> levels(float ave, float peak) {
  std::vector<unsigned char> rec(srAUDIO_LEVELS_SIZE, 0);
  srAudioLevels lv;
  for (int i = 0; i < 2; i++) {
    lv.analogAverage[i] = lv.digitalAverage[i] = std::pow(10.0f, ave / 10.0f);
    lv.analogPeak[i] = lv.digitalPeak[i] = std::pow(10.0f, peak / 10.0f);
  }
  srEncodeAudioLevels(rec.data(), lv);
  return rec;
}

std::vector<unsigned char> gps(uint32_t state, int32_t lat, int32_t lon, uint32_t mask = 0,
                               uint8_t hdop = 0, bool locked = false) {
  std::vector<unsigned char> rec(srGPS_SIZE, 0);
  srGps g{mask, lat, lon, hdop, locked, state};
  srEncodeGps(rec.data(), g);
  return rec;
}

}  // namespace

/* Every screen shows "no data" until its first record (the clock waits for
** a GPS record); a new record of the current screen's source asks for a
** redraw until drawn, one of another source does not. */
TEST_F(StatusScreen, screens_show_no_data_until_a_record_and_new_data_asks_for_a_redraw) {
  const std::string none = " -no data available-| -no data available-| -no data available-";
  for (int id : {330, 331, 334, 335, 336, 339, 341, 345}) EXPECT_EQ(none, shown(id)) << id;
  Rows r;
  EXPECT_EQ(s.draw(337, r.rows, 3, 20, env), 1);  /* drawn by the update's owner */
  auto g = gps(5, 1, 1);
  auto a = levels(-10, -5);
  s.setAudioLevels(a.data());     /* not the clock's source */
  EXPECT_EQ(none, shown(335));
  s.enterScreen(334);
  EXPECT_EQ(s.screenChangePending(), 1);  /* first draw at once */
  shown(334);
  EXPECT_EQ(s.screenChangePending(), 0);
  s.setAudioLevels(a.data());
  EXPECT_EQ(s.screenChangePending(), 0);
  s.setGpsStatus(g.data());
  EXPECT_EQ(s.newDataBits(), unsigned(ssBIT_GPS | ssBIT_AUDIO_LEVELS));
  EXPECT_EQ(s.screenChangePending(), 1);
  s.setGpsStatus(nullptr);        /* no record: nothing happens */
  shown(334);
  EXPECT_EQ(s.screenChangePending(), 0);
  /* The audio status record feeds the delay screen as well. */
  std::vector<unsigned char> au(srAUDIO_STATUS_SIZE, 0);
  s.setAudioStatus(au.data());
  s.setDelayStatus(au.data());
  EXPECT_EQ(unsigned(ssBIT_DELAY | ssBIT_AUDIO_STATUS), s.newDataBits() & (ssBIT_DELAY | ssBIT_AUDIO_STATUS));
}

TEST_F(StatusScreen, level_meter_cells_from_floor_to_full_with_trail_and_partial_cells) {
  /* average, peak, glyph set, columns, row 0 as drawn (trailing blanks cut) */
  const struct {
    float ave, peak;
    const meterGlyphs* glyphs;
    int cols;
    std::string row0;
  } cases[] = {
      {-75, -60, &ssTerminalMeter, 20, "L:|"},  /* only the partial cell at cell 0 */
      {3, 6, &ssTerminalMeter, 20, "L:" + std::string(17, 'X') + "|"},
      /* width 17: full 8, p = 9.92, part 5 of 6 */
      {-30, -25, &ssFrontPanelMeter, 20, "L:" + std::string(8, '\0') + "\1\7"},
      /* width 37: full 18, p = 24.67, part 6 of 10 */
      {-30, -20, &ssTerminalMeter, 40, "L:" + std::string(18, 'X') + std::string(6, '-') + "|"},
      /* peak below the average: the partial cell inside, the rest blank; width 17: full 14, p = 8.5 */
      {-10, -30, &ssTerminalMeter, 20, "L:" + std::string(8, 'X') + "|"},
  };
  for (const auto& c : cases) {
    s.glyphs = *c.glyphs;
    auto rec = levels(c.ave, c.peak);
    s.setAudioLevels(rec.data());
    EXPECT_EQ(0u, shown(330, 3, c.cols).find(c.row0 + "|R" + c.row0.substr(1) + "|")) << c.ave << "/" << c.peak;
  }
}

/* Five samples averaged, the summary settled once a second; entering a
** level screen empties the statistics; NaN, infinity and negatives give a
** sane meter and print what the numbers give; silence is raised to -99 dB. */
TEST_F(StatusScreen, level_statistics_average_five_samples_and_settle_once_a_second) {
  s.enterScreen(330);
  auto rec = levels(-20, -10);
  s.setAudioLevels(rec.data());
  EXPECT_EQ("-20/-10dB  -20/-10dB", lastRow(shown(330)));
  for (int i = 0; i < 4; i++) shown(330);  /* ring full */
  auto loud = levels(-3, -1);
  s.setAudioLevels(loud.data());
  EXPECT_EQ("-20/-10dB  -20/-10dB", lastRow(shown(330)));  /* same second: summary held */
  env.mono.sec += 1;
  char want[64];  /* mean of three -20 dB and two -3 dB averages, peak -1 */
  double mean = 10 * log10((3 * std::pow(10.0, -2.0) + 2 * std::pow(10.0, -0.3)) / 5);
  snprintf(want, sizeof want, "%3.0f/%3.0fdB  %3.0f/%3.0fdB", mean, -1.0, mean, -1.0);
  EXPECT_EQ(want, lastRow(shown(330)));
  s.enterScreen(331);
  EXPECT_EQ(s.stats[0].averageDb, -90.0f);
  EXPECT_EQ(s.stats[3].peakDb, -90.0f);

  std::vector<unsigned char> odd(srAUDIO_LEVELS_SIZE, 0);
  srAudioLevels lv;
  lv.digitalAverage[0] = NAN;
  lv.digitalPeak[0] = INFINITY;
  lv.digitalAverage[1] = -1.0f;
  lv.digitalPeak[1] = NAN;
  lv.analogAverage[0] = lv.analogAverage[1] = lv.analogPeak[0] = lv.analogPeak[1] = 0;
  srEncodeAudioLevels(odd.data(), lv);
  s.setAudioLevels(odd.data());
  s.enterScreen(330);
  EXPECT_EQ("L:" + std::string(17, '-') + "||R:||nan/infdB  nan/nandB", shown(330));
  s.enterScreen(331);
  EXPECT_EQ("L:||R:||-99/-99dB  -99/-99dB", shown(331));
}

TEST_F(StatusScreen, gps_screen_shows_state_satellites_hdop_and_position) {
  const struct {
    uint32_t state;
    int32_t lat, lon;
    uint32_t mask;
    uint8_t hdop;
    const char* rows;
  } cases[] = {
      {5, 515012345, -1234567, 0x0000f00f, 7, "Status   TIME SYNCED|Sats  8    HDOP  1.4|N51.50123 W  0.12346"},
      /* exactly 0 counts as south and west */
      {0, 0, 0, 0xffffffffu, 255, "Status   GPS ACQUIRE|Sats 32    HDOP 51.0|S 0.00000 W  0.00000"},
      {6, -338600000, 1512000000, 0, 0, "Status      HOLDOVER|Sats  0    HDOP  0.0|S33.86000 E151.20000"},
      {1, 1, 1, 0, 0, "Status     PLL ALIGN|Sats  0    HDOP  0.0|N 0.00000 E  0.00000"},
      {3, 1, 1, 0, 0, "Status     PLL ALIGN|Sats  0    HDOP  0.0|N 0.00000 E  0.00000"},
      {4, 1, 1, 0, 0, "Status  PLL UNLOCKED|Sats  0    HDOP  0.0|N 0.00000 E  0.00000"},
      {7, INT32_MIN, INT32_MIN, 0, 0, "Status UNKNOWN STATE|Sats  0    HDOP  0.0|S214.74836 W214.7483"},
      {0xffffffffu, 1, 1, 0, 0, "Status UNKNOWN STATE|Sats  0    HDOP  0.0|N 0.00000 E  0.00000"},
  };
  for (const auto& c : cases) {
    auto g = gps(c.state, c.lat, c.lon, c.mask, c.hdop);
    s.setGpsStatus(g.data());
    EXPECT_EQ(c.rows, shown(334)) << c.state;
  }
}

TEST_F(StatusScreen, clock_screen_by_gps_lock_and_use_gps_time_item) {
  env.wallClock = 1709622489;  /* 2024-03-05 07:08:09 UTC */
  auto unlocked = gps(0, 1, 1, 0, 0, false);
  s.setGpsStatus(unlocked.data());
  items[17] = 1;  /* use GPS time */
  std::string rows = shown(335);
  EXPECT_EQ(0u, rows.find(" Mar  5, 2024| 07:08:09 ")) << rows;
  EXPECT_NE(rows.find("GMT"), std::string::npos);
  EXPECT_EQ(" acquiring GPS time", lastRow(rows));
  auto locked = gps(5, 1, 1, 0, 0, true);
  s.setGpsStatus(locked.data());
  EXPECT_EQ(" GPS time locked", lastRow(shown(335)));
  items[17] = 0;
  EXPECT_EQ(" time not GPS based", lastRow(shown(335)));
  /* a box still in service after 2038-01-19: the 32-bit build's time_t is 64 bits too */
  static_assert(sizeof(time_t) == 8, "a 32-bit time_t ends in January 2038");
  env.wallClock = time_t(2214131696);  /* 2040-02-29 12:34:56 UTC */
  EXPECT_EQ(0u, shown(335).find(" Feb 29, 2040| 12:34:56 "));
}

/* The audio status record: the delay while ramping and after (garbage
** floats print as the format prints them, cut at the row end), and its
** text lines one per row, even without a terminator. */
TEST_F(StatusScreen, delay_and_audio_status_screens_from_the_audio_status_record) {
  std::vector<unsigned char> rec(srAUDIO_STATUS_SIZE, 0);
  rec[srAUDIO_RAMPING] = 1;
  srPutF32LE(rec.data(), srDELAY_TARGET, 5.5f);
  srPutF32LE(rec.data(), srDELAY_CURRENT, 2.25f);
  srPutF32LE(rec.data(), srDELAY_REMAINING, 13.125f);
  s.setDelayStatus(rec.data());
  EXPECT_EQ("Delay    2.250000 s|Target   5.500000 s|Finished in 13.12 s", shown(341));
  rec[srAUDIO_RAMPING] = 0;
  srPutF32LE(rec.data(), srDELAY_CURRENT, 5.5f);
  EXPECT_EQ("Delay    5.500000 s| (target reached)|", shown(341));
  rec[srAUDIO_RAMPING] = 0xff;
  srPutF32LE(rec.data(), srDELAY_CURRENT, NAN);
  srPutF32LE(rec.data(), srDELAY_TARGET, 1e30f);
  srPutF32LE(rec.data(), srDELAY_REMAINING, -INFINITY);
  EXPECT_EQ("Delay         nan s|Target  100000001504|Finished in  -inf s", shown(341));

  const char* t = "Analog OK\nDigital\tclip\nAES lock lost\nfourth";
  memcpy(rec.data(), t, strlen(t) + 1);
  s.setAudioStatus(rec.data());
  EXPECT_EQ("Analog OK|Digital clip|AES lock lost", shown(339));
  memset(rec.data(), 'A', srAUDIO_TEXT_MAX);  /* no terminator, no line feed */
  rec[srAUDIO_RAMPING] = 'B';
  EXPECT_EQ(std::string(20, 'A') + "||", shown(339));
}

TEST_F(StatusScreen, ethernet_screen_for_loopback_and_a_missing_interface) {
  env.ethName[0] = "lo";
  EXPECT_EQ("IP 127.0.0.1      UP|   255.0.0.0|HW 00:00:00:00:00:00", shown(342));
  env.ethName[1] = "dovaNoSuch9";
  EXPECT_EQ("   link is down or|   disconnected|", shown(343));
  items[44] = 1;  /* eth1 disabled */
  EXPECT_EQ("   ethernet port is|   disabled by user|", shown(343));
  env.queryInterface = [](const char*, ssInterfaceInfo*) { return -1; };
  EXPECT_EQ("   Unable to query|   network device|", shown(342));
}

/* The alarms text wraps at blanks (hard breaks without one), drops blank
** lines and scrolls within its lines; a text shrinking under the reader
** keeps the view on the text; a full text without terminator fills at most
** the buffer.  The versions screen lists its texts in screen order.  Text
** screens force a refresh every 16th service call. */
TEST_F(StatusScreen, alarms_text_wraps_at_blanks_and_scrolls_within_its_lines) {
  std::vector<unsigned char> rec(srALARMS_SIZE, 0);
  const char* t = "GPS antenna fault detected on input\n   \nExciter link up\nABCDEFGHIJKLMNOPQRSTUVWXYZ";
  memcpy(rec.data(), t, strlen(t));
  s.setAlarmsText(rec.data());
  s.enterScreen(345);
  EXPECT_EQ("GPS antenna fault|detected on input|Exciter link up", shown(345));
  EXPECT_EQ(s.textLines(), 5);
  const struct { int key, moved, offset; } keys[] = {{treeKEY_UP, 0, 0},   {treeKEY_DOWN, 1, 20}, {treeKEY_DOWN, 1, 40},
                                                     {treeKEY_DOWN, 0, 40}, {treeKEY_RIGHT, 0, 40}, {treeKEY_LEFT, -1, 40}};
  for (const auto& k : keys) {
    EXPECT_EQ(k.moved, s.scrollKey(k.key, 3, 20)) << k.key;
    EXPECT_EQ(k.offset, s.scrollOffset()) << k.key;
  }
  EXPECT_EQ("Exciter link up|ABCDEFGHIJKLMNOPQRST|UVWXYZ", shown(345));
  EXPECT_EQ(s.scrollKey(treeKEY_UP, 3, 20), 1);
  memset(rec.data(), 0, rec.size());
  memcpy(rec.data(), "short", 5);
  EXPECT_EQ("short||", shown(345));
  EXPECT_EQ(s.scrollOffset(), 0);

  memset(rec.data(), 'w', rec.size());  /* 4097 letters, no NUL */
  for (size_t i = 7; i < rec.size(); i += 8) rec[i] = ' ';
  EXPECT_EQ("wwwwwww wwwwwww", shown(345).substr(0, 15));
  EXPECT_EQ(s.textLines(), 2047 / 20);
  shown(345, 3, 300);
  EXPECT_EQ(s.textLines(), 2047 / 300);
  std::vector<unsigned char> ver(srVERSIONS_SIZE, 0);
  for (int i = 0; i < 9; i++) snprintf(reinterpret_cast<char*>(&ver[size_t(i) * 32]), 32, "v%d", i);
  memset(&ver[128], 'Z', 32);  /* unterminated field */
  s.setVersions(ver.data());
  s.enterScreen(336);
  EXPECT_EQ("v3|v0|v1|v2", shown(336, 4));
  EXPECT_EQ(s.textLines(), 10);  /* "ZZ..." takes two lines */

  int due = 0;
  for (int i = 1; i <= 48; i++) due += s.forcedRefreshDue(true) ? i : 0;
  EXPECT_EQ(16 + 32 + 48, due);
  EXPECT_FALSE(s.forcedRefreshDue(false));
}
