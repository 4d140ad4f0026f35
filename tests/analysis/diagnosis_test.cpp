#include "analysis/diagnosis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/clearing.h"
#include "host/conversions.h"
#include "host/locale.h"
#include "host/worksheet.h"
#include "marks/marks.h"
#include "memhost/host.h"
#include "state/state.h"
#include "support/mem_host_fixture.h"
#include "support/state_listener.h"

namespace quorvane::analysis {
namespace {

using host::kPatternGray16;
using host::kPatternSolid;
using host::Value;
using marks::kFewerColor;
using marks::kMoreColor;

constexpr const char* kStamp = "<<< 3/7 14:03:09:\n";

std::string Block(const std::string& message) { return kStamp + message + "\n>>>"; }

Value Date(int year, int month, int day) {
  return Value::Date(host::SerialFromCivil({year, month, day}));
}

class RecordingLabels : public quorvane::testing::LabelSink {
 public:
  void SetCaption(std::string_view label, const std::string& caption) override {
    captions[std::string(label)] = caption;
  }
  std::map<std::string, std::string> captions;
};

// Range 1 is column A, Range 2 column C of one sheet.
class DiagnosisTest : public quorvane::testing::MemHostFixture {
 protected:
  DiagnosisTest() {
    state_.application = &mem;
    listener_.labels = &labels_;
    mem.SetTime(host::SerialFromCivil({2024, 3, 7, 14, 3, 9}));
  }

  // A cell as the marking leaves it, with a comment standing for the marking's text.
  void Marked(int row, int column, Value value, int color = kMoreColor) {
    sheet.Put(row, column, std::move(value));
    sheet.PutFill(row, column, color, kPatternSolid);
    sheet.PutComment(row, column, Note(row, column));
  }
  void Diagnose(const host::Range& range1, const host::Range& range2,
                state::Algorithm algorithm = state::Algorithm::kIndexed) {
    state::Run run = quorvane::testing::RunOf(listener_);
    DiagnoseMismatches(run, range1, range2, algorithm);
  }
  static std::string Note(int row, int column) {
    return "<<<mark " + std::to_string(row) + "," + std::to_string(column) + ">>>";
  }

  void Diagnose() {
    host::Range range1 = sheet.Ref("A1:A10");
    host::Range range2 = sheet.Ref("C1:C10");
    Diagnose(range1, range2);
  }

  // The four counters and the form's labels that show them.
  void ExpectCounts(int transpose, int year) {
    EXPECT_EQ(state_.counters.transpose1, transpose);
    EXPECT_EQ(state_.counters.transpose2, transpose);
    EXPECT_EQ(state_.counters.year1, year);
    EXPECT_EQ(state_.counters.year2, year);
    if (transpose > 0) {
      EXPECT_EQ(labels_.captions.at("lblTranspose1"), std::to_string(transpose));
      EXPECT_EQ(labels_.captions.at("lblTranspose2"), std::to_string(transpose));
    }
    if (year > 0) {
      EXPECT_EQ(labels_.captions.at("lblYearOff1"), std::to_string(year));
      EXPECT_EQ(labels_.captions.at("lblYearOff2"), std::to_string(year));
    }
  }

  void ExpectUntouched(int row, int column) {
    EXPECT_EQ(Pattern(row, column), kPatternSolid);
    EXPECT_EQ(Comment(row, column), Note(row, column));
  }

