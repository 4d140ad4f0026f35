// Legacy comments (notes): the comments part with their texts and the VML part with the note boxes
// and their visibility.
#include "xlsx/comments.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "memhost/geometry.h"
#include "xlsx/cell_ref.h"
#include "xlsx/error.h"
#include "xlsx/shared_strings.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

using memhost::SheetGeometry;

namespace {

constexpr const char* kAuthor = "Quorvane";

struct NoteShape {
  memhost::CellKey key;
  bool visible = false;
};

int IntText(pugi::xml_node node, int fallback) {
  const std::string_view text = node.text().get();
  std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return fallback;
  int value = fallback;
  std::from_chars(text.data() + start, text.data() + text.size(), value);
  return value;
}

// The note a VML shape stands for, if it is one.
std::optional<NoteShape> NoteOf(pugi::xml_node shape) {
  const pugi::xml_node data = Child(shape, kNsX, "ClientData");
  if (!data || std::string_view(data.attribute("ObjectType").value()) != "Note")
    return std::nullopt;
  NoteShape note;
  note.key = {IntText(Child(data, kNsX, "Row"), -1) + 1,
              IntText(Child(data, kNsX, "Column"), -1) + 1};
  if (note.key.first < 1 || note.key.second < 1) return std::nullopt;
  const std::string style = shape.attribute("style").value();
  note.visible =
      Child(data, kNsX, "Visible") || style.find("visibility:visible") != std::string::npos;
  if (style.find("visibility:hidden") != std::string::npos) note.visible = false;
  return note;
}

template <typename F>
void ForNoteShapes(const pugi::xml_document& vml, F&& f) {
  for (pugi::xml_node n = vml.document_element().first_child(); n; n = n.next_sibling()) {
    if (!Is(n, kNsV, "shape")) continue;
    if (auto note = NoteOf(n)) f(n, *note);
  }
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// The style without its visibility declarations ("; visibility : hidden"), in one pass.
std::string WithoutVisibility(std::string_view style) {
  constexpr std::string_view kName = "visibility";
  std::string out;
  std::size_t copied = 0;
  for (std::size_t at = style.find(kName); at != std::string_view::npos;
       at = style.find(kName, at + 1)) {
    std::size_t end = SkipBlanks(style, at + kName.size());
    if (end == style.size() || style[end] != ':') continue;
    const std::size_t value = end = SkipBlanks(style, end + 1);
    while (end < style.size() && style[end] >= 'a' && style[end] <= 'z') ++end;
    if (end == value) continue;
    std::size_t start = at;
    while (start > copied && IsBlank(style[start - 1])) --start;
    if (start > copied && style[start - 1] == ';') --start;
    out.append(style.substr(copied, start - copied));
    copied = end;
    at = end - 1;
  }
  out.append(style.substr(copied));
  return out;
}

std::string StyleWithVisibility(std::string_view style, bool visible) {
  std::string out = WithoutVisibility(style);
  if (!visible) out += out.empty() ? "visibility:hidden" : ";visibility:hidden";
  return out;
}

// The text with every HTML-style line break ("<br>", "<BR >") closed as "<br/>", in one pass.
std::string WithClosedBreaks(std::string_view text) {
  std::string out;
  std::size_t copied = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (at + 3 > text.size() || (text[at + 1] | 0x20) != 'b' || (text[at + 2] | 0x20) != 'r') {
      continue;
    }
    const std::size_t end = SkipBlanks(text, at + 3);
    if (end == text.size() || text[end] != '>') continue;
    out.append(text.substr(copied, at - copied));
    out += "<br/>";
    copied = end + 1;
    at = end;
  }
  out.append(text.substr(copied));
  return out;
}

void SetVisible(pugi::xml_node shape, bool visible) {
  pugi::xml_attribute style = shape.attribute("style");
  if (!style) style = shape.append_attribute("style");
  style.set_value(StyleWithVisibility(style.value(), visible).c_str());
  pugi::xml_node data = Child(shape, kNsX, "ClientData");
  pugi::xml_node flag = Child(data, kNsX, "Visible");
  if (visible && !flag) {
    data.append_child(QualifiedName(data, kNsX, "Visible", "x").c_str());
  } else if (!visible && flag) {
    data.remove_child(flag);
  }
}

void SetCommentText(pugi::xml_node comment, const std::string& text) {
  pugi::xml_node body = Child(comment, kNsMain, "text");
  if (!body) body = comment.append_child(QualifiedName(comment, kNsMain, "text", "x").c_str());
  while (pugi::xml_node child = body.first_child()) body.remove_child(child);
  pugi::xml_node t = body.append_child(QualifiedName(body, kNsMain, "t", "x").c_str());
  t.append_attribute("xml:space").set_value("preserve");
  t.text().set(EncodeEscapes(text).c_str());
}

// The next free shape number of a VML part ("_x0000_s1025" -> 1025).
int NextShapeNumber(const pugi::xml_document& vml, int idmap) {
  int next = 1024 * idmap + 1;
  for (pugi::xml_node n = vml.document_element().first_child(); n; n = n.next_sibling()) {
    const std::string_view id = n.attribute("id").value();
    const auto s = id.rfind("_s");
    if (s == std::string_view::npos) continue;
    int number = 0;
    const auto [end, ec] = std::from_chars(id.data() + s + 2, id.data() + id.size(), number);
    if (ec == std::errc() && end == id.data() + id.size()) next = std::max(next, number + 1);
  }
  return next;
}

void EnsureNoteShapeType(pugi::xml_document& vml) {
  pugi::xml_node root = vml.document_element();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (Is(n, kNsV, "shapetype") && std::string_view(n.attribute("id").value()) == "_x0000_t202") {
      return;
    }
  }
  pugi::xml_node type = root.append_child(QualifiedName(root, kNsV, "shapetype", "v").c_str());
  type.append_attribute("id").set_value("_x0000_t202");
  type.append_attribute("coordsize").set_value("21600,21600");
  type.append_attribute(QualifiedName(type, kNsO, "spt", "o", true).c_str()).set_value("202");
  type.append_attribute("path").set_value("m,l,21600r21600,l21600,xe");
  type.append_child(QualifiedName(type, kNsV, "stroke", "v").c_str())
      .append_attribute("joinstyle")
      .set_value("miter");
  pugi::xml_node path = type.append_child(QualifiedName(type, kNsV, "path", "v").c_str());
  path.append_attribute("gradientshapeok").set_value("t");
  path.append_attribute(QualifiedName(path, kNsO, "connecttype", "o", true).c_str())
      .set_value("rect");
}

