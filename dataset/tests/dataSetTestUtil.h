/*
** Shared set-up of the data set tests: each test runs inside its own
** temporary directory, which is both where the configuration files go and
** the key path of the configuration queues; the queues are removed after.
*/
#ifndef DATASET_TESTS_DATASETTESTUTIL_H
#define DATASET_TESTS_DATASETTESTUTIL_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "dataset/doviduConfig.h"
#include "tests/support/testSupport.h"

class DataSetInTempDir : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.enter());
  }
  void TearDown() override {
    EXPECT_TRUE(dir.leave());
  }

  /* A master data set as the configuration master builds it: items added
  ** and the files of the current directory read. */
  std::unique_ptr<dovidu_config> master(int aux = 0, int flashRecord = -1) {
    auto cfg = std::make_unique<dovidu_config>(&traceLevel, nullptr);
    EXPECT_EQ(0, cfg->initDataSet(&traceLevel, nullptr, 1, "cfgMaster.x", aux, flashRecord));
    return cfg;
  }

  /* The value of an item as text, in its own format. */
  static std::string valueText(generic_cfg& cfg, int index) {
    data_itm_Base* it = cfg.getItem(index);
    if (it == nullptr) return "<none>";
    char buf[400];
    it->strOut(buf, sizeof buf, nullptr, 0, nullptr, false);
    return buf;
  }

  testsup::WorkDir dir;
  int traceLevel = 0;
};

#endif
