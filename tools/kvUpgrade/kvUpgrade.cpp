/*
** kvUpgrade.x: a stand-in for the box's maintenance tool.
**
** The console unit runs the tool through the shell to power down (-s),
** restart (-r), restore factory defaults (-d) and fetch a software update
** (-t host file).  This stand-in never restarts or powers anything down:
** it appends one line per call to its call log (printing a note only when
** its output is not a terminal) and, for -t, writes a
** growing file under "<its directory>/update/" while printing progress,
** plus an "update.sh" that only prints what an installer would.
**
** Call log: $KVUPGRADE_LOG, else "kvUpgrade.log" next to the program.
** One line per call:  "<UTC date>T<time>Z<TAB><argv[1..] shell-quoted>"
**
** Download knobs (environment):
**   KVUPGRADE_SIZE    bytes of the fetched file      default 1500000
**   KVUPGRADE_MS      duration of the fetch in ms    default 3000
**   KVUPGRADE_RESULT  "ok", "empty" (zero bytes), "none" (no file)
*/
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "diag/shellSeam.h"

namespace {

const int kFetchSteps = 20;
const long kMaxSize = 1L << 30;
const long kMaxMs = 600000;

std::string gDir;  /* the program's own directory */

std::string ownDirectory(const char* argv0) {
  std::string p = argv0 ? argv0 : "";
  if (p.find('/') == std::string::npos) {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    p = buf;
  }
  size_t slash = p.rfind('/');
  return slash == 0 ? "/" : p.substr(0, slash);
}

bool plainWord(const char* s) {
  if (*s == '\0') return false;
  for (; *s; ++s)
    if (!(isalnum((unsigned char)*s) || strchr("/._-+:,=", *s))) return false;
  return true;
}

void logCall(int argc, char** argv) {
  const char* env = getenv("KVUPGRADE_LOG");
  std::string path = (env && *env) ? env : gDir + "/kvUpgrade.log";
  FILE* f = fopen(path.c_str(), "a");
  if (f == nullptr) {
    fprintf(stderr, "kvUpgrade.x: cannot append to %s: %s\n", path.c_str(), strerror(errno));
    return;
  }
  time_t now = time(nullptr);
  struct tm t;
  gmtime_r(&now, &t);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &t);
  std::string line = stamp;
  line += '\t';
  for (int i = 1; i < argc; i++) {
    if (i > 1) line += ' ';
    line += plainWord(argv[i]) ? std::string(argv[i]) : shellQuote(argv[i]);
  }
  fprintf(f, "%s\n", line.c_str());
  fclose(f);
}

long envLong(const char* name, long dflt, long lo, long hi) {
  const char* v = getenv(name);
  if (v == nullptr || *v == '\0') return dflt;
  char* end = nullptr;
  long n = strtol(v, &end, 10);
  if (*end != '\0' || n < lo || n > hi) return dflt;
  return n;
}

