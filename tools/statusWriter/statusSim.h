/*
** statusSim: a make-believe exporter whose state moves the way a real
** station's does, for the status writer to put into the shared region.
**
** Programme audio wanders between quiet and loud passages with peaks well
** above the average; the GPS receiver acquires, aligns its PLL and locks;
** the diversity delay ramps towards a target when asked.  Faults (GPS lost,
** audio input lost, DSP fault) start at set times and show in the records
** and in the status-and-alarms text.
**
** Everything is a function of the elapsed time and a seeded generator, so
** a run can be repeated.
*/
#ifndef TOOLS_STATUSWRITER_STATUSSIM_H
#define TOOLS_STATUSWRITER_STATUSSIM_H

#include <cstdint>
#include <string>

/* When faults start (seconds after start; negative = never) and what the
** delay does. */
struct simScenario {
  double gpsLostAt;
  double audioFaultAt;
  double dspFaultAt;
  double rampTarget;     /* seconds of delay to ramp to; negative = no ramp */
  double rampAt;         /* when the ramp starts */
  double rampRate;       /* seconds of delay per second */
  double gpsLockAfter;   /* seconds of acquiring before the PLL aligns */
  uint32_t seed;
};
void simDefaultScenario(simScenario* s);

class statusSim {
public:
  explicit statusSim(const simScenario& scenario);

  /* Move the state to `t` seconds after start (t only grows). */
  void advance(double t);

  /* Fill one record of each channel (sizes in status/statusRecords.h). */
  void fillAudioLevels(unsigned char* rec);
  void fillAudioStatus(unsigned char* rec) const;
  void fillGps(unsigned char* rec);
  void fillSystem(unsigned char* rec) const;
  void fillIfBoard(unsigned char* rec) const;
  void fillVersions(unsigned char* rec) const;
  void fillAlarms(unsigned char* rec) const;

  /* The alarms text; changes only when a fault starts. */
  const std::string& alarmsText() const { return alarms; }
  bool ramping() const { return rampActive; }
  double currentDelay() const { return delay; }

private:
  double uniform();   /* 0..1 */
  void stepDelay(double dt);
  void buildAlarms();

  simScenario sc;
  double now;
  uint64_t rng;
  uint32_t levelSeq;
  /* programme envelope, dB */
  double programmeDb;
  double programmeDrift;
  /* diversity delay, s */
  double delay;
  double delayTarget;
  bool rampActive;
  /* faults in force */
  bool gpsLost;
  bool audioFault;
  bool dspFault;
  std::string alarms;
};

#endif
