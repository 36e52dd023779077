/*
** Status screens drawn from crafted records, compared row by row.  Records
** are heap buffers of exactly the record's size, so a screen that reads
** past its record trips the address sanitizer build.
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
  char* rows[4];
  int cols;
  explicit Rows(int c = 20) : cols(c) {
    for (int i = 0; i < 4; i++) rows[i] = buf[i];
  }
  std::string row(int i) const { return std::string(buf[i]); }
};

std::string pad(const std::string& s, int cols = 20) {
  std::string r = s.substr(0, size_t(cols));
  r.resize(size_t(cols), ' ');
  return r;
}

struct Items {
  int useGps = 0;
  int eth0Mode = 0;
  int eth1Mode = 0;
};
int readItem(void* ctx, int id) {
  Items* it = static_cast<Items*>(ctx);
  if (id == 17) return it->useGps;
  if (id == 41) return it->eth0Mode;
  if (id == 44) return it->eth1Mode;
  return 0;
}

class StatusScreen : public testing::Test {
protected:
  statusScreens s;
  Items items;
  statusDrawEnv env{};
  Rows r;
  void SetUp() override {
    env.mono = {1000, 0};
    env.wallClock = 0;
    env.readItem = readItem;
    env.readItemCtx = &items;
  }
  void draw(int screen, int nRows = 3) { ASSERT_EQ(s.draw(screen, r.rows, nRows, r.cols, env), 0); }
  /* The screen drawn on `n` rows: each row exactly `cols` wide, shown with
  ** its trailing blanks cut, '|' between rows. */
  std::string shown(int screen, int n = 3, int cols = 20) {
    Rows rows(cols);
    EXPECT_EQ(0, s.draw(screen, rows.rows, n, cols, env));
    std::string out;
    for (int i = 0; i < n; i++) {
      std::string row = rows.row(i);
      EXPECT_EQ(size_t(cols), row.size()) << screen << " row " << i << ": " << row;
      out += row.substr(0, row.find_last_not_of(' ') + 1) + (i + 1 < n ? "|" : "");
    }
    return out;
  }
};

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

TEST_F(StatusScreen, every_status_screen_shows_no_data_until_its_first_record) {
  const int screens[] = {330, 331, 334, 335, 336, 339, 341, 345};
  for (int id : screens) {
    draw(id);
    for (int i = 0; i < 3; i++) EXPECT_EQ(r.row(i), " -no data available-") << id;
  }
  /* The clock is local, but it still waits for a GPS record. */
  auto a = levels(-10, -5);
  s.setAudioLevels(a.data());
  draw(335);
  EXPECT_EQ(r.row(1), " -no data available-");
  EXPECT_EQ(s.draw(337, r.rows, 3, 20, env), 1);  /* drawn by the update's owner */
}

TEST_F(StatusScreen, new_data_bit_of_the_current_screen_asks_for_a_redraw_until_drawn) {
  auto g = gps(5, 1, 1);
  s.enterScreen(334);
  EXPECT_EQ(s.screenChangePending(), 1);  /* first draw at once */
  draw(334);
  EXPECT_EQ(s.screenChangePending(), 0);
  auto a = levels(-10, -5);
  s.setAudioLevels(a.data());     /* not this screen's source */
  EXPECT_EQ(s.screenChangePending(), 0);
  s.setGpsStatus(g.data());
  EXPECT_EQ(s.newDataBits(), unsigned(ssBIT_GPS | ssBIT_AUDIO_LEVELS));
  EXPECT_EQ(s.screenChangePending(), 1);
  s.setGpsStatus(nullptr);        /* no record: nothing happens */
  draw(334);
  EXPECT_EQ(s.screenChangePending(), 0);
  /* The audio status record feeds the delay screen as well. */
  std::vector<unsigned char> au(srAUDIO_STATUS_SIZE, 0);
  s.setAudioStatus(au.data());
  s.setDelayStatus(au.data());
  EXPECT_TRUE(s.newDataBits() & ssBIT_DELAY);
  EXPECT_TRUE(s.newDataBits() & ssBIT_AUDIO_STATUS);
}

