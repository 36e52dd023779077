/*
** statusSim: the make-believe exporter behind statusWriter.x (see
** statusSim.h).  Numbers are chosen to look like a working station on the
** screens, not to model any hardware.
*/
#include "tools/statusWriter/statusSim.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "status/statusRecords.h"

void simDefaultScenario(simScenario* s) {
  s->gpsLostAt = -1;
  s->audioFaultAt = -1;
  s->dspFaultAt = -1;
  s->rampTarget = -1;
  s->rampAt = 2;
  s->rampRate = 0.25;
  s->gpsLockAfter = 3;
  s->seed = 1;
}

statusSim::statusSim(const simScenario& scenario)
    : sc(scenario), now(0), rng(scenario.seed ? scenario.seed : 1), levelSeq(0),
      programmeDb(-20), programmeDrift(0), delay(4.5), delayTarget(4.5), rampActive(false),
      gpsLost(false), audioFault(false), dspFault(false) {
  buildAlarms();
}

/* xorshift64*: plenty for wobbling levels. */
double statusSim::uniform() {
  rng ^= rng >> 12;
  rng ^= rng << 25;
  rng ^= rng >> 27;
  return double((rng * 2685821657736338717ULL) >> 11) / double(1ULL << 53);
}

static bool reached(double at, double t) { return at >= 0 && t >= at; }

void statusSim::advance(double t) {
  if (t < now) return;
  double dt = t - now;
  now = t;
  bool lostBefore = gpsLost, audioBefore = audioFault, dspBefore = dspFault;
  gpsLost = reached(sc.gpsLostAt, t);
  audioFault = reached(sc.audioFaultAt, t);
  dspFault = reached(sc.dspFaultAt, t);
  if (lostBefore != gpsLost || audioBefore != audioFault || dspBefore != dspFault) buildAlarms();
  if (sc.rampTarget >= 0 && reached(sc.rampAt, t) && !rampActive && delayTarget != sc.rampTarget) {
    delayTarget = sc.rampTarget;
    rampActive = delay != delayTarget;
  }
  stepDelay(dt);
}

void statusSim::stepDelay(double dt) {
  if (!rampActive) return;
  double step = sc.rampRate * dt;
  if (std::fabs(delayTarget - delay) <= step) {
    delay = delayTarget;
    rampActive = false;
  } else {
    delay += delayTarget > delay ? step : -step;
  }
}

static float fromDb(double db) { return float(std::pow(10.0, db / 10.0)); }

/* Programme audio: the envelope drifts between quiet and loud passages,
** the average follows it with a little flutter and the peaks sit 4..12 dB
** above, now and then touching full scale. */
void statusSim::fillAudioLevels(unsigned char* rec) {
  programmeDrift += (uniform() - 0.5) * 0.8 - (programmeDb + 18) * 0.02;
  if (programmeDrift > 1.5) programmeDrift = 1.5;
  if (programmeDrift < -1.5) programmeDrift = -1.5;
  programmeDb += programmeDrift;
  if (programmeDb > -8) programmeDb = -8;
  if (programmeDb < -38) programmeDb = -38;
  srAudioLevels lv;
  for (int s = 0; s < 2; s++) {
    double ave = programmeDb + (uniform() - 0.5) * 2 - s * 0.7;
    double peak = ave + 4 + uniform() * 8;
    if (uniform() < 0.03) peak = -0.5 + uniform() * 0.5;
    if (peak > 0) peak = 0;
    /* The digital path is the same programme through the codec: slightly
    ** lower, slightly smoother. */
    lv.digitalAverage[s] = fromDb(ave - 1);
    lv.digitalPeak[s] = fromDb(peak - 1.5);
    lv.analogAverage[s] = audioFault ? fromDb(-96) : fromDb(ave);
    lv.analogPeak[s] = audioFault ? fromDb(-90) : fromDb(peak);
  }
  memset(rec, 0, srAUDIO_LEVELS_SIZE);
  srPutU32LE(rec, 0, ++levelSeq);
  srEncodeAudioLevels(rec, lv);
}

