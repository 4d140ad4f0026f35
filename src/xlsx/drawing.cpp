// Drawing parts (xl/drawings/drawingN.xml): the sheet's shapes with their names and anchors, and
// the rectangles the add-in draws, appended as one-cell anchors at their cell's top left corner.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "host/worksheet.h"
#include "xlsx/parts.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

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

void AppendSchemeColor(pugi::xml_node parent, const std::string& a, int scheme) {
  if (scheme >= 64) {
    pugi::xml_node sys = parent.append_child((a + "sysClr").c_str());
    sys.append_attribute("val").set_value("windowText");
    sys.append_attribute("lastClr").set_value("000000");
    return;
  }
  const auto& palette = DefaultPalette();
  const int color = palette[static_cast<std::size_t>(std::clamp(scheme, 0, 63))];
  parent.append_child((a + "srgbClr").c_str())
      .append_attribute("val")
      .set_value(ColorToRgb(color).c_str());
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

void AppendAnchor(pugi::xml_node root, const memhost::ShapeData& shape, int id,
                  const SheetGeometry& geometry) {
  const std::string x = Prefix(root, kNsXdr, "xdr");
  const std::string a = Prefix(root, kNsA, "a");
  const int column = geometry.ColumnAt(shape.left);
  const int row = geometry.RowAt(shape.top);
  pugi::xml_node anchor = root.append_child((x + "oneCellAnchor").c_str());
  pugi::xml_node from = anchor.append_child((x + "from").c_str());
  from.append_child((x + "col").c_str()).text().set(column - 1);
  from.append_child((x + "colOff").c_str())
      .text()
      .set(Int((shape.left - geometry.ColumnLeft(column)) * kEmuPerPoint).c_str());
  from.append_child((x + "row").c_str()).text().set(row - 1);
  from.append_child((x + "rowOff").c_str())
      .text()
      .set(Int((shape.top - geometry.RowTop(row)) * kEmuPerPoint).c_str());
  pugi::xml_node ext = anchor.append_child((x + "ext").c_str());
  ext.append_attribute("cx").set_value(Int(shape.width * kEmuPerPoint).c_str());
  ext.append_attribute("cy").set_value(Int(shape.height * kEmuPerPoint).c_str());

  pugi::xml_node sp = anchor.append_child((x + "sp").c_str());
  sp.append_attribute("macro").set_value("");
  sp.append_attribute("textlink").set_value("");
  pugi::xml_node nv = sp.append_child((x + "nvSpPr").c_str());
  pugi::xml_node c = nv.append_child((x + "cNvPr").c_str());
  c.append_attribute("id").set_value(id);
  c.append_attribute("name").set_value(shape.name.c_str());
  nv.append_child((x + "cNvSpPr").c_str());
  pugi::xml_node pr = sp.append_child((x + "spPr").c_str());
  pugi::xml_node xfrm = pr.append_child((a + "xfrm").c_str());
  pugi::xml_node off = xfrm.append_child((a + "off").c_str());
  off.append_attribute("x").set_value(Int(shape.left * kEmuPerPoint).c_str());
  off.append_attribute("y").set_value(Int(shape.top * kEmuPerPoint).c_str());
  pugi::xml_node xext = xfrm.append_child((a + "ext").c_str());
  xext.append_attribute("cx").set_value(Int(shape.width * kEmuPerPoint).c_str());
  xext.append_attribute("cy").set_value(Int(shape.height * kEmuPerPoint).c_str());
  pugi::xml_node geom = pr.append_child((a + "prstGeom").c_str());
  geom.append_attribute("prst").set_value(shape.type == host::kShapeRectangle ? "rect"
                                                                              : "roundRect");
  geom.append_child((a + "avLst").c_str());
  if (!shape.fill_visible) {
    pr.append_child((a + "noFill").c_str());
  } else if (shape.fill_solid) {
    AppendSchemeColor(pr.append_child((a + "solidFill").c_str()), a, shape.fill_scheme_color);
  }
  pugi::xml_node line = pr.append_child((a + "ln").c_str());
  line.append_attribute("w").set_value(Int(shape.line_weight * kEmuPerPoint).c_str());
  if (shape.line_visible) {
    AppendSchemeColor(line.append_child((a + "solidFill").c_str()), a, shape.line_scheme_color);
  } else {
    line.append_child((a + "noFill").c_str());
  }
  pugi::xml_node body = sp.append_child((x + "txBody").c_str());
  pugi::xml_node bpr = body.append_child((a + "bodyPr").c_str());
  bpr.append_attribute("vertOverflow").set_value("clip");
  bpr.append_attribute("wrap").set_value("square");
  bpr.append_attribute("lIns").set_value(Int(shape.margin_left * kEmuPerPoint).c_str());
  bpr.append_attribute("tIns").set_value(Int(shape.margin_top * kEmuPerPoint).c_str());
  bpr.append_attribute("rIns").set_value(Int(shape.margin_right * kEmuPerPoint).c_str());
  bpr.append_attribute("bIns").set_value(Int(shape.margin_bottom * kEmuPerPoint).c_str());
  bpr.append_attribute("rtlCol").set_value("0");
  bpr.append_attribute("anchor").set_value("t");
  body.append_child((a + "lstStyle").c_str());
  std::size_t start = 0;
  do {
    const std::size_t end = shape.text.find('\n', start);
    const std::string piece =
        shape.text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    pugi::xml_node p = body.append_child((a + "p").c_str());
    const char* algn = shape.horizontal_alignment == host::kHAlignCenter ? "ctr"
                       : shape.horizontal_alignment == kAlignRight       ? "r"
                                                                         : "l";
    p.append_child((a + "pPr").c_str()).append_attribute("algn").set_value(algn);
    pugi::xml_node r = p.append_child((a + "r").c_str());
    pugi::xml_node rpr = r.append_child((a + "rPr").c_str());
    rpr.append_attribute("lang").set_value("en-US");
    rpr.append_attribute("sz").set_value(Int(shape.font_size * 100).c_str());
    if (shape.font_color_index != host::kColorIndexAutomatic) {
      AppendSchemeColor(rpr.append_child((a + "solidFill").c_str()), a, shape.font_color_index + 7);
    }
    r.append_child((a + "t").c_str()).text().set(piece.c_str());
    start = end == std::string::npos ? std::string::npos : end + 1;
  } while (start != std::string::npos);
  anchor.append_child((x + "clientData").c_str());
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
                   const std::vector<memhost::ShapeData>& after, const memhost::SheetData& sheet) {
  pugi::xml_node root = drawing.document_element();
  std::map<int, const memhost::ShapeData*> kept;
  for (const memhost::ShapeData& shape : after) {
    if (shape.id != 0) kept[shape.id] = &shape;
  }
  for (const auto& [anchor, key] : KeyedAnchors(drawing)) {
    const int id = key;
    pugi::xml_node nv = CNvPr(ShapeElement(anchor));
    const bool known = std::any_of(before.begin(), before.end(),
                                   [&](const memhost::ShapeData& s) { return s.id == id; });
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
  const SheetGeometry geometry(sheet);
  for (const memhost::ShapeData& shape : after) {
    if (shape.id == 0) AppendAnchor(root, shape, next_id++, geometry);
  }
}

}  // namespace quorvane::xlsx
