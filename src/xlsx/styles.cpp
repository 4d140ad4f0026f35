#include "xlsx/styles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/worksheet.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

constexpr int Rgb(int r, int g, int b) { return r + 256 * g + 65536 * b; }
constexpr int Hex(unsigned rgb) {
  return Rgb(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
             static_cast<int>(rgb & 0xFF));
}

const std::vector<std::string_view> kStyleOrder = {
    "numFmts",    "fonts", "fills",       "borders", "cellStyleXfs", "cellXfs",
    "cellStyles", "dxfs",  "tableStyles", "colors",  "extLst"};

struct PatternNameEntry {
  int pattern;
  const char* name;
};
constexpr PatternNameEntry kPatternNames[] = {{host::kPatternNone, "none"},
                                              {1, "solid"},
                                              {-4125, "mediumGray"},
                                              {-4126, "darkGray"},
                                              {-4124, "lightGray"},
                                              {-4128, "darkHorizontal"},
                                              {-4166, "darkVertical"},
                                              {-4121, "darkDown"},
                                              {-4162, "darkUp"},
                                              {9, "darkGrid"},
                                              {10, "darkTrellis"},
                                              {11, "lightHorizontal"},
                                              {12, "lightVertical"},
                                              {13, "lightDown"},
                                              {14, "lightUp"},
                                              {15, "lightGrid"},
                                              {16, "lightTrellis"},
                                              {17, "gray125"},
                                              {18, "gray0625"}};

int IntAttr(pugi::xml_node node, const char* name, int fallback = 0) {
  const pugi::xml_attribute a = node.attribute(name);
  return a ? a.as_int(fallback) : fallback;
}

memhost::Fill Normal(memhost::Fill fill) {
  return fill.pattern == host::kPatternNone ? memhost::Fill{} : fill;
}

void CountChildren(pugi::xml_node section, const char* local) {
  int count = 0;
  ForChildren(section, kNsMain, local, [&](pugi::xml_node) { ++count; });
  if (pugi::xml_attribute a = section.attribute("count")) {
    a.set_value(count);
  } else {
    section.append_attribute("count").set_value(count);
  }
}

}  // namespace

ThemeColors DefaultThemeColors() {
  return {Hex(0xFFFFFF), Hex(0x000000), Hex(0xE7E6E6), Hex(0x44546A), Hex(0x4472C4), Hex(0xED7D31),
          Hex(0xA5A5A5), Hex(0xFFC000), Hex(0x5B9BD5), Hex(0x70AD47), Hex(0x0563C1), Hex(0x954F72)};
}

ThemeColors ParseTheme(const std::string& xml, const std::string& file, const std::string& part) {
  ThemeColors colors = DefaultThemeColors();
  pugi::xml_document doc;
  ParsePart(doc, xml, file, part);
  const pugi::xml_node scheme = Descendant(doc.document_element(), kNsA, "clrScheme");
  if (!scheme) return colors;
  // The scheme lists dk1, lt1, dk2, lt2; cell formats number lt1, dk1, lt2, dk2.
  static constexpr const char* kOrder[] = {"lt1",     "dk1",     "lt2",     "dk2",
                                           "accent1", "accent2", "accent3", "accent4",
                                           "accent5", "accent6", "hlink",   "folHlink"};
  for (int i = 0; i < 12; ++i) {
    const pugi::xml_node entry = Child(scheme, kNsA, kOrder[i]);
    if (!entry) continue;
    std::optional<int> color;
    if (pugi::xml_node srgb = Child(entry, kNsA, "srgbClr")) {
      color = ArgbToColor(srgb.attribute("val").value());
    } else if (pugi::xml_node sys = Child(entry, kNsA, "sysClr")) {
      color = ArgbToColor(sys.attribute("lastClr").value());
    }
    if (color) colors[static_cast<std::size_t>(i)] = *color;
  }
  return colors;
}

std::optional<int> ArgbToColor(std::string_view argb) {
  if (argb.size() == 8) argb.remove_prefix(2);
  if (argb.size() != 6) return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(argb.data(), argb.data() + 6, value, 16);
  if (ec != std::errc() || end != argb.data() + 6) return std::nullopt;
  return Hex(value);
}

