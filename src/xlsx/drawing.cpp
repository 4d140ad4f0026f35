// Drawing parts (xl/drawings/drawingN.xml): the sheet's shapes with their names and anchors, and
// the rectangles the add-in draws, appended as one-cell anchors at their cell's top left corner.
#include "xlsx/drawing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "host/worksheet.h"
#include "memhost/geometry.h"
#include "xlsx/styles.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

using memhost::SheetGeometry;

namespace {

constexpr double kEmuPerPoint = 12700;
constexpr int kAlignLeft = -4131;
constexpr int kAlignRight = -4152;
constexpr int kSchemeAutomaticLine = 64;

bool IsAnchor(pugi::xml_node n) {
  return Is(n, kNsXdr, "oneCellAnchor") || Is(n, kNsXdr, "twoCellAnchor") ||
         Is(n, kNsXdr, "absoluteAnchor");
}

// The shape element of an anchor (sp, pic, graphicFrame, grpSp or cxnSp).
pugi::xml_node ShapeElement(pugi::xml_node anchor) {
  for (pugi::xml_node n = anchor.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element || NamespaceOf(n) != kNsXdr) continue;
    const std::string_view local = LocalName(n.name());
    if (local == "sp" || local == "pic" || local == "graphicFrame" || local == "grpSp" ||
        local == "cxnSp") {
      return n;
    }
  }
  return {};
}

pugi::xml_node CNvPr(pugi::xml_node shape) { return Descendant(shape, kNsXdr, "cNvPr"); }

double Emu(pugi::xml_node node, std::string_view local) {
  return Child(node, kNsXdr, local).text().as_double() / kEmuPerPoint;
}

// A point of an anchor (xdr:from / xdr:to) in points.
std::pair<double, double> Position(pugi::xml_node marker, const SheetGeometry& geometry) {
  const int column = Child(marker, kNsXdr, "col").text().as_int() + 1;
  const int row = Child(marker, kNsXdr, "row").text().as_int() + 1;
  return {geometry.ColumnLeft(std::clamp(column, 1, host::kMaxColumns)) + Emu(marker, "colOff"),
          geometry.RowTop(std::clamp(row, 1, host::kMaxRows)) + Emu(marker, "rowOff")};
}

// The scheme colour number a DrawingML colour stands for (the default palette's index).
int SchemeColorOf(pugi::xml_node fill, int fallback) {
  if (Child(fill, kNsA, "sysClr")) return kSchemeAutomaticLine;
  if (pugi::xml_node srgb = Child(fill, kNsA, "srgbClr")) {
    if (auto color = ArgbToColor(srgb.attribute("val").value())) {
      const auto& palette = DefaultPalette();
      for (int i = 8; i < 64; ++i) {
        if (palette[static_cast<std::size_t>(i)] == *color) return i;
      }
    }
  }
  return fallback;
}

void AppendSchemeColor(std::string& out, const std::string& a, int scheme) {
  if (scheme >= 64) {
    Append(out, {"<", a, "sysClr val=\"windowText\" lastClr=\"000000\"/>"});
    return;
  }
  const auto& palette = DefaultPalette();
  const int color = palette[static_cast<std::size_t>(std::clamp(scheme, 0, 63))];
  Append(out, {"<", a, "srgbClr val=\""});
  AppendEscaped(out, ColorToRgb(color), true);
  out += "\"/>";
}

