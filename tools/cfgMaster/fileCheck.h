/*
** Start-up care of the configuration files: a missing file is created from
** the defaults; a damaged one (lines the reader cannot use, unknown names,
** values that do not parse, a file that ends early) is reported, kept beside
** itself as "<name>.damaged" (".damaged.1" ... when that name holds other
** text) and left as it is until a value changes.  The library's reader is
** lenient and silent about most of this; the check here walks the same
** grammar and counts what it would drop.
*/
#ifndef TOOLS_CFGMASTER_FILECHECK_H
#define TOOLS_CFGMASTER_FILECHECK_H

#include <cstddef>
#include <string>

class generic_cfg;
class ErrTrcLog;

struct cfgFileReport {
  int lines = 0;          /* lines seen */
  int badLines = 0;       /* no colon, unknown name, no value, value not understood */
  int firstBadLine = 0;   /* 1-based; 0 when none */
  int unknownNames = 0;   /* of badLines: a name the data set does not have */
  int missingItems = 0;   /* items of the file no line names */
  bool endsEarly = false; /* no closing '#' line, or a last line cut short */
  bool damaged() const { return badLines > 0 || endsEarly; }
};

/* Check `text` (len bytes, may hold NULs) as the content of file fileNum. */
cfgFileReport checkCfgText(generic_cfg& cfg, int fileNum, const char* text, size_t len);

/* Keep the file at `path` under a name beside it; the original stays.
** Returns the name used (an existing copy with the same bytes is reused),
** or "" when no copy could be made. */
std::string keepDamagedCopy(const std::string& path);

/* Remove the temporary files ("<target>.tmp.<pid>") of writes whose
** writer no longer runs; each is reported.  Returns the number removed. */
int removeCrashedWrites(generic_cfg& cfg, ErrTrcLog* pErrLog);

/* A FIFO, directory, device or socket where a configuration file should be:
** said on standard error, one line each.  Returns how many there are (the
** master then does not start). */
int refuseOddCfgFiles(generic_cfg& cfg);

/* Give every saved item the value its own text reads back as (a default
** text loses blanks at its ends, a default outside its limits is clamped), so
** nothing the master holds changes at its next start.  Run before the
** changes are accepted: the file's text already means these values.
** Returns the items that changed. */
int settleStoredValues(generic_cfg& cfg);

/* Run once after the files were read: remove the leftovers of crashed
** writes, create missing files, report and keep damaged ones (also one too
** large to read, with its size).  Returns the number of damaged files. */
int prepareCfgFiles(generic_cfg& cfg, ErrTrcLog* pErrLog, const int* pTraceLevel);

#endif