std::string ColorToRgb(int color) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string rgb(6, '0');
  for (int i = 0; i < 3; ++i) {
    const int byte = (color >> (8 * i)) & 0xFF;
    rgb[static_cast<std::size_t>(2 * i)] = kDigits[byte >> 4];
    rgb[static_cast<std::size_t>(2 * i + 1)] = kDigits[byte & 0xF];
  }
  return rgb;
}

std::string ColorToArgb(int color) { return "FF" + ColorToRgb(color); }

int ApplyTint(int color, double tint) {
  if (tint == 0) return color;
  const double r = (color & 0xFF) / 255.0, g = ((color >> 8) & 0xFF) / 255.0,
               b = ((color >> 16) & 0xFF) / 255.0;
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  double h = 0, s = 0, l = (hi + lo) / 2;
  if (hi != lo) {
    const double d = hi - lo;
    s = l > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
    if (hi == r) {
      h = (g - b) / d + (g < b ? 6 : 0);
    } else if (hi == g) {
      h = (b - r) / d + 2;
    } else {
      h = (r - g) / d + 4;
    }
    h /= 6;
  }
  l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
  auto channel = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  double r2 = l, g2 = l, b2 = l;
  if (s != 0) {
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    r2 = channel(p, q, h + 1.0 / 3);
    g2 = channel(p, q, h);
    b2 = channel(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) { return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255); };
  return Rgb(byte(r2), byte(g2), byte(b2));
}

const std::array<int, 66>& DefaultPalette() {
  static const std::array<int, 66> kPalette = [] {
    constexpr unsigned kRgb[66] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x000000,
        0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
        0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC,
        0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF,
        0x800080, 0x800000, 0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF,
        0xFF99CC, 0xCC99FF, 0xFFCC99, 0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600,
        0x666699, 0x969696, 0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399,
        0x333333, 0x000000, 0xFFFFFF};
    std::array<int, 66> palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = Hex(kRgb[i]);
    return palette;
  }();
  return kPalette;
}

int PatternFromName(std::string_view name) {
  for (const auto& entry : kPatternNames) {
    if (name == entry.name) return entry.pattern;
  }
  return host::kPatternNone;
}

const char* PatternName(int pattern) {
  for (const auto& entry : kPatternNames) {
    if (pattern == entry.pattern) return entry.name;
  }
  return nullptr;
}

std::string BuiltinNumberFormat(int id) {
  switch (id) {
    case 0:
      return "General";
    case 1:
      return "0";
    case 2:
      return "0.00";
    case 3:
      return "#,##0";
    case 4:
      return "#,##0.00";
    case 5:
      return "$#,##0_);($#,##0)";
    case 6:
      return "$#,##0_);[Red]($#,##0)";
    case 7:
      return "$#,##0.00_);($#,##0.00)";
    case 8:
      return "$#,##0.00_);[Red]($#,##0.00)";
    case 9:
      return "0%";
    case 10:
      return "0.00%";
    case 11:
      return "0.00E+00";
    case 12:
      return "# ?/?";
    case 13:
      return "# ?"
             "?/?"
             "?";
    case 14:
      return "m/d/yyyy";
    case 15:
      return "d-mmm-yy";
    case 16:
      return "d-mmm";
    case 17:
      return "mmm-yy";
    case 18:
      return "h:mm AM/PM";
    case 19:
      return "h:mm:ss AM/PM";
    case 20:
      return "h:mm";
    case 21:
      return "h:mm:ss";
    case 22:
      return "m/d/yyyy h:mm";
    case 37:
      return "#,##0 ;(#,##0)";
    case 38:
      return "#,##0 ;[Red](#,##0)";
    case 39:
      return "#,##0.00;(#,##0.00)";
    case 40:
      return "#,##0.00;[Red](#,##0.00)";
    case 45:
      return "mm:ss";
    case 46:
      return "[h]:mm:ss";
    case 47:
      return "mmss.0";
    case 48:
      return "##0.0E+0";
    case 49:
      return "@";
    default:
      break;
  }
  // Locale-dependent date and time formats; the en-US short date stands in for them.
  if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58) || (id >= 71 && id <= 81)) return "m/d/yyyy";
  return "General";
}

