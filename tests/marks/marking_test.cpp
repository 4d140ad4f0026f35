#include "marks/marking.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/run_fixture.h"
#include "host/error.h"
#include "host/range.h"
#include "marks/marks.h"

namespace quorvane::testing {
namespace {

class MarkingTest : public RunFixture {
 protected:
  MarkingTest() { state.options.hide_comments = state::kTrue; }
  void Mark(int row, int column, std::int64_t here, std::int64_t there, const char* tag = "A") {
    marks::MarkMismatch(mem, host::Range(&sheet, host::Area{row, column, row, column}), tag, here,
                        there, state.options.hide_comments == state::kFalse);
  }
};

TEST_F(MarkingTest, UnfilledCellWithoutComment) {
  sheet.Put(2, 1, N(100));
  Mark(2, 1, 2, 1);
  EXPECT_EQ(Comment(2, 1),
            "<<< 1/5 14:03:09:\nThis list has 2 100's.\nOther list has 1.\n>>>"
            "\n\n<<<zvk_color=16777215,zvk_pattern=-4142>>>");
  EXPECT_EQ(FillOf(2, 1), (memhost::Fill{6745634, host::kPatternSolid}));
  ASSERT_EQ(sheet.data().shapes.size(), 1u);
  EXPECT_EQ(sheet.data().shapes[0].text, "2,1");
  EXPECT_FALSE(sheet.data().Find(2, 1)->comment->visible);
}

TEST_F(MarkingTest, FewerTimesHereIsLightRedWithASingularSuffix) {
  sheet.Put(1, 1, N(100));
  Mark(1, 1, 1, 2);
  EXPECT_THAT(Comment(1, 1), ::testing::StartsWith("<<< 1/5 14:03:09:\nThis list has 1 100.\n"));
  EXPECT_EQ(FillOf(1, 1).color, 11120637);
}

TEST_F(MarkingTest, CountsPastSixteenBitsAreWrittenWhole) {
  sheet.Put(1, 1, N(1));
  Mark(1, 1, 33000, 1);
  EXPECT_THAT(Comment(1, 1), ::testing::HasSubstr("This list has 33000 1's.\nOther list has 1."));
  EXPECT_EQ(sheet.data().shapes[0].text, "33000,1");
  EXPECT_EQ(FillOf(1, 1).color, 6745634);
}

TEST_F(MarkingTest, NoCommentPassesTheHostsLimit) {
  const std::size_t limit = host::kMaxCommentLength;
  // A value too long for a block beside the memo: no comment, and the fill stays, since nothing
  // could give it back.
  sheet.Put(1, 1, T(std::string(limit - 60, 'x')));
  sheet.PutFill(1, 1, 65535, host::kPatternSolid);
  Mark(1, 1, 1, 0);
  EXPECT_FALSE(sheet.data().Find(1, 1)->comment.has_value());
  EXPECT_EQ(FillOf(1, 1), (memhost::Fill{65535, host::kPatternSolid}));

  // The same for a user's long note: it stays as it was.
  const std::string note(limit - 40, 'u');
  sheet.Put(2, 1, T("abc"));
  sheet.PutComment(2, 1, note);
  Mark(2, 1, 1, 0);
  EXPECT_EQ(Comment(2, 1), note);
  EXPECT_EQ(FillOf(2, 1), memhost::Fill{});

  // A comment that already holds the memo takes no block past the limit, but the fill changes.
  sheet.Put(3, 1, T("abc"));
  Mark(3, 1, 1, 0);
  const std::string marked = Comment(3, 1) + std::string(limit - Comment(3, 1).size() - 50, 'u');
  sheet.data().At(3, 1).comment->text = marked;
  Mark(3, 1, 1, 2);
  EXPECT_EQ(Comment(3, 1), marked);
  EXPECT_EQ(FillOf(3, 1).color, marks::kFewerColor);

  // The limit counts characters as the host does, not bytes: 20,000 two-byte letters fit.
  const std::string letters = [] {
    std::string out;
    for (int i = 0; i < 20000; ++i) out += "\xC3\xA9";
    return out;
  }();
  sheet.Put(4, 1, T("abc"));
  sheet.PutComment(4, 1, letters);
  Mark(4, 1, 1, 0);
  EXPECT_THAT(Comment(4, 1), ::testing::StartsWith("<<< 1/5 14:03:09:\nThis list has 1 abc."));
  EXPECT_THAT(Comment(4, 1), ::testing::EndsWith(letters));
}

TEST_F(MarkingTest, ANoteOfExactlyTheLimitIsWrittenAndOneMoreIsNot) {
  const std::size_t limit = host::kMaxCommentLength;
  // The note around a one-character value, to learn the length of its fixed part. Every cell has
  // the same fill before, so that the memos are alike.
  for (int row = 1; row <= 3; ++row) sheet.PutFill(row, 1, 65535, host::kPatternSolid);
  sheet.Put(1, 1, T("x"));
  Mark(1, 1, 1, 0);
  const std::size_t fixed = Comment(1, 1).size() - 1;

  sheet.Put(2, 1, T(std::string(limit - fixed, 'x')));
  Mark(2, 1, 1, 0);
  EXPECT_EQ(Comment(2, 1).size(), limit);
  EXPECT_EQ(FillOf(2, 1), (memhost::Fill{6745634, host::kPatternSolid}));

  sheet.Put(3, 1, T(std::string(limit - fixed + 1, 'x')));
  Mark(3, 1, 1, 0);
  EXPECT_FALSE(sheet.data().Find(3, 1)->comment.has_value());
  EXPECT_EQ(FillOf(3, 1), (memhost::Fill{65535, host::kPatternSolid}));
}

TEST_F(MarkingTest, UserCommentAndFillAreKeptBehindTheMemo) {
  sheet.Put(1, 1, T("abc"));
  sheet.PutFill(1, 1, 65535, host::kPatternSolid);
  sheet.PutComment(1, 1, "Check");
  Mark(1, 1, 1, 0);
  EXPECT_EQ(Comment(1, 1),
            "<<< 1/5 14:03:09:\nThis list has 1 abc.\nOther list has 0.\n>>>"
            "\n\n\n<<<zvk_color=65535,zvk_pattern=1>>>Check");
  EXPECT_EQ(FillOf(1, 1), (memhost::Fill{6745634, host::kPatternSolid}));
}

TEST_F(MarkingTest, SecondMarkingAddsABlockButNoSecondMemo) {
  sheet.Put(1, 1, D(2023, 1, 5));
  sheet.PutFill(1, 1, 255, host::kPatternSolid);
  Mark(1, 1, 1, 0, "A");
  mem.SetTime(host::SerialFromCivil({2023, 11, 25, 9, 0, 1}));
  Mark(1, 1, 3, 1, "B");
  const std::string text = Comment(1, 1);
  EXPECT_THAT(text, ::testing::StartsWith(
                        "<<< 11/25 09:00:01:\nThis list has 3 1/5/2023's.\nOther list has 1.\n>>>\n"
                        "<<< 1/5 14:03:09:\n"));
  EXPECT_EQ(text.find("zvk_color"), text.rfind("zvk_color"));
  EXPECT_THAT(text, ::testing::EndsWith("<<<zvk_color=255,zvk_pattern=1>>>"));
  EXPECT_EQ(sheet.data().shapes.size(), 2u);
}

TEST_F(MarkingTest, HideCommentsDecidesVisibility) {
  sheet.Put(1, 1, N(1));
  sheet.Put(2, 1, N(2));
  state.options.hide_comments = state::kFalse;
  Mark(1, 1, 1, 0);
  state.options.hide_comments = state::kTrue;
  Mark(2, 1, 1, 0);
  EXPECT_TRUE(sheet.data().Find(1, 1)->comment->visible);
  EXPECT_FALSE(sheet.data().Find(2, 1)->comment->visible);
}

TEST_F(MarkingTest, ProtectedSheetFailsAndKeepsTheUsersText) {
  sheet.Put(1, 1, N(1));
  sheet.PutComment(1, 1, "Paid in May");
  sheet.Protect();
  EXPECT_THROW(Mark(1, 1, 1, 0), host::HostError);
  EXPECT_EQ(Comment(1, 1), "Paid in May");
  EXPECT_EQ(FillOf(1, 1), memhost::Fill{});
}

}  // namespace
}  // namespace quorvane::testing