void statusSim::fillAudioStatus(unsigned char* rec) const {
  memset(rec, 0, srAUDIO_STATUS_SIZE);
  const char* text = audioFault ? "Input   Analog L+R\nAnalog  NO SIGNAL\nDigital OK 44.1kHz"
                                : "Input   Analog L+R\nAnalog  OK\nDigital OK 44.1kHz";
  snprintf(reinterpret_cast<char*>(rec), srAUDIO_TEXT_MAX, "%s", text);
  rec[srAUDIO_RAMPING] = rampActive ? 1 : 0;
  srPutF32LE(rec, srDELAY_TARGET, float(delayTarget));
  srPutF32LE(rec, srDELAY_CURRENT, float(delay));
  double remaining = rampActive ? std::fabs(delayTarget - delay) / sc.rampRate : 0;
  srPutF32LE(rec, srDELAY_REMAINING, float(remaining));
}

/* Acquiring, three PLL alignment stages of a second each, then locked with
** 7..10 satellites.  Lost GPS: holdover for ten seconds, then unlocked. */
void statusSim::fillGps(unsigned char* rec) {
  memset(rec, 0, srGPS_SIZE);
  srGps g{0, 0, 0, 0, false, 0};
  double sinceLost = now - sc.gpsLostAt;
  if (gpsLost) {
    g.state = sinceLost < 10 ? 6 : 4;
  } else if (now < sc.gpsLockAfter) {
    g.state = 0;
  } else if (now < sc.gpsLockAfter + 3) {
    g.state = 1 + uint32_t(now - sc.gpsLockAfter);
  } else {
    g.state = 5;
    g.timeLocked = true;
  }
  if (!gpsLost && g.state != 0) {
    int sats = 7 + int(uniform() * 4);
    for (int i = 0; i < sats; i++) g.satMask |= 1u << ((i * 3 + 1) % 32);
    g.hdop = uint8_t(4 + uniform() * 3);
    g.latitude = 390991234 + int32_t((uniform() - 0.5) * 40);
    g.longitude = -945781234 + int32_t((uniform() - 0.5) * 40);
  }
  srEncodeGps(rec, g);
  srPutI32BE(rec, srGPS_ALTITUDE, 312);
}

void statusSim::fillSystem(unsigned char* rec) const {
  memset(rec, 0, srSYSTEM_SIZE);
  srPutU32LE(rec, 0, uint32_t(now));
  srPutU32LE(rec, 4, 23);
  srPutU32LE(rec, 8, 41236);
  srPutU32LE(rec, 12, 452);
  uint32_t faults = (gpsLost ? 1u : 0u) | (audioFault ? 2u : 0u) | (dspFault ? 4u : 0u);
  srPutU32LE(rec, 16, faults);
}

void statusSim::fillIfBoard(unsigned char* rec) const {
  memset(rec, 0, srIF_BOARD_SIZE);
  uint16_t outputs = 0x0011;
  if (gpsLost) outputs |= 0x0100;
  if (audioFault) outputs |= 0x0200;
  rec[srIF_OUTPUTS] = uint8_t(outputs);
  rec[srIF_OUTPUTS + 1] = uint8_t(outputs >> 8);
}

void statusSim::fillVersions(unsigned char* rec) const {
  static const char* const texts[srVERSION_COUNT] = {
      "Console    2.4.1",  "Engine     3.1.7",  "Encoder    2.0.4",
      "System SW  4.2.0",  "FPGA       0x2A17", "IF board   1.12",
      "GPS rx     7.03",   "Kernel     2.6.33", "Boot       1.0.5"};
  memset(rec, 0, srVERSIONS_SIZE);
  for (int i = 0; i < srVERSION_COUNT; i++)
    snprintf(reinterpret_cast<char*>(rec) + i * srVERSION_LEN, srVERSION_LEN, "%s", texts[i]);
}

void statusSim::buildAlarms() {
  int n = int(gpsLost) + int(audioFault) + int(dspFault);
  char head[64];
  snprintf(head, sizeof head, "System status: %s\nActive alarms: %d\n", n ? "ALARM" : "OK", n);
  alarms = head;
  if (gpsLost) alarms += "GPS signal lost - clock in holdover, check antenna and cable\n";
  if (audioFault) alarms += "Analog audio input lost on both channels\n";
  if (dspFault) alarms += "DSP hardware fault (memory or FIFO) - restart required\n";
  if (!n) alarms += "All subsystems running normally.\n";
}

void statusSim::fillAlarms(unsigned char* rec) const {
  memset(rec, 0, srALARMS_SIZE);
  size_t n = alarms.size() < size_t(srALARMS_TEXT_MAX) ? alarms.size() : size_t(srALARMS_TEXT_MAX);
  memcpy(rec, alarms.data(), n);
}
