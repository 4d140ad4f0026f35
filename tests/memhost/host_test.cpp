// The in-memory application: workbooks and activation, references, worksheet functions, the user's
// boxes and bars, the clock, the message loop and the call counter.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/error.h"
#include "memhost/expect_host_error.h"
#include "memhost/host.h"
#include "support/mem_host_fixture.h"

namespace quorvane::memhost {
namespace {

using host::Area;
using host::HostError;
using host::Range;
using host::Value;

class HostTest : public quorvane::testing::MemHostFixture {
 protected:
  MemWorksheet& data_ = book.AddSheet("Data");
  MemWorkbook& other_ = mem.AddWorkbook("O'Brien.xlsx");
  MemWorksheet& other_sheet_ = other_.AddSheet("List");
};

TEST_F(HostTest, FirstWorkbookAndFirstSheetAreActive) {
  EXPECT_EQ(&mem.ActiveWorkbook(), &book);
  EXPECT_EQ(&mem.ActiveSheet(), &sheet);
  EXPECT_EQ(&mem.Worksheets("Data"), &data_);
  EXPECT_HOST_ERROR(mem.Worksheets("List"), host::kSubscriptOutOfRange);  // not active
}

TEST_F(HostTest, NamesAreFoundExactlyFirstThenInAnyCase) {
  MemWorkbook& upper = mem.AddWorkbook("BOOK2.xlsx");
  MemWorkbook& lower = mem.AddWorkbook("book2.xlsx.bak");
  EXPECT_EQ(&mem.Workbooks("book2.XLSX"), &upper);
  EXPECT_EQ(&mem.Workbooks("book2.xlsx.bak"), &lower);
  EXPECT_EQ(&mem.Workbooks("O'Brien.xlsx"), &other_);
  EXPECT_HOST_ERROR(mem.Workbooks("Book3.xlsx"), host::kSubscriptOutOfRange);
  EXPECT_EQ(&mem.Worksheets("DATA"), &data_);
  EXPECT_EQ(&book.Worksheets("sheet1"), &sheet);
  EXPECT_HOST_ERROR(book.Worksheets("Sheet 1"), host::kSubscriptOutOfRange);
  // An exact match wins over one in other letter case.
  MemWorksheet& exact = upper.AddSheet("Data");
  EXPECT_THROW(upper.AddSheet("data"), HostError);  // the host keeps sheet names unique
  EXPECT_EQ(&upper.Worksheets("Data"), &exact);
}

TEST_F(HostTest, ActivateThenSelectBringsASheetToTheFront) {
  EXPECT_THROW(other_sheet_.Select(), HostError);  // its workbook is not active
  EXPECT_EQ(&mem.ActiveWorkbook(), &book);

  mem.Workbooks("o'brien.xlsx").Activate();
  mem.Worksheets("List").Select();
  EXPECT_EQ(&mem.ActiveWorkbook(), &other_);
  EXPECT_EQ(&mem.ActiveSheet(), &other_sheet_);

  // Each workbook keeps its own active sheet.
  book.Activate();
  data_.Select();
  EXPECT_EQ(&mem.ActiveSheet(), &data_);
  other_.Activate();
  EXPECT_EQ(&mem.ActiveSheet(), &other_sheet_);
}

TEST_F(HostTest, UsedRangeOfTheActiveSheetCutsAWholeColumn) {
  data_.Put(2, 2, Value::Number(1));
  data_.Put(9, 4, Value::Number(2));
  data_.Put(1, 1, Value::Text("head"));
  data_.Put(25, 3, Value::Text("x"));
  data_.Select();
  const Range used = mem.ActiveSheet().UsedRange();
  EXPECT_EQ(used.Address(), "$A$1:$D$25");
  EXPECT_EQ(mem.Intersect(data_.Ref("A2:A40"), used).Address(), "$A$2:$A$25");

  // A whole column beside the used range: nothing.
  const Range b_to_d = data_.Ref("B2:D9");
  EXPECT_TRUE(mem.Intersect(data_.Ref("A:A"), b_to_d).is_nothing());
}

TEST_F(HostTest, IntersectOfSeveralAreasAndOfOtherSheets) {
  const Range pieces = mem.Intersect(sheet.Ref("A1:B10,D1:D10"), sheet.Ref("2:3"));
  EXPECT_EQ(pieces.Address(), "$A$2:$B$3,$D$2:$D$3");
  EXPECT_EQ(&pieces.Parent(), &sheet);
  EXPECT_THROW(mem.Intersect(sheet.Ref("A1"), data_.Ref("A1")), HostError);
  EXPECT_THROW(mem.Intersect(Range(), sheet.Ref("A1")), HostError);
}

TEST_F(HostTest, RangeFromReference) {
  EXPECT_EQ(mem.RangeFromReference("$B$3:$B$17"), sheet.Ref("B3:B17"));
  EXPECT_EQ(mem.RangeFromReference("data!A2"), data_.Ref("A2"));
  EXPECT_EQ(mem.RangeFromReference("'[O''Brien.xlsx]List'!$A$2:$A$40"), other_sheet_.Ref("A2:A40"));
  EXPECT_EQ(mem.RangeFromReference("'[O''Brien.xlsx]List'!A1").Address(true),
            "'[O''Brien.xlsx]List'!$A$1");
  // No sheet: the active sheet of the workbook named, or of the active workbook.
  other_.Activate();
  EXPECT_EQ(mem.RangeFromReference("C3"), other_sheet_.Ref("C3"));
  EXPECT_THROW(mem.RangeFromReference("Nowhere!A1"), HostError);
  EXPECT_THROW(mem.RangeFromReference("[Book9.xlsx]Sheet1!A1"), HostError);
  EXPECT_THROW(mem.RangeFromReference("not a reference"), HostError);
  EXPECT_THROW(sheet.Ref("A0"), HostError);
  EXPECT_THROW(sheet.Ref("Data!A1"), HostError);  // another sheet
}

TEST_F(HostTest, WorksheetFunctionsJudgeTheStoredValue) {
  sheet.Put(1, 1, Value::Number(1));
  sheet.Put(2, 1, Value::Text(""));  // a formula's empty text is not empty
  sheet.Put(3, 1, Value(), "0.00");  // a format alone is
  sheet.Put(4, 1, Value::Error(host::CellError::kNA));
  sheet.Put(5, 1, Value::Logical(false));
  sheet.Put(6, 1, Value::Text("19"));
  sheet.Put(1000000, 1, Value::Date(45000));
  sheet.Put(2, 2, Value::Number(7));
  sheet.Put(500, 3, Value::Number(7));

  EXPECT_EQ(mem.CountA(sheet.Ref("A:A")), 6);
  EXPECT_EQ(mem.CountA(sheet.Ref("B1:B3,A5:A6")), 3);
  EXPECT_EQ(mem.CountA(sheet.Ref("B1:IV3")), 1);
  EXPECT_EQ(mem.CountA(sheet.Ref("D1:D10")), 0);

  EXPECT_TRUE(mem.IsError(sheet.Ref("A4")));
  EXPECT_FALSE(mem.IsError(sheet.Ref("A6")));
  EXPECT_TRUE(mem.IsText(sheet.Ref("A6")));
  EXPECT_TRUE(mem.IsText(sheet.Ref("A2")));
  EXPECT_FALSE(mem.IsText(sheet.Ref("A1")));
  EXPECT_FALSE(mem.IsText(sheet.Ref("A3")));
  EXPECT_TRUE(mem.IsLogical(sheet.Ref("A5")));
  EXPECT_FALSE(mem.IsLogical(sheet.Ref("A1")));
}

TEST_F(HostTest, InputBoxesAreRecordedAndAnsweredByTheHandler) {
  EXPECT_EQ(mem.InputBox("Select range from Excel Sheet", "Get Range #1", "$B$3:$B$17"),
            std::nullopt);  // no handler: cancelled
  ASSERT_EQ(mem.input_boxes().size(), 1u);
  EXPECT_EQ(mem.input_boxes()[0].prompt, "Select range from Excel Sheet");
  EXPECT_EQ(mem.input_boxes()[0].title, "Get Range #1");
  EXPECT_EQ(mem.input_boxes()[0].default_text, "$B$3:$B$17");

  mem.SetInputBoxHandler([&](const InputBoxRequest& request) -> std::optional<Range> {
    if (request.title == "Get Range #2") return std::nullopt;
    return mem.RangeFromReference(request.default_text);
  });
  EXPECT_EQ(mem.InputBox("p", "Get Range #1", "A1:A3"), sheet.Ref("A1:A3"));
  EXPECT_EQ(mem.InputBox("p", "Get Range #2", "A1:A3"), std::nullopt);
  EXPECT_EQ(mem.input_boxes().size(), 3u);
}

TEST_F(HostTest, MessagesStatusBarSelectionAndLinks) {
  std::string seen;
  mem.SetMessageHook([&](const std::string& text) {
    seen = text;
    EXPECT_EQ(mem.messages().size(), 1u);  // recorded before the hook runs
  });
  mem.MsgBox("Unable to initialize Application Object!", host::MessageIcon::kExclamation);
  EXPECT_EQ(seen, "Unable to initialize Application Object!");
  EXPECT_EQ(mem.message_icons(), std::vector{host::MessageIcon::kExclamation});

  EXPECT_EQ(mem.status_bar(), std::nullopt);
  mem.SetStatusBar("Ranges Comparison is in Progress ....");
  EXPECT_EQ(mem.status_bar(), "Ranges Comparison is in Progress ....");
  mem.ResetStatusBar();
  EXPECT_EQ(mem.status_bar(), std::nullopt);
  EXPECT_EQ(mem.status_bar_history().size(), 2u);

  EXPECT_TRUE(mem.Selection().is_nothing());
  mem.SetSelection(sheet.Ref("B3:B17"));
  EXPECT_EQ(mem.Selection().Address(), "$B$3:$B$17");

  mem.ActiveWorkbook().FollowHyperlink("https://example.com/");
  EXPECT_EQ(mem.followed_links(), std::vector<std::string>{"https://example.com/"});
  mem.SetHyperlinkFailure("Cannot open the specified file.");
  EXPECT_HOST_ERROR(book.FollowHyperlink("https://example.com/"),
                    "Cannot open the specified file.");
  EXPECT_EQ(mem.followed_links().size(), 1u);
}

TEST_F(HostTest, ClockAndMessageLoop) {
  // The machine's clock by default: some day after 2020.
  EXPECT_GT(mem.Now(), 43831);
  mem.SetTime(44931.5);
  EXPECT_EQ(mem.Now(), 44931.5);

  // The yield hook may call back into the host, even nested.
  int depth = 0, max_depth = 0;
  mem.SetYieldHook([&] {
    ++depth;
    max_depth = std::max(max_depth, depth);
    if (depth < 3) mem.DoEvents();
    --depth;
  });
  mem.DoEvents();
  EXPECT_EQ(max_depth, 3);
  EXPECT_EQ(mem.yields(), 3u);
  // A hook may replace itself while it runs.
  mem.SetYieldHook([&] { mem.SetYieldHook(nullptr); });
  mem.DoEvents();
  mem.DoEvents();
}

TEST_F(HostTest, CellsAreSelectedOnlyOnTheActiveSheetOfTheActiveWorkbook) {
  sheet.Ref("B2").Select();
  EXPECT_EQ(mem.Selection().Address(true), "[Book1.xlsx]Sheet1!$B$2");
  EXPECT_HOST_ERROR(data_.Ref("C3").Select(), "Select method of Range class failed");
  EXPECT_HOST_ERROR(other_sheet_.Ref("C3").Select(), "Select method of Range class failed");
  EXPECT_EQ(mem.Selection().Address(true), "[Book1.xlsx]Sheet1!$B$2");
  // Activating the workbook, then selecting the sheet, lets its cells be selected.
  other_.Activate();
  other_sheet_.Select();
  other_sheet_.Ref("C3:D4").Select();
  EXPECT_TRUE(mem.Selection() == other_sheet_.Ref("C3:D4"));
}

}  // namespace
}  // namespace quorvane::memhost
