// The per-user settings store: texts under an application name, a section and a key.
//
// The add-in keeps one setting in it ("DisplayOnConnect" of the development-environment cycle).
// FileSettings is this platform's store, a small text file in the user's configuration directory;
// MemorySettings serves the tests. Failures to read or write raise a HostError.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <tuple>

namespace quorvane::addin {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or `default_value` when none is stored.
  virtual std::string GetSetting(const std::string& app_name, const std::string& section,
                                 const std::string& key, const std::string& default_value) = 0;
  virtual void SaveSetting(const std::string& app_name, const std::string& section,
                           const std::string& key, const std::string& value) = 0;
};

class MemorySettings : public SettingsStore {
 public:
  std::string GetSetting(const std::string& app_name, const std::string& section,
                         const std::string& key, const std::string& default_value) override;
  void SaveSetting(const std::string& app_name, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  std::map<std::tuple<std::string, std::string, std::string>, std::string> values_;
};

// Settings in a file of lines "[<app name>\<section>]" followed by "<key>=<value>" lines. The whole
// file is read at each GetSetting and rewritten (through a temporary file) at each SaveSetting, so
// two instances on one file see each other's changes.
class FileSettings : public SettingsStore {
 public:
  explicit FileSettings(std::filesystem::path file) : file_(std::move(file)) {}
  // $XDG_CONFIG_HOME/quorvane/settings.ini, or ~/.config/quorvane/settings.ini when
  // XDG_CONFIG_HOME is unset or empty.
  static std::filesystem::path DefaultPath();

  const std::filesystem::path& file() const { return file_; }
  std::string GetSetting(const std::string& app_name, const std::string& section,
                         const std::string& key, const std::string& default_value) override;
  void SaveSetting(const std::string& app_name, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  std::filesystem::path file_;
};

}  // namespace quorvane::addin
