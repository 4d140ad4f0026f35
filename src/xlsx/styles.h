// The workbook's styles part: number formats and fills of the cell formats, resolved to what the
// host reports (a number format text, Interior.Color and Interior.Pattern), and new cell formats
// for cells that get another fill or number format.
//
// Colours resolve to the host's integers R + 256 G + 65536 B from rgb (ARGB), indexed (the default
// palette or the file's own) and theme colours with their tint. A solid fill's colour is its
// foreground colour; a patterned fill's colour (the cell colour under the dots) is its background
// colour, and the dots take the automatic colour. New fills and cell formats are appended, and an
// identical record already in the part is reused instead of adding another.
#pragma once

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "memhost/model.h"

namespace quorvane::xlsx {

// The twelve theme colours in the order cell formats number them (lt1, dk1, lt2, dk2, accent1-6,
// hlink, folHlink), as host colour integers.
using ThemeColors = std::array<int, 12>;
ThemeColors DefaultThemeColors();
// Reads a theme part; raises a FileError for malformed XML.
ThemeColors ParseTheme(const std::string& xml, const std::string& file, const std::string& part);

// "FFRRGGBB" or "RRGGBB" to a host colour; no value for anything else.
std::optional<int> ArgbToColor(std::string_view argb);
std::string ColorToArgb(int color);  // "FFRRGGBB"
std::string ColorToRgb(int color);   // "RRGGBB"
// Applies a tint (-1 to 1) to the colour's luminance.
int ApplyTint(int color, double tint);
// The default 66-entry palette (64 colours, then the automatic foreground and background).
const std::array<int, 66>& DefaultPalette();

// The host's pattern number for an OOXML pattern name and back; -4142 for unknown names.
int PatternFromName(std::string_view name);
const char* PatternName(int pattern);  // nullptr for numbers without a name

// The format text of a built-in number format id ("General" for unknown ids).
std::string BuiltinNumberFormat(int id);

// Cell format numbers past this are never reserved: a table that grows to it is beyond any
// workbook's (Excel holds about 64,000 formats).
inline constexpr int kMaxCellFormats = 65536;

class StyleTable {
 public:
  // Moved, never copied: a copy would share the styles document and add records to it that the
  // other copy's indexes do not know.
  StyleTable(StyleTable&&) noexcept = default;
  StyleTable& operator=(StyleTable&&) noexcept = default;
  StyleTable(const StyleTable&) = delete;
  StyleTable& operator=(const StyleTable&) = delete;

  // Raises a FileError for malformed XML.
  static StyleTable Parse(const std::string& xml, const std::string& file, const std::string& part,
                          const ThemeColors& theme);
  // The styles of a workbook that has no styles part: one plain cell format.
  static StyleTable Default();
  static std::string DefaultXml();

  int xf_count() const { return static_cast<int>(xfs_.size()); }
  // What a cell of the given format shows: its number format text and fill. Out-of-range
  // formats read as format 0.
  const std::string& NumberFormat(int xf) const;
  memhost::Fill FillOf(int xf) const;
  // Whether the format carries more than a fill and a number format: a font or border other than
  // the plain format's, an alignment or a protection. Out-of-range formats carry nothing.
  bool HasOtherFormatting(int xf) const;

  // A cell format like `base` but with this fill and number format: `base` itself when it already
  // is, else an identical existing record, else a new one.
  int StyleFor(int base, const memhost::Fill& fill, const std::string& number_format);
  // Format numbers below `count` are taken: cells, rows or columns refer to them even where the
  // table lacks them (they read as format 0 then). A new record goes past them, the numbers
  // between filled with copies of format 0, so that those cells keep what they show.
  void Reserve(int count) { reserved_ = std::min(count, kMaxCellFormats); }

  bool changed() const { return changed_; }
  std::string Serialize() const;

 private:
  StyleTable() = default;
  struct Xf {
    int num_fmt_id = 0;
    int fill_id = 0;
    std::string number_format = "General";
    memhost::Fill fill;
    bool other = false;  // see HasOtherFormatting
  };
  memhost::Fill ResolveFill(pugi::xml_node fill) const;
  int ResolveColor(pugi::xml_node color, int automatic) const;
  int FindOrAddFill(const memhost::Fill& fill);
  int FindOrAddNumFmt(const std::string& code);
  int NewStyleFor(int base, const memhost::Fill& fill, const std::string& number_format);
  pugi::xml_node Section(const char* name, const char* before_prefix_hint);

  std::shared_ptr<pugi::xml_document> doc_;
  std::array<int, 66> palette_{};
  ThemeColors theme_{};
  std::map<int, std::string> num_fmts_;  // custom formats by id
  std::vector<memhost::Fill> fills_;
  std::vector<pugi::xml_node> fill_nodes_;
  std::vector<Xf> xfs_;
  std::vector<pugi::xml_node> xf_nodes_;
  int reserved_ = 0;                       // format numbers new records go past
  std::map<std::string, int> xf_by_text_;  // built on first use
  // Answers StyleFor gave: the records only grow, so the same question has the same answer.
  std::map<std::tuple<int, int, int, std::string>, int> style_for_;
  bool changed_ = false;
};

}  // namespace quorvane::xlsx
