#include "addin/settings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "host/error.h"

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

namespace {

// The file's sections in order, each with its key/value lines in order.
using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

std::vector<Section> ReadFile(const std::filesystem::path& file) {
  std::vector<Section> sections;
  std::ifstream in(file);
  if (!in) return sections;  // no file yet: nothing stored
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections.push_back({line.substr(1, line.size() - 2), {}});
    } else if (auto eq = line.find('='); eq != std::string::npos && !sections.empty()) {
      sections.back().second.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  return sections;
}

std::string SectionName(const std::string& app_name, const std::string& section) {
  return app_name + "\\" + section;
}

}  // namespace

std::filesystem::path FileSettings::DefaultPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (xdg != nullptr && *xdg != '\0') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : ".") / ".config";
  }
  return base / "quorvane" / "settings.ini";
}

std::string FileSettings::GetSetting(const std::string& app_name, const std::string& section,
                                     const std::string& key, const std::string& default_value) {
  const std::string name = SectionName(app_name, section);
  for (const auto& [section_name, entries] : ReadFile(file_)) {
    if (section_name != name) continue;
    for (const auto& [k, v] : entries) {
      if (k == key) return v;
    }
  }
  return default_value;
}

void FileSettings::SaveSetting(const std::string& app_name, const std::string& section,
                               const std::string& key, const std::string& value) {
  if (key.find('=') != std::string::npos || value.find('\n') != std::string::npos) {
    throw host::HostError("Invalid procedure call or argument");
  }
  std::vector<Section> sections = ReadFile(file_);
  const std::string name = SectionName(app_name, section);
  Section* target = nullptr;
  for (Section& s : sections) {
    if (s.first == name) target = &s;
  }
  if (target == nullptr) target = &sections.emplace_back(name, Section::second_type{});
  bool found = false;
  for (auto& [k, v] : target->second) {
    if (k == key) {
      v = value;
      found = true;
    }
  }
  if (!found) target->second.emplace_back(key, value);

  std::ostringstream text;
  for (const auto& [section_name, entries] : sections) {
    text << '[' << section_name << "]\n";
    for (const auto& [k, v] : entries) text << k << '=' << v << '\n';
  }
  std::error_code error;
  std::filesystem::create_directories(file_.parent_path(), error);
  std::filesystem::path temporary = file_;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text.str();
    if (!out.flush()) throw host::HostError("Cannot write settings file " + file_.string());
  }
  std::filesystem::rename(temporary, file_, error);
  if (error) throw host::HostError("Cannot write settings file " + file_.string());
}

}  // namespace quorvane::addin