// The prefixes ("v:", or "" for the default namespace) of the elements and attributes of a VML note
// shape, declared on the root where missing.
struct VmlPrefixes {
  std::string v, o, x;
  explicit VmlPrefixes(pugi::xml_node root)
      : v(Prefix(root, kNsV, "v", false)),
        o(Prefix(root, kNsO, "o", true)),
        x(Prefix(root, kNsX, "x", false)) {}
  static std::string Prefix(pugi::xml_node root, std::string_view ns, const char* wanted,
                            bool attribute) {
    const std::string q = QualifiedName(root, ns, "_", wanted, attribute);
    return q.substr(0, q.size() - 1);
  }
};

// Appends the VML shape of a note as text.
void AppendNoteShape(std::string& out, const VmlPrefixes& p, int number, memhost::CellKey key,
                     bool visible, const SheetGeometry& geometry) {
  const int row = key.first - 1, column = key.second - 1;  // 0-based, as VML counts
  const double left = geometry.ColumnLeft(key.second + 1) + 11.25;
  const double top = geometry.RowTop(std::max(key.first - 1, 1)) + 1.5;
  // Two decimals, as printf's "%.2f" gives them.
  auto fixed2 = [](double points) {
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, points, std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0.00");
  };
  const std::string style =
      "position:absolute;margin-left:" + fixed2(left) + "pt;margin-top:" + fixed2(top) +
      "pt;width:108pt;height:59.25pt;z-index:" + std::to_string(number % 1024);
  const int top_row = std::max(row - 1, 0);
  Append(out, {"<", p.v, "shape id=\"_x0000_s", std::to_string(number),
               "\" type=\"#_x0000_t202\" style=\""});
  AppendEscaped(out, StyleWithVisibility(style, visible), true);
  Append(out, {"\" fillcolor=\"#ffffe1\" ",
               p.o,
               "insetmode=\"auto\"><",
               p.v,
               "fill color2=\"#ffffe1\"/><",
               p.v,
               "shadow on=\"t\" color=\"black\" obscured=\"t\"/><",
               p.v,
               "path ",
               p.o,
               "connecttype=\"none\"/><",
               p.v,
               "textbox style=\"mso-direction-alt:auto\"><div style=\"text-align:left\"/></",
               p.v,
               "textbox><",
               p.x,
               "ClientData ObjectType=\"Note\"><",
               p.x,
               "MoveWithCells/><",
               p.x,
               "SizeWithCells/><",
               p.x,
               "Anchor>",
               std::to_string(column + 1),
               ", 15, ",
               std::to_string(top_row),
               ", 2, ",
               std::to_string(column + 3),
               ", 15, ",
               std::to_string(top_row + 4),
               ", 4</",
               p.x,
               "Anchor><",
               p.x,
               "AutoFill>False</",
               p.x,
               "AutoFill><",
               p.x,
               "Row>",
               std::to_string(row),
               "</",
               p.x,
               "Row><",
               p.x,
               "Column>",
               std::to_string(column),
               "</",
               p.x,
               "Column>"});
  if (visible) Append(out, {"<", p.x, "Visible/>"});
  Append(out, {"</", p.x, "ClientData></", p.v, "shape>"});
}

