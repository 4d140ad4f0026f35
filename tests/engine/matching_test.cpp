#include "engine/matching.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/run_driver.h"
#include "host/error.h"
#include "run_fixture.h"

namespace quorvane::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Every behaviour holds for both ways of counting.
class MatchingTest : public RunFixture, public ::testing::WithParamInterface<state::Algorithm> {
 protected:
  void Run(host::Range r1, host::Range r2) {
    range1 = r1;
    range2 = r2;
    MatchRanges(listener, range1, range2, GetParam());
  }
  host::Range range1, range2;
};

INSTANTIATE_TEST_SUITE_P(BothAlgorithms, MatchingTest,
                         ::testing::Values(state::Algorithm::kIndexed,
                                           state::Algorithm::kStraightforward),
                         [](const auto& info) {
                           return info.param == state::Algorithm::kIndexed ? "Indexed"
                                                                           : "Straightforward";
                         });

TEST_P(MatchingTest, DuplicatesAreJudgedAsMultisets) {
  DefaultOptions();
  RunningClock();
  Run(Column(1, {N(100), N(100)}), Column(2, {N(100)}));
  EXPECT_EQ(state.counters.mismatch1, 2);
  EXPECT_EQ(state.counters.mismatch2, 1);
  EXPECT_EQ(state.counters.match1 + state.counters.match2, 0);
  // Range 1's cells hold the value twice against once: green, "2,1"; Range 2's the other way round.
  EXPECT_EQ(FillOf(1, 1).color, 6745634);
  EXPECT_EQ(FillOf(1, 2).color, 11120637);
  EXPECT_THAT(Comment(1, 1), HasSubstr("This list has 2 100's.\nOther list has 1."));
  EXPECT_THAT(Comment(1, 2), HasSubstr("This list has 1 100.\nOther list has 2."));
  ASSERT_EQ(sheet.data().shapes.size(), 3u);
  EXPECT_EQ(sheet.data().shapes[0].text, "2,1");
  EXPECT_EQ(sheet.data().shapes[2].text, "1,2");
}

TEST_P(MatchingTest, SecondPassMatchesThroughTheMatchedTextsWithoutCounting) {
  DefaultOptions();
  RunningClock();
  Run(Column(1, {N(5), N(7)}), Column(2, {N(7), N(5)}));
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_EQ(state.counters.match2, 2);
  if (GetParam() == state::Algorithm::kStraightforward) {
    // Each counting scan ends with a refresh of the twelve labels: two scans for each of the two
    // cells of pass 1, none in pass 2.
    EXPECT_EQ(ribbon.refresh_counts, 4);
  }
}

TEST_P(MatchingTest, EqualDisplayedTextMatchesWhateverTheValue) {
  DefaultOptions();
  state.options.round_numbers = state::kFalse;
  RunningClock();
  sheet.Put(1, 1, N(1.001), "0.00");
  sheet.Put(2, 1, N(0.999), "0.00");
  sheet.Put(1, 2, N(1.001), "0.00");
  Run(sheet.Ref("A1:A2"), sheet.Ref("B1"));
  // 1.001 matches once; 0.999 shows the same text "1.00" and so matches too, uncounted.
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_EQ(state.counters.mismatch1, 0);
  // In pass 2, 1.001 is found in the matched texts as well.
  EXPECT_EQ(state.counters.match2, 1);
}

TEST_P(MatchingTest, MatchedTextsAreSearchedAsOneJoinedText) {
  DefaultOptions();
  state.options.numbers_only = state::kFalse;
  RunningClock();
  // After "a" and "b" matched, the joined texts read "|a||b|", in which "a||b" is found; after
  // "x|c" matched, "c" is found too.
  Run(Column(1, {T("a"), T("b"), T("a||b"), T("x|c"), T("c")}),
      Column(2, {T("a"), T("b"), T("x|c")}));
  EXPECT_EQ(state.counters.match1, 5);
  EXPECT_EQ(state.counters.mismatch1, 0);
}

TEST_P(MatchingTest, MatchedTextsAreToldApartWhateverTheirLength) {
  DefaultOptions();
  state.options.numbers_only = state::kFalse;
  RunningClock();
  // Texts of 15, 16 and 30 characters, two of which differ in the last one only.
  const std::string fifteen = "abcdefghijklmno";
  const std::string sixteen = fifteen + "p";
  const std::string long_text = sixteen + "qrstuvwxyz0123";
  const std::string long_other = sixteen + "qrstuvwxyz0124";
  Run(Column(1, {T(fifteen), T(sixteen), T(long_text), T(long_other)}),
      Column(2, {T(long_text), T(sixteen), T(fifteen)}));
  EXPECT_EQ(state.counters.match1, 3);
  EXPECT_EQ(state.counters.mismatch1, 1);
  EXPECT_EQ(state.counters.match2, 3);
  EXPECT_EQ(state.counters.mismatch2, 0);
}

