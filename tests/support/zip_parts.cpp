#include "support/zip_parts.h"

#include <zip.h>

#include <gtest/gtest.h>

namespace quorvane::testing {

void WriteZip(const std::filesystem::path& path, const std::map<std::string, std::string>& parts,
              bool stored) {
  int code = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  ASSERT_NE(zip, nullptr) << path;
  for (const auto& [part, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
    const zip_int64_t index = zip_file_add(zip, part.c_str(), source, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0) << part;
    if (stored) zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  ASSERT_EQ(zip_close(zip), 0) << path;
}

}  // namespace quorvane::testing
