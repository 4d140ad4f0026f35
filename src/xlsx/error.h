// The one error type of the workbook-file layer.
//
// Every failure to read or write a workbook file (a missing file, a file that is not a workbook, a
// damaged archive, malformed XML, a part too large to inflate safely, a write that fails) raises a
// FileError whose message names the file and the problem on one line, ready to show to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvane::xlsx {

class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvane::xlsx