namespace {

// The element's child elements as text (empty when it has none).
std::string ChildElementsText(pugi::xml_node node) {
  std::string text;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element) text += NodeText(c);
  }
  return text;
}

}  // namespace

StyleTable StyleTable::Parse(const std::string& xml, const std::string& file,
                             const std::string& part, const ThemeColors& theme) {
  StyleTable table;
  table.doc_ = std::make_shared<pugi::xml_document>();
  ParsePart(*table.doc_, xml, file, part);
  table.theme_ = theme;
  table.palette_ = DefaultPalette();
  pugi::xml_node root = table.doc_->document_element();
  if (pugi::xml_node indexed = Child(Child(root, kNsMain, "colors"), kNsMain, "indexedColors")) {
    std::size_t i = 0;
    ForChildren(indexed, kNsMain, "rgbColor", [&](pugi::xml_node c) {
      if (i < 64) {
        if (auto color = ArgbToColor(c.attribute("rgb").value())) table.palette_[i] = *color;
      }
      ++i;
    });
  }
  ForChildren(Child(root, kNsMain, "numFmts"), kNsMain, "numFmt", [&](pugi::xml_node n) {
    table.num_fmts_[IntAttr(n, "numFmtId", -1)] = n.attribute("formatCode").value();
  });
  ForChildren(Child(root, kNsMain, "fills"), kNsMain, "fill", [&](pugi::xml_node n) {
    table.fills_.push_back(table.ResolveFill(n));
    table.fill_nodes_.push_back(n);
  });
  std::string plain_children;
  ForChildren(Child(root, kNsMain, "cellXfs"), kNsMain, "xf", [&](pugi::xml_node n) {
    Xf xf;
    xf.num_fmt_id = IntAttr(n, "numFmtId");
    xf.fill_id = IntAttr(n, "fillId");
    const auto custom = table.num_fmts_.find(xf.num_fmt_id);
    xf.number_format =
        custom != table.num_fmts_.end() ? custom->second : BuiltinNumberFormat(xf.num_fmt_id);
    if (xf.fill_id >= 0 && xf.fill_id < static_cast<int>(table.fills_.size())) {
      xf.fill = table.fills_[static_cast<std::size_t>(xf.fill_id)];
    }
    // The first format is the plain one: a font, border, alignment or protection other than its
    // own counts. Some writers give every format, the plain one too, the same alignment and
    // protection elements.
    if (table.xf_nodes_.empty()) {
      plain_children = ChildElementsText(n);
    } else {
      const pugi::xml_node plain = table.xf_nodes_.front();
      xf.other = IntAttr(n, "fontId") != IntAttr(plain, "fontId") ||
                 IntAttr(n, "borderId") != IntAttr(plain, "borderId") ||
                 ChildElementsText(n) != plain_children;
    }
    table.xfs_.push_back(std::move(xf));
    table.xf_nodes_.push_back(n);
  });
  return table;
}

std::string StyleTable::DefaultXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<fonts count=\"1\"><font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/>"
         "<family val=\"2\"/><scheme val=\"minor\"/></font></fonts>"
         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
         "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
         "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
         "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
         "</cellStyleXfs>"
         "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
         "xfId=\"0\"/></cellXfs>"
         "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
         "builtinId=\"0\"/></cellStyles>"
         "</styleSheet>";
}

StyleTable StyleTable::Default() {
  return Parse(DefaultXml(), "", "xl/styles.xml", DefaultThemeColors());
}

const std::string& StyleTable::NumberFormat(int xf) const {
  static const std::string kGeneral = "General";
  if (xf >= 0 && xf < xf_count()) return xfs_[static_cast<std::size_t>(xf)].number_format;
  return xfs_.empty() ? kGeneral : xfs_[0].number_format;
}

memhost::Fill StyleTable::FillOf(int xf) const {
  if (xf >= 0 && xf < xf_count()) return xfs_[static_cast<std::size_t>(xf)].fill;
  return xfs_.empty() ? memhost::Fill{} : xfs_[0].fill;
}