memhost::ShapeData ReadShape(pugi::xml_node anchor, pugi::xml_node shape,
                             const SheetGeometry& geometry) {
  memhost::ShapeData data;
  const pugi::xml_node nv = CNvPr(shape);
  data.name = nv.attribute("name").value();
  data.id = nv.attribute("id").as_int();
  const std::string_view kind = LocalName(shape.name());
  data.type = kind == "pic" ? 13 : kind == "graphicFrame" ? 3 : kind == "grpSp" ? 6 : 1;
  // Geometry.
  if (Is(anchor, kNsXdr, "absoluteAnchor")) {
    const pugi::xml_node pos = Child(anchor, kNsXdr, "pos");
    data.left = pos.attribute("x").as_double() / kEmuPerPoint;
    data.top = pos.attribute("y").as_double() / kEmuPerPoint;
  } else {
    std::tie(data.left, data.top) = Position(Child(anchor, kNsXdr, "from"), geometry);
  }
  if (pugi::xml_node ext = Child(anchor, kNsXdr, "ext")) {
    data.width = ext.attribute("cx").as_double() / kEmuPerPoint;
    data.height = ext.attribute("cy").as_double() / kEmuPerPoint;
  } else if (pugi::xml_node to = Child(anchor, kNsXdr, "to")) {
    const auto [right, bottom] = Position(to, geometry);
    data.width = right - data.left;
    data.height = bottom - data.top;
  }
  if (kind != "sp") return data;
  const pugi::xml_node properties = Child(shape, kNsXdr, "spPr");
  const pugi::xml_node geom = Child(properties, kNsA, "prstGeom");
  if (geom && std::string_view(geom.attribute("prst").value()) != "rect") data.type = 5;
  if (Child(properties, kNsA, "noFill")) {
    data.fill_visible = false;
  } else if (pugi::xml_node solid = Child(properties, kNsA, "solidFill")) {
    data.fill_solid = true;
    data.fill_scheme_color = SchemeColorOf(solid, data.fill_scheme_color);
  }
  if (pugi::xml_node line = Child(properties, kNsA, "ln")) {
    if (Child(line, kNsA, "noFill")) data.line_visible = false;
    if (pugi::xml_attribute w = line.attribute("w"))
      data.line_weight = w.as_double() / kEmuPerPoint;
    if (pugi::xml_node solid = Child(line, kNsA, "solidFill")) {
      data.line_scheme_color = SchemeColorOf(solid, data.line_scheme_color);
    }
  }
  if (pugi::xml_node body = Child(shape, kNsXdr, "txBody")) {
    if (pugi::xml_node pr = Child(body, kNsA, "bodyPr")) {
      auto inset = [&](const char* name, double& out) {
        if (pugi::xml_attribute a = pr.attribute(name)) out = a.as_double() / kEmuPerPoint;
      };
      inset("lIns", data.margin_left);
      inset("rIns", data.margin_right);
      inset("tIns", data.margin_top);
      inset("bIns", data.margin_bottom);
    }
    std::string text;
    bool first_paragraph = true;
    bool first_run = true;
    ForChildren(body, kNsA, "p", [&](pugi::xml_node p) {
      if (!first_paragraph) text += '\n';
      first_paragraph = false;
      if (pugi::xml_node ppr = Child(p, kNsA, "pPr")) {
        const std::string_view algn = ppr.attribute("algn").value();
        data.horizontal_alignment = algn == "ctr" ? host::kHAlignCenter
                                    : algn == "r" ? kAlignRight
                                                  : kAlignLeft;
      }
      for (pugi::xml_node r = p.first_child(); r; r = r.next_sibling()) {
        if (Is(r, kNsA, "br")) text += '\n';
        if (!Is(r, kNsA, "r")) continue;
        text += Child(r, kNsA, "t").text().get();
        if (first_run) {
          first_run = false;
          const pugi::xml_node rpr = Child(r, kNsA, "rPr");
          if (pugi::xml_attribute sz = rpr.attribute("sz")) data.font_size = sz.as_double() / 100;
          if (pugi::xml_node solid = Child(rpr, kNsA, "solidFill")) {
            data.font_color_index = SchemeColorOf(solid, 1) - 7;
          }
        }
      }
    });
    data.text = text;
  }
  return data;
}

std::string Prefix(pugi::xml_node context, std::string_view ns, const char* wanted) {
  const std::string q = QualifiedName(context, ns, "x", wanted);
  return q.substr(0, q.size() - 1);
}

std::string Int(double value) { return std::to_string(std::llround(value)); }

// The shape's <spPr>: its place and size, outline geometry, fill and line.
void AppendShapeProperties(std::string& out, const std::string& x, const std::string& a,
                           const memhost::ShapeData& shape) {
  const std::string cx = Int(shape.width * kEmuPerPoint);
  const std::string cy = Int(shape.height * kEmuPerPoint);
  Append(out, {"<",
               x,
               "spPr><",
               a,
               "xfrm><",
               a,
               "off x=\"",
               Int(shape.left * kEmuPerPoint),
               "\" y=\"",
               Int(shape.top * kEmuPerPoint),
               "\"/><",
               a,
               "ext cx=\"",
               cx,
               "\" cy=\"",
               cy,
               "\"/></",
               a,
               "xfrm><",
               a,
               "prstGeom prst=\"",
               (shape.type == host::kShapeRectangle ? "rect" : "roundRect"),
               "\"><",
               a,
               "avLst/></",
               a,
               "prstGeom>"});
  if (!shape.fill_visible) {
    Append(out, {"<", a, "noFill/>"});
  } else if (shape.fill_solid) {
    Append(out, {"<", a, "solidFill>"});
    AppendSchemeColor(out, a, shape.fill_scheme_color);
    Append(out, {"</", a, "solidFill>"});
  }
  Append(out, {"<", a, "ln w=\"", Int(shape.line_weight * kEmuPerPoint), "\">"});
  if (shape.line_visible) {
    Append(out, {"<", a, "solidFill>"});
    AppendSchemeColor(out, a, shape.line_scheme_color);
    Append(out, {"</", a, "solidFill>"});
  } else {
    Append(out, {"<", a, "noFill/>"});
  }
  Append(out, {"</", a, "ln></", x, "spPr>"});
}

