#include "marks/clearing.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/clearing.h"
#include "host/error.h"
#include "host/worksheet.h"
#include "marks/marking.h"
#include "marks/marks.h"
#include "memhost/host.h"
#include "state/state.h"
#include "support/mem_host_fixture.h"
#include "support/state_listener.h"

namespace quorvane::marks {
namespace {

using host::kColorWhite;
using host::kPatternNone;
using host::kPatternSolid;
using marks::kFewerColor;
using marks::kMoreColor;
using memhost::CellData;
using memhost::Fill;

constexpr int kYellow = 65535;
constexpr const char* kBlock = "<<< 3/7 14:03:09:\nThis list has 1 100.\nOther list has 0.\n>>>";

class RecordingLabels : public quorvane::testing::LabelSink {
 public:
  void SetCaption(std::string_view label, const std::string& caption) override {
    order.emplace_back(label);
    captions[std::string(label)] = caption;
  }
  std::vector<std::string> order;
  std::map<std::string, std::string> captions;
};

class ClearingTest : public quorvane::testing::MemHostFixture {
 protected:
  ClearingTest() : other_(book.AddSheet("Sheet2")) {
    state_.application = &mem;
    listener_.labels = &labels_;
  }

  const CellData& Cell(int row, int column) { return *sheet.data().Find(row, column); }
  Fill FillAt(int row, int column) { return Cell(row, column).fill; }
  std::optional<std::string> CommentAt(int row, int column) {
    const auto& comment = Cell(row, column).comment;
    if (!comment) return std::nullopt;
    return comment->text;
  }

  // A cell marked the way the comparison leaves it: a block, the memo of its fill before marking,
  // then the user's comment; the mismatch fill; and a rectangle.
  void Mark(memhost::MemWorksheet& on, int row, int column, const std::string& tag) {
    const CellData* cell = on.data().Find(row, column);
    const Fill before = cell->fill;
    const std::string memo = marks::FormatMemo(before.color, before.pattern);
    if (cell->comment) {
      on.PutComment(row, column, std::string(kBlock) + "\n" + memo + cell->comment->text);
    } else {
      on.PutComment(row, column, std::string(kBlock) + memo);
    }
    on.PutFill(row, column, kMoreColor, kPatternSolid);
    AddShape(on, "CmtNum" + tag);
  }

  static void AddShape(memhost::MemWorksheet& on, const std::string& prefix) {
    auto shape = on.AddShape(host::kShapeRectangle, 3, 0, 18, 8);
    shape->SetName(prefix + shape->Name());
  }

  std::vector<std::string> ShapeNames(memhost::MemWorksheet& on) {
    std::vector<std::string> names;
    for (const auto& shape : on.data().shapes) names.push_back(shape.name);
    return names;
  }

  void Clear(host::Range range1, host::Range range2) {
    state::Run run = quorvane::testing::RunOf(listener_);
    engine::ClearBothRanges(run, range1, range2);
  }
  void Mark(const host::Range& cell, const char* tag) {
    marks::MarkMismatch(mem, cell, tag, 1, 2, state_.options.hide_comments == state::kFalse);
  }