  RecordingLabels labels_;
  state::AddinState state_;
  quorvane::testing::StateListener listener_{state_};
};

TEST_F(DiagnosisTest, TranspositionShadesBothCellsAndPutsTheBlockOnTop) {
  Marked(1, 1, Value::Number(123.45));
  Marked(1, 3, Value::Number(132.45), kFewerColor);

  Diagnose();

  const std::string block = Block("Possible Transpose 123.45 and 132.45");
  EXPECT_EQ(Comment(1, 1), block + "\n" + Note(1, 1));
  EXPECT_EQ(Comment(1, 3), block + "\n" + Note(1, 3));
  EXPECT_EQ(sheet.data().Find(1, 1)->fill, (memhost::Fill{kMoreColor, kPatternGray16}));
  EXPECT_EQ(sheet.data().Find(1, 3)->fill, (memhost::Fill{kFewerColor, kPatternGray16}));
  ExpectCounts(1, 0);
}

// A cell with a threaded comment takes no note, so no shading and no block either; its partner is
// diagnosed as usual. Such a cell carries a mismatch fill only if a user gave it one.
TEST_F(DiagnosisTest, ACellWithAThreadedCommentIsLeftAsItIs) {
  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    SCOPED_TRACE(algorithm == state::Algorithm::kIndexed ? "indexed" : "straightforward");
    sheet.data().cells.clear();
    sheet.Put(1, 1, Value::Number(123.45));
    sheet.PutFill(1, 1, kMoreColor, kPatternSolid);
    sheet.PutThreadedComment(1, 1);
    Marked(1, 3, Value::Number(132.45), kFewerColor);

    Diagnose(sheet.Ref("A1:A10"), sheet.Ref("C1:C10"), algorithm);

    EXPECT_FALSE(sheet.data().Find(1, 1)->comment.has_value());
    EXPECT_TRUE(sheet.data().Find(1, 1)->threaded_comment);
    EXPECT_EQ(Pattern(1, 1), kPatternSolid);
    EXPECT_EQ(Comment(1, 3), Block("Possible Transpose 123.45 and 132.45") + "\n" + Note(1, 3));
    EXPECT_EQ(Pattern(1, 3), kPatternGray16);
  }
}

TEST_F(DiagnosisTest, OnlyMarkedCellsOfRangeOneAgainstRangeTwoArePaired) {
  sheet.Put(1, 1, Value::Number(123.45));  // unfilled
  Marked(2, 1, Value::Number(321.45));
  sheet.PutFill(2, 1, kMoreColor, 2);        // a mismatch colour with another pattern
  Marked(3, 1, Value::Number(213.45), 255);  // another colour
  Marked(1, 3, Value::Number(132.45));
  Marked(2, 3, Value::Number(312.45));  // same range: never paired with C1

  Diagnose();

  ExpectUntouched(1, 3);
  ExpectUntouched(2, 3);
  EXPECT_EQ(Pattern(2, 1), 2);
  ExpectCounts(0, 0);
}

TEST_F(DiagnosisTest, TextsMustHaveTheSameLengthAndDifferAsValues) {
  // The pairs alone: 12.5 against 125 is a decimal slide for the search that explains more.
  state_.options.explain_more = state::kFalse;
  Marked(1, 1, Value::Number(12.5));
  Marked(1, 3, Value::Number(125));  // same digits, other length
  Marked(2, 1, Value::Number(123.45));
  Marked(2, 3, Value::Number(1234.5));
  Marked(3, 1, Value::Text("12a"));
  Marked(3, 3, Value::Text("a21"));  // not numbers: the signatures are the texts

  Diagnose();

  ExpectUntouched(1, 1);
  ExpectUntouched(1, 3);
  ExpectUntouched(3, 1);
  ExpectUntouched(3, 3);
  EXPECT_EQ(Comment(2, 1), Block("Possible Transpose 123.45 and 1234.5") + "\n" + Note(2, 1));
  ExpectCounts(1, 0);
}

TEST_F(DiagnosisTest, UnequalValuesWithTheSameTextAreARoundingError) {
  Marked(2, 1, Value::Number(0.1 + 0.2));
  Marked(5, 3, Value::Number(0.3));
  Marked(6, 3, Value::Number(0.1 + 0.2));  // equal to A2: no finding

  Diagnose();

  const std::string block = Block(
      "Rounding Error $A$2 and $C$5 for Range 1 and 2, respectively.  Try Options tab to force "
      "rounding to 2 digits.");
  EXPECT_EQ(Comment(2, 1), block + "\n" + Note(2, 1));
  EXPECT_EQ(Comment(5, 3), block + "\n" + Note(5, 3));
  EXPECT_EQ(Pattern(5, 3), kPatternGray16);
  ExpectUntouched(6, 3);
  ExpectCounts(0, 0);
}

TEST_F(DiagnosisTest, DatesOneYearApartAreAYearError) {
  Marked(1, 1, Date(2023, 1, 5));
  Marked(1, 3, Date(2024, 1, 5));
  Marked(2, 3, Date(2025, 1, 5));  // two years apart
  Marked(3, 3, Date(2022, 1, 6));  // another day
  Marked(4, 3, Date(2032, 1, 5));  // the digits of 1/5/2023 in another order

  Diagnose();

  EXPECT_EQ(Comment(1, 3), Block("Possible Year Error 1/5/2023 and 1/5/2024") + "\n" + Note(1, 3));
  ExpectUntouched(2, 3);
  ExpectUntouched(3, 3);
  EXPECT_EQ(Comment(4, 3), Block("Possible Transpose 1/5/2023 and 1/5/2032") + "\n" + Note(4, 3));
  // Newest block first on the Range 1 cell.
  EXPECT_EQ(Comment(1, 1), Block("Possible Transpose 1/5/2023 and 1/5/2032") + "\n" +
                               Block("Possible Year Error 1/5/2023 and 1/5/2024") + "\n" +
                               Note(1, 1));
  ExpectCounts(1, 1);
}

TEST_F(DiagnosisTest, AYearErrorIsFoundWhicheverRangeHoldsTheLaterDate) {
  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    state_.counters = {};
    Marked(1, 1, Date(2024, 1, 5));
    Marked(1, 3, Date(2023, 1, 5));
    host::Range range1 = sheet.Ref("A1:A10");
    host::Range range2 = sheet.Ref("C1:C10");
    Diagnose(range1, range2, algorithm);
    EXPECT_EQ(Comment(1, 1),
              Block("Possible Year Error 1/5/2024 and 1/5/2023") + "\n" + Note(1, 1));
    ExpectCounts(0, 1);
  }
}

