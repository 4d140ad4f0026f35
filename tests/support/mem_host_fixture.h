// An in-memory host with a workbook "Book1.xlsx" holding a sheet "Sheet1", and what a test reads
// back of its cells. Further workbooks and sheets come from `mem` and `book` as usual.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/conversions.h"
#include "host/value.h"
#include "memhost/host.h"

namespace quorvane::testing {

inline host::Value N(double number) { return host::Value::Number(number); }
inline host::Value T(const std::string& text) { return host::Value::Text(text); }
inline host::Value D(int y, int m, int d) {
  return host::Value::Date(host::SerialFromCivil({y, m, d, 0, 0, 0}));
}

class MemHostFixture : public ::testing::Test {
 protected:
  MemHostFixture() : book(mem.AddWorkbook("Book1.xlsx")), sheet(book.AddSheet("Sheet1")) {}

  // A cell's comment text, "" for a cell without one.
  std::string Comment(int row, int column) const { return CommentOn(sheet, row, column); }
  static std::string CommentOn(const memhost::MemWorksheet& on, int row, int column) {
    const memhost::CellData* cell = on.data().Find(row, column);
    return cell != nullptr && cell->comment ? cell->comment->text : std::string();
  }
  bool HasComment(int row, int column) const {
    const memhost::CellData* cell = sheet.data().Find(row, column);
    return cell != nullptr && cell->comment.has_value();
  }
  // A cell's fill; a cell never touched has the default one.
  memhost::Fill FillOf(int row, int column) const {
    const memhost::CellData* cell = sheet.data().Find(row, column);
    return cell != nullptr ? cell->fill : memhost::Fill{};
  }
  int Pattern(int row, int column) const { return FillOf(row, column).pattern; }

  memhost::MemHost mem;
  memhost::MemWorkbook& book;
  memhost::MemWorksheet& sheet;
};

}  // namespace quorvane::testing
