/*
** Start-up care of the configuration files: create the missing, report and
** keep the damaged.  See fileCheck.h.
*/
#include "tools/cfgMaster/fileCheck.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <dirent.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/genericConfig.h"
#include "diag/ErrTrcLog.h"
#include "diag/numParse.h"
#include "diag/trace.h"

static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

static std::string trimmed(const char* b, const char* e) {
  while (b < e && isBlank(*b)) b++;
  while (e > b && isBlank(e[-1])) e--;
  return std::string(b, (size_t)(e - b));
}

/* Does the value text read as a value of the item's type? */
static bool valueUnderstood(const data_itm_Base* it, const std::string& v) {
  int32_t n[6];
  float f;
  const char* s = v.c_str();
  switch (it->typeCode) {
    case dtINT:
    case dtBOOL: return scanInt32(s, "%d", n, 1) == 1;
    case dtFLOAT: return sscanf(s, "%f", &f) == 1;
    case dtIP_ADDR: return scanInt32(s, "%d.%d.%d.%d", n, 4) == 4;
    case dtMAC_ADDR: return scanInt32(s, "%x:%x:%x:%x:%x:%x", n, 6) == 6;
    case dtKVTIME: return scanInt32(s, "%d-%d-%d %d:%d:%d", n, 6) == 6;
    default: return true;
  }
}

/* One line: true when the reader would use it (or it is blank/comment). */
static bool lineUsable(generic_cfg& cfg, const char* b, const char* e, bool* unknown,
                       std::set<const data_itm_Base*>* named) {
  *unknown = false;
  if (memchr(b, '\0', (size_t)(e - b)) != nullptr) return false;
  std::string line = trimmed(b, e);
  if (line.empty() || line[0] == '#') return true;
  size_t colon = line.find(':');
  size_t hash = line.find('#');
  if (colon == std::string::npos || (hash != std::string::npos && hash < colon)) return false;
  std::string name = trimmed(line.data(), line.data() + colon);
  const char* vb = line.data() + colon + 1;
  const char* ve = hash == std::string::npos ? line.data() + line.size() : line.data() + hash;
  std::string value = trimmed(vb, ve);
  data_itm_Base* it = cfg.findItem(name.c_str());
  if (it == nullptr) {
    *unknown = true;
    return false;
  }
  named->insert(it);
  /* a blank text is written as nothing after the colon */
  if (value.empty()) return it->typeCode == dtSTRING;
  return valueUnderstood(it, value);
}

static bool isClosingLine(const std::string& line) {
  return line.size() >= 3 && line.find_first_not_of('#') == std::string::npos;
}

cfgFileReport checkCfgText(generic_cfg& cfg, int fileNum, const char* text, size_t len) {
  cfgFileReport r;
  std::set<const data_itm_Base*> named;
  std::string lastLine;
  const char* end = text + len;
  for (const char* b = text; b < end;) {
    const char* e = static_cast<const char*>(memchr(b, '\n', (size_t)(end - b)));
    if (e == nullptr) e = end;
    r.lines++;
    bool unknown = false;
    if (!lineUsable(cfg, b, e, &unknown, &named)) {
      r.badLines++;
      if (unknown) r.unknownNames++;
      if (r.firstBadLine == 0) r.firstBadLine = r.lines;
    }
    std::string t = trimmed(b, e);
    if (!t.empty()) lastLine = t;
    b = e + 1;
  }
  r.endsEarly = len == 0 || text[len - 1] != '\n' || !isClosingLine(lastLine);
  cfgFile* f = cfg.getFile(fileNum);
  if (f)
    for (const data_itm_Base* it : f->items)
      if (!named.count(it)) r.missingItems++;
  return r;
}

/* ---- keeping a copy ------------------------------------------------------ */

/* The whole file, never blocking (a FIFO is refused); false with errno or
** *why set when it cannot be had. */
static bool readAll(const std::string& path, std::string* out, std::string* why = nullptr) {
  long size = 0;
  std::string cause;
  int fd = cfgOpenForReading(path.c_str(), &size, &cause);
  if (fd < 0) {
    if (why) *why = cause;
    return false;
  }
  out->assign((size_t)size, '\0');
  out->resize(cfgReadAndClose(fd, &(*out)[0], (size_t)size));
  return true;
}

static bool sameBytes(const std::string& a, const std::string& b) {
  std::string ta, tb;
  return readAll(a, &ta) && readAll(b, &tb) && ta == tb;
}

static bool copyFile(const std::string& from, const std::string& to) {
  std::string text;
  if (!readAll(from, &text)) return false;
  int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return false;
  bool ok = write(fd, text.data(), text.size()) == (ssize_t)text.size() && fsync(fd) == 0;
  close(fd);
  return ok;
}

std::string keepDamagedCopy(const std::string& path) {
  for (int n = 0; n < 100; n++) {
    std::string name = path + ".damaged" + (n ? "." + std::to_string(n) : std::string());
    struct stat st;
    if (stat(name.c_str(), &st) == 0) {
      if (sameBytes(path, name)) return name;
      continue;
    }
    /* a hard link keeps the very bytes, even after the file is replaced;
    ** of the link's target, since a write replaces the target */
    std::string real = cfgFileTarget(path);
    if (link(real.c_str(), name.c_str()) == 0 || copyFile(real, name)) return name;
    return "";
  }
  return "";
}

