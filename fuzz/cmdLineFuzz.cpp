/*
** Fuzz harness: the switch parser (cmdLine::absorb) over the console
** unit's own switch table, with an arbitrary argument vector, and every
** query a caller makes afterwards.
**
** Input: the arguments, separated by NUL bytes (at most 64); argv[0] is
** "doVA.x".  The table is copied for each input, since the parser writes
** its used flags and maxima into it.
*/
#include "app/doVA.h"
#include "cmdline/cmdLine.h"
#include "fuzz/fuzzSupport.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 20000) return 0;
  std::vector<std::string> words{"doVA.x"};
  std::string cur;
  for (size_t i = 0; i < size && words.size() < 65; ++i) {
    if (data[i] == 0) {
      words.push_back(cur);
      cur.clear();
    } else {
      cur += (char)data[i];
    }
  }
  if (words.size() < 65 && (size == 0 || data[size - 1] != 0)) words.push_back(cur);
  if (size == 0) words.pop_back();
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);

  std::vector<SwitchDef> table;
  for (const SwitchDef* row = doVA_switchTable();; ++row) {
    table.push_back(*row);
    table.back().used = false;
    if (row->switchId == -1) break;
  }
  /* the real table as it was before any parse: maxima are written back */
  static std::vector<SwitchDef> pristine(table);
  table = pristine;

  cmdLine cl;
  int r = cl.absorb((int)words.size(), argv.data(), table.data());
  if (r < 0 || r > 4) fuzzFail("absorb result %d", r);
  if (r != cl.errorCode()) fuzzFail("result %d but error code %d", r, cl.errorCode());
  if (!cl.errorText()) fuzzFail("no error text");
  char joined[64];
  for (const SwitchDef& row : table) {
    if (row.switchId < 0) break;
    int id = row.switchId;
    bool present = cl.isPresent(id);
    int n = cl.paramCount(id);
    if (!present && n != 0) fuzzFail("absent switch %d with %d parameters", id, n);
    for (int k = -1; k <= n; ++k) {
      const char* t = cl.paramText(id, k);
      if ((k < 0 || k >= n) && t) fuzzFail("parameter %d of %d exists", k, n);
      if (k >= 0 && k < n && !t) fuzzFail("parameter %d of %d missing", k, n);
      if (t) (void)strlen(t);
      (void)cl.paramInt(id, k);
    }
    for (int sz = 0; sz <= 8; sz += 4) {
      memset(joined, 'x', sizeof joined);
      int l = cl.join(id, 3, joined, sz ? sz : 1, ' ');
      if (l < 0 || l >= (sz ? sz : 1)) fuzzFail("join length %d in %d bytes", l, sz);
      if (present && joined[l] != '\0') fuzzFail("join not terminated");
    }
    int l = cl.join(id, 99, joined, (int)sizeof joined, '\0');
    if (l >= (int)sizeof joined) fuzzFail("join past its buffer");
  }
  for (int i = -1; i <= cl.parameterCount(); ++i) {
    const char* t = cl.parameterAt(i);
    if (t) (void)strlen(t);
  }
  if (r) cl.printHelp("%s");
  return 0;
}
