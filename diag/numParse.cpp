/*
** Saturating number parsing (see numParse.h): one digit loop for every
** caller, its magnitude held in 64 bits and stopped just above the largest
** 32-bit magnitude, so no input can overflow it.
*/
#include "diag/numParse.h"

#include <cctype>
#include <cstring>

namespace {

const uint64_t kCap = uint64_t(UINT32_MAX) + 1;  /* any magnitude above is "too big" */

int digitValue(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d >= 0 && d < base ? d : -1;
}

/* Blanks, sign, digits of at most `width` characters (0: no limit, blanks
** not counted, as sscanf).  Returns false when no digit came; then *end is
** text. */
bool scanMagnitude(const char* text, int base, int width, bool* negative, uint64_t* magnitude,
                   const char** end) {
  const char* p = text;
  while (isspace((unsigned char)*p)) p++;
  const char* limit = width > 0 ? p + width : nullptr;
  auto room = [&](const char* q) { return limit == nullptr || q < limit; };
  *negative = false;
  if (room(p) && (*p == '+' || *p == '-')) *negative = *p++ == '-';
  if (base == 16 && room(p + 1) && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
      digitValue(p[2], 16) >= 0 && room(p + 2))
    p += 2;
  uint64_t m = 0;
  const char* first = p;
  for (int d; room(p) && (d = digitValue(*p, base)) >= 0; p++) {
    m = m * uint64_t(base) + uint64_t(d);
    if (m > kCap) m = kCap;
  }
  if (p == first) {
    *end = text;
    return false;
  }
  *magnitude = m;
  *end = p;
  return true;
}

int32_t toInt32(bool negative, uint64_t m) {
  if (negative) return m >= uint64_t(INT32_MAX) + 1 ? INT32_MIN : -int32_t(m);
  return m > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(m);
}

uint32_t toUint32(bool negative, uint64_t m) {
  if (m > UINT32_MAX) return UINT32_MAX;
  return negative ? uint32_t(0) - uint32_t(m) : uint32_t(m);
}

}  // namespace

int32_t parseInt32(const char* text, const char** end, int base) {
  bool negative = false;
  uint64_t m = 0;
  const char* e = text;
  bool ok = scanMagnitude(text, base, 0, &negative, &m, &e);
  if (end) *end = e;
  return ok ? toInt32(negative, m) : 0;
}

uint32_t parseUint32(const char* text, const char** end, int base) {
  bool negative = false;
  uint64_t m = 0;
  const char* e = text;
  bool ok = scanMagnitude(text, base, 0, &negative, &m, &e);
  if (end) *end = e;
  return ok ? toUint32(negative, m) : 0;
}

int scanInt32(const char* text, const char* format, int32_t* out, int maxOut) {
  const char* t = text;
  const char* f = format;
  int stored = 0;
  while (*f && stored < maxOut) {
    if (isspace((unsigned char)*f)) {
      while (isspace((unsigned char)*f)) f++;
      while (isspace((unsigned char)*t)) t++;
      continue;
    }
    if (*f != '%' || f[1] == '%') {
      if (*f == '%') f++;
      if (*t != *f) break;
      t++, f++;
      continue;
    }
    f++;
    while (*f && strchr("-+ #0", *f)) f++;
    int width = 0;
    while (isdigit((unsigned char)*f)) width = width * 10 + (*f++ - '0');
    while (*f == 'h' || *f == 'l') f++;
    char conv = *f++;
    int base = conv == 'x' || conv == 'X' ? 16 : 10;
    if (!strchr("diuxX", conv) || conv == '\0') break;
    bool negative = false;
    uint64_t m = 0;
    if (!scanMagnitude(t, base, width, &negative, &m, &t)) break;
    out[stored++] = conv == 'd' || conv == 'i' ? toInt32(negative, m)
                                               : int32_t(toUint32(negative, m));
  }
  return stored;
}