TEST_F(StatusScreen, level_meter_cells_from_floor_to_full_with_trail_and_partial_cells) {
  /* average, peak, glyph set, columns, row 0 as drawn */
  const std::string x17(17, 'X');
  const struct {
    float ave, peak;
    const meterGlyphs* glyphs;
    int cols;
    std::string row0;
  } cases[] = {
      {-75, -60, &ssTerminalMeter, 20, pad("L:|")},  /* only the partial cell at cell 0 */
      {3, 6, &ssTerminalMeter, 20, "L:" + x17 + "|"},
      /* width 17: full 8, p = 9.92, part 5 of 6 */
      {-30, -25, &ssFrontPanelMeter, 20, "L:" + std::string(8, '\0') + "\1\7" + std::string(8, ' ')},
      /* width 37: full 18, p = 24.67, part 6 of 10 */
      {-30, -20, &ssTerminalMeter, 40, "L:" + std::string(18, 'X') + std::string(6, '-') + "|" + std::string(13, ' ')},
      /* peak below the average: the partial cell inside, the rest blank; width 17: full 14, p = 8.5 */
      {-10, -30, &ssTerminalMeter, 20, pad("L:" + std::string(8, 'X') + "|")},
  };
  for (const auto& c : cases) {
    s.glyphs = *c.glyphs;
    auto rec = levels(c.ave, c.peak);
    s.setAudioLevels(rec.data());
    Rows rows(c.cols);
    ASSERT_EQ(s.draw(330, rows.rows, 3, c.cols, env), 0);
    EXPECT_EQ(std::string(rows.buf[0], (size_t)c.cols), c.row0) << c.ave << "/" << c.peak;
    EXPECT_EQ(std::string(rows.buf[1], (size_t)c.cols), "R" + c.row0.substr(1)) << c.ave << "/" << c.peak;
  }
}

TEST_F(StatusScreen, level_statistics_average_five_samples_and_settle_once_a_second) {
  s.enterScreen(330);
  auto rec = levels(-20, -10);
  s.setAudioLevels(rec.data());
  draw(330);
  EXPECT_EQ(r.row(2), pad("-20/-10dB  -20/-10dB"));
  for (int i = 0; i < 4; i++) draw(330);  /* ring full */
  auto loud = levels(-3, -1);
  s.setAudioLevels(loud.data());
  draw(330);                               /* same second: summary held */
  EXPECT_EQ(r.row(2), pad("-20/-10dB  -20/-10dB"));
  env.mono.sec += 1;
  draw(330);  /* mean of three -20 dB and two -3 dB averages, peak -1 */
  char want[64];
  double mean = (3 * std::pow(10.0, -2.0) + 2 * std::pow(10.0, -0.3)) / 5;
  snprintf(want, sizeof want, "%3.0f/%3.0fdB  %3.0f/%3.0fdB", 10 * log10(mean), -1.0,
           10 * log10(mean), -1.0);
  EXPECT_EQ(r.row(2), pad(want));
  /* Entering a level screen empties the statistics. */
  s.enterScreen(331);
  EXPECT_EQ(s.stats[0].averageDb, -90.0f);
  EXPECT_EQ(s.stats[3].peakDb, -90.0f);
}

TEST_F(StatusScreen, level_record_with_nan_infinity_and_negatives_draws_a_sane_meter) {
  std::vector<unsigned char> rec(srAUDIO_LEVELS_SIZE, 0);
  srAudioLevels lv;
  lv.digitalAverage[0] = NAN;
  lv.digitalPeak[0] = INFINITY;
  lv.digitalAverage[1] = -1.0f;
  lv.digitalPeak[1] = NAN;
  lv.analogAverage[0] = lv.analogAverage[1] = lv.analogPeak[0] = lv.analogPeak[1] = 0;
  srEncodeAudioLevels(rec.data(), lv);
  s.setAudioLevels(rec.data());
  /* The summary prints what the numbers give: log10 of NaN or of a
  ** negative mean. */
  EXPECT_EQ("L:" + std::string(17, '-') + "||R:||nan/infdB  nan/nandB", shown(330));
  /* Silence (0 linear) is raised to -99 dB. */
  s.enterScreen(331);
  EXPECT_EQ("L:||R:||-99/-99dB  -99/-99dB", shown(331));
}