void sleepMs(long ms) {
  if (ms <= 0) return;
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

/* ---- the switches ------------------------------------------------------ */

/* The console runs these with system(), so they share its terminal: on a
** terminal (the menu window) the note would scribble over the menu, and the
** call log already tells what was asked. */
int note(const char* text) {
  if (!isatty(STDOUT_FILENO)) printf("kvUpgrade: %s\n", text);
  return 0;
}

int powerDown(char**) { return note("power down requested (stand-in: nothing powered down)"); }
int restart(char**) { return note("restart requested (stand-in: nothing restarted)"); }
int factoryDefaults(char**) { return note("factory defaults requested (stand-in: configuration kept)"); }

/* The installer the console runs after a good download: prints only. */
bool writeInstaller(const std::string& updateDir, long stepMs) {
  std::string path = updateDir + "/update.sh";
  FILE* f = fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  static const char* const lines[] = {"Verifying package ...", "Unpacking ...",
                                      "Installing console ...", "Installing exporter ...",
                                      "Update complete, restart to apply", nullptr};
  fprintf(f, "#!/bin/sh\n# kvUpgrade.x stand-in installer: installs nothing\n");
  for (const char* const* l = lines; *l; ++l) {
    fprintf(f, "echo '%s'\n", *l);
    if (stepMs > 0) fprintf(f, "sleep %ld.%03ld\n", stepMs / 1000, stepMs % 1000);
  }
  fclose(f);
  return chmod(path.c_str(), 0755) == 0;
}

/* Appends `bytes` filler bytes to the download. */
bool growFile(FILE* f, long bytes) {
  static char block[4096];
  memset(block, 'u', sizeof block);
  while (bytes > 0) {
    size_t n = bytes > (long)sizeof block ? sizeof block : (size_t)bytes;
    if (fwrite(block, 1, n, f) != n) return false;
    bytes -= (long)n;
  }
  return fflush(f) == 0;
}

bool validFileName(const char* name) {
  return *name != '\0' && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
         strcmp(name, "..") != 0;
}

int fetch(char** args) {
  const char* host = args[0];
  const char* name = args[1];
  struct in_addr addr;
  if (inet_pton(AF_INET, host, &addr) != 1) {
    fprintf(stderr, "kvUpgrade.x: bad host address '%s'\n", host);
    return 2;
  }
  if (!validFileName(name)) {
    fprintf(stderr, "kvUpgrade.x: bad update file name\n");
    return 2;
  }
  long size = envLong("KVUPGRADE_SIZE", 1500000, 0, kMaxSize);
  long ms = envLong("KVUPGRADE_MS", 3000, 0, kMaxMs);
  const char* result = getenv("KVUPGRADE_RESULT");
  std::string mode = result ? result : "ok";
  std::string updateDir = gDir + "/update";
  mkdir(updateDir.c_str(), 0755);
  printf("Fetching %s from %s\n", name, host);
  fflush(stdout);
  if (mode == "none") {
    sleepMs(ms);
    printf("Error: %s not found on %s\n", name, host);
    return 0;
  }
  std::string path = updateDir + "/" + name;
  FILE* f = fopen(path.c_str(), "w");
  if (f == nullptr) {
    printf("Error: cannot write %s: %s\n", path.c_str(), strerror(errno));
    return 0;
  }
  long total = mode == "empty" ? 0 : size;
  for (int step = 1; step <= kFetchSteps; step++) {
    long chunk = total * step / kFetchSteps - total * (step - 1) / kFetchSteps;
    if (!growFile(f, chunk)) break;
    printf("%3d%% %ld bytes\n", step * 100 / kFetchSteps, total * step / kFetchSteps);
    fflush(stdout);
    sleepMs(ms / kFetchSteps);
  }
  fclose(f);
  if (total > 0) writeInstaller(updateDir, ms / kFetchSteps);
  printf("Download of %s done\n", name);
  return 0;
}

int help(char**);

struct switchRow {
  const char* name;
  int args;
  int (*run)(char** args);
  const char* help;
};

const switchRow switches[] = {
    {"-s", 0, powerDown, "power the box down (logged only)"},
    {"-r", 0, restart, "restart the box (logged only)"},
    {"-d", 0, factoryDefaults, "restore factory defaults (logged only)"},
    {"-t", 2, fetch, "<host-ip> <file>: fetch <file> into <dir>/update/, with progress"},
    {"-h", 0, help, "this help"},
    {nullptr, -1, nullptr, nullptr},
};

int help(char**) {
  printf("kvUpgrade.x - stand-in for the box's maintenance tool; changes nothing on the machine\n"
         "usage: kvUpgrade.x <switch> [arguments]\n");
  for (const switchRow* s = switches; s->name; ++s) printf("  %s  %s\n", s->name, s->help);
  printf("Every call is appended to $KVUPGRADE_LOG, else to kvUpgrade.log next to the program.\n"
         "-t knobs: KVUPGRADE_SIZE (bytes, default 1500000), KVUPGRADE_MS (default 3000),\n"
         "          KVUPGRADE_RESULT ok | empty | none\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN); /* a reader that went away must not cut the call log short */
  gDir = ownDirectory(argc > 0 ? argv[0] : nullptr);
  logCall(argc, argv);
  if (argc < 2) {
    help(nullptr);
    return 2;
  }
  for (const switchRow* s = switches; s->name; ++s) {
    if (strcmp(argv[1], s->name) != 0) continue;
    if (argc - 2 != s->args) {
      fprintf(stderr, "kvUpgrade.x: %s takes %d argument(s)\n", s->name, s->args);
      return 2;
    }
    return s->run(argv + 2);
  }
  fprintf(stderr, "kvUpgrade.x: unknown switch '%s' (-h for help)\n", argv[1]);
  return 2;
}
