// A fixture that gives each test a folder of its own under the system's temporary folder, named
// after the suite's prefix, the process and the test, empty at the start and removed at the end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace quorvane::testing {

class TempFolderTest : public ::testing::Test {
 protected:
  explicit TempFolderTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override;
  void TearDown() override;

  std::filesystem::path dir_;

 private:
  std::string prefix_;
};

}  // namespace quorvane::testing
