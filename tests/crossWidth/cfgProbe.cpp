/*
** cfgProbe.x [-s NAME VALUE]... [-w]: a bare client of the master of its bin
** directory for the cross-width tests.  Subscribes to every item, sends the
** changes (-s), has the master write its files once they are echoed (-w),
** and prints every value it holds in the file format, file after file
** ("=== <file name>" or "=== (not saved)"): compared with the master's
** files, every binary record was read back as the master holds it.  Exit 0
** when every change came back, 1 when the master did not answer, 2 for a
** bad command line.
*/
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"

int main(int argc, char** argv) {
  std::vector<const char*> changes;  /* name, value, name, value, ... */
  bool writeFiles = false;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "-s") && i + 2 < argc) {
      changes.insert(changes.end(), {argv[i + 1], argv[i + 2]});
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

  std::vector<int> waiting;
  for (size_t c = 0; c < changes.size(); c += 2) {
    data_itm_Base* it = cfg.findItem(changes[c]);
    if (it == nullptr) {
      fprintf(stderr, "cfgProbe: no item %s\n", changes[c]);
      return 2;
    }
    cfg.isChanged(it->index, true);
    cfg.sendChangeRequest(changes[c], changes[c + 1], it->typeCode == dtSTRING);
    waiting.push_back(it->index);
  }
  /* every changed item back from the master: polled 5 ms apart, 3 s at most */
  for (int waited = 0; !waiting.empty() && waited < 3000; waited += 5, usleep(5000)) {
    cfg.serviceCfg(0, 0);
    for (size_t i = waiting.size(); i-- > 0;)
      if (cfg.isChanged(waiting[i], true)) waiting.erase(waiting.begin() + (long)i);
  }
  if (writeFiles) cfg.requestFileWrite(-1);

  std::string text(cfgBIG_BUFF_SIZE, '\0');
  for (int f = 0; f < cfg.fileCount(); f++) {
    cfgFile* file = cfg.getFile(f);
    if (file == nullptr) continue;
    int n = cfg.formatValues(f, &text[0], (int)text.size());
    printf("=== %s\n%.*s", file->noName ? "(not saved)" : file->fileName.c_str(), n > 0 ? n : 0,
           text.c_str());
  }
  return waiting.empty() ? 0 : 1;
}