// The shape's <txBody>: its margins, then a paragraph for each line of its text.
void AppendTextBody(std::string& out, const std::string& x, const std::string& a,
                    const memhost::ShapeData& shape) {
  Append(out,
         {"<", x, "txBody><", a, "bodyPr vertOverflow=\"clip\" wrap=\"square\" lIns=\"",
          Int(shape.margin_left * kEmuPerPoint), "\" tIns=\"", Int(shape.margin_top * kEmuPerPoint),
          "\" rIns=\"", Int(shape.margin_right * kEmuPerPoint), "\" bIns=\"",
          Int(shape.margin_bottom * kEmuPerPoint), "\" rtlCol=\"0\" anchor=\"t\"/><", a,
          "lstStyle/>"});
  const char* algn = shape.horizontal_alignment == host::kHAlignCenter ? "ctr"
                     : shape.horizontal_alignment == kAlignRight       ? "r"
                                                                       : "l";
  const std::string size = Int(shape.font_size * 100);
  std::size_t start = 0;
  do {
    const std::size_t end = shape.text.find('\n', start);
    const std::string_view piece =
        std::string_view(shape.text)
            .substr(start, end == std::string::npos ? std::string::npos : end - start);
    Append(out, {"<", a, "p><", a, "pPr algn=\"", algn, "\"/><", a, "r><", a,
                 "rPr lang=\"en-US\" sz=\"", size, "\""});
    if (shape.font_color_index != host::kColorIndexAutomatic) {
      Append(out, {"><", a, "solidFill>"});
      AppendSchemeColor(out, a, shape.font_color_index + 7);
      Append(out, {"</", a, "solidFill></", a, "rPr>"});
    } else {
      out += "/>";
    }
    Append(out, {"<", a, "t>"});
    // A carriage return is written as a reference: as it is, a reader takes it for a line end.
    for (std::size_t from = 0;;) {
      const std::size_t cr = piece.find('\r', from);
      AppendEscaped(out, piece.substr(from, cr == std::string_view::npos ? cr : cr - from));
      if (cr == std::string_view::npos) break;
      out += "&#13;";
      from = cr + 1;
    }
    Append(out, {"</", a, "t></", a, "r></", a, "p>"});
    start = end == std::string::npos ? std::string::npos : end + 1;
  } while (start != std::string::npos);
  Append(out, {"</", x, "txBody>"});
}

// Appends a rectangle's anchor as text; `x` and `a` are the prefixes of the drawing's namespaces.
void AppendAnchor(std::string& out, const std::string& x, const std::string& a,
                  const memhost::ShapeData& shape, int id, const SheetGeometry& geometry) {
  const int column = geometry.ColumnAt(shape.left);
  const int row = geometry.RowAt(shape.top);
  const std::string cx = Int(shape.width * kEmuPerPoint);
  const std::string cy = Int(shape.height * kEmuPerPoint);
  Append(out, {"<",
               x,
               "oneCellAnchor><",
               x,
               "from><",
               x,
               "col>",
               std::to_string(column - 1),
               "</",
               x,
               "col><",
               x,
               "colOff>",
               Int((shape.left - geometry.ColumnLeft(column)) * kEmuPerPoint),
               "</",
               x,
               "colOff><",
               x,
               "row>",
               std::to_string(row - 1),
               "</",
               x,
               "row><",
               x,
               "rowOff>",
               Int((shape.top - geometry.RowTop(row)) * kEmuPerPoint),
               "</",
               x,
               "rowOff></",
               x,
               "from><",
               x,
               "ext cx=\"",
               cx,
               "\" cy=\"",
               cy,
               "\"/><",
               x,
               "sp macro=\"\" textlink=\"\"><",
               x,
               "nvSpPr><",
               x,
               "cNvPr id=\"",
               std::to_string(id),
               "\" name=\""});
  AppendEscaped(out, shape.name, true);
  Append(out, {"\"/><", x, "cNvSpPr/></", x, "nvSpPr>"});
  AppendShapeProperties(out, x, a, shape);
  AppendTextBody(out, x, a, shape);
  Append(out, {"</", x, "sp><", x, "clientData/></", x, "oneCellAnchor>"});
}

