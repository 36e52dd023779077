/*
** Timing of the configuration library's bulk paths on a data set shaped
** like the exporter's (311 items of mixed types): formatting and writing a
** file, reading it back, and building and applying the binary answer.
** Prints one line per path with the mean time per run.
*/
#include "config/genericConfig.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

static double usPerRun(int runs, const std::chrono::steady_clock::time_point& t0) {
  auto us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0);
  return us.count() / runs;
}

static void build(generic_cfg& c, const char* path, std::vector<std::string>& names) {
  c.addCfgFile(path, "Primary System Configuration", 2, -1, 5);
  c.addCfgGroup(1, "Basic config Parameters", 0);
  for (int i = 0; i < 311; ++i) names.push_back("Bench_Item_" + std::to_string(i));
  for (int i = 0; i < 311; ++i) {
    const char* n = names[(size_t)i].c_str();
    switch (i % 4) {
      case 0: c.addItemInt(0, i, 1, 255, i, -1000, 1000, n, "int item", nullptr, nullptr, nullptr, nullptr); break;
      case 1: c.addItemFloat(0, i, 1, 255, 0.5f, -30, 30, n, "float item", nullptr, nullptr, nullptr); break;
      case 2: c.addItemIp(0, i, 1, 255, ip_addr_s{{10, 0, 0, 1}}, n, "ip item", nullptr, nullptr); break;
      default: c.addItemText(0, i, 1, 255, "station text value", 0, 60, n, "text item", nullptr, nullptr, nullptr);
    }
  }
}

int main() {
  char dirTemplate[] = "/tmp/cfgBench.XXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  std::string path = std::string(dirTemplate) + "/bench.cfg";
  int level = 0;
  std::vector<std::string> names;
  generic_cfg cfg(&level, nullptr);
  cfg.master = 1;
  build(cfg, path.c_str(), names);
  for (auto* it : cfg.allItems()) it->subscribers.insert(7);

  const int runs = 200;
  static char text[60000];
  auto t0 = std::chrono::steady_clock::now();
  int len = 0;
  for (int i = 0; i < runs; ++i) len = cfg.formatValues(0, text, sizeof text);
  printf("formatValues  %5d bytes  %8.1f us\n", len, usPerRun(runs, t0));

  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) cfg.writeToFile(0);
  printf("writeToFile   (fsync+rename) %8.1f us\n", usPerRun(20, t0));

  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) cfg.readFile(0);
  printf("readFile      %8.1f us\n", usPerRun(runs, t0));

  static uint8_t recs[20000];
  t0 = std::chrono::steady_clock::now();
  int pos = 0;
  for (int i = 0; i < runs; ++i) {
    pos = 0;
    for (auto* it : cfg.allItems()) pos += it->binOut(recs + pos, (int)sizeof recs - pos, 7);
  }
  printf("binOut all    %5d bytes  %8.1f us\n", pos, usPerRun(runs, t0));

  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) cfg.binInList(recs, pos, 7);
  printf("binInList all %8.1f us\n", usPerRun(runs, t0));

  unlink(path.c_str());
  rmdir(dirTemplate);
  return 0;
}
