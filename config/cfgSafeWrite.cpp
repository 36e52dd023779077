/*
** Writing and opening configuration files the way the box needs them.
**
** The box keeps its files on flash behind symbolic links, with modes and
** owners its other programs rely on.  A write therefore goes to the end of
** the link chain (the links stay), through a temporary file beside that
** target ("<target>.tmp.<pid>"), which gets the target's mode and owner,
** is flushed to the disk, renamed over the target, and then the directory
** itself is flushed so the rename survives a power cut.  Every step is
** checked; a failure removes the temporary file and names its cause ("disk
** full", "read-only", "directory gone", ...).  Not for reading the text
** itself: see cfgFiles.cpp.
**
** Opening for reading never blocks: a FIFO or a device where a file should
** be is refused at once instead of waiting for a writer that never comes.
*/
#include "config/genericConfig.h"
#include "config/cfgInternal.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

/* Plain words for the causes an operator can act on. */
static std::string causeOf(int err) {
  const char* words = nullptr;
  switch (err) {
    case ENOSPC: words = "disk full"; break;
    case EDQUOT: words = "disk quota reached"; break;
    case EROFS: words = "read-only file system"; break;
    case ENOENT: words = "directory gone"; break;
    case EACCES:
    case EPERM: words = "permission denied"; break;
    case EISDIR: words = "a directory is in the way"; break;
    case EFBIG: words = "file too large"; break;
    default: break;
  }
  std::string s = strerror(err);
  return words ? std::string(words) + " (" + s + ")" : s;
}

static std::string dirOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string cfgFileTarget(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) { /* the kernel's own limit on a chain */
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char link[PATH_MAX];
    ssize_t n = readlink(p.c_str(), link, sizeof link - 1);
    if (n <= 0) return p;
    link[n] = '\0';
    p = link[0] == '/' ? std::string(link) : dirOf(p) + "/" + link;
  }
  return p;
}

std::string cfgTempPrefix(const std::string& target) { return target + ".tmp."; }

const char* cfgFileKind(unsigned mode) {
  if (S_ISREG(mode)) return "a regular file";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

int cfgOpenForReading(const char* path, long* size, std::string* cause) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *cause = causeOf(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *cause = std::string("it is ") + cfgFileKind(st.st_mode) + ", not a regular file";
    close(fd);
    return -1;
  }
  if (st.st_size > cfgMAX_FILE_BYTES) {
    *cause = "it has " + std::to_string((long long)st.st_size) + " bytes, more than the " +
             std::to_string(cfgMAX_FILE_BYTES / (1024 * 1024)) + " MB a configuration file may have";
    close(fd);
    return -1;
  }
  *size = (long)st.st_size;
  return fd;
}

size_t cfgReadAndClose(int fd, char* buf, size_t size) {
  size_t n = 0;
  while (n < size) {
    ssize_t r = read(fd, buf + n, size - n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    n += (size_t)r;
  }
  close(fd);
  return n;
}

/* One checked step: on failure fill *cause and say so. */
static bool step(bool ok, const char* what, const std::string& name, std::string* cause) {
  if (!ok && cause->empty()) *cause = causeOf(errno) + " while " + what + " <" + name + ">";
  return ok;
}

int cfgWriteFileSafely(const std::string& path, const char* text, size_t len,
                       std::string* cause) {
  cause->clear();
  std::string target = cfgFileTarget(path);
  struct stat old;
  bool exists = stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) {
    step(false, "looking at", target, cause);
    return 1;
  }
  if (exists && !S_ISREG(old.st_mode)) {
    *cause = std::string("<") + target + "> is " + cfgFileKind(old.st_mode) +
             ", not a regular file";
    return 1;
  }
  if (exists && ((old.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)) {
    char mode[8];
    snprintf(mode, sizeof mode, "%04o", (unsigned)(old.st_mode & 07777));
    *cause = std::string("read-only file <") + target + "> (mode " + mode + ")";
    return 1;
  }
  std::string tmp = cfgTempPrefix(target) + std::to_string((long)getpid());
  unlink(tmp.c_str()); /* our own leftover from a write that failed before */
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (!step(fd >= 0, "creating", tmp, cause)) return 1;
  bool ok = true;
  if (exists) {
    ok = step(fchmod(fd, old.st_mode & 07777) == 0, "setting the mode of", tmp, cause);
    if (ok && (old.st_uid != geteuid() || old.st_gid != getegid()))
      ok = step(fchown(fd, old.st_uid, old.st_gid) == 0, "setting the owner of", tmp, cause);
  }
  size_t done = 0;
  while (ok && done < len) {
    ssize_t n = write(fd, text + done, len - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    ok = step(n > 0, "writing", tmp, cause);
    if (ok) done += (size_t)n;
  }
  ok = ok && step(fsync(fd) == 0, "flushing", tmp, cause);
  ok = step(close(fd) == 0, "closing", tmp, cause) && ok;
  ok = ok && step(rename(tmp.c_str(), target.c_str()) == 0, "renaming over", target, cause);
  if (!ok) {
    unlink(tmp.c_str());
    return 1;
  }
  std::string dir = dirOf(target);
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!step(dfd >= 0, "opening the directory", dir, cause)) return 1;
  ok = step(fsync(dfd) == 0, "flushing the directory", dir, cause);
  close(dfd);
  return ok ? 0 : 1;
}