// The host keeps at most 32,767 characters (UTF-16 units) in a comment. A block that would take a
// comment past that is left out of that comment; the pair is shaded and counted all the same.
TEST_F(DiagnosisTest, BlocksThatWouldPassTheCommentLimitAreLeftOutButCounted) {
  std::string note;
  for (int i = 0; i < 32600; ++i) note += "\u00e9";  // two bytes, one unit each
  sheet.Put(1, 1, Value::Number(123.45));
  sheet.PutFill(1, 1, kMoreColor, kPatternSolid);
  sheet.PutComment(1, 1, note);
  for (int row = 1; row <= 3; ++row) Marked(row, 3, Value::Number(132.45));

  Diagnose();

  const std::string block = Block("Possible Transpose 123.45 and 132.45");
  ASSERT_EQ(block.size(), 58u);  // two blocks fit above the note, a third would not
  EXPECT_EQ(Comment(1, 1), block + "\n" + block + "\n" + note);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_EQ(Comment(row, 3), block + "\n" + Note(row, 3));
    EXPECT_EQ(Pattern(row, 3), kPatternGray16);
  }
  ExpectCounts(3, 0);
}

// A block that brings a comment to exactly the limit goes in; one character more and it does not.
TEST_F(DiagnosisTest, ABlockThatFillsTheCommentToTheLimitIsWritten) {
  const std::string block = Block("Possible Transpose 123.45 and 132.45");
  const std::size_t fits = host::kMaxCommentLength - block.size() - 1;
  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    SCOPED_TRACE(algorithm == state::Algorithm::kIndexed ? "indexed" : "straightforward");
    for (const std::size_t note_length : {fits, fits + 1}) {
      const std::string note(note_length, 'u');
      sheet.Put(1, 1, Value::Number(123.45));
      sheet.PutFill(1, 1, kMoreColor, kPatternSolid);
      sheet.PutComment(1, 1, note);
      Marked(1, 3, Value::Number(132.45));
      Diagnose(sheet.Ref("A1:A1"), sheet.Ref("C1:C1"), algorithm);
      if (note_length == fits) {
        EXPECT_EQ(Comment(1, 1), block + "\n" + note);
        EXPECT_EQ(Comment(1, 1).size(), host::kMaxCommentLength);
      } else {
        EXPECT_EQ(Comment(1, 1), note);
      }
      EXPECT_EQ(Comment(1, 3), block + "\n" + Note(1, 3));
    }
  }
}