TEST_P(MatchingTest, BlankAndHiddenCellsAreCountedButNotChecked) {
  DefaultOptions();
  RunningClock();
  host::Range r1 = Column(1, {N(1), host::Value(), N(2), N(3)});
  sheet.HideRow(3);
  host::Range r2 = Column(2, {N(1), N(3), N(9), N(2)});
  Run(r1, r2);
  EXPECT_EQ(state.counters.count1, 3);
  EXPECT_EQ(state.counters.hidden1, 1);
  EXPECT_EQ(state.counters.count2, 3);
  EXPECT_EQ(state.counters.hidden2, 1);
  // 1 and 3 match; the hidden 2 in A3 is no candidate, so B4's 2 has no partner. B3 (9) is hidden.
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_EQ(state.counters.mismatch1, 0);
  EXPECT_EQ(state.counters.mismatch2, 1);
  EXPECT_THAT(Comment(4, 2), HasSubstr("This list has 1 2.\nOther list has 0."));
  EXPECT_EQ(Comment(3, 1), "");
}

TEST_P(MatchingTest, SignOptions) {
  DefaultOptions();
  RunningClock();
  state.options.reverse_sign = state::kTrue;
  Run(Column(1, {N(100), N(-250)}), Column(2, {N(-100), N(250)}));
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_EQ(state.counters.match2, 2);

  state.options.reverse_sign = state::kFalse;
  Run(range1, range2);
  EXPECT_EQ(state.counters.mismatch1, 2);

  state.options.ignore_sign = state::kTrue;
  Run(range1, range2);
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_EQ(state.counters.match2, 2);
}

TEST_P(MatchingTest, RoundingToTwoPlacesHalvesToEven) {
  DefaultOptions();
  RunningClock();
  Run(Column(1, {N(10.125)}), Column(2, {N(10.12), N(10.13)}));
  EXPECT_EQ(state.counters.match1, 1);
  EXPECT_EQ(state.counters.mismatch2, 1);  // 10.13
  EXPECT_THAT(Comment(2, 2), HasSubstr("This list has 1 10.13."));

  state.options.round_numbers = state::kFalse;
  Run(range1, range2);
  EXPECT_EQ(state.counters.mismatch1, 1);
  EXPECT_EQ(state.counters.mismatch2, 2);
}

TEST_P(MatchingTest, CompareNumbersOnlyReadsNumericTextAndSkipsTheRest) {
  DefaultOptions();
  RunningClock();
  Run(Column(1, {T("123"), T("abc"), host::Value::Error(host::CellError::kNA), D(2023, 1, 5)}),
      Column(2, {N(123), D(2023, 1, 5)}));
  EXPECT_EQ(state.counters.match1, 1);
  EXPECT_EQ(state.counters.mismatch1, 0);
  EXPECT_EQ(state.counters.match2, 1);
  EXPECT_EQ(state.counters.mismatch2, 0);  // the date takes no part
  EXPECT_EQ(state.notices, "1) [Book1.xlsx]Sheet1!$A$1 is text but probably should be number.");
}

TEST_P(MatchingTest, WithoutCompareNumbersOnlyDatesAndTextsTakePart) {
  DefaultOptions();
  state.options.numbers_only = state::kFalse;
  RunningClock();
  Run(Column(1, {D(2023, 1, 5), T("1/6/2023"), host::Value::Error(host::CellError::kNA), T("abc")}),
      Column(2, {D(2023, 1, 5), D(2023, 1, 6), T("ABC")}));
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_EQ(state.counters.mismatch1, 1);  // "abc" differs from "ABC"
  EXPECT_EQ(state.notices,
            "1) [Book1.xlsx]Sheet1!$A$2 is text but probably should be date.\n"
            "2) [Book1.xlsx]Sheet1!$A$3 is ERROR");
  EXPECT_EQ(FillOf(3, 1).pattern, host::kPatternNone);  // an error cell is never marked
}

