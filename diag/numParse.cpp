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

/* What a scan of blanks, sign and digits found.  No digit: ok is false,
** negative false and magnitude 0, which both conversions read as 0. */
struct scanned {
  bool ok, negative;
  uint64_t magnitude;
};

/* Blanks, sign, digits of at most `width` characters (0: no limit, blanks
** not counted, as sscanf).  *end gets the first character not used, text
** itself when no digit came. */
scanned scanMagnitude(const char* text, int base, int width, const char** end) {
  const char* p = text;
  while (isspace((unsigned char)*p)) p++;
  const char* limit = width > 0 ? p + width : nullptr;
  auto room = [&](const char* q) { return limit == nullptr || q < limit; };
  bool negative = false;
  if (room(p) && (*p == '+' || *p == '-')) negative = *p++ == '-';
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
    return {false, false, 0};
  }
  *end = p;
  return {true, negative, m};
}

int32_t toInt32(const scanned& s) {
  uint64_t m = s.magnitude;
  if (s.negative) return m >= uint64_t(INT32_MAX) + 1 ? INT32_MIN : -int32_t(m);
  return m > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(m);
}

uint32_t toUint32(const scanned& s) {
  if (s.magnitude > UINT32_MAX) return UINT32_MAX;
  return s.negative ? uint32_t(0) - uint32_t(s.magnitude) : uint32_t(s.magnitude);
}

/* The whole text's number, for the two strtol-like readers. */
scanned scanText(const char* text, const char** end, int base) {
  const char* e = text;
  scanned s = scanMagnitude(text, base, 0, &e);
  if (end) *end = e;
  return s;
}

}  // namespace

int32_t parseInt32(const char* text, const char** end, int base) {
  return toInt32(scanText(text, end, base));
}

uint32_t parseUint32(const char* text, const char** end, int base) {
  return toUint32(scanText(text, end, base));
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
    scanned s = scanMagnitude(t, base, width, &t);
    if (!s.ok) break;
    out[stored++] = conv == 'd' || conv == 'i' ? toInt32(s) : int32_t(toUint32(s));
  }
  return stored;
}