TEST_F(DiagnosisTest, ADiagnosedCellTakesPartInEveryPair) {
  Marked(1, 1, Value::Number(123.45));
  Marked(1, 3, Value::Number(132.45));
  Marked(2, 3, Value::Number(124.35));

  Diagnose();
  Diagnose();  // pattern 17 keeps the cells eligible

  const std::string first = Block("Possible Transpose 123.45 and 132.45");
  const std::string second = Block("Possible Transpose 123.45 and 124.35");
  EXPECT_EQ(Comment(1, 1),
            second + "\n" + first + "\n" + second + "\n" + first + "\n" + Note(1, 1));
  EXPECT_EQ(Comment(2, 3), second + "\n" + second + "\n" + Note(2, 3));
  ExpectCounts(4, 0);
}

TEST_F(DiagnosisTest, ACellWithoutCommentGetsOneHoldingOnlyTheBlock) {
  Marked(1, 1, Value::Number(123.45));
  sheet.Put(1, 3, Value::Number(132.45));
  sheet.PutFill(1, 3, kFewerColor, kPatternSolid);

  Diagnose();

  EXPECT_EQ(Comment(1, 3), Block("Possible Transpose 123.45 and 132.45"));
}

TEST_F(DiagnosisTest, ErrorValuesWithAMismatchFillTakeNoPart) {
  Marked(1, 1, Value::Error(host::CellError::kNA));
  Marked(2, 1, Value::Number(123.45));
  Marked(1, 3, Value::Error(host::CellError::kDiv0));
  Marked(2, 3, Value::Number(132.45));

  Diagnose();

  ExpectUntouched(1, 1);
  ExpectUntouched(1, 3);
  EXPECT_EQ(Pattern(2, 1), kPatternGray16);
  EXPECT_EQ(Pattern(2, 3), kPatternGray16);
  ExpectCounts(1, 0);
}

// Amounts written with the digits 1 to 7 in different orders: all share one signature, so each
// marked cell of one range pairs with each of the other until a cell reaches the cap.
class PairCapTest : public DiagnosisTest {
 protected:
  // The pairs alone: the cells past the cap would be amounts transposed for the later search.
  PairCapTest() { state_.options.explain_more = state::kFalse; }
  void Fill(int rows1, int rows2) {
    std::string digits = "1234567";
    for (int row = 1; row <= rows1 + rows2; ++row) {
      const Value amount = Value::Number(std::stoi(digits) / 100.0);
      if (row <= rows1) {
        Marked(row, 1, amount);
      } else {
        Marked(row - rows1, 3, amount, kFewerColor);
      }
      std::next_permutation(digits.begin(), digits.end());
    }
  }
  // The diagnosis blocks in a cell's comment (the note stands apart: "<<<mark").
  int Blocks(int row, int column) {
    const std::string comment = Comment(row, column);
    int n = 0;
    for (std::size_t at = comment.find("<<< "); at != std::string::npos;
         at = comment.find("<<< ", at + 1)) {
      ++n;
    }
    return n;
  }
};