  memhost::MemWorksheet& other_;
  RecordingLabels labels_;
  state::AddinState state_;
  quorvane::testing::StateListener listener_{state_};
};

TEST_F(ClearingTest, RoundTripGivesBackEveryFillAndCommentAndRemovesTheRectangles) {
  // Range 1 on Sheet1: plain, yellow with a note, a cell marked twice and diagnosed, a cell with
  // only the user's note. Range 2 on Sheet2.
  sheet.Put(1, 1, host::Value::Number(100));
  sheet.Put(2, 1, host::Value::Number(200));
  sheet.PutFill(2, 1, kYellow, kPatternSolid);
  sheet.PutComment(2, 1, "Paid in May");
  sheet.Put(3, 1, host::Value::Text("abc"));
  sheet.PutComment(3, 1, "Check\nline two");
  sheet.Put(4, 1, host::Value::Number(400));
  sheet.PutComment(4, 1, "Just a note");
  other_.Put(1, 1, host::Value::Number(100));
  other_.PutFill(1, 1, kYellow, host::kPatternGray16);
  const auto sheet_before = sheet.data().cells;
  const auto other_before = other_.data().cells;
  AddShape(sheet, "Logo");
  AddShape(sheet, "cmtnumA");  // another letter case: the user's own

  Mark(sheet, 1, 1, "A");
  Mark(sheet, 2, 1, "A");
  Mark(sheet, 3, 1, "A");
  // The second marking and the diagnosis put their blocks in front and add no memo.
  sheet.PutComment(3, 1, std::string(kBlock) + "\n" + *CommentAt(3, 1));
  sheet.PutComment(3, 1,
                   "<<< 3/7 14:03:09:\nPossible Transpose abc and bca\n>>>\n" + *CommentAt(3, 1));
  sheet.PutFill(3, 1, kFewerColor, host::kPatternGray16);
  Mark(other_, 1, 1, "B");
  state_.counters.match1 = 5;
  state_.counters.year2 = 2;

  Clear(sheet.Ref("A1:A4"), other_.Ref("A1:A2"));

  EXPECT_TRUE(mem.messages().empty());
  auto expect_restored = [](memhost::MemWorksheet& on, const auto& before) {
    for (const auto& [key, cell] : before) {
      SCOPED_TRACE(on.Name() + " row " + std::to_string(key.first));
      const CellData& after = *on.data().Find(key.first, key.second);
      EXPECT_EQ(after.fill, cell.fill);
      EXPECT_EQ(after.comment, cell.comment);
    }
  };
  expect_restored(sheet, sheet_before);
  expect_restored(other_, other_before);
  EXPECT_EQ(ShapeNames(sheet), (std::vector<std::string>{"LogoRectangle 1", "cmtnumARectangle 2"}));
  EXPECT_TRUE(ShapeNames(other_).empty());

  // Counters and the form's labels are zero, labels set in the form's order.
  for (int i = 0; i < state::kCounterCount; ++i) {
    EXPECT_EQ(state_.counters[static_cast<state::Counter>(i)], 0);
  }
  ASSERT_EQ(labels_.order.size(), 12u);
  EXPECT_EQ(labels_.order.front(), "lblCount1");
  EXPECT_EQ(labels_.order[8], "lblYearOff1");
  EXPECT_EQ(labels_.order.back(), "lblHiddenCell2");
  for (const auto& [label, caption] : labels_.captions) EXPECT_EQ(caption, "0") << label;

  // A second pass changes nothing further.
  const auto cleared = sheet.data().cells;
  Clear(sheet.Ref("A1:A4"), other_.Ref("A1:A2"));
  expect_restored(sheet, cleared);
  EXPECT_TRUE(mem.messages().empty());
}

TEST_F(ClearingTest, UserTextHoldingMarkersOfItsOwnComesBackWhole) {
  const std::vector<std::string> notes = {"> see the ledger", "totals >>> carried over",
                                          "<<<draft>>> keep", ">>>"};
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    sheet.Put(row, 1, host::Value::Number(row));
    sheet.PutComment(row, 1, notes[i]);
    Mark(sheet, row, 1, "A");
  }
  Clear(sheet.Ref("A1:A4"), other_.Ref("A1"));
  for (std::size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(CommentAt(static_cast<int>(i) + 1, 1), notes[i]);
    EXPECT_EQ(sheet.data().Find(static_cast<int>(i) + 1, 1)->fill, Fill{});
  }
}

struct CutCase {
  const char* before;
  std::optional<std::string> after;  // no value: the comment is deleted
};
void PrintTo(const CutCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.before); }

class CommentCutTest : public ClearingTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(CommentCutTest, CutsTheAddinTextAndKeepsTheFillWithoutMemo) {
  sheet.Put(1, 1, host::Value::Number(1));
  sheet.PutFill(1, 1, kMoreColor, kPatternSolid);
  sheet.PutComment(1, 1, GetParam().before);

  Clear(sheet.Ref("A1"), sheet.Ref("A1"));

  EXPECT_TRUE(mem.messages().empty());
  EXPECT_EQ(CommentAt(1, 1), GetParam().after);
  EXPECT_EQ(FillAt(1, 1), (Fill{kMoreColor, kPatternSolid}));
}

#define BLOCK "<<< 3/7 14:03:09:\nThis list has 1 100.\nOther list has 0.\n>>>"
#define DIAGNOSIS "<<< 3/7 14:03:09:\nPossible Transpose 100 and 010\n>>>"

