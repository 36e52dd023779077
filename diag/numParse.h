/*
** Numbers from text, read the way the 32-bit box reads them, on any width.
**
** On the box `long` is 32 bits, so atoi, atol, strtol and sscanf's %d stop
** at the 32-bit limits: "4294967296" is 2147483647 there.  On a 64-bit
** machine the same calls give the low 32 bits of a 64-bit value (0), and
** sscanf's overflow is not even defined.  Every number the console unit and
** its peers take from a command line, a console command, a file or a queue
** goes through here instead, so both widths store the same value:
**
**   signed (d, i)   saturates at INT32_MIN / INT32_MAX
**   unsigned (u, x) strtoul on the box: a magnitude above UINT32_MAX gives
**                   UINT32_MAX whatever the sign; "-n" is 2^32 - n
**
** Text: optional blanks, an optional sign, digits (hexadecimal digits with
** an optional "0x" for base 16).  No digit: the result is 0 and nothing is
** consumed.  Nothing here allocates or fails.
*/
#ifndef DIAG_NUMPARSE_H
#define DIAG_NUMPARSE_H

#include <cstdint>

/* atoi/atol/strtol as on the box.  end (may be null) gets the first
** character not used (text itself when there was no digit). */
int32_t parseInt32(const char* text, const char** end = nullptr, int base = 10);
inline int32_t atoiSat(const char* text) { return text ? parseInt32(text) : 0; }

/* strtoul as on the box. */
uint32_t parseUint32(const char* text, const char** end = nullptr, int base = 10);

/* sscanf for formats of integer conversions and literal text, as on the
** box: %d %i (decimal) %u %x %X, with flags, widths and length letters
** (h, hh, l, ll) accepted and ignored (every value is stored as 32 bits:
** d/i as int32_t, u/x as uint32_t bits in out[]); "%%" and literal
** characters must match; a blank matches any run of blanks; a conversion
** skips leading blanks.  Stops at the first mismatch, at any other
** conversion, or after maxOut values.  Returns the values stored, like
** sscanf (EOF is not reported: an empty text gives 0). */
int scanInt32(const char* text, const char* format, int32_t* out, int maxOut);

#endif