// A cell can hold a threaded comment instead of a note (Excel 2019 and later): the add-in writes no
// note there, and so no fill, whose memo would live in the note. Its box shows the mismatch, the
// counters count it, and a notice says so; the run goes on to the cells after it.
TEST_P(MatchingTest, ACellWithAThreadedCommentIsMarkedByItsBoxOnly) {
  DefaultOptions();
  // 100 + 300 against 400 would be explained as a split, and shade A3 with the diagnosis pattern.
  state.options.explain_more = state::kFalse;
  RunningClock();
  sheet.PutThreadedComment(2, 1);
  Run(Column(1, {N(100), N(200), N(300)}), Column(2, {N(400)}));
  EXPECT_EQ(state.counters.mismatch1, 3);
  EXPECT_EQ(state.counters.mismatch2, 1);
  EXPECT_EQ(FillOf(2, 1), memhost::Fill{});
  EXPECT_FALSE(sheet.data().Find(2, 1)->comment.has_value());
  EXPECT_TRUE(sheet.data().Find(2, 1)->threaded_comment);
  EXPECT_EQ(FillOf(3, 1).pattern, host::kPatternSolid);
  EXPECT_THAT(Comment(3, 1), HasSubstr("This list has 1 300.\nOther list has 0."));
  ASSERT_EQ(sheet.data().shapes.size(), 4u);
  EXPECT_EQ(sheet.data().shapes[1].text, "1,0");
  EXPECT_EQ(state.notices,
            "1) [Book1.xlsx]Sheet1!$A$2 has a threaded comment: it is marked by its box only");
  ASSERT_EQ(state.notice_cells.size(), 1u);
  EXPECT_EQ(state.notice_cells[0].Address(), "$A$2");
}

// A host from before threaded comments raises at Range.CommentThreaded: its cells hold none.
TEST_P(MatchingTest, AHostWithoutThreadedCommentsMarksEveryCellInFull) {
  DefaultOptions();
  RunningClock();
  mem.SetThreadedComments(false);
  Run(Column(1, {N(100), N(200)}), Column(2, {N(100)}));
  EXPECT_EQ(state.counters.mismatch1, 1);
  EXPECT_EQ(FillOf(2, 1).pattern, host::kPatternSolid);
  EXPECT_THAT(Comment(2, 1), HasSubstr("This list has 1 200."));
  EXPECT_EQ(state.notices, "");
}

TEST_P(MatchingTest, TenDigitNumbersAreLeftOut) {
  DefaultOptions();
  state.options.ignore_10_digit = state::kTrue;
  RunningClock();
  Run(Column(1, {N(1234567890), N(-123456789), N(123456789)}), Column(2, {N(5)}));
  EXPECT_EQ(state.counters.mismatch1, 1);
  EXPECT_THAT(Comment(3, 1), HasSubstr("123456789."));
  EXPECT_EQ(Comment(1, 1), "");
  EXPECT_EQ(Comment(2, 1), "");
}

TEST_P(MatchingTest, OnlyExactlyTenDigitsAreLeftOut) {
  DefaultOptions();
  state.options.ignore_10_digit = state::kTrue;
  RunningClock();
  // Eleven characters, as a checked cell and as candidates on both sides.
  Run(Column(1, {N(12345678901), N(-1234567890)}), Column(2, {N(12345678901), N(12345678901)}));
  EXPECT_EQ(state.counters.mismatch1, 2);
  EXPECT_THAT(Comment(1, 1), HasSubstr("This list has 1 12345678901.\nOther list has 2."));
  EXPECT_THAT(Comment(2, 1), HasSubstr("This list has 1 -1234567890.\nOther list has 0."));
  EXPECT_EQ(state.counters.mismatch2, 2);
}

// A number or date too wide for its column shows as a row of "#". Such a text says nothing about
// the value: each cell showing it is counted, and it never enters the matched texts.
TEST_P(MatchingTest, ARowOfHashesIsCountedEveryTime) {
  DefaultOptions();
  RunningClock();
  sheet.data().narrow_columns.insert(1);
  Run(Column(1, {N(1000000), N(2000000), N(3000000)}), Column(2, {N(1000000), N(5), N(6)}));
  ASSERT_EQ(sheet.CellText(2, 1), "########");
  // 1000000 matches; 2000000 and 3000000 do not, though they show the same text.
  EXPECT_EQ(state.counters.match1, 1);
  EXPECT_EQ(state.counters.mismatch1, 2);
  EXPECT_THAT(Comment(2, 1), HasSubstr("This list has 1 2000000.\nOther list has 0."));
  EXPECT_EQ(state.counters.match2, 1);
  EXPECT_EQ(state.counters.mismatch2, 2);
}