INSTANTIATE_TEST_SUITE_P(
    Rows, CommentCutTest,
    ::testing::Values(
        // Only the add-in's text: the comment goes.
        CutCase{BLOCK, std::nullopt}, CutCase{DIAGNOSIS "\n" BLOCK, std::nullopt},
        // Blocks first, the user's text after them.
        CutCase{BLOCK "user", "user"}, CutCase{BLOCK "\n\nuser", "\n\nuser"},
        // The user's text before the blocks, or on both sides, joined with nothing in between.
        CutCase{"user\n" BLOCK, "user\n"}, CutCase{"pre" BLOCK "post", "prepost"},
        // The timestamp in another locale's separators.
        CutCase{"<<< 3.7 14.03.09:\nPossible Year Error 7.3.2023 and 7.3.2024\n>>>", std::nullopt},
        CutCase{"<<< 3. 7 14:03:09:\nx\n>>>user", "user"},
        CutCase{"<<< 3-7 14.03.09:\nx\n>>>\n" BLOCK, std::nullopt},
        // No block of the add-in's: written back as it is, markers and all.
        CutCase{"plain note", "plain note"}, CutCase{"only closing >>>", "only closing >>>"},
        CutCase{"", ""}, CutCase{"<<<a>>>", "<<<a>>>"}, CutCase{"pre<<<a>>>post", "pre<<<a>>>post"},
        CutCase{"checked <<<18>>> by hand", "checked <<<18>>> by hand"},
        CutCase{"<<< unfinished", "<<< unfinished"},
        CutCase{"<<< 3/7 14:03:09:\nno end", "<<< 3/7 14:03:09:\nno end"},
        CutCase{"<<< 3/7 14:03:9:\nshort second\n>>>", "<<< 3/7 14:03:9:\nshort second\n>>>"},
        CutCase{"<<<zvk_color=65535,zvk_pattern=1>>> alone",
                "<<<zvk_color=65535,zvk_pattern=1>>> alone"},
        // The user's text after a block keeps its own markers, and a block's first line too
        // when no closing follows it.
        CutCase{BLOCK "\n<<<a>>> and >>>", "\n<<<a>>> and >>>"},
        CutCase{BLOCK "\n<<< 3/7 14:03:10:\nleft open>>>", "\n<<< 3/7 14:03:10:\nleft open>>>"},
        CutCase{DIAGNOSIS "\n" BLOCK "\n<<< 3/7 14:03:10:\nx", "\n<<< 3/7 14:03:10:\nx"}));

TEST_F(ClearingTest, MemoKeysAfterTheFirstAreReadInAnyCaseAndUnknownKeysAreIgnored) {
  sheet.Put(1, 1, host::Value::Number(1));
  sheet.PutFill(1, 1, kMoreColor, kPatternSolid);
  // Restoring the colour alone would leave the cell solid; the pattern must be read too.
  sheet.PutComment(1, 1, BLOCK "\n\n<<<zvk_color=16777215,other,ZVK_Pattern=-4142=x>>>");
  sheet.Put(2, 1, host::Value::Number(2));
  sheet.PutFill(2, 1, kMoreColor, kPatternSolid);
  // The first key is found only when written exactly; otherwise it is the user's text.
  sheet.PutComment(2, 1, BLOCK "\n\n<<<ZVK_COLOR=65535,zvk_pattern=1>>>");

  Clear(sheet.Ref("A1:A2"), sheet.Ref("A1:A2"));

  EXPECT_TRUE(mem.messages().empty());
  EXPECT_EQ(FillAt(1, 1), (Fill{kColorWhite, kPatternNone}));
  EXPECT_EQ(FillAt(2, 1), (Fill{kMoreColor, kPatternSolid}));
  EXPECT_EQ(CommentAt(1, 1), std::nullopt);
  EXPECT_EQ(CommentAt(2, 1), "\n\n<<<ZVK_COLOR=65535,zvk_pattern=1>>>");
}

struct BadMemo {
  const char* comment;
  Fill fill_left;  // what the restore did before it failed
};
void PrintTo(const BadMemo& m, std::ostream* os) { *os << ::testing::PrintToString(m.comment); }

class BadMemoTest : public ClearingTest, public ::testing::WithParamInterface<BadMemo> {};

TEST_P(BadMemoTest, EndsThePassWithTheMessageAndLeavesLaterCellsMarked) {
  sheet.Put(1, 1, host::Value::Number(1));
  sheet.PutFill(1, 1, kMoreColor, kPatternSolid);
  sheet.PutComment(1, 1, GetParam().comment);
  sheet.Put(2, 1, host::Value::Number(2));
  sheet.PutFill(2, 1, kMoreColor, kPatternSolid);
  sheet.PutComment(2, 1, BLOCK "\n\n<<<zvk_color=65535,zvk_pattern=1>>>");

  Clear(sheet.Ref("A1:A2"), sheet.Ref("A1:A2"));

  EXPECT_EQ(mem.messages(), std::vector<std::string>{engine::kClearFailedMessage});
  EXPECT_EQ(FillAt(1, 1), GetParam().fill_left);
  EXPECT_EQ(CommentAt(1, 1), GetParam().comment);
  EXPECT_EQ(FillAt(2, 1), (Fill{kMoreColor, kPatternSolid}));
  EXPECT_EQ(CommentAt(2, 1), BLOCK "\n\n<<<zvk_color=65535,zvk_pattern=1>>>");
}