TEST_F(StatusScreen, gps_screen_shows_state_satellites_hdop_and_position) {
  const struct {
    uint32_t state;
    int32_t lat, lon;
    uint32_t mask;
    uint8_t hdop;
    const char* rows[3];  /* nullptr: not checked */
  } cases[] = {
      {5, 515012345, -1234567, 0x0000f00f, 7, {"Status   TIME SYNCED", "Sats  8    HDOP  1.4", "N51.50123 W  0.12346"}},
      /* exactly 0 counts as south and west */
      {0, 0, 0, 0xffffffffu, 255, {"Status   GPS ACQUIRE", "Sats 32    HDOP 51.0", "S 0.00000 W  0.00000"}},
      {6, -338600000, 1512000000, 0, 0, {"Status      HOLDOVER", nullptr, "S33.86000 E151.20000"}},
      {1, 1, 1, 0, 0, {"Status     PLL ALIGN", nullptr, nullptr}},
      {3, 1, 1, 0, 0, {"Status     PLL ALIGN", nullptr, nullptr}},
      {4, 1, 1, 0, 0, {"Status  PLL UNLOCKED", nullptr, nullptr}},
      {7, 1, 1, 0, 0, {"Status UNKNOWN STATE", nullptr, nullptr}},
      {0xffffffffu, INT32_MIN, INT32_MIN, 0, 0, {"Status UNKNOWN STATE", nullptr, "S214.74836 W214.74836"}},
  };
  for (const auto& c : cases) {
    auto g = gps(c.state, c.lat, c.lon, c.mask, c.hdop);
    s.setGpsStatus(g.data());
    draw(334);
    for (int i = 0; i < 3; i++) {
      if (c.rows[i]) {
        EXPECT_EQ(r.row(i), pad(c.rows[i])) << c.state;
      }
    }
  }
}

TEST_F(StatusScreen, clock_screen_by_gps_lock_and_use_gps_time_item) {
  env.wallClock = 1709622489;  /* 2024-03-05 07:08:09 UTC */
  auto unlocked = gps(0, 1, 1, 0, 0, false);
  s.setGpsStatus(unlocked.data());
  items.useGps = 1;
  draw(335);
  EXPECT_EQ(r.row(0), " Mar  5, 2024       ");
  EXPECT_EQ(r.row(1).substr(0, 10), " 07:08:09 ");
  EXPECT_NE(r.row(1).find("GMT"), std::string::npos);
  EXPECT_EQ(r.row(2), " acquiring GPS time ");
  auto locked = gps(5, 1, 1, 0, 0, true);
  s.setGpsStatus(locked.data());
  draw(335);
  EXPECT_EQ(r.row(2), " GPS time locked    ");
  items.useGps = 0;
  draw(335);
  EXPECT_EQ(r.row(2), " time not GPS based ");
  /* a box still in service after 2038-01-19: the 32-bit build's time_t is
  ** 64 bits too */
  static_assert(sizeof(time_t) == 8, "a 32-bit time_t ends in January 2038");
  env.wallClock = time_t(2214131696);  /* 2040-02-29 12:34:56 UTC */
  draw(335);
  EXPECT_EQ(r.row(0), " Feb 29, 2040       ");
  EXPECT_EQ(r.row(1).substr(0, 10), " 12:34:56 ");
}

TEST_F(StatusScreen, delay_screen_while_ramping_and_after) {
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
  /* Garbage floats print as the format prints them, cut at the row end. */
  rec[srAUDIO_RAMPING] = 0xff;
  srPutF32LE(rec.data(), srDELAY_CURRENT, NAN);
  srPutF32LE(rec.data(), srDELAY_TARGET, 1e30f);
  srPutF32LE(rec.data(), srDELAY_REMAINING, -INFINITY);
  EXPECT_EQ("Delay         nan s|Target  100000001504|Finished in  -inf s", shown(341));
}

