// The shared string table (xl/sharedStrings.xml) and the plain text of rich text runs.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane::xlsx {

// More strings than this make the table unreadable (a file built to exhaust memory).
inline constexpr std::size_t kMaxSharedStrings = 2'000'000;
// The table's strings in order; `file` and `part` name the source in errors.
std::vector<std::string> ParseSharedStrings(const std::string& xml, const std::string& file,
                                            const std::string& part);
// The plain text of a string item or comment text: its <t> pieces, phonetic runs left out.
std::string RichText(pugi::xml_node node);

}  // namespace quorvane::xlsx
