#include "host/reference.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "host/ascii.h"

namespace quorvane::host {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One end of an area: a cell ("$B$3"), a column ("B") or a row ("3"). Zero marks the missing part.
struct Corner {
  int column = 0;
  int row = 0;
};

std::optional<Corner> ParseCorner(std::string_view s) {
  Corner corner;
  std::size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  std::size_t letters = 0;
  while (i < s.size() && IsLetter(s[i])) {
    if (++letters > 3) return std::nullopt;
    corner.column = corner.column * 26 + (AsciiUpper(s[i]) - 'A' + 1);
    ++i;
  }
  if (letters > 0 && i < s.size() && s[i] == '$') ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (++digits > 7) return std::nullopt;
    corner.row = corner.row * 10 + (s[i] - '0');
    ++i;
  }
  if (i != s.size() || (letters == 0 && digits == 0)) return std::nullopt;
  if (letters > 0 && (corner.column < 1 || corner.column > kMaxColumns)) return std::nullopt;
  if (digits > 0 && (corner.row < 1 || corner.row > kMaxRows)) return std::nullopt;
  // "$A" followed by nothing after a "$" meant for the row, e.g. "A$", is malformed.
  if (!s.empty() && s.back() == '$') return std::nullopt;
  return corner;
}

std::optional<Area> ParseArea(std::string_view s) {
  const std::size_t colon = s.find(':');
  if (colon == std::string_view::npos) {
    const std::optional<Corner> cell = ParseCorner(s);
    if (!cell || cell->row == 0 || cell->column == 0) return std::nullopt;
    return Area{cell->row, cell->column, cell->row, cell->column};
  }
  const std::optional<Corner> a = ParseCorner(s.substr(0, colon));
  const std::optional<Corner> b = ParseCorner(s.substr(colon + 1));
  if (!a || !b) return std::nullopt;
  const bool a_cell = a->row > 0 && a->column > 0, b_cell = b->row > 0 && b->column > 0;
  if (a_cell && b_cell) {
    return Area{std::min(a->row, b->row), std::min(a->column, b->column), std::max(a->row, b->row),
                std::max(a->column, b->column)};
  }
  if (a->row == 0 && b->row == 0) {  // whole columns
    return Area{1, std::min(a->column, b->column), kMaxRows, std::max(a->column, b->column)};
  }
  if (a->column == 0 && b->column == 0) {  // whole rows
    return Area{std::min(a->row, b->row), 1, std::max(a->row, b->row), kMaxColumns};
  }
  return std::nullopt;  // a cell with a whole column or row, as in "A1:B"
}

struct Prefix {
  std::optional<std::string> workbook;
  std::string sheet;
  friend bool operator==(const Prefix&, const Prefix&) = default;
};

// "[Book]Sheet" or "Sheet" after any quotes are undone.
std::optional<Prefix> SplitPrefix(const std::string& name) {
  Prefix prefix;
  std::string rest = name;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || close == 1) return std::nullopt;
    prefix.workbook = rest.substr(1, close - 1);
    rest = rest.substr(close + 1);
  }
  if (rest.empty() || rest.find_first_of("[]") != std::string::npos) return std::nullopt;
  prefix.sheet = rest;
  return prefix;
}

// Reads "Sheet!", "[Book]Sheet!" or a quoted "'...'!" at position i; leaves i after the "!".
// Returns no prefix and leaves i alone when the item has none; sets `bad` when it is malformed.
std::optional<Prefix> ReadPrefix(std::string_view text, std::size_t& i, bool& bad) {
  if (i < text.size() && text[i] == '\'') {
    std::string name;
    std::size_t j = i + 1;
    for (;; ++j) {
      if (j >= text.size()) {
        bad = true;
        return std::nullopt;
      }
      if (text[j] == '\'') {
        if (j + 1 < text.size() && text[j + 1] == '\'') {
          name += '\'';
          ++j;
          continue;
        }
        break;
      }
      name += text[j];
    }
    if (j + 1 >= text.size() || text[j + 1] != '!') {
      bad = true;
      return std::nullopt;
    }
    std::optional<Prefix> prefix = SplitPrefix(name);
    if (!prefix) bad = true;
    i = j + 2;
    return prefix;
  }
  // Unquoted: the name runs to a "!" before the next ","; it may not hold blanks or quotes.
  const std::size_t comma = text.find(',', i);
  const std::size_t bang = text.find('!', i);
  if (bang == std::string_view::npos || (comma != std::string_view::npos && bang > comma)) {
    return std::nullopt;
  }
  const std::string name(text.substr(i, bang - i));
  if (name.find_first_of(" \t'!:,*?/\\") != std::string::npos) {
    bad = true;
    return std::nullopt;
  }
  std::optional<Prefix> prefix = SplitPrefix(name);
  if (!prefix) bad = true;
  i = bang + 1;
  return prefix;
}

}  // namespace

// Blanks around the whole text are ignored; blanks inside it (outside quotes) make it malformed,
// since the host reads a blank between references as their intersection, which is not covered
// here. Every area may repeat the workbook-and-sheet prefix of the first; a different prefix, or a
// prefix on a later area when the first has none, makes the text malformed. R1C1 references and
// defined names are not references here.
std::optional<Reference> ParseReference(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;

  Reference reference;
  std::optional<Prefix> first_prefix;
  std::size_t i = 0;
  while (true) {
    bool bad = false;
    const std::optional<Prefix> prefix = ReadPrefix(text, i, bad);
    if (bad) return std::nullopt;
    if (reference.areas.empty()) {
      first_prefix = prefix;
    } else if (prefix && prefix != first_prefix) {
      return std::nullopt;
    }
    std::size_t end = text.find(',', i);
    if (end == std::string_view::npos) end = text.size();
    const std::optional<Area> area = ParseArea(text.substr(i, end - i));
    if (!area) return std::nullopt;
    reference.areas.push_back(*area);
    if (end == text.size()) break;
    i = end + 1;
  }
  if (first_prefix) {
    reference.workbook = first_prefix->workbook;
    reference.sheet = first_prefix->sheet;
  }
  return reference;
}

}  // namespace quorvane::host