TEST_F(PairCapTest, ACellOfRangeOneStopsAtTheCap) {
  const int more = 5;
  const int rows2 = kMaxPairsPerCell + more;
  Fill(3, rows2);
  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    SCOPED_TRACE(algorithm == state::Algorithm::kIndexed ? "indexed" : "straightforward");
    state_.counters = {};
    host::Range range1 = sheet.Ref("A1:A3");
    host::Range range2 = sheet.Ref("C1:C" + std::to_string(rows2));
    Diagnose(range1, range2, algorithm);
    // Each cell of Range 1 pairs with the first cells of Range 2 up to the cap.
    EXPECT_EQ(state_.counters.transpose1, 3 * kMaxPairsPerCell);
    EXPECT_EQ(Pattern(kMaxPairsPerCell, 3), kPatternGray16);
    for (int row = kMaxPairsPerCell + 1; row <= rows2; ++row) {
      EXPECT_EQ(Pattern(row, 3), kPatternSolid) << row;
      EXPECT_EQ(Comment(row, 3), Note(row, 3)) << row;
    }
  }
  // Two runs, each giving three pairs to each paired cell of Range 2.
  EXPECT_EQ(Blocks(kMaxPairsPerCell, 3), 6);
}

TEST_F(PairCapTest, ACellOfRangeTwoAtTheCapIsPassedOver) {
  const int more = 5;
  const int rows1 = kMaxPairsPerCell + more;
  Fill(rows1, 2);
  host::Range range1 = sheet.Ref("A1:A" + std::to_string(rows1));
  host::Range range2 = sheet.Ref("C1:C2");
  Diagnose(range1, range2);
  // Both cells of Range 2 reach the cap with the first cells of Range 1; the later ones find none.
  ExpectCounts(2 * kMaxPairsPerCell, 0);
  for (int row = 1; row <= kMaxPairsPerCell; ++row) EXPECT_EQ(Blocks(row, 1), 2) << row;
  for (int row = kMaxPairsPerCell + 1; row <= rows1; ++row) ExpectUntouched(row, 1);
  // The cap comes after the comment is full: no cap changes what a comment holds.
  EXPECT_LE(Comment(1, 3).size(), host::kMaxCommentLength);
  EXPECT_GT(Comment(1, 3).size() + 100, host::kMaxCommentLength);
}

// The search that explains more, after the pairs: every cell of a finding is shaded and carries
// the finding's block naming its partners, in both ways of diagnosing.
TEST_F(DiagnosisTest, ExplainMoreWritesEachKindOnEveryCellOfTheFinding) {
  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    SCOPED_TRACE(algorithm == state::Algorithm::kIndexed ? "indexed" : "straightforward");
    // Marked anew: the cells as the marking left them.
    Marked(1, 1, Value::Number(40.25));  // sign error with C5
    Marked(2, 1, Value::Number(12.5));   // decimal slide with C2
    Marked(3, 1, Value::Number(59.01));  // transposed amount with C3 ("5901" and "5910")
    Marked(4, 1, Value::Number(350));    // split into C4 + C6
    Marked(5, 1, Value::Number(20));     // with C7 merged into C1
    Marked(6, 1, Value::Number(5));
    Marked(7, 1, Value::Text("25 paid"));  // a text takes no part
    Marked(1, 3, Value::Number(25), kFewerColor);
    Marked(2, 3, Value::Number(1250), kFewerColor);
    Marked(3, 3, Value::Number(59.1), kFewerColor);
    Marked(4, 3, Value::Number(100), kFewerColor);
    Marked(5, 3, Value::Number(-40.25), kFewerColor);
    Marked(6, 3, Value::Number(250), kFewerColor);
    Marked(7, 3, Value::Text("x"), kFewerColor);
    state_.counters = {};
    Diagnose(sheet.Ref("A1:A10"), sheet.Ref("C1:C10"), algorithm);

    const auto expect = [&](int row, int column, const std::string& message) {
      EXPECT_EQ(Comment(row, column), Block(message) + "\n" + Note(row, column))
          << row << "," << column;
      EXPECT_EQ(Pattern(row, column), kPatternGray16) << row << "," << column;
    };
    const std::string sign = "Possible Sign Error $A$1 and $C$5 for Range 1 and 2, respectively.";
    expect(1, 1, sign);
    expect(5, 3, sign);
    expect(2, 1, "Possible Decimal Slide 12.5 and 1250");
    expect(2, 3, "Possible Decimal Slide 12.5 and 1250");
    expect(3, 1, "Possible Transpose 59.01 and 59.1");
    expect(3, 3, "Possible Transpose 59.01 and 59.1");
    const std::string split = "Possible Split: $A$4 of Range 1 equals $C$4 + $C$6 of Range 2";
    expect(4, 1, split);
    expect(4, 3, split);
    expect(6, 3, split);
    const std::string merge = "Possible Merge: $C$1 of Range 2 equals $A$5 + $A$6 of Range 1";
    expect(1, 3, merge);
    expect(5, 1, merge);
    expect(6, 1, merge);
    ExpectUntouched(7, 1);
    ExpectUntouched(7, 3);
    // The twelve counters count the pairs alone.
    ExpectCounts(0, 0);
  }
}