TEST_P(MatchingTest, ZerosAreNotCheckedButStillCountAsCandidates) {
  DefaultOptions();
  RunningClock();
  Run(Column(1, {N(0.004)}), Column(2, {N(0)}));
  EXPECT_EQ(state.counters.match1, 1);
  EXPECT_EQ(state.counters.match2 + state.counters.mismatch2, 0);
}

TEST_P(MatchingTest, LiveOptionsChangeAtAYieldAndCopiedOnesOnlyNextRun) {
  DefaultOptions();
  RunningClock();
  // 200 candidates so that the pass yields after the 100th; at that yield the user turns Compare
  // Numbers ONLY off and Reverse Sign on.
  std::vector<host::Value> r1(200, N(1));
  r1.push_back(T("abc"));
  mem.SetYieldHook([&] {
    state.options.numbers_only = state::kFalse;
    state.options.reverse_sign = state::kTrue;
  });
  Run(Column(1, r1), Column(2, {N(1)}));
  // "abc" takes part from then on (a mismatch); the sign of Range 1 is still the run's copy.
  EXPECT_EQ(state.counters.mismatch1, 201);
  EXPECT_THAT(Comment(201, 1), HasSubstr("This list has 1 abc."));
  EXPECT_THAT(Comment(1, 1), HasSubstr("This list has 200 1's.\nOther list has 1."));
}

TEST_P(MatchingTest, StopRequestAtAYieldEndsTheRunOnce) {
  DefaultOptions();
  mem.SetHasScreen(true);
  mem.SetYieldHook([&] { state.stop_requested = state::kTrue; });
  Run(Column(1, {N(1), N(2), N(3)}), Column(2, {N(4), N(5)}));
  ASSERT_EQ(mem.messages().size(), 1u);
  EXPECT_EQ(mem.messages()[0], "User Stopped");
  EXPECT_EQ(state.counters.mismatch1 + state.counters.match1, 0);
  // Nothing of the flashed cell is left behind, and no diagnosis followed.
  EXPECT_EQ(FillOf(1, 1), memhost::Fill{});
  EXPECT_EQ(state.counters.count2, 0);
}

TEST_P(MatchingTest, StopRequestWithoutAScreenEndsTheRunAtTheNextYield) {
  DefaultOptions();
  RunningClock();
  mem.SetYieldHook([&] { state.stop_requested = state::kTrue; });
  Run(Column(1, std::vector<host::Value>(300, N(1))), Column(2, {N(1)}));
  ASSERT_EQ(mem.messages(), std::vector<std::string>{"User Stopped"});
  EXPECT_LT(state.counters.count1, 300);
  EXPECT_EQ(state.counters.count2, 0);
}

TEST_P(MatchingTest, AnimationLeavesEveryFillAsItWas) {
  DefaultOptions();
  mem.SetHasScreen(true);
  sheet.PutFill(1, 2, 65535, host::kPatternSolid);  // yellow
  sheet.PutFill(2, 2, 255, 17);                     // red dots
  Run(Column(1, {N(1), N(2)}), Column(2, {N(1), N(2)}));
  EXPECT_EQ(state.counters.match1, 2);
  EXPECT_GT(mem.yields(), 0u);
  EXPECT_EQ(FillOf(1, 1), memhost::Fill{});
  EXPECT_EQ(FillOf(1, 2), (memhost::Fill{65535, host::kPatternSolid}));
  EXPECT_EQ(FillOf(2, 2), (memhost::Fill{255, 17}));
}

TEST_P(MatchingTest, RangeOutsideTheUsedAreaFailsTheRun) {
  DefaultOptions();
  RunningClock();
  Column(1, {N(1)});
  range1 = sheet.Ref("D10:D20");
  range2 = sheet.Ref("A1");
  EXPECT_THROW(MatchRanges(listener, range1, range2), host::HostError);
}

TEST_P(MatchingTest, BlankRangeOneMakesEveryCheckedCellOfRangeTwoAMismatch) {
  DefaultOptions();
  RunningClock();
  Column(2, {N(1), N(2), N(3)});
  sheet.Put(5, 1, T("note"));  // column A is inside the used area, rows 1 to 3 of it are blank
  Run(sheet.Ref("A1:A3"), sheet.Ref("B1:B3"));
  EXPECT_EQ(state.counters.count1, 3);
  EXPECT_EQ(state.counters.mismatch2, 3);
}