INSTANTIATE_TEST_SUITE_P(
    Memos, BadMemoTest,
    ::testing::Values(
        // Closing marker missing, also with the user's text after the memo.
        BadMemo{BLOCK "\n\n<<<zvk_color=65535,zvk_pattern=1", Fill{kMoreColor, kPatternSolid}},
        BadMemo{BLOCK "\n\n\n<<<zvk_color=65535,zvk_pattern=1\nnote",
                Fill{kMoreColor, kPatternSolid}},
        // An empty piece, after the colour was already set.
        BadMemo{BLOCK "\n\n<<<zvk_color=65535,,zvk_pattern=1>>>", Fill{kYellow, kPatternSolid}},
        // A known key without its value.
        BadMemo{BLOCK "\n\n<<<zvk_color=65535,zvk_pattern>>>", Fill{kYellow, kPatternSolid}},
        // A value the host does not take.
        BadMemo{BLOCK "\n\n<<<zvk_color=red,zvk_pattern=1>>>", Fill{kMoreColor, kPatternSolid}}));

// Notes that hold markers of their own, and values that hold the memo's key, come through any
// number of comparisons and clearings whole, with their fills.
TEST_F(ClearingTest, TheUsersMarkersSurviveMarkingsAndClearings) {
  const std::vector<std::string> notes = {"checked <<<18>>> by hand", "<<<a>>>", ">>> <<<",
                                          "zvk_color", "<<<zvk_color=1,zvk_pattern=1>>> mine"};
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    sheet.Put(row, 1, host::Value::Text(i == 3 ? "zvk_color" : "v"));
    sheet.PutFill(row, 1, kYellow, kPatternSolid);
    sheet.PutComment(row, 1, notes[i]);
  }
  sheet.Put(7, 1, host::Value::Text("zvk_color"));  // no note: the marking writes the comment
  sheet.PutFill(7, 1, kYellow, kPatternSolid);
  mem.SetTime(45000.5);
  state_.options.hide_comments = state::kTrue;
  for (int round = 0; round < 3; ++round) {
    Clear(sheet.Ref("A1:A7"), sheet.Ref("A1:A7"));  // every comparison begins with a clearing
    for (const int row : {1, 2, 3, 4, 5, 7}) {
      // A cell in both ranges is marked twice.
      for (const char* tag : {"A", "B"}) {
        Mark(sheet.Ref("A" + std::to_string(row)), tag);
      }
    }
  }
  Clear(sheet.Ref("A1:A7"), sheet.Ref("A1:A7"));
  EXPECT_TRUE(mem.messages().empty());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(CommentAt(static_cast<int>(i) + 1, 1), notes[i]);
    EXPECT_EQ(FillAt(static_cast<int>(i) + 1, 1), (Fill{kYellow, kPatternSolid})) << notes[i];
  }
  EXPECT_EQ(CommentAt(7, 1), std::nullopt);
  EXPECT_EQ(FillAt(7, 1), (Fill{kYellow, kPatternSolid}));
}

// A note that quotes a whole marked comment is the user's once the cell's own marks are gone: a
// cell in both ranges is restored once in a clearing, not once for each range.
// A cell with a threaded comment gets its rectangle only; the clearing takes the rectangle away and
// leaves the thread, and the host's note beside it (as a file keeps one), as they are.
TEST_F(ClearingTest, ThreadedCommentsAreLeftAsTheyAre) {
  const std::string placeholder = "[Threaded comment]\n\nYour version of Excel allows you to read";
  sheet.Put(1, 1, host::Value::Number(100));
  sheet.PutFill(1, 1, kYellow, kPatternSolid);
  sheet.PutThreadedComment(1, 1);
  sheet.Put(2, 1, host::Value::Number(200));
  sheet.PutThreadedComment(2, 1);
  sheet.PutComment(2, 1, placeholder);
  other_.Put(1, 1, host::Value::Number(300));

  Mark(sheet.Ref("A1"), "A");
  Mark(sheet.Ref("A2"), "A");
  EXPECT_EQ(sheet.data().shapes.size(), 2u);
  Clear(sheet.Ref("A1:A2"), other_.Ref("A1"));

  const CellData* first = sheet.data().Find(1, 1);
  const CellData* second = sheet.data().Find(2, 1);
  EXPECT_TRUE(first->threaded_comment && second->threaded_comment);
  EXPECT_FALSE(first->comment.has_value());
  EXPECT_EQ(first->fill, (Fill{kYellow, kPatternSolid}));
  EXPECT_EQ(CommentAt(2, 1), placeholder);
  EXPECT_EQ(second->fill, Fill{});
  EXPECT_TRUE(sheet.data().shapes.empty());
  EXPECT_TRUE(mem.messages().empty());
}