// The key of each anchor's shape, in the drawing's order: its drawing id, or, where a writer gave
// it none (LibreOffice writes id="0") or one an earlier shape already has, a negative key from its
// position. Loading and saving use the same keys, so a shape the run left alone keeps its XML.
std::vector<std::pair<pugi::xml_node, int>> KeyedAnchors(const pugi::xml_document& drawing) {
  std::vector<std::pair<pugi::xml_node, int>> anchors;
  std::set<int> seen;
  int position = 0;
  for (pugi::xml_node n = drawing.document_element().first_child(); n; n = n.next_sibling()) {
    if (!IsAnchor(n) || !ShapeElement(n)) continue;
    ++position;
    int key = CNvPr(ShapeElement(n)).attribute("id").as_int();
    if (key <= 0 || !seen.insert(key).second) key = -position;
    anchors.emplace_back(n, key);
  }
  return anchors;
}

}  // namespace

std::vector<memhost::ShapeData> LoadShapes(const pugi::xml_document& drawing,
                                           const memhost::SheetData& sheet) {
  const SheetGeometry geometry(sheet);
  std::vector<memhost::ShapeData> shapes;
  for (const auto& [anchor, key] : KeyedAnchors(drawing)) {
    shapes.push_back(ReadShape(anchor, ShapeElement(anchor), geometry));
    shapes.back().id = key;
  }
  return shapes;
}

std::string NewDrawingXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<xdr:wsDr "
         "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
         "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"/>";
}

void UpdateDrawing(pugi::xml_document& drawing, const std::vector<memhost::ShapeData>& before,
                   const std::vector<memhost::ShapeData>& after, const memhost::SheetData& sheet,
                   NewElements& new_anchors) {
  pugi::xml_node root = drawing.document_element();
  std::map<int, const memhost::ShapeData*> kept;
  for (const memhost::ShapeData& shape : after) {
    if (shape.id != 0) kept[shape.id] = &shape;
  }
  std::set<int> loaded;
  for (const memhost::ShapeData& shape : before) loaded.insert(shape.id);
  for (const auto& [anchor, key] : KeyedAnchors(drawing)) {
    const int id = key;
    pugi::xml_node nv = CNvPr(ShapeElement(anchor));
    const bool known = loaded.count(id) != 0;
    const auto it = kept.find(id);
    if (known && it == kept.end()) {
      root.remove_child(anchor);
    } else if (it != kept.end() && it->second->name != nv.attribute("name").value()) {
      nv.attribute("name").set_value(it->second->name.c_str());
    }
  }
  // Ids of every drawing object left, counted once: new shapes take the next ones.
  struct Walker : pugi::xml_tree_walker {
    int max_id = 0;
    bool for_each(pugi::xml_node& node) override {
      if (LocalName(node.name()) == "cNvPr")
        max_id = std::max(max_id, node.attribute("id").as_int());
      return true;
    }
  } walker;
  root.traverse(walker);
  int next_id = std::max(walker.max_id + 1, 2);  // id 1 is the drawing's own by convention
  // The new anchors go after the existing ones, written as text when the drawing is.
  std::vector<std::pair<const memhost::ShapeData*, int>> fresh;  // shape, drawing id
  std::size_t room = 0;  // an anchor takes about 840 bytes besides its name and text
  for (const memhost::ShapeData& shape : after) {
    if (shape.id != 0) continue;
    fresh.emplace_back(&shape, next_id++);
    room += 840 + shape.name.size() * 2 + shape.text.size() * 2 +
            static_cast<std::size_t>(std::count(shape.text.begin(), shape.text.end(), '\n')) * 160;
  }
  new_anchors = {root, room, {}};
  if (fresh.empty()) return;
  new_anchors.write = [x = Prefix(root, kNsXdr, "xdr"), a = Prefix(root, kNsA, "a"),
                       geometry = SheetGeometry(sheet),
                       fresh = std::move(fresh)](std::string& out) {
    for (const auto& [shape, id] : fresh) AppendAnchor(out, x, a, *shape, id, geometry);
  };
}

}  // namespace quorvane::xlsx
