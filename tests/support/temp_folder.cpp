#include "support/temp_folder.h"

#include <unistd.h>

namespace quorvane::testing {

namespace fs = std::filesystem;

void TempFolderTest::SetUp() {
  dir_ =
      fs::temp_directory_path() / (prefix_ + "_" + std::to_string(::getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir_);
  fs::create_directories(dir_);
}

void TempFolderTest::TearDown() { fs::remove_all(dir_); }

}  // namespace quorvane::testing
