#include "addin/settings.h"

namespace quorvane::addin {

std::string MemorySettings::GetSetting(const std::string& app_name, const std::string& section,
                                       const std::string& key, const std::string& default_value) {
  auto it = values_.find({app_name, section, key});
  return it == values_.end() ? default_value : it->second;
}

void MemorySettings::SaveSetting(const std::string& app_name, const std::string& section,
                                 const std::string& key, const std::string& value) {
  values_[{app_name, section, key}] = value;
}

}  // namespace quorvane::addin
