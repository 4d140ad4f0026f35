// Zip files made of parts given by name and content: workbooks holding hand-made parts.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace quorvane::testing {

// Writes the parts into a new zip file at `path`, deflated, or stored as they are with `stored`
// (so that a part's size, not its compression ratio, meets the reader's limits). Fails the test
// when the file cannot be made.
void WriteZip(const std::filesystem::path& path, const std::map<std::string, std::string>& parts,
              bool stored = false);

}  // namespace quorvane::testing