// A pair the first stage reported is not reported again, and its cells, explained already, take
// part in no total; a cell takes part in one finding of the search at most.
TEST_F(DiagnosisTest, ExplainMorePassesOverThePairsAlreadyReported) {
  Marked(1, 1, Value::Number(123.45));  // transposition of the first stage with C1
  Marked(2, 1, Value::Number(255.9));   // C1 + C2, but C1 is explained
  Marked(1, 3, Value::Number(132.45), kFewerColor);
  Marked(2, 3, Value::Number(123.45), kFewerColor);
  Marked(3, 1, Value::Number(8));
  Marked(3, 3, Value::Number(-8), kFewerColor);
  Marked(4, 3, Value::Number(-8), kFewerColor);  // C3 took A3 first
  Marked(5, 1, Value::Number(200));              // split into C2 + C5
  Marked(5, 3, Value::Number(76.55), kFewerColor);

  Diagnose();

  EXPECT_EQ(Comment(1, 1), Block("Possible Transpose 123.45 and 132.45") + "\n" + Note(1, 1));
  EXPECT_EQ(Comment(1, 3), Block("Possible Transpose 123.45 and 132.45") + "\n" + Note(1, 3));
  ExpectUntouched(2, 1);
  const std::string split = "Possible Split: $A$5 of Range 1 equals $C$2 + $C$5 of Range 2";
  EXPECT_EQ(Comment(5, 1), Block(split) + "\n" + Note(5, 1));
  EXPECT_EQ(Comment(2, 3), Block(split) + "\n" + Note(2, 3));
  EXPECT_EQ(Comment(5, 3), Block(split) + "\n" + Note(5, 3));
  EXPECT_EQ(Comment(3, 3),
            Block("Possible Sign Error $A$3 and $C$3 for Range 1 and 2, respectively.") + "\n" +
                Note(3, 3));
  ExpectUntouched(4, 3);
  ExpectCounts(1, 0);
}

// Under Ignore Sign no sign error is looked for; under Reverse Sign the amounts of Range 1 are read
// reversed, as the comparison read them.
TEST_F(DiagnosisTest, ExplainMoreReadsTheSignsAsTheComparisonDid) {
  Marked(1, 1, Value::Number(17));
  Marked(1, 3, Value::Number(-17), kFewerColor);
  state_.options.ignore_sign = state::kTrue;
  Diagnose();
  ExpectUntouched(1, 1);
  ExpectUntouched(1, 3);

  state_.options.ignore_sign = state::kFalse;
  state_.options.reverse_sign = state::kTrue;
  Diagnose();  // 17 reads -17: the same amount, no sign error
  ExpectUntouched(1, 1);
  sheet.Put(1, 3, Value::Number(17));
  Diagnose();  // -17 against 17
  EXPECT_EQ(Comment(1, 1),
            Block("Possible Sign Error $A$1 and $C$1 for Range 1 and 2, respectively.") + "\n" +
                Note(1, 1));
}

