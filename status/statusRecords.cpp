/*
** Field access for the shared status records (layouts in statusRecords.h).
** Everything goes byte by byte: records sit at odd offsets in the region.
*/
#include "status/statusRecords.h"

#include <cstring>

const int srVersionScreenOrder[srVERSION_COUNT] = {96, 0, 32, 64, 128, 160, 192, 224, 256};
const int srVersionParamOrder[srVERSION_COUNT] = {96, 0, 32, 64, 192, 128, 160, 224, 256};

uint32_t srGetU32LE(const unsigned char* r, int off) {
  const unsigned char* p = r + off;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

int32_t srGetI32BE(const unsigned char* r, int off) {
  const unsigned char* p = r + off;
  uint32_t u = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
  int32_t v;
  memcpy(&v, &u, 4);
  return v;
}

float srGetF32LE(const unsigned char* r, int off) {
  uint32_t u = srGetU32LE(r, off);
  float f;
  memcpy(&f, &u, 4);
  return f;
}

void srPutU32LE(unsigned char* r, int off, uint32_t v) {
  unsigned char* p = r + off;
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void srPutI32BE(unsigned char* r, int off, int32_t v) {
  uint32_t u;
  memcpy(&u, &v, 4);
  unsigned char* p = r + off;
  p[0] = uint8_t(u >> 24);
  p[1] = uint8_t(u >> 16);
  p[2] = uint8_t(u >> 8);
  p[3] = uint8_t(u);
}

void srPutF32LE(unsigned char* r, int off, float v) {
  uint32_t u;
  memcpy(&u, &v, 4);
  srPutU32LE(r, off, u);
}

size_t srTextLen(const unsigned char* field, size_t maxLen) {
  const void* z = memchr(field, 0, maxLen);
  return z ? size_t(static_cast<const unsigned char*>(z) - field) : maxLen;
}

size_t srCopyText(char* out, size_t outSize, const unsigned char* field, size_t maxLen) {
  size_t n = srTextLen(field, maxLen);
  if (n >= outSize) n = outSize - 1;
  memcpy(out, field, n);
  out[n] = 0;
  return n;
}

void srDecodeAudioLevels(const unsigned char* rec, srAudioLevels* o) {
  for (int s = 0; s < 2; s++) {
    o->analogPeak[s] = srGetF32LE(rec, 8 + 4 * s);
    o->analogAverage[s] = srGetF32LE(rec, 16 + 4 * s);
    o->digitalPeak[s] = srGetF32LE(rec, 24 + 4 * s);
    o->digitalAverage[s] = srGetF32LE(rec, 32 + 4 * s);
  }
}

void srEncodeAudioLevels(unsigned char* rec, const srAudioLevels& in) {
  for (int s = 0; s < 2; s++) {
    srPutF32LE(rec, 8 + 4 * s, in.analogPeak[s]);
    srPutF32LE(rec, 16 + 4 * s, in.analogAverage[s]);
    srPutF32LE(rec, 24 + 4 * s, in.digitalPeak[s]);
    srPutF32LE(rec, 32 + 4 * s, in.digitalAverage[s]);
  }
}

void srDecodeDelay(const unsigned char* rec, srDelay* o) {
  o->ramping = rec[srAUDIO_RAMPING] != 0;
  o->target = srGetF32LE(rec, srDELAY_TARGET);
  o->current = srGetF32LE(rec, srDELAY_CURRENT);
  o->remaining = srGetF32LE(rec, srDELAY_REMAINING);
}

void srDecodeGps(const unsigned char* rec, srGps* o) {
  o->satMask = srGetU32LE(rec, srGPS_SAT_MASK);
  o->latitude = srGetI32BE(rec, srGPS_LATITUDE);
  o->longitude = srGetI32BE(rec, srGPS_LONGITUDE);
  o->hdop = rec[srGPS_HDOP];
  o->timeLocked = rec[srGPS_TIME_LOCKED] != 0;
  o->state = srGetU32LE(rec, srGPS_STATE);
}

void srEncodeGps(unsigned char* rec, const srGps& in) {
  srPutU32LE(rec, srGPS_SAT_MASK, in.satMask);
  srPutI32BE(rec, srGPS_LATITUDE, in.latitude);
  srPutI32BE(rec, srGPS_LONGITUDE, in.longitude);
  rec[srGPS_HDOP] = in.hdop;
  rec[srGPS_TIME_LOCKED] = in.timeLocked ? 1 : 0;
  srPutU32LE(rec, srGPS_STATE, in.state);
}