int StyleTable::ResolveColor(pugi::xml_node color, int automatic) const {
  if (!color) return automatic;
  int value = automatic;
  if (pugi::xml_attribute rgb = color.attribute("rgb")) {
    value = ArgbToColor(rgb.value()).value_or(automatic);
  } else if (pugi::xml_attribute indexed = color.attribute("indexed")) {
    const int i = indexed.as_int(-1);
    if (i >= 0 && i < 66) value = palette_[static_cast<std::size_t>(i)];
  } else if (pugi::xml_attribute theme = color.attribute("theme")) {
    const int i = theme.as_int(-1);
    if (i >= 0 && i < 12) value = theme_[static_cast<std::size_t>(i)];
  }
  if (pugi::xml_attribute tint = color.attribute("tint"))
    value = ApplyTint(value, tint.as_double());
  return value;
}

memhost::Fill StyleTable::ResolveFill(pugi::xml_node fill) const {
  if (pugi::xml_node pattern = Child(fill, kNsMain, "patternFill")) {
    const pugi::xml_attribute type = pattern.attribute("patternType");
    const int number = type ? PatternFromName(type.value()) : host::kPatternNone;
    if (number == host::kPatternNone) return {};
    if (number == host::kPatternSolid) {
      return {ResolveColor(Child(pattern, kNsMain, "fgColor"), DefaultPalette()[64]),
              host::kPatternSolid};
    }
    return {ResolveColor(Child(pattern, kNsMain, "bgColor"), host::kColorWhite), number};
  }
  if (pugi::xml_node gradient = Child(fill, kNsMain, "gradientFill")) {
    // A gradient reads as its first colour, solid.
    const pugi::xml_node stop = Child(gradient, kNsMain, "stop");
    return {ResolveColor(Child(stop, kNsMain, "color"), host::kColorWhite), host::kPatternSolid};
  }
  return {};
}

pugi::xml_node StyleTable::Section(const char* name, const char*) {
  return EnsureChild(doc_->document_element(), kNsMain, name, kStyleOrder, "x");
}

int StyleTable::FindOrAddFill(const memhost::Fill& wanted) {
  const memhost::Fill fill = Normal(wanted);
  if (fill == memhost::Fill{} && !fills_.empty() && fills_[0] == fill) return 0;
  pugi::xml_node section = Section("fills", nullptr);
  // The record as this layer writes it.
  pugi::xml_document scratch;
  const std::string p = QualifiedName(section, kNsMain, "patternFill", "x");
  const std::string prefix = p.substr(0, p.size() - std::string("patternFill").size());
  pugi::xml_node node = scratch.append_child((prefix + "fill").c_str());
  pugi::xml_node pattern = node.append_child((prefix + "patternFill").c_str());
  const char* name = PatternName(fill.pattern);
  pattern.append_attribute("patternType").set_value(name ? name : "solid");
  pugi::xml_node fg = pattern.append_child((prefix + "fgColor").c_str());
  pugi::xml_node bg = pattern.append_child((prefix + "bgColor").c_str());
  if (fill.pattern == host::kPatternSolid || !name) {
    fg.append_attribute("rgb").set_value(ColorToArgb(fill.color).c_str());
    bg.append_attribute("indexed").set_value(64);
  } else {
    fg.append_attribute("indexed").set_value(64);
    bg.append_attribute("rgb").set_value(ColorToArgb(fill.color).c_str());
  }
  const std::string text = NodeText(node);
  for (std::size_t i = 2; i < fill_nodes_.size(); ++i) {
    if (fills_[i] == fill && NodeText(fill_nodes_[i]) == text) return static_cast<int>(i);
  }
  pugi::xml_node added = section.append_copy(node);
  fills_.push_back(fill);
  fill_nodes_.push_back(added);
  CountChildren(section, "fill");
  changed_ = true;
  return static_cast<int>(fills_.size() - 1);
}

