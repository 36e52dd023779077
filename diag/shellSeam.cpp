/*
** The shell seam: system() and popen() for the whole console unit, with a
** hook that lets a test see the command instead of running it.
*/
#include "diag/shellSeam.h"

#include <cstdlib>
#include <cstring>
#include <set>

static shellHook gHook;
static std::set<FILE*> gHookedStreams;  /* streams made by the hook, closed with fclose */

void setShellHook(shellHook hook) { gHook = std::move(hook); }

int runShell(const char* command) {
  if (gHook) return gHook(command, nullptr);
  return system(command);
}

FILE* openShell(const char* command, const char* mode) {
  if (!gHook) return popen(command, mode);
  std::string output;
  gHook(command, &output);
  FILE* f = tmpfile();
  if (f == nullptr) return nullptr;
  fwrite(output.data(), 1, output.size(), f);
  rewind(f);
  gHookedStreams.insert(f);
  return f;
}

int closeShell(FILE* f) {
  if (f == nullptr) return -1;
  auto it = gHookedStreams.find(f);
  if (it != gHookedStreams.end()) {
    gHookedStreams.erase(it);
    fclose(f);
    return 0;
  }
  return pclose(f);
}

std::string shellQuote(const char* text) {
  std::string q = "'";
  for (const char* p = text; *p; p++) {
    if (*p == '\'') q += "'\\''";
    else q += *p;
  }
  q += '\'';
  return q;
}

static bool shellPlain(const char* s) {
  if (*s == '\0') return false;
  for (; *s != '\0'; ++s) {
    char c = *s;
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '/' || c == '.' || c == '_' || c == '-' || c == '+';
    if (!ok) return false;
  }
  return true;
}

std::string shellWord(const char* text) { return shellPlain(text) ? std::string(text) : shellQuote(text); }
