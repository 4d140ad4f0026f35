#include "marks/marks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/conversions.h"
#include "host/locale.h"

namespace quorvane::testing {
namespace {

using marks::AddinText;
using marks::MemoSetting;
using marks::ParsedMemo;

constexpr double kNow = 45293.58783564815;  // 1/2/2024 14:06:29

// The timestamps of three locales: en-US, de-DE and one with separators of several bytes.
std::vector<std::string> Timestamps() {
  host::LocaleFormat german;
  german.date_separator = ".";
  german.order = host::LocaleFormat::DateOrder::kDayMonthYear;
  host::LocaleFormat wide;
  wide.date_separator = "\xE2\x80\x8A/";  // a hair space and a solidus
  wide.time_separator = "\xEF\xBC\x9A";   // a full-width colon
  return {marks::BlockTimestamp(host::EnUsConversions(), kNow),
          marks::BlockTimestamp(host::LocaleConversions(german), kNow),
          marks::BlockTimestamp(host::LocaleConversions(wide), kNow)};
}

// Every block the add-in writes, under each locale's timestamp.
std::vector<std::string> AllBlocks() {
  std::vector<std::string> blocks;
  for (const std::string& stamp : Timestamps()) {
    blocks.push_back(marks::Block(stamp, marks::ResultBody(1, "apple", 2)));
    blocks.push_back(marks::Block(stamp, marks::ResultBody(3, "line one\n>>>\nline two", 0)));
    blocks.push_back(marks::Block(stamp, marks::RoundingBody("$A$1", "$C$7")));
    blocks.push_back(marks::Block(stamp, marks::TransposeBody("132.45", "123.45")));
    blocks.push_back(marks::Block(stamp, marks::YearBody("1/5/2024", "1/5/2023")));
  }
  return blocks;
}

TEST(MarksBlockTest, WritesTheBlocksAsTheUserReadsThem) {
  EXPECT_EQ(Timestamps()[0], "1/2 14:06:29");
  EXPECT_EQ(Timestamps()[1], "1.2 14:06:29");
  EXPECT_EQ(marks::Block("1/2 14:06:29", marks::ResultBody(1, "apple", 2)),
            "<<< 1/2 14:06:29:\nThis list has 1 apple.\nOther list has 2.\n>>>");
  EXPECT_EQ(marks::ResultBody(2, "7", 1), "This list has 2 7's.\nOther list has 1.");
  EXPECT_EQ(marks::RoundingBody("$A$1", "$C$7"),
            "Rounding Error $A$1 and $C$7 for Range 1 and 2, respectively.  Try Options tab to "
            "force rounding to 2 digits.");
  EXPECT_EQ(marks::TransposeBody("12", "21"), "Possible Transpose 12 and 21");
  EXPECT_EQ(marks::YearBody("a", "b"), "Possible Year Error a and b");
  EXPECT_EQ(marks::FormatMemo(16777215, 1), "\n\n<<<zvk_color=16777215,zvk_pattern=1>>>");
}

// What a marking writes: its block and the memo in front of the user's note; then diagnoses and
// later markings add their blocks in front. All of it is found again and cut, and the note stays.
TEST(MarksBlockTest, EveryBlockReadsBackAndCutsToTheUsersNote) {
  const std::vector<std::string> notes = {"", "my note", "<<< not ours >>>", "\n>>>\n",
                                          "<<<zvk_color=1,zvk_pattern=1>>>"};
  for (const std::string& block : AllBlocks()) {
    for (const std::string& note : notes) {
      SCOPED_TRACE(block + " | " + note);
      const std::string memo = marks::FormatMemo(65535, 1);
      const std::string first = block + memo + note;
      AddinText found = marks::FindAddinText(first);
      EXPECT_EQ(found.begin, 0u);
      EXPECT_EQ(found.memo, block.size() + 2);
      EXPECT_EQ(found.end, block.size() + memo.size());
      EXPECT_EQ(marks::CutBlocks(first), note);

      const std::string more = block + "\n" + block + "\n" + first;
      found = marks::FindAddinText(more);
      EXPECT_EQ(found.begin, 0u);
      EXPECT_EQ(found.memo, more.size() - note.size() - memo.size() + 2);
      EXPECT_EQ(marks::CutBlocks(more), note);

      // A block written in front of a note that is kept by the memo of an earlier marking.
      EXPECT_EQ(marks::CutBlocks(block + "\n" + memo + note), note);
    }
  }
}

// Without a memo after them, the blocks end at the first closing after the last block's first line:
// a value's own "\n>>>" is told apart only by what follows the add-in's text.
TEST(MarksBlockTest, BlocksWithoutAMemoCutToTheNote) {
  for (const std::string& block : AllBlocks()) {
    SCOPED_TRACE(block);
    if (block.find("\n>>>") != block.size() - 4) {
      EXPECT_EQ(marks::CutBlocks(block + "\nnote"),
                block.substr(block.find("\n>>>") + 4) + "\nnote");
      continue;
    }
    const AddinText found = marks::FindAddinText(block + "\nnote");
    EXPECT_EQ(found.begin, 0u);
    EXPECT_EQ(found.end, block.size());
    EXPECT_EQ(found.memo, AddinText::kNone);
    EXPECT_EQ(marks::CutBlocks(block + "\nnote"), "\nnote");
    EXPECT_EQ(marks::CutBlocks(block), "");
  }
}

TEST(MarksBlockTest, TheUsersOwnMarkersAreNotTheAddins) {
  for (const std::string note :
       {"<<< 1/2 14:06:29:\nnever closed", "<<< 1/2 14:06:29 no colon\n>>>",
        "<<<1/2 14:06:29:\n>>>", "<<< 123/2 14:06:29:\n>>>", "<<< 1/2 4:06:29:\n>>>",
        "just >>> and <<< here", ""}) {
    SCOPED_TRACE(note);
    EXPECT_EQ(marks::FindAddinText(note).begin, AddinText::kNone);
    EXPECT_EQ(marks::CutBlocks(note), note);
  }
}

TEST(MarksBlockTest, AMemoLeftOpenIsCutToTheEnd) {
  const std::string block = marks::Block("1/2 14:06:29", "x");
  const std::string text = "before " + block + "\n\n<<<zvk_color=5,zvk_pattern=1 and more";
  const AddinText found = marks::FindAddinText(text);
  EXPECT_EQ(found.begin, 7u);
  EXPECT_EQ(found.end, AddinText::kNone);
  EXPECT_EQ(found.memo, 7 + block.size() + 2);
  EXPECT_EQ(marks::CutBlocks(text), "before ");
}

// The memo gives back the fill it was written with, through the host's reading of its texts.
TEST(MarksMemoTest, RoundTripsEveryFill) {
  for (const double color :
       {0.0, 1.0, 65535.0, 16777215.0, -4142.0, 0.5, 1e20, 123456789012345.0, -0.25, 3.0e-7}) {
    for (const double pattern : {1.0, 17.0, -4142.0, 0.0}) {
      SCOPED_TRACE(std::to_string(color) + " " + std::to_string(pattern));
      const std::string memo = marks::FormatMemo(color, pattern);
      ASSERT_EQ(memo.substr(0, 2), "\n\n");
      const ParsedMemo parsed = marks::ParseMemo(std::string_view(memo).substr(2));
      EXPECT_EQ(parsed.fault, ParsedMemo::Fault::kNone);
      ASSERT_EQ(parsed.settings.size(), 2u);
      EXPECT_EQ(parsed.settings[0].key, MemoSetting::Key::kColor);
      EXPECT_EQ(parsed.settings[1].key, MemoSetting::Key::kPattern);
      EXPECT_EQ(host::EnUsConversions().ReadNumber(parsed.settings[0].value), color);
      EXPECT_EQ(host::EnUsConversions().ReadNumber(parsed.settings[1].value), pattern);
    }
  }
}

std::vector<std::pair<MemoSetting::Key, std::string>> Settings(const ParsedMemo& parsed) {
  std::vector<std::pair<MemoSetting::Key, std::string>> settings;
  for (const MemoSetting& setting : parsed.settings) {
    settings.emplace_back(setting.key, setting.value);
  }
  return settings;
}

TEST(MarksMemoTest, ReadsOddMemosPieceByPiece) {
  using Key = MemoSetting::Key;
  using ::testing::ElementsAre;
  using ::testing::IsEmpty;
  using ::testing::Pair;

  ParsedMemo parsed = marks::ParseMemo("<<<ZVK_Color=5,note=x,zvk_pattern=17>>> rest >>>");
  EXPECT_EQ(parsed.fault, ParsedMemo::Fault::kNone);
  EXPECT_THAT(Settings(parsed), ElementsAre(Pair(Key::kColor, "5"), Pair(Key::kPattern, "17")));

  // Written again and again: each in its order, the last of each deciding.
  parsed = marks::ParseMemo("<<<zvk_pattern=1,zvk_color=red,zvk_pattern=a=b,zvk_color=>>>");
  EXPECT_THAT(Settings(parsed), ElementsAre(Pair(Key::kPattern, "1"), Pair(Key::kColor, "red"),
                                            Pair(Key::kPattern, "a"), Pair(Key::kColor, "")));

  parsed = marks::ParseMemo("<<<zvk_color=5,,zvk_pattern=1>>>");
  EXPECT_EQ(parsed.fault, ParsedMemo::Fault::kEmptyPiece);
  EXPECT_THAT(Settings(parsed), ElementsAre(Pair(Key::kColor, "5")));

  EXPECT_EQ(marks::ParseMemo("<<<>>>").fault, ParsedMemo::Fault::kEmptyPiece);
  EXPECT_EQ(marks::ParseMemo("<<<zvk_color=5,>>>").fault, ParsedMemo::Fault::kEmptyPiece);

  parsed = marks::ParseMemo("<<<zvk_color=5,other,zvk_pattern>>>");
  EXPECT_EQ(parsed.fault, ParsedMemo::Fault::kNoValue);
  EXPECT_THAT(Settings(parsed), ElementsAre(Pair(Key::kColor, "5")));

  for (const char* open : {"<<<zvk_color=5,zvk_pattern=1", "<<<zvk_color=5>>", "<<<", ""}) {
    parsed = marks::ParseMemo(open);
    EXPECT_EQ(parsed.fault, ParsedMemo::Fault::kUnclosed) << open;
    EXPECT_THAT(parsed.settings, IsEmpty());
  }
}

TEST(MarksFillTest, ColoursAndPatternsOfAMismatch) {
  EXPECT_EQ(marks::MismatchColor(1, 2), marks::kFewerColor);
  EXPECT_EQ(marks::MismatchColor(2, 1), marks::kMoreColor);
  EXPECT_EQ(marks::MismatchColor(0, 0), marks::kMoreColor);
  for (const int color : {marks::kFewerColor, marks::kMoreColor}) {
    EXPECT_TRUE(marks::IsMismatchFill(color, marks::kMarkedPattern));
    EXPECT_TRUE(marks::IsMismatchFill(color, marks::kDiagnosedPattern));
    EXPECT_FALSE(marks::IsMismatchFill(color, 2));
  }
  EXPECT_FALSE(marks::IsMismatchFill(65535, marks::kMarkedPattern));
  EXPECT_FALSE(marks::IsMismatchFill(marks::kMoreColor + 1, marks::kMarkedPattern));
}

TEST(MarksRectangleTest, NamesAndTexts) {
  const std::string name = marks::RectangleName("A", "Rectangle 7");
  EXPECT_EQ(name, "CmtNumARectangle 7");
  EXPECT_TRUE(marks::IsRectangleOf(name, "A"));
  EXPECT_TRUE(marks::IsRectangleOf(name, ""));
  EXPECT_FALSE(marks::IsRectangleOf(name, "B"));
  EXPECT_FALSE(marks::IsRectangleOf("cmtnumARectangle 7", "A"));
  EXPECT_FALSE(marks::IsRectangleOf("CmtNu", ""));
  EXPECT_FALSE(marks::IsRectangleOf("Rectangle 7", ""));
  EXPECT_EQ(marks::RectangleText(12, 0), "12,0");
}

}  // namespace
}  // namespace quorvane::testing
