/*
** The records of the shared status region, field by field: what the
** exporter side writes and what the console unit reads.  Readers and the
** status writer both use these, so the byte layout lives in one place.
**
** Records sit at any alignment (channel 7 is unaligned), so every field is
** read and written byte by byte.  Floats and integers are little-endian;
** latitude and longitude are big-endian, as the GPS receiver delivers them.
**
** Channel 0, audio levels, 40 bytes (linear power ratios, 1.0 = 0 dB):
**   off  type      field
**     0  8 bytes   writer's own (sequence, flags)
**     8  f32 LE    analog left peak
**    12  f32 LE    analog right peak
**    16  f32 LE    analog left average
**    20  f32 LE    analog right average
**    24  f32 LE    digital left peak
**    28  f32 LE    digital right peak
**    32  f32 LE    digital left average
**    36  f32 LE    digital right average
**
** Channel 1, audio status and diversity delay, 116 bytes:
**     0  101 chars audio status text, up to three lines split by LF, NUL ended
**   101  u8        delay ramp in progress (non-zero = ramping)
**   102  2 bytes   padding
**   104  f32 LE    target delay, s
**   108  f32 LE    current delay, s
**   112  f32 LE    time until the ramp finishes, s
**
** Channel 2, GPS receiver status, 36 bytes:
**     0  u32 LE    writer's own
**     4  u32 LE    mask of satellites in use
**     8  i32 BE    latitude, 1e-7 degree (north positive)
**    12  i32 BE    longitude, 1e-7 degree (east positive)
**    16  4 bytes   writer's own (altitude)
**    20  u8        HDOP in units of 0.2
**    21  u8        GPS time locked (non-zero = locked)
**    22  10 bytes  writer's own
**    32  u32 LE    receiver state: 0 acquiring, 1..3 PLL aligning,
**                  4 PLL unlocked, 5 time synchronised, 6 holdover
**
** Channel 3, system status, 28 bytes: kept, not shown (writer's own:
**   u32 uptime s, u32 CPU load %, u32 free memory kB, u32 temperature
**   0.1 C, u32 fault bits, u32 sequence, u32 spare).
** Channel 4, interface-board status, 8 bytes: offset 4, u16 LE outputs.
** Channel 5, version texts, 288 bytes: nine 32-byte NUL-ended texts at
**   0, 32, 64, 96, 128, 160, 192, 224, 256.
** Channel 7, status-and-alarms text, 4097 bytes: up to 4096 characters,
**   lines split by LF, NUL ended.
*/
#ifndef STATUS_STATUSRECORDS_H
#define STATUS_STATUSRECORDS_H

#include <cstddef>
#include <cstdint>

enum {
  srAUDIO_LEVELS_SIZE = 40,
  srAUDIO_STATUS_SIZE = 116,
  srGPS_SIZE = 36,
  srSYSTEM_SIZE = 28,
  srIF_BOARD_SIZE = 8,
  srVERSIONS_SIZE = 288,
  srALARMS_SIZE = 4097,

  srAUDIO_TEXT_MAX = 101,    /* text bytes including its terminator */
  srAUDIO_RAMPING = 101,
  srDELAY_TARGET = 104,
  srDELAY_CURRENT = 108,
  srDELAY_REMAINING = 112,

  srGPS_SAT_MASK = 4,
  srGPS_LATITUDE = 8,
  srGPS_LONGITUDE = 12,
  srGPS_ALTITUDE = 16,
  srGPS_HDOP = 20,
  srGPS_TIME_LOCKED = 21,
  srGPS_STATE = 32,

  srIF_OUTPUTS = 4,

  srVERSION_COUNT = 9,
  srVERSION_LEN = 32,
  srALARMS_TEXT_MAX = 4096
};

/* Field access at any alignment. */
uint32_t srGetU32LE(const unsigned char* rec, int off);
int32_t srGetI32BE(const unsigned char* rec, int off);
float srGetF32LE(const unsigned char* rec, int off);
void srPutU32LE(unsigned char* rec, int off, uint32_t v);
void srPutI32BE(unsigned char* rec, int off, int32_t v);
void srPutF32LE(unsigned char* rec, int off, float v);

/* Length of a text field that may lack its terminator: never reads past
** maxLen bytes. */
size_t srTextLen(const unsigned char* field, size_t maxLen);
/* Copy a text field of at most maxLen bytes into out (outSize > 0), always
** terminated; returns the length copied. */
size_t srCopyText(char* out, size_t outSize, const unsigned char* field, size_t maxLen);

/* Decoded records. */
struct srAudioLevels {
  float analogPeak[2];    /* left, right */
  float analogAverage[2];
  float digitalPeak[2];
  float digitalAverage[2];
};
void srDecodeAudioLevels(const unsigned char* rec, srAudioLevels* out);
void srEncodeAudioLevels(unsigned char* rec, const srAudioLevels& in);

struct srDelay {
  bool ramping;
  float target;
  float current;
  float remaining;
};
void srDecodeDelay(const unsigned char* rec, srDelay* out);

struct srGps {
  uint32_t satMask;
  int32_t latitude;   /* 1e-7 degree */
  int32_t longitude;
  uint8_t hdop;       /* 0.2 units */
  bool timeLocked;
  uint32_t state;
};
void srDecodeGps(const unsigned char* rec, srGps* out);
void srEncodeGps(unsigned char* rec, const srGps& in);

/* Order in which the version texts are listed: by the software version
** screen, and (differently) by the "SoftwareVersion" parameter. */
extern const int srVersionScreenOrder[srVERSION_COUNT];
extern const int srVersionParamOrder[srVERSION_COUNT];

#endif
