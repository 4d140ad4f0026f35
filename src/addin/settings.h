// The per-user settings store: texts under an application name, a section and a key.
//
// The add-in keeps one setting in it ("DisplayOnConnect" of the development-environment cycle).
// The Windows add-in keeps it in the registry; MemorySettings serves the command line and the
// tests. Failures to read or write raise a HostError.
#pragma once

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

}  // namespace quorvane::addin