TEST_P(MatchingTest, FormattedBlankCellsAreCountedAsTheHostsUsedRangeHoldsThem) {
  DefaultOptions();
  RunningClock();
  // Borders on A1:A100, values in A1:A10 and B1:B10; a whole formatted column F and row 120.
  for (int row = 1; row <= 100; ++row) sheet.PutFormat(row, 1);
  std::vector<host::Value> values;
  for (int i = 1; i <= 10; ++i) values.push_back(N(i));
  Column(1, values);
  values.back() = N(11);
  Column(2, values);
  Run(sheet.Ref("A:A"), sheet.Ref("B:B"));
  EXPECT_EQ(state.counters.count1, 100);
  EXPECT_EQ(state.counters.match1, 9);
  EXPECT_EQ(state.counters.mismatch1, 1);  // the blank formatted cells are not checked
  EXPECT_EQ(state.counters.count2, 100);
  EXPECT_EQ(state.counters.mismatch2, 1);

  // A whole formatted column adds cells only down to the used range's last row.
  sheet.FormatColumn(6);
  Run(sheet.Ref("F:F"), sheet.Ref("B1:B10"));
  EXPECT_EQ(state.counters.count1, 100);
  EXPECT_EQ(state.counters.mismatch2, 10);
  sheet.FormatRow(120);
  Run(sheet.Ref("F:F"), sheet.Ref("B1:B10"));
  EXPECT_EQ(state.counters.count1, 120);
}

TEST_P(MatchingTest, ARangeOfFormattedBlankCellsAloneGoesAhead) {
  DefaultOptions();
  RunningClock();
  auto& other = book.AddSheet("Other");
  for (int row = 3; row <= 7; ++row) other.PutFormat(row, 4);
  Column(1, {N(1), N(2)});
  Run(other.Ref("D3:D7"), sheet.Ref("A1:A2"));
  EXPECT_EQ(state.counters.count1, 5);
  EXPECT_EQ(state.counters.mismatch1, 0);
  EXPECT_EQ(state.counters.mismatch2, 2);
  EXPECT_EQ(other.data().UsedArea(), (host::Area{3, 4, 7, 4}));
}

class DriverTest : public RunFixture {
 protected:
  host::Range range1, range2;
};

TEST_F(DriverTest, RefusesMoreThanTenThousandItemsInEitherRangeOnce) {
  DefaultOptions();
  RunningClock();
  std::vector<host::Value> many(10001, N(1));
  host::Range big = Column(1, many);
  host::Range small = Column(2, {N(1)});
  state.counters.count1 = 7;  // a previous run's figure stays untouched
  for (auto [a, b] : {std::pair{big, small}, std::pair{small, big}, std::pair{big, big}}) {
    range1 = a;
    range2 = b;
    Compare(listener, range1, range2);
  }
  EXPECT_EQ(mem.messages(), std::vector<std::string>(3, "Too many items in list.  Max is 10000"));
  EXPECT_EQ(state.counters.count1, 7);
  EXPECT_EQ(Comment(1, 2), "");
}

TEST_F(DriverTest, TenThousandItemsAndLargeSparseRangesGoAhead) {
  DefaultOptions();
  RunningClock();
  // 10000 filled cells, one of them a formula's empty text, which counts as an item. Texts take no
  // part under Compare Numbers ONLY, which keeps this run short.
  std::vector<host::Value> values(9999, T("abc"));
  values.push_back(T(""));
  range1 = Column(1, values);
  range2 = sheet.Ref("B1:B20000");
  sheet.Put(20000, 2, T("abc"));
  Compare(listener, range1, range2);
  EXPECT_TRUE(mem.messages().empty());
  EXPECT_EQ(state.counters.count1, 10000);
  EXPECT_EQ(state.counters.count2, 20000);
}

TEST_F(DriverTest, RefusesRangesWhoseCellsWouldOverflowTheCounters) {
  DefaultOptions();
  RunningClock();
  sheet.Put(40000, 1, N(1));
  sheet.Put(1, 2, N(1));
  range1 = sheet.Ref("A:A");
  range2 = sheet.Ref("B1");
  Compare(listener, range1, range2);
  EXPECT_EQ(mem.messages(), std::vector<std::string>{"Too many cells in range.  Max is 32767"});
  EXPECT_EQ(state.counters.count1, 0);
  EXPECT_EQ(Comment(1, 2), "");
}