TEST_F(StatusScreen, audio_status_rows_take_one_line_each_even_without_terminator) {
  std::vector<unsigned char> rec(srAUDIO_STATUS_SIZE, 0);
  const char* t = "Analog OK\nDigital\tclip\nAES lock lost\nfourth";
  memcpy(rec.data(), t, strlen(t));
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
  items.eth1Mode = 1;
  EXPECT_EQ("   ethernet port is|   disabled by user|", shown(343));
  env.queryInterface = [](const char*, ssInterfaceInfo*) { return -1; };
  EXPECT_EQ("   Unable to query|   network device|", shown(342));
}

TEST_F(StatusScreen, alarms_text_wraps_at_blanks_and_scrolls_within_its_lines) {
  std::vector<unsigned char> rec(srALARMS_SIZE, 0);
  const char* t =
      "GPS antenna fault detected on input\n   \nExciter link up\nABCDEFGHIJKLMNOPQRSTUVWXYZ";
  memcpy(rec.data(), t, strlen(t));
  s.setAlarmsText(rec.data());
  s.enterScreen(345);
  /* the blank line is dropped */
  EXPECT_EQ("GPS antenna fault|detected on input|Exciter link up", shown(345));
  EXPECT_EQ(s.textLines(), 5);
  EXPECT_EQ(s.scrollKey(treeKEY_UP, 3, 20), 0);  /* not above the start */
  EXPECT_EQ(s.scrollKey(treeKEY_DOWN, 3, 20), 1);
  EXPECT_EQ(s.scrollKey(treeKEY_DOWN, 3, 20), 1);
  EXPECT_EQ(s.scrollKey(treeKEY_DOWN, 3, 20), 0);  /* last line on the last row */
  EXPECT_EQ(s.scrollOffset(), 40);
  EXPECT_EQ("Exciter link up|ABCDEFGHIJKLMNOPQRST|UVWXYZ", shown(345));  /* no blank: hard break */
  EXPECT_EQ(s.scrollKey(treeKEY_RIGHT, 3, 20), 0);
  EXPECT_EQ(s.scrollKey(treeKEY_LEFT, 3, 20), -1);
  EXPECT_EQ(s.scrollKey(treeKEY_UP, 3, 20), 1);
  EXPECT_EQ(s.scrollOffset(), 20);
  /* The text shrinks under the reader: the view stays on the text. */
  memset(rec.data(), 0, rec.size());
  memcpy(rec.data(), "short", 5);
  EXPECT_EQ("short||", shown(345));
  EXPECT_EQ(s.scrollOffset(), 0);
}

TEST_F(StatusScreen, full_alarms_text_without_terminator_fills_at_most_the_buffer) {
  std::vector<unsigned char> rec(srALARMS_SIZE, 'w');  /* 4097 letters, no NUL */
  for (size_t i = 7; i < rec.size(); i += 8) rec[i] = ' ';
  s.setAlarmsText(rec.data());
  draw(345);
  EXPECT_EQ(s.textLines(), 2047 / 20);
  EXPECT_EQ(r.row(0), pad("wwwwwww wwwwwww"));
  Rows wide(300);
  ASSERT_EQ(s.draw(345, wide.rows, 3, 300, env), 0);
  EXPECT_EQ(s.textLines(), 2047 / 300);
}

TEST_F(StatusScreen, version_screen_lists_the_nine_texts_in_screen_order) {
  std::vector<unsigned char> rec(srVERSIONS_SIZE, 0);
  for (int i = 0; i < 9; i++) snprintf(reinterpret_cast<char*>(&rec[size_t(i) * 32]), 32, "v%d", i);
  memset(&rec[128], 'Z', 32);  /* unterminated field */
  s.setVersions(rec.data());
  EXPECT_EQ("v3|v0|v1|v2", shown(336, 4));
  while (s.scrollKey(treeKEY_DOWN, 4, 20) == 1) {}
  EXPECT_EQ("v5|v6|v7|v8", shown(336, 4));
  EXPECT_EQ(s.textLines(), 10);  /* "ZZ..." takes two lines */
}

TEST_F(StatusScreen, text_screen_forces_a_refresh_every_16th_service_call) {
  int due = 0;
  for (int i = 1; i <= 48; i++)
    if (s.forcedRefreshDue(true)) {
      due++;
      EXPECT_EQ(i % 16, 0);
    }
  EXPECT_EQ(due, 3);
  EXPECT_FALSE(s.forcedRefreshDue(false));
}