/* ---- start-up ------------------------------------------------------------ */

static void report(ErrTrcLog* pErrLog, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
static void report(ErrTrcLog* pErrLog, const char* fmt, ...) {
  char line[700];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  if (pErrLog)
    pErrLog->logMessage(4, "%s", line);
  else
    fprintf(stderr, "%s\n", line);
}

static void reportKept(ErrTrcLog* pErrLog, const std::string& name, const std::string& kept) {
  if (kept.empty())
    report(pErrLog, "no copy of <%s> could be kept; it is rewritten only when a value changes",
           name.c_str());
  else
    report(pErrLog, "<%s> is kept as <%s>; it is rewritten only when a value changes",
           name.c_str(), kept.c_str());
}

static int checkOneFile(generic_cfg& cfg, int i, ErrTrcLog* pErrLog, const int* pTraceLevel) {
  cfgFile* f = cfg.getFile(i);
  std::string text, why;
  struct stat st = {};
  if (stat(f->fileName.c_str(), &st) != 0 && errno == ENOENT) {
    cfg.writeToFile(i);
    TRACE(pTraceLevel, 0, "created <%s> from the defaults\n", f->fileName.c_str());
    return 0;
  }
  if (!readAll(f->fileName, &text, &why)) {
    report(pErrLog, "<%s> cannot be read: %s; started with the defaults", f->fileName.c_str(),
           why.c_str());
    if (S_ISREG(st.st_mode)) reportKept(pErrLog, f->fileName, keepDamagedCopy(f->fileName));
    return 1;
  }
  cfgFileReport r = checkCfgText(cfg, i, text.data(), text.size());
  if (!r.damaged()) return 0;
  std::string kept = keepDamagedCopy(f->fileName);
  char what[200];
  if (r.badLines > 0)
    snprintf(what, sizeof what, "%i lines not understood (first: line %i)%s", r.badLines,
             r.firstBadLine, r.endsEarly ? ", and it ends early" : "");
  else
    snprintf(what, sizeof what, "it ends early (%i items missing)", r.missingItems);
  report(pErrLog, "<%s> is damaged: %s; started with the values it could read",
         f->fileName.c_str(), what);
  reportKept(pErrLog, f->fileName, kept);
  return 1;
}

/* "<target>.tmp.<pid>" of a writer that no longer runs. */
static bool crashedWrite(const char* entry, const std::string& prefix) {
  if (strncmp(entry, prefix.c_str(), prefix.size()) != 0) return false;
  const char* digits = entry + prefix.size();
  if (!*digits || strspn(digits, "0123456789") != strlen(digits)) return false;
  /* saturates: no process has the number INT32_MAX */
  int32_t pid = parseInt32(digits);
  if (pid == (int32_t)getpid()) return true;
  return pid <= 0 || pid == INT32_MAX || (kill((pid_t)pid, 0) != 0 && errno == ESRCH);
}

int removeCrashedWrites(generic_cfg& cfg, ErrTrcLog* pErrLog) {
  int removed = 0;
  for (int i = 0; i < cfg.fileCount(); i++) {
    cfgFile* f = cfg.getFile(i);
    if (!f || f->noName) continue;
    std::string target = cfgFileTarget(f->fileName);
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string prefix = cfgTempPrefix(slash == std::string::npos ? target : target.substr(slash + 1));
    DIR* d = opendir(dir.c_str());
    if (!d) continue;
    while (struct dirent* e = readdir(d)) {
      if (!crashedWrite(e->d_name, prefix)) continue;
      std::string path = (slash == std::string::npos ? "" : dir) + e->d_name;
      if (unlink(path.c_str()) == 0) {
        report(pErrLog, "removed <%s>, left by a write that did not finish", path.c_str());
        removed++;
      }
    }
    closedir(d);
  }
  return removed;
}

int refuseOddCfgFiles(generic_cfg& cfg) {
  int odd = 0;
  for (int i = 0; i < cfg.fileCount(); i++) {
    cfgFile* f = cfg.getFile(i);
    struct stat st;
    if (!f || f->noName || stat(f->fileName.c_str(), &st) != 0 || S_ISREG(st.st_mode)) continue;
    fprintf(stderr,
            "cfgMaster.x: <%s> is %s, not a regular file: the master does not start "
            "(remove it, or put a configuration file there)\n",
            f->fileName.c_str(), cfgFileKind(st.st_mode));
    odd++;
  }
  return odd;
}

int settleStoredValues(generic_cfg& cfg) {
  int settled = 0;
  char text[70000];
  for (int i = 0; i < cfg.fileCount(); i++) {
    cfgFile* f = cfg.getFile(i);
    if (!f || f->noName) continue;
    for (data_itm_Base* it : f->items) {
      int before = it->changeCount;
      it->strOut(text, sizeof text, nullptr, 0, nullptr, false);
      it->strIn(text);
      settled += it->changeCount != before;
    }
  }
  return settled;
}

int prepareCfgFiles(generic_cfg& cfg, ErrTrcLog* pErrLog, const int* pTraceLevel) {
  removeCrashedWrites(cfg, pErrLog);
  int damaged = 0;
  for (int i = 0; i < cfg.fileCount(); i++) {
    cfgFile* f = cfg.getFile(i);
    if (f && !f->noName) damaged += checkOneFile(cfg, i, pErrLog, pTraceLevel);
  }
  return damaged;
}