// Every cell of a sheet as it stands: value, number format, fill and comment, and its shapes.
std::vector<std::string> SheetState(const memhost::MemWorksheet& sheet) {
  std::vector<std::string> lines;
  for (const auto& [at, cell] : sheet.data().cells) {
    std::string line = std::to_string(at.first) + "," + std::to_string(at.second) + " " +
                       host::EnUsConversions().ToText(cell.value) + " " + cell.number_format + " " +
                       std::to_string(cell.fill.color) + "/" + std::to_string(cell.fill.pattern);
    if (cell.comment) line += " [" + cell.comment->text + "]";
    lines.push_back(line);
  }
  for (const auto& shape : sheet.data().shapes) lines.push_back("shape " + shape.name);
  return lines;
}

// A comparison of lists with every kind of finding, over a user's fills and notes.
void PutExplainedLists(memhost::MemWorksheet& sheet) {
  const double range1[] = {40.25, 12.5, 59.01, 350, 20, 5, 7, 123.45};
  const double range2[] = {25, 1250, 59.1, 100, -40.25, 250, 7, 132.45};
  for (int row = 1; row <= 8; ++row) {
    sheet.Put(row, 1, Value::Number(range1[row - 1]));
    sheet.Put(row, 3, Value::Number(range2[row - 1]));
  }
  sheet.Put(9, 1, Value::Number(7));
  sheet.PutFill(4, 3, 65535, kPatternSolid);
  sheet.PutComment(1, 1, "Paid in May");
  sheet.PutComment(6, 3, "<<< not ours >>>");
}

TEST_F(DiagnosisTest, ClearingAfterExplainMoreGivesTheSheetBackExactly) {
  PutExplainedLists(sheet);
  const std::vector<std::string> before = SheetState(sheet);
  host::Range range1 = sheet.Ref("A1:A9");
  host::Range range2 = sheet.Ref("C1:C9");
  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    quorvane::testing::MatchRanges(listener_, range1, range2, algorithm);
    const std::vector<std::string> compared = SheetState(sheet);
    EXPECT_NE(compared, before);
    // Sign, slide, transposition, split and merge blocks all stand on the sheet.
    for (const char* kind :
         {"Sign Error", "Decimal Slide", "Transpose 59.01", "Split:", "Merge:"}) {
      EXPECT_TRUE(std::any_of(compared.begin(), compared.end(), [kind](const std::string& line) {
        return line.find(kind) != std::string::npos;
      })) << kind;
    }
    state::Run run = quorvane::testing::RunOf(listener_);
    engine::ClearBothRanges(run, range1, range2);
    EXPECT_EQ(SheetState(sheet), before);
  }
}

// With Explain More off a comparison writes no block of the search and shades the pairs alone (the
// host trace holds every call of such a run to the trace from before the search).
TEST_F(DiagnosisTest, ExplainMoreOffWritesWhatThePairsAloneWrite) {
  PutExplainedLists(sheet);
  state_.options.explain_more = state::kFalse;
  quorvane::testing::MatchRanges(listener_, sheet.Ref("A1:A9"), sheet.Ref("C1:C9"));
  const std::vector<std::string> off = SheetState(sheet);
  for (const std::string& line : off) {
    EXPECT_EQ(line.find("Possible Sign"), std::string::npos) << line;
    EXPECT_EQ(line.find("Slide"), std::string::npos) << line;
    EXPECT_EQ(line.find("Split"), std::string::npos) << line;
    EXPECT_EQ(line.find("Merge"), std::string::npos) << line;
  }
  // Only the first stage's pair is shaded.
  int shaded = 0;
  for (const auto& [at, cell] : sheet.data().cells) shaded += cell.fill.pattern == kPatternGray16;
  EXPECT_EQ(shaded, 2);
}

