#include "host/worksheet.h"

namespace quorvane::host {

namespace {

template <typename T, typename Read>
std::vector<T> ReadBlock(const Area& area, Read read) {
  std::vector<T> out;
  out.reserve(static_cast<std::size_t>(area.count()));
  for (int r = area.top; r <= area.bottom; ++r) {
    for (int c = area.left; c <= area.right; ++c) out.push_back(read(r, c));
  }
  return out;
}

}  // namespace

std::vector<Value> Worksheet::BlockValues(const Area& area) {
  return ReadBlock<Value>(area, [this](int r, int c) { return CellValue(r, c); });
}

std::vector<std::string> Worksheet::BlockTexts(const Area& area) {
  return ReadBlock<std::string>(area, [this](int r, int c) { return CellText(r, c); });
}

std::vector<double> Worksheet::BlockInteriorColors(const Area& area) {
  return ReadBlock<double>(area, [this](int r, int c) { return InteriorColor(r, c); });
}

std::vector<double> Worksheet::BlockInteriorPatterns(const Area& area) {
  return ReadBlock<double>(area, [this](int r, int c) { return InteriorPattern(r, c); });
}

std::vector<char> Worksheet::RowsHidden(int top, int bottom) {
  std::vector<char> out;
  for (int r = top; r <= bottom; ++r) out.push_back(RowHidden(r) ? 1 : 0);
  return out;
}

void Worksheet::VisitBlockValues(const Area& area,
                                 const std::function<void(std::size_t, const Value&)>& visit) {
  const std::vector<Value> values = BlockValues(area);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!values[i].is_empty()) visit(i, values[i]);
  }
}

void Worksheet::VisitBlockTexts(const Area& area,
                                const std::function<void(std::size_t, std::string_view)>& visit) {
  const std::vector<std::string> texts = BlockTexts(area);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!texts[i].empty()) visit(i, texts[i]);
  }
}

void Worksheet::VisitBlockInteriorColors(const Area& area,
                                         const std::function<void(std::size_t, double)>& visit) {
  const std::vector<double> colors = BlockInteriorColors(area);
  for (std::size_t i = 0; i < colors.size(); ++i) {
    if (colors[i] != kColorWhite) visit(i, colors[i]);
  }
}

void Worksheet::VisitBlockInteriorPatterns(const Area& area,
                                           const std::function<void(std::size_t, double)>& visit) {
  const std::vector<double> patterns = BlockInteriorPatterns(area);
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (patterns[i] != kPatternNone) visit(i, patterns[i]);
  }
}

}  // namespace quorvane::host
