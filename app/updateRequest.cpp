/*
** The software update's checks of its file name and host; see
** updateRequest.h.
*/
#include "app/updateRequest.h"

#include <cctype>
#include <cstdio>
#include <cstring>

static const char* const kPlainChars =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._";

/* The name's fault in a few words, or null. */
static const char* nameFault(const char* name, const char* validChars, char* one, size_t size) {
  if (name == nullptr || name[0] == '\0') return "no update file name";
  if (name[0] == '-') return "file name starts with -";
  if (strstr(name, "..") != nullptr) return "file name holds ..";
  for (const char* p = name; *p; ++p) {
    unsigned char c = (unsigned char)*p;
    if (c == '/') return "file name holds /";
    if (c == ' ') return "file name holds a blank";
    if (strchr(validChars ? validChars : kPlainChars, c) == nullptr) {
      if (isprint(c))
        snprintf(one, size, "file name holds %c", c);
      else
        snprintf(one, size, "file name holds byte 0x%02X", c);
      return one;
    }
  }
  return nullptr;
}

bool updateRequestRefused(const uint8_t host[4], const char* fileName, const char* validChars,
                          char* why, size_t size) {
  char one[40];
  const char* fault = nameFault(fileName, validChars, one, sizeof one);
  char hostFault[60];
  if (fault == nullptr && (host[0] == 0 || host[0] >= 224)) {
    snprintf(hostFault, sizeof hostFault, "update host %u.%u.%u.%u is no valid address", host[0],
             host[1], host[2], host[3]);
    fault = hostFault;
  }
  if (fault == nullptr) return false;
  snprintf(why, size, "Update not run:\n%s", fault);
  return true;
}