host::LocaleFormat German() {
  host::LocaleFormat f;
  f.decimal = ",";
  f.grouping = ".";
  f.order = host::LocaleFormat::DateOrder::kDayMonthYear;
  f.date_separator = ".";
  f.pad_day = f.pad_month = true;
  f.clock12 = false;
  return f;
}

// On a German machine the blocks carry the values and the stamp as that machine writes them, and
// the signatures drop its own separators, in both ways of pairing the cells.
TEST_F(DiagnosisTest, GermanMachineWritesItsOwnNumbersDatesAndStamp) {
  const host::LocaleConversions german(German());
  mem.SetConversions(german);
  Marked(1, 1, Value::Number(123.45));
  Marked(1, 3, Value::Number(132.45), kFewerColor);
  Marked(2, 1, Date(2023, 1, 5));
  Marked(2, 3, Date(2024, 1, 5), kFewerColor);
  Marked(3, 1, Value::Text("1.234,5"));
  Marked(3, 3, Value::Text("1.243,5"), kFewerColor);

  for (const state::Algorithm algorithm :
       {state::Algorithm::kIndexed, state::Algorithm::kStraightforward}) {
    for (int row = 1; row <= 3; ++row) {
      sheet.PutFill(row, 1, kMoreColor, kPatternSolid);
      sheet.PutFill(row, 3, kFewerColor, kPatternSolid);
      sheet.PutComment(row, 1, Note(row, 1));
      sheet.PutComment(row, 3, Note(row, 3));
    }
    state_.counters = {};
    host::Range range1 = sheet.Ref("A1:A10");
    host::Range range2 = sheet.Ref("C1:C10");
    Diagnose(range1, range2, algorithm);

    const std::string stamp = "<<< 3.7 14:03:09:\n";
    EXPECT_EQ(Comment(1, 1), stamp + "Possible Transpose 123,45 and 132,45\n>>>\n" + Note(1, 1));
    EXPECT_EQ(Comment(2, 3),
              stamp + "Possible Year Error 05.01.2023 and 05.01.2024\n>>>\n" + Note(2, 3));
    EXPECT_EQ(Comment(3, 1), stamp + "Possible Transpose 1.234,5 and 1.243,5\n>>>\n" + Note(3, 1));
    EXPECT_EQ(state_.counters.transpose1, 2);
    EXPECT_EQ(state_.counters.year1, 1);
  }
}

TEST(SortedCharsTest, EachLocaleDropsItsOwnSeparators) {
  const host::LocaleConversions german(German());
  EXPECT_EQ(SortedChars("123,45", german), "12345");
  EXPECT_EQ(SortedChars("05.01.2023", german), "00012235");
  // The en-US separators mean nothing here: "123.45" is a text.
  EXPECT_EQ(SortedChars("123.45", german), "123.45");
  EXPECT_EQ(SortedChars("1/5/2023", german), "1/5/2023");
}

TEST(SortedCharsTest, NumbersAndDatesLoseTheirSeparatorsAndAreSorted) {
  EXPECT_EQ(SortedChars("123.45"), "12345");
  EXPECT_EQ(SortedChars("132.45"), "12345");
  EXPECT_EQ(SortedChars("1/5/2023"), "012235");
  EXPECT_EQ(SortedChars("1/5/2032"), "012235");
  EXPECT_EQ(SortedChars("-21"), "-12");
  // Other texts keep their characters and order.
  EXPECT_EQ(SortedChars("12a"), "12a");
  EXPECT_EQ(SortedChars("a/b.c"), "a/b.c");
  EXPECT_EQ(SortedChars(""), "");
}

}  // namespace
}  // namespace quorvane::analysis
