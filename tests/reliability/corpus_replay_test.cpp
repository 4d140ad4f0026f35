// Replays every seed and every finding kept in fuzz/corpus through the fuzz targets' own
// functions, without libFuzzer: a promise broken by any of them aborts the test program, and the
// sanitizer build reports memory and undefined-behaviour faults on them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  void (*function)(const std::uint8_t*, std::size_t);
};

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, EveryFileOfTheCorpus) {
  const fs::path folder = fs::path(QUORVANE_CORPUS_DIR) / GetParam().name;
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  std::size_t files = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    GetParam().function(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++files;
  }
  EXPECT_GT(files, 0u) << "an empty corpus";
  // The empty input, which every target must take too.
  GetParam().function(nullptr, 0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay,
                         ::testing::Values(Target{"xlsx_file", fuzz::XlsxFile},
                                           Target{"xlsx_parts", fuzz::XlsxParts},
                                           Target{"comment_restore", fuzz::CommentRestore},
                                           Target{"range_address", fuzz::RangeAddress},
                                           Target{"text_conversions", fuzz::TextConversions},
                                           Target{"sorted_chars", fuzz::SortedCharsTarget},
                                           Target{"csv_text", fuzz::CsvText}),
                         [](const ::testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quorvane::testing
