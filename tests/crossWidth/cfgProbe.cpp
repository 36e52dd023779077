/*
** cfgProbe.x: a bare configuration client for the tests that put programs
** of one width against peers of the other.  It registers with the master
** of its own bin directory (the queue keys come from there), subscribes to
** every item, sends the changes it is given, and prints every value it
** then holds in the master's own file format, one named file after the
** other:
**
**     cfgProbe.x [-s NAME VALUE]... [-w]
**       -s   change request for item NAME (text items go quoted); repeatable
**       -w   ask the master to write its files once the changes are echoed
**
** Output: "=== <file name>\n" (or "=== (not saved)\n" for the items no file
** keeps) and the text as the master formats it, file after file.  Compared with the master's saved files, it shows
** that every binary record the master sent was read back as the master
** holds it.  Exit 0 when registered and every change came back; 1 when the
** master did not answer; 2 for a bad command line.
*/
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"

namespace {

struct change {
  const char* name;
  const char* value;
};

/* Poll the link (5 ms apart, at most 3 s) until every changed item has come
** back from the master. */
bool waitForEcho(dovidu_config& cfg, const std::vector<int>& items) {
  std::vector<bool> seen(items.size(), false);
  size_t left = items.size();
  for (int waited = 0; left > 0 && waited < 3000; waited += 5) {
    cfg.serviceCfg(0, 0);
    for (size_t i = 0; i < items.size(); i++)
      if (!seen[i] && cfg.isChanged(items[i], true)) {
        seen[i] = true;
        left--;
      }
    if (left > 0) usleep(5000);
  }
  return left == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<change> changes;
  bool writeFiles = false;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "-s") && i + 2 < argc) {
      changes.push_back({argv[i + 1], argv[i + 2]});
      i += 2;
    } else if (!strcmp(argv[i], "-w")) {
      writeFiles = true;
    } else {
      fprintf(stderr, "usage: cfgProbe.x [-s NAME VALUE]... [-w]\n");
      return 2;
    }
  }

  int traceLevel = 0;
  ErrTrcLog log;
  log.setProgramDir(argv[0]);
  dovidu_config cfg(&traceLevel, &log);
  if (cfg.initDataSet(&traceLevel, &log, 0, "cfgProbe.x", 0, -1) != 0) return 1;
  cfg.addAllItems(2);
  if (cfg.subscribeListSend() != 0) return 1;

  std::vector<int> items;
  for (const change& c : changes) {
    data_itm_Base* it = cfg.findItem(c.name);
    if (it == nullptr) {
      fprintf(stderr, "cfgProbe: no item %s\n", c.name);
      return 2;
    }
    cfg.isChanged(it->index, true);
    cfg.sendChangeRequest(c.name, c.value, it->typeCode == dtSTRING);
    items.push_back(it->index);
  }
  bool echoed = waitForEcho(cfg, items);
  if (writeFiles) cfg.requestFileWrite(-1);

  std::string text(cfgBIG_BUFF_SIZE, '\0');
  for (int f = 0; f < cfg.fileCount(); f++) {
    cfgFile* file = cfg.getFile(f);
    if (file == nullptr) continue;
    int n = cfg.formatValues(f, &text[0], (int)text.size());
    printf("=== %s\n%.*s", file->noName ? "(not saved)" : file->fileName.c_str(), n > 0 ? n : 0,
           text.c_str());
  }
  return echoed ? 0 : 1;
}
