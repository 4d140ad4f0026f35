// Comparing two workbook models as a file can carry them: values, number formats, fills, notes,
// rows, columns, protection and shapes (style indexes and the host's own shape ids left out).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "host/value.h"
#include "memhost/model.h"

namespace quorvane::xlsx::testing {

inline void ExpectSameSheet(const memhost::SheetData& a, const memhost::SheetData& b) {
  SCOPED_TRACE("sheet " + a.name);
  EXPECT_EQ(a.name, b.name);
  ASSERT_EQ(a.cells.size(), b.cells.size());
  for (auto i = a.cells.begin(), j = b.cells.begin(); i != a.cells.end(); ++i, ++j) {
    SCOPED_TRACE("cell row " + std::to_string(i->first.first) + " column " +
                 std::to_string(i->first.second));
    ASSERT_EQ(i->first, j->first);
    EXPECT_EQ(host::DebugString(i->second.value), host::DebugString(j->second.value));
    EXPECT_EQ(i->second.number_format, j->second.number_format);
    EXPECT_EQ(i->second.fill.color, j->second.fill.color);
    EXPECT_EQ(i->second.fill.pattern, j->second.fill.pattern);
    EXPECT_EQ(i->second.formatted, j->second.formatted);
    EXPECT_EQ(i->second.comment.has_value(), j->second.comment.has_value());
    if (i->second.comment && j->second.comment) {
      EXPECT_EQ(i->second.comment->text, j->second.comment->text);
      EXPECT_EQ(i->second.comment->visible, j->second.comment->visible);
    }
  }
  EXPECT_EQ(a.hidden_rows, b.hidden_rows);
  auto keys = [](const std::map<int, int>& styles) {
    std::vector<int> out;
    for (const auto& entry : styles) out.push_back(entry.first);
    return out;
  };
  EXPECT_EQ(keys(a.row_styles), keys(b.row_styles));
  EXPECT_EQ(keys(a.column_styles), keys(b.column_styles));
  EXPECT_EQ(a.is_protected, b.is_protected);
  EXPECT_EQ(a.column_widths, b.column_widths);
  EXPECT_EQ(a.row_heights, b.row_heights);
  ASSERT_EQ(a.shapes.size(), b.shapes.size());
  for (std::size_t k = 0; k < a.shapes.size(); ++k) {
    const memhost::ShapeData& s = a.shapes[k];
    const memhost::ShapeData& t = b.shapes[k];
    SCOPED_TRACE("shape " + s.name);
    EXPECT_EQ(s.name, t.name);
    EXPECT_EQ(s.type, t.type);
    EXPECT_NEAR(s.left, t.left, 1e-3);
    EXPECT_NEAR(s.top, t.top, 1e-3);
    EXPECT_NEAR(s.width, t.width, 1e-3);
    EXPECT_NEAR(s.height, t.height, 1e-3);
    EXPECT_EQ(s.text, t.text);
    EXPECT_EQ(s.font_size, t.font_size);
    EXPECT_EQ(s.font_color_index, t.font_color_index);
    EXPECT_EQ(s.fill_scheme_color, t.fill_scheme_color);
    EXPECT_EQ(s.fill_visible, t.fill_visible);
    EXPECT_EQ(s.fill_solid, t.fill_solid);
    EXPECT_EQ(s.line_visible, t.line_visible);
    EXPECT_EQ(s.line_scheme_color, t.line_scheme_color);
    EXPECT_NEAR(s.line_weight, t.line_weight, 1e-6);
    EXPECT_NEAR(s.margin_left, t.margin_left, 1e-6);
    EXPECT_NEAR(s.margin_top, t.margin_top, 1e-6);
    EXPECT_NEAR(s.margin_right, t.margin_right, 1e-6);
    EXPECT_NEAR(s.margin_bottom, t.margin_bottom, 1e-6);
    EXPECT_EQ(s.horizontal_alignment, t.horizontal_alignment);
  }
}

inline void ExpectSameWorkbook(const memhost::WorkbookData& a, const memhost::WorkbookData& b) {
  ASSERT_EQ(a.sheets.size(), b.sheets.size());
  for (std::size_t i = 0; i < a.sheets.size(); ++i) ExpectSameSheet(a.sheets[i], b.sheets[i]);
}

}  // namespace quorvane::xlsx::testing
