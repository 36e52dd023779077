/*
** What the software update may hand to the maintenance tool.
**
** The update file name and host are configuration items that any client
** of the master can set, and they end up on the command line
** "<run>/kvUpgrade.x -t a.b.c.d <file>".  Quoting keeps them one word each,
** but the tool still reads a name "-r" as an option and a name "../x" as a
** path outside its update directory.  So before anything runs the name must
** be a plain file name made of the item's valid characters (no leading
** "-", no "/", no "..", no blank) and the host a unicast IPv4 address
** (not 0.x.x.x, not 224.0.0.0 and above).
*/
#ifndef APP_UPDATEREQUEST_H
#define APP_UPDATEREQUEST_H

#include <cstddef>
#include <cstdint>

/* Why the request may not run, as the update screen says it ("file name
** starts with -", "update host 0.0.0.0 is no valid address", ...), written
** into why (NUL-terminated, cut to size); returns false when it may run.
** validChars null: letters, digits, '.' and '_'. */
bool updateRequestRefused(const uint8_t host[4], const char* fileName, const char* validChars,
                          char* why, size_t size);

#endif