// Appends a new comment record as text.
void AppendComment(std::string& out, const std::string& prefix, memhost::CellKey key, int author,
                   const std::string& text) {
  Append(out,
         {"<", prefix, "comment ref=\"", CellRef(key.first, key.second), "\" authorId=\"",
          std::to_string(author), "\"><", prefix, "text><", prefix, "t xml:space=\"preserve\">"});
  AppendEscaped(out, EncodeEscapes(text));
  Append(out, {"</", prefix, "t></", prefix, "text></", prefix, "comment>"});
}

}  // namespace

std::map<memhost::CellKey, memhost::CommentData> LoadComments(const pugi::xml_document& comments,
                                                              const pugi::xml_document* vml) {
  std::map<memhost::CellKey, bool> visible;
  if (vml) {
    ForNoteShapes(*vml,
                  [&](pugi::xml_node, const NoteShape& note) { visible[note.key] = note.visible; });
  }
  std::map<memhost::CellKey, memhost::CommentData> out;
  ForChildren(Child(comments.document_element(), kNsMain, "commentList"), kNsMain, "comment",
              [&](pugi::xml_node comment) {
                const memhost::CellKey key = ParseCellRef(comment.attribute("ref").value());
                if (key.first == 0) return;
                memhost::CommentData data;
                data.text = RichText(Child(comment, kNsMain, "text"));
                const auto v = visible.find(key);
                data.visible = v != visible.end() && v->second;
                out[key] = std::move(data);
              });
  return out;
}

void ParseVml(pugi::xml_document& doc, const std::string& text, const std::string& file,
              const std::string& part) {
  try {
    ParsePart(doc, text, file, part);
  } catch (const FileError&) {
    // Some writers emit HTML-style line breaks in the note boxes.
    const std::string fixed = WithClosedBreaks(text);
    if (fixed == text) throw;
    ParsePart(doc, fixed, file, part);
  }
}

std::string NewCommentsXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<authors><author>" +
         std::string(kAuthor) + "</author></authors><commentList/></comments>";
}

std::string NewVmlXml(int idmap) {
  return "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
         "xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
         "xmlns:x=\"urn:schemas-microsoft-com:office:excel\">"
         "<o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" data=\"" +
         std::to_string(idmap) + "\"/></o:shapelayout></xml>";
}

int VmlIdMap(const pugi::xml_document& vml) {
  const pugi::xml_node idmap = Descendant(vml.document_element(), kNsO, "idmap");
  return idmap ? std::atoi(idmap.attribute("data").value()) : 0;
}

bool VmlHasShapes(const pugi::xml_document& vml) {
  for (pugi::xml_node n = vml.document_element().first_child(); n; n = n.next_sibling()) {
    if (Is(n, kNsV, "shape")) return true;
  }
  return false;
}

