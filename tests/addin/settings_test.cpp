// The per-user settings file: where it lives, and values kept across store instances.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "addin/settings.h"

namespace quorvane::addin {
namespace {

namespace fs = std::filesystem;

class FileSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("quorvane_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(FileSettingsTest, DefaultPathFollowsXdgConfigHome) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  EXPECT_EQ(FileSettings::DefaultPath(), dir_ / "quorvane" / "settings.ini");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(FileSettings::DefaultPath().parent_path().parent_path().filename(), ".config");
  if (old) {
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

TEST_F(FileSettingsTest, ValuesSurviveANewStoreAndKeepOtherEntries) {
  const fs::path file = dir_ / "quorvane" / "settings.ini";
  FileSettings first(file);
  EXPECT_EQ(first.GetSetting("Quorvane", "Settings", "DisplayOnConnect", "0"), "0");  // no file
  first.SaveSetting("Quorvane", "Settings", "DisplayOnConnect", "1");
  first.SaveSetting("Quorvane", "Other", "DisplayOnConnect", "x=y");
  first.SaveSetting("Quorvane", "Settings", "DisplayOnConnect", "0");
  first.SaveSetting("Quorvane", "Settings", "Second", "");

  FileSettings second(file);
  EXPECT_EQ(second.GetSetting("Quorvane", "Settings", "DisplayOnConnect", "?"), "0");
  EXPECT_EQ(second.GetSetting("Quorvane", "Other", "DisplayOnConnect", "?"), "x=y");
  EXPECT_EQ(second.GetSetting("Quorvane", "Settings", "Second", "?"), "");
  EXPECT_EQ(second.GetSetting("quorvane", "Settings", "DisplayOnConnect", "?"), "?");
  std::ifstream in(file);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all,
            "[Quorvane\\Settings]\nDisplayOnConnect=0\nSecond=\n[Quorvane\\Other]\n"
            "DisplayOnConnect=x=y\n");
}

}  // namespace
}  // namespace quorvane::addin
