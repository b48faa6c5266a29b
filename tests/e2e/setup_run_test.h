// The common frame of end-to-end tests that run setup files: a fresh log and
// no temporary folder of an earlier run before the test; after it, whether it
// passed or not, the registry keys and values and the files and folders it
// named are removed, and no temporary folder of a setup may be left behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace e2e {

class SetupRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSetupLog();
    for (const auto& f : EktmpFolders()) RemoveAll(TempUnix() + "/" + f);
  }

  void TearDown() override {
    for (const auto& [key, value] : regValues_) WineOutput({"reg", "delete", key, "/v", value, "/f"});
    for (const auto& k : regKeys_) WineOutput({"reg", "delete", k, "/f"});
    for (const auto& k : regKeys32_) WineOutput({"reg", "delete", k, "/f", "/reg:32"});
    for (const auto& d : cleanup_) RemoveAll(d);
    // The packages of a failed test stay for a look; a passing test's go.
    for (const auto& d : TakeProductFolders())
      if (!HasFailure()) RemoveAll(d);
    const auto left = EktmpFolders();
    EXPECT_TRUE(left.empty()) << "left over: " << (left.empty() ? "" : left[0]);
  }

  // Removed after the test: files and folders (Unix paths), registry keys
  // with their subkeys ("HKLM\\Software\\..."; also in the 32-bit view), and
  // single values (key, value name).
  std::vector<std::string> cleanup_, regKeys_, regKeys32_;
  std::vector<std::pair<std::string, std::string>> regValues_;
};

}  // namespace e2e