namespace {

// The add-in's place among the comments' authors; added, with the list of authors, when missing.
int AddinAuthor(pugi::xml_node root, pugi::xml_node list) {
  pugi::xml_node authors = Child(root, kNsMain, "authors");
  if (!authors) {
    authors = root.insert_child_before(QualifiedName(root, kNsMain, "authors", "x").c_str(), list);
  }
  int author = -1;
  int i = 0;
  ForChildren(authors, kNsMain, "author", [&](pugi::xml_node a) {
    if (author < 0 && std::string_view(a.text().get()) == kAuthor) author = i;
    ++i;
  });
  if (author >= 0) return author;
  authors.append_child(QualifiedName(authors, kNsMain, "author", "x").c_str()).text().set(kAuthor);
  return i;
}

// Removes a note's comment from the list and its shape from the VML part, where they hold them.
void RemoveNote(memhost::CellKey key, pugi::xml_node list,
                const std::map<memhost::CellKey, pugi::xml_node>& comments, pugi::xml_node vml_root,
                const std::map<memhost::CellKey, pugi::xml_node>& shapes) {
  if (auto it = comments.find(key); it != comments.end()) list.remove_child(it->second);
  if (auto it = shapes.find(key); it != shapes.end()) vml_root.remove_child(it->second);
}

}  // namespace

std::size_t UpdateComments(pugi::xml_document& comments, pugi::xml_document& vml,
                           const std::map<memhost::CellKey, memhost::CommentData>& before,
                           const std::map<memhost::CellKey, memhost::CommentData>& after,
                           const memhost::SheetData& sheet, NewElements& new_comments,
                           NewElements& new_shapes) {
  pugi::xml_node root = comments.document_element();
  pugi::xml_node list = Child(root, kNsMain, "commentList");
  if (!list) list = root.append_child(QualifiedName(root, kNsMain, "commentList", "x").c_str());
  std::map<memhost::CellKey, pugi::xml_node> nodes;
  ForChildren(list, kNsMain, "comment",
              [&](pugi::xml_node c) { nodes[ParseCellRef(c.attribute("ref").value())] = c; });
  std::map<memhost::CellKey, pugi::xml_node> shapes;
  ForNoteShapes(vml,
                [&](pugi::xml_node shape, const NoteShape& note) { shapes[note.key] = shape; });

  int idmap = VmlIdMap(vml);
  int next_shape = NextShapeNumber(vml, idmap);
  for (const auto& [key, old_note] : before) {
    if (!after.count(key)) RemoveNote(key, list, nodes, vml.document_element(), shapes);
  }
  int author = -1;  // the author of new notes, found or added with the first
  // New notes and their shapes go after the existing ones, written as text when their parts are.
  struct NewNote {
    memhost::CellKey key;
    const memhost::CommentData* note;
    int number;  // the comment's author, or the shape's number
  };
  std::vector<NewNote> fresh_comments, fresh_shapes;
  std::optional<std::string> comment_prefix;
  std::optional<VmlPrefixes> shape_prefixes;
  std::size_t comment_room = 0;
  for (const auto& [key, note] : after) {
    const auto old = before.find(key);
    const auto node = nodes.find(key);
    if (node == nodes.end()) {
      if (!comment_prefix) {
        const std::string q = QualifiedName(list, kNsMain, "comment", "x");
        comment_prefix = q.substr(0, q.size() - std::string_view("comment").size());
      }
      if (author < 0) author = AddinAuthor(root, list);
      fresh_comments.push_back({key, &note, author});
      comment_room += note.text.size() + 160;
    } else if (old == before.end() || old->second.text != note.text) {
      SetCommentText(node->second, note.text);
    }
    if (auto shape = shapes.find(key); shape != shapes.end()) {
      if (old == before.end() || old->second.visible != note.visible)
        SetVisible(shape->second, note.visible);
    } else {
      if (!shape_prefixes) {
        EnsureNoteShapeType(vml);
        shape_prefixes.emplace(vml.document_element());
      }
      fresh_shapes.push_back({key, &note, next_shape++});
    }
  }
  new_comments = {list, comment_room, {}};
  if (!fresh_comments.empty()) {
    new_comments.write = [prefix = *comment_prefix,
                          fresh = std::move(fresh_comments)](std::string& out) {
      for (const NewNote& n : fresh) AppendComment(out, prefix, n.key, n.number, n.note->text);
    };
  }
  new_shapes = {vml.document_element(), fresh_shapes.size() * 640, {}};
  if (!fresh_shapes.empty()) {
    new_shapes.write = [prefixes = *shape_prefixes, geometry = SheetGeometry(sheet),
                        fresh = std::move(fresh_shapes)](std::string& out) {
      for (const NewNote& n : fresh) {
        AppendNoteShape(out, prefixes, n.number, n.key, n.note->visible, geometry);
      }
    };
  }
  return after.size();
}

}  // namespace quorvane::xlsx
