/*
** Helpers shared by the configuration library's own source files; not part
** of its interface.
*/
#ifndef CONFIG_CFGINTERNAL_H
#define CONFIG_CFGINTERNAL_H

#include <cstdint>
#include <string>

/* snprintf bounded by `room`; returns the characters actually stored (never
** more than room - 1), 0 when room <= 0. */
int cfgPutf(char* buf, int room, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

/* Characters of a text that travel in a record (the length field is u16). */
int textWireLen(const std::string& s);

void putLe32(uint8_t* p, uint32_t v);
uint32_t getLe32(const uint8_t* p);

/* The process-wide build buffer of file texts, binary answers and exports.
** The first 16 bytes of a message built here are the envelope. */
extern char bigBuff[];

#endif