TEST_F(ClearingTest, ACellInBothRangesIsRestoredOnce) {
  const std::string quoted = BLOCK "\n\n<<<zvk_color=255,zvk_pattern=1>>>";
  sheet.Put(1, 1, host::Value::Number(1));
  sheet.PutFill(1, 1, kYellow, kPatternSolid);
  sheet.PutComment(1, 1, quoted);
  Mark(sheet, 1, 1, "A");
  Clear(sheet.Ref("A1"), sheet.Ref("A1"));
  EXPECT_EQ(CommentAt(1, 1), quoted);
  EXPECT_EQ(FillAt(1, 1), (Fill{kYellow, kPatternSolid}));
}

TEST_F(ClearingTest, SkipsEmptyCellsAndCellsWithoutComment) {
  sheet.PutFill(1, 1, kMoreColor, kPatternSolid);  // value deleted by the user
  sheet.PutComment(1, 1, "<<<a>>>\n\n<<<zvk_color=65535,zvk_pattern=1>>>");
  sheet.Put(2, 1, host::Value::Number(2));  // comment deleted by the user
  sheet.PutFill(2, 1, kFewerColor, kPatternSolid);

  Clear(sheet.Ref("A1:A2"), sheet.Ref("A1:A2"));

  EXPECT_TRUE(mem.messages().empty());
  EXPECT_EQ(FillAt(1, 1), (Fill{kMoreColor, kPatternSolid}));
  EXPECT_EQ(CommentAt(1, 1), "<<<a>>>\n\n<<<zvk_color=65535,zvk_pattern=1>>>");
  EXPECT_EQ(FillAt(2, 1), (Fill{kFewerColor, kPatternSolid}));
}

TEST_F(ClearingTest, RestoresRangeOneThenShowsTheMessageWhenRangeTwoIsNothing) {
  sheet.Put(1, 1, host::Value::Number(1));
  Mark(sheet, 1, 1, "A");

  Clear(sheet.Ref("A1"), host::Range());

  EXPECT_EQ(mem.messages(), std::vector<std::string>{engine::kClearFailedMessage});
  EXPECT_EQ(FillAt(1, 1), (Fill{kColorWhite, kPatternNone}));
  EXPECT_EQ(CommentAt(1, 1), std::nullopt);
  EXPECT_TRUE(ShapeNames(sheet).empty());
}

TEST_F(ClearingTest, RangeOneOutsideTheUsedAreaStopsAtOnce) {
  sheet.Put(1, 1, host::Value::Number(1));
  other_.Put(1, 1, host::Value::Number(1));
  Mark(other_, 1, 1, "B");
  const CellData marked = *other_.data().Find(1, 1);
  state_.counters.count1 = 3;
  state_.counters.hidden2 = 1;

  Clear(sheet.Ref("A50:A60"), other_.Ref("A1"));

  EXPECT_EQ(mem.messages(), std::vector<std::string>{engine::kClearFailedMessage});
  EXPECT_EQ(other_.data().Find(1, 1)->fill, marked.fill);
  EXPECT_EQ(other_.data().Find(1, 1)->comment, marked.comment);
  EXPECT_EQ(ShapeNames(other_).size(), 1u);
  EXPECT_EQ(state_.counters.count1, 0);
  EXPECT_EQ(state_.counters.hidden2, 0);
  EXPECT_EQ(labels_.captions.at("lblCount1"), "0");
}

TEST_F(ClearingTest, AnErrorWhileResettingTheCountsGoesToTheCaller) {
  struct FailingLabels : quorvane::testing::LabelSink {
    void SetCaption(std::string_view, const std::string&) override {
      throw host::HostError("form failed");
    }
  } failing;
  listener_.labels = &failing;
  sheet.Put(1, 1, host::Value::Number(1));

  EXPECT_THROW(Clear(sheet.Ref("A1"), sheet.Ref("A1")), host::HostError);
  EXPECT_TRUE(mem.messages().empty());
}

}  // namespace
}  // namespace quorvane::marks