int StyleTable::FindOrAddNumFmt(const std::string& code) {
  for (int id = 0; id < 164; ++id) {
    if (num_fmts_.count(id) == 0 && BuiltinNumberFormat(id) == code &&
        (id == 0 || code != "General")) {
      return id;
    }
  }
  int next = 164;
  for (const auto& [id, text] : num_fmts_) {
    if (text == code) return id;
    next = std::max(next, id + 1);
  }
  pugi::xml_node section = Section("numFmts", nullptr);
  pugi::xml_node node =
      section.append_child(QualifiedName(section, kNsMain, "numFmt", "x").c_str());
  node.append_attribute("numFmtId").set_value(next);
  node.append_attribute("formatCode").set_value(code.c_str());
  CountChildren(section, "numFmt");
  num_fmts_[next] = code;
  changed_ = true;
  return next;
}

bool StyleTable::HasOtherFormatting(int xf) const {
  return xf >= 0 && xf < xf_count() && xfs_[static_cast<std::size_t>(xf)].other;
}

int StyleTable::StyleFor(int base, const memhost::Fill& wanted_fill,
                         const std::string& number_format) {
  const memhost::Fill fill = Normal(wanted_fill);
  if (base < 0 || base >= xf_count()) base = 0;
  pugi::xml_node section = Section("cellXfs", nullptr);
  if (xfs_.empty()) {
    // A styles part without cell formats: give it the plain one.
    pugi::xml_node node = section.append_child(QualifiedName(section, kNsMain, "xf", "x").c_str());
    for (const char* a : {"numFmtId", "fontId", "fillId", "borderId", "xfId"}) {
      node.append_attribute(a).set_value(0);
    }
    xfs_.push_back(Xf{});
    xf_nodes_.push_back(node);
    CountChildren(section, "xf");
    changed_ = true;
    if (fills_.empty()) FindOrAddFill({});
  }
  const Xf& old = xfs_[static_cast<std::size_t>(base)];
  if (Normal(old.fill) == fill && old.number_format == number_format) return base;
  const auto question = std::make_tuple(base, fill.color, fill.pattern, number_format);
  if (const auto it = style_for_.find(question); it != style_for_.end()) return it->second;
  const int answer = NewStyleFor(base, fill, number_format);
  style_for_.emplace(question, answer);
  return answer;
}

int StyleTable::NewStyleFor(int base, const memhost::Fill& fill, const std::string& number_format) {
  pugi::xml_node section = Section("cellXfs", nullptr);
  const Xf& old = xfs_[static_cast<std::size_t>(base)];
  const bool other = old.other;  // `old` does not outlive the records added below
  const int fill_id = Normal(old.fill) == fill ? old.fill_id : FindOrAddFill(fill);
  const int num_fmt_id =
      old.number_format == number_format ? old.num_fmt_id : FindOrAddNumFmt(number_format);
  pugi::xml_document scratch;
  pugi::xml_node node = scratch.append_copy(xf_nodes_[static_cast<std::size_t>(base)]);
  auto set = [&](const char* name, int value) {
    if (!node.attribute(name)) node.append_attribute(name);
    node.attribute(name).set_value(value);
  };
  set("numFmtId", num_fmt_id);
  set("fillId", fill_id);
  if (fill_id != old.fill_id) set("applyFill", 1);
  if (num_fmt_id != old.num_fmt_id) set("applyNumberFormat", 1);
  if (xf_by_text_.empty()) {
    for (std::size_t i = 0; i < xf_nodes_.size(); ++i) {
      xf_by_text_.emplace(NodeText(xf_nodes_[i]), static_cast<int>(i));
    }
  }
  const std::string text = NodeText(node);
  if (const auto found = xf_by_text_.find(text); found != xf_by_text_.end()) return found->second;
  while (xf_count() < reserved_) {
    xf_nodes_.push_back(section.append_copy(xf_nodes_[0]));
    xfs_.push_back(xfs_[0]);
  }
  pugi::xml_node added = section.append_copy(node);
  Xf xf;
  xf.num_fmt_id = num_fmt_id;
  xf.fill_id = fill_id;
  xf.number_format = number_format;
  xf.fill = fill;
  xf.other = other;
  xfs_.push_back(std::move(xf));
  xf_nodes_.push_back(added);
  const int index = static_cast<int>(xfs_.size() - 1);
  xf_by_text_.emplace(text, index);
  CountChildren(section, "xf");
  changed_ = true;
  return index;
}

std::string StyleTable::Serialize() const { return xlsx::Serialize(*doc_); }

}  // namespace quorvane::xlsx
