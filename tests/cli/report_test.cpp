// The run record of compare: what the mismatch report reads back from the marks and findings the
// engine tells it, for cells anywhere on a sheet and sheets of any name.
#include "cli/report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/range.h"
#include "memhost/host.h"

namespace quorvane::cli {
namespace {

using memhost::MemHost;
using memhost::MemWorkbook;
using memhost::MemWorksheet;

class RunRecordTest : public ::testing::Test {
 protected:
  MemHost host_;
  MemWorkbook& book_ = host_.AddWorkbook("Book1.xlsx");
  MemWorksheet& bank_ = book_.AddSheet("Bank");
  MemWorkbook& other_ = host_.AddWorkbook("O'Brien accounts.xlsx");
  MemWorksheet& ledger_ = other_.AddSheet("Ledger 2");
  RunRecord record_;
};

// Marks on both sides, the same cell in both ranges, the last row and column of a sheet, a cell
// paired twice, and a finding about a cell with no mark (a fill from an earlier run).
TEST_F(RunRecordTest, EachMarkKeepsItsOwnCellTextsAndFindingsInOrder) {
  record_.Marked(1, bank_.Ref("C4"), "123.45", "$123.45", 1, 0);
  record_.Marked(2, bank_.Ref("C4"), "123.45", "123.45", 2, 1);
  record_.Marked(2, ledger_.Ref("XFD1048576"), "54.321", "54.32", 1, 3);
  record_.Marked(1, bank_.Ref("AA10"), "7", "7", 1, 2);

  record_.Diagnosed(state::Finding::kTransposition, bank_.Ref("C4"), ledger_.Ref("XFD1048576"));
  record_.Diagnosed(state::Finding::kRounding, bank_.Ref("C4"), bank_.Ref("C4"));
  record_.Diagnosed(state::Finding::kYear, bank_.Ref("A1"), ledger_.Ref("XFD1048576"));

  ASSERT_EQ(record_.size(), 4U);
  const MismatchRecord first = record_.Mismatch(0);
  EXPECT_EQ(first.range, 1);
  EXPECT_EQ(first.workbook, "Book1.xlsx");
  EXPECT_EQ(first.sheet, "Bank");
  EXPECT_EQ(first.cell, "C4");
  EXPECT_EQ(first.value, "123.45");
  EXPECT_EQ(first.text, "$123.45");
  EXPECT_EQ(first.Direction(), std::string("more here"));
  EXPECT_EQ(first.diagnosis, "transposition; rounding");
  EXPECT_EQ(first.partner,
            "'[O''Brien accounts.xlsx]Ledger 2'!$XFD$1048576; [Book1.xlsx]Bank!$C$4");

  // The same cell in Range 2 is a mark of its own, paired only by the rounding finding.
  const MismatchRecord second = record_.Mismatch(1);
  EXPECT_EQ((std::pair{second.range, second.cell}), (std::pair{2, std::string("C4")}));
  EXPECT_EQ(second.count_here, 2);
  EXPECT_EQ(second.count_there, 1);
  EXPECT_EQ(second.diagnosis, "rounding");
  EXPECT_EQ(second.partner, "[Book1.xlsx]Bank!$C$4");

  const MismatchRecord corner = record_.Mismatch(2);
  EXPECT_EQ(corner.workbook, "O'Brien accounts.xlsx");
  EXPECT_EQ(corner.sheet, "Ledger 2");
  EXPECT_EQ(corner.cell, "XFD1048576");
  EXPECT_EQ(corner.Direction(), std::string("fewer here"));
  // Its year finding pairs it with Bank!A1, which bears no mark: told on this side only.
  EXPECT_EQ(corner.diagnosis, "transposition; year");
  EXPECT_EQ(corner.partner, "[Book1.xlsx]Bank!$C$4; [Book1.xlsx]Bank!$A$1");

  const MismatchRecord last = record_.Mismatch(3);
  EXPECT_EQ(last.cell, "AA10");
  EXPECT_EQ(last.diagnosis, "");
  EXPECT_EQ(last.partner, "");
}

// Cells near one another, or at the far edge of a sheet, each keep their own findings.
TEST_F(RunRecordTest, FindingsReachTheirOwnCellOnly) {
  for (const char* cell : {"XFD2", "XFD3", "A1048575", "A1048576"}) {
    record_.Marked(2, ledger_.Ref(cell), "1", "1", 1, 0);
  }
  record_.Marked(1, bank_.Ref("A1"), "1", "1", 1, 0);
  record_.Diagnosed(state::Finding::kYear, bank_.Ref("A1"), ledger_.Ref("XFD2"));
  record_.Diagnosed(state::Finding::kRounding, bank_.Ref("A1"), ledger_.Ref("A1048576"));
  ASSERT_EQ(record_.size(), 5U);
  EXPECT_EQ(record_.Mismatch(0).diagnosis, "year");
  EXPECT_EQ(record_.Mismatch(1).diagnosis, "");
  EXPECT_EQ(record_.Mismatch(2).diagnosis, "");
  EXPECT_EQ(record_.Mismatch(3).diagnosis, "rounding");
  EXPECT_EQ(record_.Mismatch(4).diagnosis, "year; rounding");
  EXPECT_EQ(
      record_.Mismatch(4).partner,
      "'[O''Brien accounts.xlsx]Ledger 2'!$XFD$2; '[O''Brien accounts.xlsx]Ledger 2'!$A$1048576");
}

TEST_F(RunRecordTest, TheCsvAndJsonFormsHoldTheSameRecords) {
  record_.Marked(1, bank_.Ref("C3"), "1", "1", 1, 0);
  record_.Marked(2, ledger_.Ref("A2"), "2", "2", 1, 0);
  record_.Diagnosed(state::Finding::kYear, bank_.Ref("C3"), ledger_.Ref("A2"));
  std::ostringstream csv;
  WriteCsv(csv, record_);
  EXPECT_EQ(csv.str(),
            "\xEF\xBB\xBF\"range\",\"workbook\",\"sheet\",\"cell\",\"value\",\"text\","
            "\"count_here\",\"count_there\",\"direction\",\"diagnosis\",\"partner\"\r\n"
            "\"1\",\"Book1.xlsx\",\"Bank\",\"C3\",\"1\",\"1\",\"1\",\"0\",\"more here\",\"year\","
            "\"'[O''Brien accounts.xlsx]Ledger 2'!$A$2\"\r\n"
            "\"2\",\"O'Brien accounts.xlsx\",\"Ledger 2\",\"A2\",\"2\",\"2\",\"1\",\"0\","
            "\"more here\",\"year\",\"[Book1.xlsx]Bank!$C$3\"\r\n");
  const nlohmann::ordered_json json = MismatchesJson(record_);
  ASSERT_EQ(json.size(), 2U);
  EXPECT_EQ(json[1]["partner"], "[Book1.xlsx]Bank!$C$3");
  EXPECT_EQ(json[0]["cell"], "C3");
}

}  // namespace
}  // namespace quorvane::cli
