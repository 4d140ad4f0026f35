// What the user sees of a sheet (every cell's fill and comment, the shapes' names), and the two
// checks of the fault tests: the sheet is the user's again, or everything that differs from the
// user's sheet is something that "Clear Formatting" undoes.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "memhost/host.h"
#include "memhost/model.h"

namespace quorvane::testing {

struct SheetState {
  std::map<memhost::CellKey, memhost::Fill> fills;  // filled cells only
  std::map<memhost::CellKey, memhost::CommentData> comments;
  std::vector<std::string> shapes;

  static SheetState Of(const memhost::MemWorksheet& sheet) {
    SheetState state;
    for (const auto& [key, cell] : sheet.data().cells) {
      if (cell.fill.pattern != host::kPatternNone) state.fills[key] = cell.fill;
      if (cell.comment) state.comments[key] = *cell.comment;
    }
    for (const memhost::ShapeData& shape : sheet.data().shapes) state.shapes.push_back(shape.name);
    return state;
  }

  memhost::Fill FillAt(const memhost::CellKey& key) const {
    const auto it = fills.find(key);
    return it == fills.end() ? memhost::Fill{} : it->second;
  }
};

inline std::string CellName(const memhost::CellKey& key) {
  return host::ColumnLetters(key.second) + std::to_string(key.first);
}

// The comment text without the add-in's blocks (from the first "<<<" to the last ">>>"); the text
// itself when it holds no complete block.
inline std::string UserText(const std::string& text) {
  const std::size_t s = text.find("<<<");
  const std::size_t k = text.rfind(">>>");
  if (s == std::string::npos || k == std::string::npos || k < s) return text;
  return text.substr(0, s) + text.substr(k + 3);
}

// The fill a comment's memo records, if the comment holds one.
inline std::optional<memhost::Fill> MemoFill(const std::string& text) {
  const std::size_t p = text.find("zvk_color=");
  if (p == std::string::npos) return std::nullopt;
  const std::size_t end = text.find(">>>", p);
  if (end == std::string::npos) return std::nullopt;
  const std::string memo = text.substr(p, end - p);
  const std::size_t comma = memo.find(",zvk_pattern=");
  if (comma == std::string::npos) return std::nullopt;
  memhost::Fill fill;
  fill.color = std::stoi(memo.substr(10, comma - 10));
  fill.pattern = std::stoi(memo.substr(comma + 13));
  if (fill.pattern == host::kPatternNone) fill = memhost::Fill{};
  return fill;
}

// The sheet is exactly the user's.
inline void ExpectSameSheet(const SheetState& user, const SheetState& now) {
  EXPECT_EQ(now.shapes, user.shapes);
  for (const auto& [key, fill] : user.fills) {
    EXPECT_EQ(now.FillAt(key), fill) << CellName(key) << " lost the user's fill";
  }
  for (const auto& [key, fill] : now.fills) {
    EXPECT_EQ(user.FillAt(key), fill) << CellName(key) << " keeps a fill the user did not give it";
  }
  EXPECT_EQ(now.comments.size(), user.comments.size());
  for (const auto& [key, comment] : user.comments) {
    const auto it = now.comments.find(key);
    ASSERT_NE(it, now.comments.end()) << CellName(key) << " lost the user's comment";
    EXPECT_EQ(it->second.text, comment.text) << CellName(key);
    EXPECT_EQ(it->second.visible, comment.visible) << CellName(key);
  }
}

// Whatever differs from the user's sheet is the add-in's and is undone by the clearing pass: every
// user comment is intact below the add-in's blocks; every other comment holds add-in blocks only;
// every changed fill is recorded in a memo; every shape that is not the user's is a "CmtNum" one.
inline void ExpectRecoverable(const SheetState& user, const SheetState& now) {
  for (const auto& [key, comment] : user.comments) {
    const auto it = now.comments.find(key);
    ASSERT_NE(it, now.comments.end()) << CellName(key) << " lost the user's comment";
    EXPECT_EQ(UserText(it->second.text), comment.text) << CellName(key) << ": " << it->second.text;
  }
  for (const auto& [key, comment] : now.comments) {
    if (user.comments.count(key)) continue;
    EXPECT_NE(comment.text.find("<<<"), std::string::npos)
        << CellName(key) << " has a comment the clearing cannot remove: '" << comment.text << "'";
    EXPECT_EQ(UserText(comment.text), "") << CellName(key);
  }
  for (const auto& [key, fill] : now.fills) {
    if (user.FillAt(key) == fill) continue;
    const auto it = now.comments.find(key);
    const std::optional<memhost::Fill> memo =
        it == now.comments.end() ? std::nullopt : MemoFill(it->second.text);
    ASSERT_TRUE(memo.has_value()) << CellName(key) << " has a changed fill and no memo";
    EXPECT_EQ(*memo, user.FillAt(key)) << CellName(key) << "'s memo does not give the fill back";
  }
  for (const auto& [key, fill] : user.fills) {
    if (now.fills.count(key)) continue;
    const auto it = now.comments.find(key);
    ASSERT_TRUE(it != now.comments.end() && MemoFill(it->second.text).has_value())
        << CellName(key) << " lost the user's fill and has no memo";
  }
  std::vector<std::string> others;
  for (const std::string& name : now.shapes) {
    if (name.rfind("CmtNum", 0) != 0) others.push_back(name);
  }
  EXPECT_EQ(others, user.shapes) << "a shape that no removal finds";
}

}  // namespace quorvane::testing
