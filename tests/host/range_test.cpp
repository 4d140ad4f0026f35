#include "host/range.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "host/error.h"
#include "host/worksheet.h"

namespace quorvane::host {
namespace {

// Just enough of a workbook and a sheet for names and addresses; no cell member is used.
class FakeBook : public Workbook {
 public:
  explicit FakeBook(std::string name) : name_(std::move(name)) {}
  std::string Name() override { return name_; }
  void Activate() override {}
  Worksheet& Worksheets(const std::string&) override { throw HostError(kSubscriptOutOfRange); }
  void FollowHyperlink(const std::string&) override {}

 private:
  std::string name_;
};

class FakeSheet : public Worksheet {
 public:
  FakeSheet(FakeBook& book, std::string name) : book_(book), name_(std::move(name)) {}
  std::string Name() override { return name_; }
  Workbook& Parent() override { return book_; }
  void Select() override {}
  void SelectCells(const Area&) override {}
  Range UsedRange() override { return {}; }
  Value CellValue(int, int) override { return {}; }
  std::string CellText(int, int) override { return ""; }
  bool RowHidden(int) override { return false; }
  double InteriorColor(int, int) override { return kColorWhite; }
  double InteriorPattern(int, int) override { return kPatternNone; }
  void SetInteriorColor(int, int, const Value&) override {}
  void SetInteriorPattern(int, int, const Value&) override {}
  bool HasComment(int, int) override { return false; }
  void AddComment(int, int) override {}
  std::string CommentText(int, int) override { return ""; }
  void SetCommentText(int, int, const std::string&) override {}
  void SetCommentVisible(int, int, bool) override {}
  void ClearComments(const Area&) override {}
  bool HasThreadedComment(int, int) override { return false; }
  double CellLeft(int, int) override { return 0; }
  double CellTop(int, int) override { return 0; }
  double CellWidth(int, int) override { return 0; }
  int ShapesCount() override { return 0; }
  std::unique_ptr<Shape> ShapesItem(int) override { return nullptr; }
  std::unique_ptr<Shape> AddShape(int, double, double, double, double) override { return nullptr; }

 private:
  FakeBook& book_;
  std::string name_;
};

TEST(RangeTest, ItemGoesOnBelowTheFirstArea) {
  FakeBook book("Book1.xlsx");
  FakeSheet sheet(book, "Sheet1");
  const Range r(&sheet, Area{2, 2, 3, 4});  // B2:D3, three columns wide
  EXPECT_EQ(r.CellsCount(), 6);
  EXPECT_EQ(r.Item(1).Address(), "$B$2");
  EXPECT_EQ(r.Item(4).Address(), "$B$3");
  EXPECT_EQ(r.Item(6).Address(), "$D$3");
  EXPECT_EQ(r.Item(7).Address(), "$B$4");  // past the end: as if the area went on downward
  EXPECT_THROW(r.Item(0), HostError);
  const Range two(&sheet, {Area{1, 1, 2, 1}, Area{5, 3, 5, 3}});
  EXPECT_EQ(two.CellsCount(), 3);
  EXPECT_EQ(two.Item(3).Address(), "$A$3");  // Item follows the first area only
  EXPECT_EQ(two.Address(), "$A$1:$A$2,$C$5");
}

TEST(RangeTest, ExternalAddressQuotesNamesThatNeedIt) {
  FakeBook plain("Book1.xlsx");
  FakeSheet sheet1(plain, "Sheet1");
  EXPECT_EQ(Range(&sheet1, Area{2, 1, 40, 1}).Address(true), "[Book1.xlsx]Sheet1!$A$2:$A$40");
  EXPECT_EQ(Range(&sheet1, Area{1, 1, kMaxRows, 1}).Address(true), "[Book1.xlsx]Sheet1!$A:$A");

  FakeBook spaced("wb with spaces.xlsx");
  FakeSheet sheet2(spaced, "Sheet1");
  EXPECT_EQ(Range(&sheet2, Area{1, 1, 1, 1}).Address(true), "'[wb with spaces.xlsx]Sheet1'!$A$1");

  FakeBook quoted("Bob's.xlsx");
  FakeSheet sheet3(quoted, "It's");
  EXPECT_EQ(Range(&sheet3, Area{1, 1, 1, 1}).Address(true), "'[Bob''s.xlsx]It''s'!$A$1");

  FakeSheet cell_like(plain, "AB12");  // a sheet name that reads as a cell is quoted
  EXPECT_EQ(Range(&cell_like, Area{1, 1, 1, 1}).Address(true), "'[Book1.xlsx]AB12'!$A$1");
}

TEST(RangeTest, NothingRaisesObjectNotSet) {
  const Range nothing;
  EXPECT_TRUE(nothing.is_nothing());
  try {
    nothing.Address();
    FAIL();
  } catch (const HostError& e) {
    EXPECT_EQ(e.description(), kObjectNotSet);
  }
}

}  // namespace
}  // namespace quorvane::host
