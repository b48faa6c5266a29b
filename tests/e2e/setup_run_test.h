// The common frame of end-to-end tests that run setup files: a fresh log,
// the folders a test names removed afterwards, and no temporary folder of a
// setup left behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

class SetupRunTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearSetupLog(); }
  void TearDown() override {
    for (const auto& d : cleanup_) RemoveAll(d);
    EXPECT_TRUE(EktmpFolders().empty());
  }
  std::vector<std::string> cleanup_;
};

}  // namespace e2e