// The diagnosis counts pairs, which grow with the square of the lists. Its four counters stop at
// 32767 rather than ending the run, and no comment passes the host's 32,767 characters.
class DiagnosisLimitTest : public RunFixture {
 protected:
  void Run() {
    state.options.numbers_only = state::kFalse;  // dates take part
    Compare(listener, range1, range2);
  }
  void ExpectCounterAtLimit(state::Counter counter) {
    EXPECT_EQ(state.counters[counter], 32767);
    EXPECT_EQ(labels.captions.at(std::string(forms::ResultsForm::CountLabel(counter))), "32767");
  }
  void ExpectEveryCommentWithinLimit() {
    for (const auto& [key, cell] : sheet.data().cells) {
      if (cell.comment) {
        EXPECT_LE(cell.comment->text.size(), 32767u) << key.first << "," << key.second;
      }
    }
  }
  host::Range range1, range2;
};

TEST_F(DiagnosisLimitTest, TenDatesADayOfOneYearAgainstTheSameDaysOfTheNext) {
  DefaultOptions();
  RunningClock();
  std::vector<host::Value> dates2023, dates2024;
  for (int day = 0; day < 365; ++day) {
    const host::CivilDateTime date =
        host::CivilFromSerial(host::SerialFromCivil({2023, 1, 1}) + day);
    for (int i = 0; i < 10; ++i) {
      dates2023.push_back(D(2023, date.month, date.day));
      dates2024.push_back(D(2024, date.month, date.day));
    }
  }
  range1 = Column(1, dates2023);
  range2 = Column(2, dates2024);
  EXPECT_NO_THROW(Run());
  EXPECT_EQ(state.counters.mismatch1, 3650);
  ExpectCounterAtLimit(state::Counter::kYear1);
  ExpectCounterAtLimit(state::Counter::kYear2);
  EXPECT_EQ(state.counters.transpose1, state.counters.transpose2);
  ExpectEveryCommentWithinLimit();
}

TEST_F(DiagnosisLimitTest, TransposedAmountsOfLongListsStopAtTheLimit) {
  DefaultOptions();
  RunningClock();
  range1 = Column(1, std::vector<host::Value>(182, N(123.45)));
  range2 = Column(2, std::vector<host::Value>(182, N(132.45)));
  EXPECT_NO_THROW(Run());
  ExpectCounterAtLimit(state::Counter::kTranspose1);
  ExpectCounterAtLimit(state::Counter::kTranspose2);
  // Every pair was written while no comment came near the limit: 182 blocks on each cell.
  const std::string block = "Possible Transpose 123.45 and 132.45";
  std::size_t blocks = 0;
  for (std::size_t at = Comment(1, 1).find(block); at != std::string::npos;
       at = Comment(1, 1).find(block, at + 1)) {
    ++blocks;
  }
  EXPECT_EQ(blocks, 182u);
}

// Shown cells go to the cell counter and hidden ones to the hidden-cell counter: each is held to
// 32767 on its own.
TEST_F(DriverTest, ShownAndHiddenCellsAreLimitedEachOnItsOwn) {
  DefaultOptions();
  RunningClock();
  sheet.Put(1, 1, N(1));
  sheet.Put(40000, 1, N(1));
  sheet.Put(1, 2, N(1));
  for (int row = 20001; row <= 40000; ++row) sheet.HideRow(row);
  range1 = sheet.Ref("A:A");
  range2 = sheet.Ref("B1");
  Compare(listener, range1, range2);
  EXPECT_TRUE(mem.messages().empty());
  EXPECT_EQ(state.counters.count1, 20000);
  EXPECT_EQ(state.counters.hidden1, 20000);

  // 32768 hidden rows overflow the hidden-cell counter although few rows are shown.
  for (int row = 7233; row <= 20000; ++row) sheet.HideRow(row);
  state.counters = {};
  Compare(listener, range1, range2);
  EXPECT_EQ(mem.messages(), std::vector<std::string>{"Too many cells in range.  Max is 32767"});
  EXPECT_EQ(state.counters.hidden1, 0);
}

TEST_F(DriverTest, AnEmptyRangeSlotFailsWithAHostError) {
  DefaultOptions();
  range1 = Column(1, {N(1)});
  range2 = host::Range();
  EXPECT_THROW(Compare(listener, range1, range2), host::HostError);
}

}  // namespace
}  // namespace quorvane::testing
