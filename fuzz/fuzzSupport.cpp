/*
** Work directory, quiet shell and queue clean-up of the fuzz harnesses.
*/
#include "fuzz/fuzzSupport.h"

#include "diag/shellSeam.h"
#include "tests/support/testSupport.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string gPath;
testsup::TempDir* gTemp = nullptr; /* when no DOVA_FUZZ_WORK was given */
bool gEntered = false;

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

void removeTree(const std::string& dir) { nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

void removeAll() {
  if (!gEntered) return;
  gEntered = false;
  testsup::removeQueuesFor(gPath);
  if (chdir("/") != 0) {
  }
  if (gTemp) {
    delete gTemp;
    gTemp = nullptr;
  } else {
    removeTree(gPath);
  }
}

std::string absolute(const std::string& p) {
  if (p.empty() || p[0] == '/') return p;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return p;
  return std::string(cwd) + "/" + p;
}

std::string shmNameFor(const std::string& dir) {
  std::string n = "/dovaFuzz";
  for (char c : dir) n += isalnum((unsigned char)c) ? c : '_';
  return n.substr(0, 200);
}

}  // namespace

std::string fuzzShmName() { return shmNameFor(fuzzWorkDir()); }

const std::string& fuzzWorkDir() {
  if (gEntered) return gPath;
  const char* given = getenv("DOVA_FUZZ_WORK");
  if (given && given[0]) {
    gPath = absolute(given);
    mkdir(gPath.c_str(), 0700);
  } else {
    gTemp = new testsup::TempDir();
    gPath = gTemp->path();
  }
  if (chdir(gPath.c_str()) != 0) fuzzFail("cannot enter %s", gPath.c_str());
  gEntered = true;
  /* no harness may set the clock, sync or restart anything */
  setShellHook([](const std::string&, std::string* out) {
    if (out) out->clear();
    return 0;
  });
  atexit(removeAll);
  return gPath;
}

void fuzzRemoveQueues() {
  if (gEntered) testsup::removeQueuesFor(gPath);
}

void fuzzInitialize(int* argc, char*** argv) {
  const char* cleanup = getenv("DOVA_FUZZ_CLEANUP");
  const char* given = getenv("DOVA_FUZZ_WORK");
  if (cleanup && !strcmp(cleanup, "1")) {
    if (given && given[0]) {
      testsup::removeQueuesFor(absolute(given));
      shm_unlink(shmNameFor(absolute(given)).c_str());
      removeTree(absolute(given));
    }
    exit(0);
  }
  /* libFuzzer parses its arguments after this hook: rewrite them in place.
  ** The strings are kept for the life of the process. */
  static std::vector<std::string> kept;
  static std::vector<char*> args;
  kept.reserve((size_t)*argc + 1);
  bool havePrefix = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    static const char* const pathFlags[] = {"-artifact_prefix=", "-exact_artifact_path=",
                                            "-dict=", "-seed_inputs=", nullptr};
    bool done = false;
    for (const char* const* f = pathFlags; *f && !done; ++f) {
      size_t n = strlen(*f);
      if (a.compare(0, n, *f) == 0) {
        /* a prefix ending in '/' keeps it: absolute() only prepends */
        a = std::string(*f) + absolute(a.substr(n));
        havePrefix = havePrefix || !strcmp(*f, "-artifact_prefix=");
        done = true;
      }
    }
    if (!done && i > 0 && a[0] != '-') a = absolute(a);
    kept.push_back(a);
  }
  /* crash files land where the run was started, not in the work directory */
  if (!havePrefix) kept.push_back("-artifact_prefix=" + absolute(".") + "/");
  for (std::string& s : kept) args.push_back(&s[0]);
  args.push_back(nullptr);
  *argc = (int)kept.size();
  *argv = args.data();
  fuzzWorkDir();
}

void fuzzFail(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  fprintf(stderr, "FUZZ CHECK FAILED: ");
  vfprintf(stderr, fmt, ap);
  fprintf(stderr, "\n");
  va_end(ap);
  abort();
}
