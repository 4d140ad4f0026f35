#include "xlsx/xml.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "xlsx/error.h"

namespace quorvane::xlsx {

namespace {

// Whitespace text is kept, so that rewritten parts keep it.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration | pugi::parse_doctype;

std::string_view PrefixOf(const char* qualified_name) {
  const char* colon = std::strchr(qualified_name, ':');
  return colon ? std::string_view(qualified_name, colon - qualified_name) : std::string_view();
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// "_xHHHH_" at position i.
bool EscapeAt(std::string_view text, std::size_t i) {
  return i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && IsHex(text[i + 2]) &&
         IsHex(text[i + 3]) && IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_';
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

}  // namespace

std::string_view LocalName(const char* qualified_name) {
  const char* colon = std::strchr(qualified_name, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(qualified_name);
}

std::string_view LocalName(std::string_view qualified_name) {
  const std::size_t colon = qualified_name.find(':');
  return colon == std::string_view::npos ? qualified_name : qualified_name.substr(colon + 1);
}

std::string_view ResolvePrefix(pugi::xml_node node, std::string_view prefix) {
  if (prefix == "xml") return kNsXml;
  for (; node && node.type() == pugi::node_element; node = node.parent()) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      const char* name = a.name();
      if (std::strncmp(name, "xmlns", 5) != 0) continue;
      if (prefix.empty() ? name[5] == '\0'
                         : (name[5] == ':' && std::string_view(name + 6) == prefix)) {
        return a.value();
      }
    }
  }
  return {};
}

std::string_view NamespaceOf(pugi::xml_node element) {
  return ResolvePrefix(element, PrefixOf(element.name()));
}

bool Is(pugi::xml_node node, std::string_view ns, std::string_view local) {
  return node.type() == pugi::node_element && LocalName(node.name()) == local &&
         NamespaceOf(node) == ns;
}

pugi::xml_node Child(pugi::xml_node node, std::string_view ns, std::string_view local) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (Is(child, ns, local)) return child;
  }
  return {};
}

pugi::xml_node Descendant(pugi::xml_node node, std::string_view ns, std::string_view local) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    if (Is(child, ns, local)) return child;
    if (pugi::xml_node found = Descendant(child, ns, local)) return found;
  }
  return {};
}

pugi::xml_attribute Attr(pugi::xml_node node, std::string_view ns, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view prefix = PrefixOf(a.name());
    if (LocalName(a.name()) != local) continue;
    if (ns.empty() ? prefix.empty() : (!prefix.empty() && ResolvePrefix(node, prefix) == ns)) {
      return a;
    }
  }
  return {};
}

namespace {

// Whether a prefix is a name that XML accepts (the parser takes some that are not, such as "8");
// new elements never take a prefix that would make them unreadable.
bool IsPrefixName(std::string_view prefix) {
  if (prefix.empty()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(prefix[i]);
    const bool letter = std::isalpha(c) || c == '_' || c >= 0x80;
    const bool other = std::isdigit(c) || c == '-' || c == '.';
    if (!(letter || (i > 0 && other))) return false;
  }
  return true;
}

}  // namespace

std::string QualifiedName(pugi::xml_node context, std::string_view ns, std::string_view local,
                          std::string_view wanted_prefix, bool for_attribute) {
  // A prefix already bound to the namespace in scope.
  for (pugi::xml_node n = context; n && n.type() == pugi::node_element; n = n.parent()) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      const char* name = a.name();
      if (std::strncmp(name, "xmlns", 5) != 0 || a.value() != ns) continue;
      if (name[5] == ':') {
        const std::string_view prefix(name + 6);
        if (IsPrefixName(prefix) && ResolvePrefix(context, prefix) == ns)
          return std::string(prefix) + ":" + std::string(local);
      } else if (name[5] == '\0' && !for_attribute && ResolvePrefix(context, "") == ns) {
        return std::string(local);
      }
    }
  }
  // Declare one on the root, choosing a prefix that is not yet taken.
  pugi::xml_node root = context;
  while (root.parent() && root.parent().type() == pugi::node_element) root = root.parent();
  std::string prefix(wanted_prefix);
  for (int n = 1; !ResolvePrefix(root, prefix).empty(); ++n) {
    prefix = std::string(wanted_prefix) + std::to_string(n);
  }
  root.append_attribute(("xmlns:" + prefix).c_str()).set_value(std::string(ns).c_str());
  return prefix + ":" + std::string(local);
}

pugi::xml_node EnsureChild(pugi::xml_node parent, std::string_view ns, std::string_view local,
                           const std::vector<std::string_view>& order,
                           std::string_view wanted_prefix) {
  if (pugi::xml_node existing = Child(parent, ns, local)) return existing;
  auto rank = [&](std::string_view name) {
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (order[i] == name) return static_cast<int>(i);
    }
    return static_cast<int>(order.size());  // unknown children stay last
  };
  const int own = rank(local);
  const std::string qname = QualifiedName(parent, ns, local, wanted_prefix);
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && NamespaceOf(child) == ns &&
        rank(LocalName(child.name())) > own) {
      return parent.insert_child_before(qname.c_str(), child);
    }
  }
  return parent.append_child(qname.c_str());
}

namespace {

// The first element or attribute name whose prefix no namespace declaration in scope binds, if any.
// Such a part is not well-formed in namespaces: what a reader takes its names to mean, and what a
// writer's new declarations would make them mean, differ (an unbound "r:id" becomes a relationship
// reference as soon as "r" is declared for a new element).
std::optional<std::string> UnboundName(const pugi::xml_document& doc) {
  std::vector<std::string_view> bound;  // prefixes declared by the open elements
  std::vector<std::pair<pugi::xml_node, std::size_t>> stack;  // node, bound.size() on entry
  stack.emplace_back(doc.document_element(), 0);
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    bound.resize(depth);
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view name = a.name();
      if (name.substr(0, 6) == "xmlns:") bound.push_back(name.substr(6));
    }
    auto is_bound = [&](std::string_view prefix) {
      return prefix.empty() || prefix == "xml" || prefix == "xmlns" ||
             std::find(bound.begin(), bound.end(), prefix) != bound.end();
    };
    if (!is_bound(PrefixOf(node.name()))) return std::string(node.name());
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      if (!is_bound(PrefixOf(a.name()))) return std::string(a.name());
    }
    // Children are visited in reverse so that the stack hands them out in document order.
    for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling()) {
      if (child.type() == pugi::node_element) stack.emplace_back(child, bound.size());
    }
  }
  return std::nullopt;
}

// Whether any element lies more than `limit` elements below the document's root element. Walked
// without recursion, through the tree's own links.
bool NestedDeeperThan(const pugi::xml_document& doc, std::size_t limit) {
  const pugi::xml_node root = doc.document_element();
  pugi::xml_node node = root;
  std::size_t depth = 0;  // of `node` below the root
  for (;;) {
    if (pugi::xml_node child = node.first_child()) {
      node = child;
      ++depth;
    } else {
      // The next sibling, or the next sibling of the nearest ancestor that has one.
      while (node != root && !node.next_sibling()) {
        node = node.parent();
        --depth;
      }
      if (node == root) return false;
      node = node.next_sibling();
    }
    if (depth > limit && node.type() == pugi::node_element) return true;
  }
}

}  // namespace

std::size_t CountElements(std::string_view text) {
  std::size_t elements = 0;
  for (std::size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i + 1)) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (next != '/' && next != '?' && next != '!') ++elements;
  }
  return elements;
}

void ParsePart(pugi::xml_document& doc, const std::string& text, const std::string& file,
               const std::string& part) {
  // The elements are counted before the tree is built: the tree's memory, and with it the cells of
  // a sheet and the items of the string table, stay bounded whatever the part declares.
  if (CountElements(text) > kMaxPartElements) {
    throw FileError(file + ": " + part + " holds more than " + std::to_string(kMaxPartElements) +
                    " XML elements, more than a workbook part may hold; refused");
  }
  const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size(), kParseOptions);
  if (!result) {
    throw FileError(file + ": malformed XML in " + part + ": " + result.description() +
                    " at offset " + std::to_string(result.offset));
  }
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_doctype) {
      throw FileError(file + ": " + part +
                      " carries a document type declaration, which workbooks never need; refused");
    }
  }
  if (!doc.document_element()) throw FileError(file + ": " + part + " holds no XML element");
  // The readers of rich text and the searches for an element walk the tree depth first; no part
  // of a workbook nests its elements anywhere near this deep.
  if (NestedDeeperThan(doc, kMaxPartDepth)) {
    throw FileError(file + ": " + part + " nests its elements more than " +
                    std::to_string(kMaxPartDepth) +
                    " deep, more than a workbook part may; refused");
  }
  // Drawings in the older vector format come from writers that are lax about their prefixes; they
  // are read leniently.
  const bool vml = part.size() >= 4 && part.compare(part.size() - 4, 4, ".vml") == 0;
  if (!vml) {
    if (const std::optional<std::string> name = UnboundName(doc)) {
      throw FileError(file + ": malformed XML in " + part + ": the prefix of \"" + *name +
                      "\" is not declared");
    }
  }
}

namespace {

// The document's text, after a declaration when it has none.
bool IsUtf8Name(std::string_view encoding) {
  if (encoding.size() != 5) return false;
  std::string lower(encoding);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "utf-8";
}

void WriteDocument(const pugi::xml_document& doc, std::string& out, pugi::xml_writer& writer) {
  pugi::xml_node declaration;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_declaration) declaration = n;
  }
  if (!declaration) out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  const pugi::xml_attribute encoding = declaration.attribute("encoding");
  if (!encoding || IsUtf8Name(encoding.value())) {
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return;
  }
  // The text is written in UTF-8 whatever the part was read in: a declaration of another encoding
  // would have the next reader take it for that encoding and garble every character past ASCII.
  std::string head = "<?xml";
  for (pugi::xml_attribute a = declaration.first_attribute(); a; a = a.next_attribute()) {
    const bool is_encoding = std::string_view(a.name()) == "encoding";
    Append(head, {" ", a.name(), "=\""});
    AppendEscaped(head, is_encoding ? "UTF-8" : a.value(), true);
    head += '"';
  }
  head += "?>";
  writer.write(head.data(), head.size());
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n != declaration) n.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
  }
}

// The comment that holds the place of new elements while the document is written.
constexpr std::string_view kNewElementsMark = "<!--quorvane:new elements-->";

// Takes the document's text as it is written and writes the new elements in place of the first
// mark, so that the text is held once; counts the marks, as a document may hold one of its own.
struct SplicingWriter : pugi::xml_writer {
  explicit SplicingWriter(const NewElements& added) : added(added) {}
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
    for (;;) {
      const std::size_t at = out.find(kNewElementsMark, scan_from);
      if (at == std::string::npos) break;
      scan_from = at + kNewElementsMark.size();
      if (++marks > 1) continue;
      const std::string tail = out.substr(scan_from);
      out.resize(at);
      // Room for the elements, and for the rest of the document when it is short.
      out.reserve(at + added.size_hint + tail.size() + (64 << 10));
      added.write(out);
      scan_from = out.size();
      out += tail;
    }
    // A mark may begin in this piece and end in the next.
    if (out.size() >= kNewElementsMark.size()) {
      scan_from = std::max(scan_from, out.size() - (kNewElementsMark.size() - 1));
    }
  }

  const NewElements& added;
  std::string out;
  std::size_t scan_from = 0;
  int marks = 0;
};

}  // namespace

void ParseCheckedPartInPlace(pugi::xml_document& doc, std::string& text, const std::string& file,
                             const std::string& part) {
  const pugi::xml_parse_result result =
      doc.load_buffer_inplace(text.data(), text.size(), kParseOptions);
  if (!result) {
    throw FileError(file + ": malformed XML in " + part + ": " + result.description() +
                    " at offset " + std::to_string(result.offset));
  }
}

std::string Serialize(const pugi::xml_document& doc) {
  StringWriter writer;
  WriteDocument(doc, writer.out, writer);
  return std::move(writer.out);
}

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  std::size_t copied = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // Most characters need no escape: one test lets them by.
    if (c > '>' || (c >= ' ' && c != '&' && c != '<' && c != '>' && c != '"')) continue;
    const char* escape = nullptr;
    char control[6];
    if (c == '&') {
      escape = "&amp;";
    } else if (c == '<') {
      escape = "&lt;";
    } else if (c == '>' && !attribute) {
      escape = "&gt;";
    } else if (c == '"' && attribute) {
      escape = "&quot;";
    } else if (c < 32 && (attribute || (c != '\t' && c != '\n' && c != '\r'))) {
      control[0] = '&';
      control[1] = '#';
      control[2] = static_cast<char>('0' + c / 10);
      control[3] = static_cast<char>('0' + c % 10);
      control[4] = ';';
      control[5] = '\0';
      escape = control;
    }
    if (!escape) continue;
    out.append(text.substr(copied, i - copied));
    out += escape;
    copied = i + 1;
  }
  out.append(text.substr(copied));
}

std::string Serialize(pugi::xml_document& doc, const NewElements& added) {
  if (!added.write) return Serialize(doc);
  // A comment holds the place of the new elements, which are written there as the text is made.
  // Should the document already hold such a comment, the elements are parsed into the tree instead.
  pugi::xml_node parent = added.parent;
  pugi::xml_node mark = parent.append_child(pugi::node_comment);
  mark.set_value("quorvane:new elements");
  SplicingWriter writer(added);
  WriteDocument(doc, writer.out, writer);
  parent.remove_child(mark);
  if (writer.marks == 1) return std::move(writer.out);
  std::string().swap(writer.out);
  std::string elements;
  added.write(elements);
  const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata;
  if (!parent.append_buffer(elements.data(), elements.size(), options, pugi::encoding_utf8)) {
    throw std::logic_error("new elements that do not parse");
  }
  return Serialize(doc);
}

std::string NodeText(pugi::xml_node node) {
  StringWriter writer;
  node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
  return std::move(writer.out);
}

std::string DecodeEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (EscapeAt(text, i)) {
      AppendUtf8(
          out, static_cast<unsigned>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16)));
      i += 6;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string EncodeEscapes(std::string_view text) {
  std::size_t i = 0;
  // The text up to the first character that needs an escape is copied as it is.
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || (c == '_' && EscapeAt(text, i))) break;
    ++i;
  }
  std::string out(text.substr(0, i));
  if (i == text.size()) return out;
  out.reserve(text.size() + 16);
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || EscapeAt(text, i)) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "_x%04X_", static_cast<unsigned>(c));
      out += buffer;
    } else {
      out += text[i];
    }
  }
  return out;
}

// --- The text of a part, scanned without parsing it ---

namespace {

// Whether `text` holds an element of that qualified name ("<name" then the name's end).
bool HoldsElement(std::string_view text, std::string_view name) {
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (text.compare(at + 1, name.size(), name) == 0 && at + 1 + name.size() < text.size() &&
        IsNameEnd(text[at + 1 + name.size()])) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

std::string_view ElementNameAt(std::string_view text, std::size_t at) {
  if (at == 0 || at >= text.size() || text[at - 1] != '<') return {};
  std::size_t end = at;
  while (end < text.size() && !IsNameEnd(text[end])) ++end;
  return end < text.size() ? text.substr(at, end - at) : std::string_view();
}

std::size_t TagEnd(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"' || text[i] == '\'') {
      i = text.find(text[i], i + 1);
      if (i == std::string_view::npos) return i;
    } else if (text[i] == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

std::size_t ElementEnd(std::string_view text, std::size_t at, std::string_view name) {
  const std::size_t tag_end = TagEnd(text, at + name.size());
  if (tag_end == std::string_view::npos) return tag_end;
  if (text[tag_end - 1] == '/') return tag_end + 1;
  for (std::size_t close = text.find("</", tag_end); close != std::string_view::npos;
       close = text.find("</", close + 2)) {
    if (text.compare(close + 2, name.size(), name) != 0) continue;
    std::size_t end = close + 2 + name.size();
    while (end < text.size() &&
           (text[end] == ' ' || text[end] == '\t' || text[end] == '\r' || text[end] == '\n')) {
      ++end;
    }
    if (end >= text.size() || text[end] != '>') continue;
    if (HoldsElement(text.substr(tag_end, close - tag_end), name)) return std::string_view::npos;
    return end + 1;
  }
  return std::string_view::npos;
}

bool PlainUtf8(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.empty() || text[0] != '<' || text.substr(0, 4).find('\0') != std::string_view::npos) {
    return false;  // UTF-16 or UTF-32 too
  }
  if (text.substr(0, 5) != "<?xml") return true;
  const std::string_view declaration = text.substr(0, text.find("?>"));
  const std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return true;
  const std::size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return false;
  std::string value(declaration.substr(quote + 1, 5));
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return value == "utf-8" && quote + 6 < declaration.size() &&
         declaration[quote + 6] == declaration[quote];
}

std::size_t ContentEnd(std::string_view text, std::size_t from, std::string_view name) {
  if (name.empty() || from >= text.size()) return std::string_view::npos;
  // The name is looked for rather than every '<', by a letter of it that is rare among rows: its
  // first capital (the 'D' of "sheetData"), else its last letter. A match is a tag where a '<', or
  // "</", stands right before it.
  std::size_t key = name.size() - 1;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] >= 'A' && name[i] <= 'Z') {
      key = i;
      break;
    }
  }
  for (std::size_t hit = text.find(name[key], from + key); hit != std::string_view::npos;
       hit = text.find(name[key], hit + 1)) {
    const std::size_t name_at = hit - key;
    if (text.compare(name_at, name.size(), name) != 0) continue;
    std::size_t at = std::string_view::npos;
    bool closing = false;
    if (name_at >= from + 1 && text[name_at - 1] == '<') {
      at = name_at - 1;
    } else if (name_at >= from + 2 && text[name_at - 1] == '/' && text[name_at - 2] == '<') {
      at = name_at - 2;
      closing = true;
    }
    if (at == std::string_view::npos) continue;
    std::size_t end = name_at + name.size();
    if (end >= text.size() || !IsNameEnd(text[end])) continue;
    // A comment, a section or an instruction before the tag could hide it.
    const std::string_view before = text.substr(from, at - from);
    for (const char mark : {'!', '?'}) {
      for (std::size_t m = before.find(mark, 1); m != std::string_view::npos;
           m = before.find(mark, m + 1)) {
        if (before[m - 1] == '<') return std::string_view::npos;
      }
    }
    if (!closing) return std::string_view::npos;
    while (end < text.size() && text[end] != '>' && text[end] != '/' && IsNameEnd(text[end])) ++end;
    return end < text.size() && text[end] == '>' ? at : std::string_view::npos;
  }
  return std::string_view::npos;
}

std::size_t FindElementName(std::string_view text, std::string_view local) {
  for (std::size_t at = text.find(local); at != std::string_view::npos;
       at = text.find(local, at + 1)) {
    const std::size_t after = at + local.size();
    if (after >= text.size() || !IsNameEnd(text[after]) || at == 0) continue;
    if (text[at - 1] == '<') return at;
    if (text[at - 1] != ':') continue;
    // A prefix: the name begins after the '<' before it.
    std::size_t start = at - 1;
    while (start > 0 && text[start - 1] != '<' && !IsNameEnd(text[start - 1])) --start;
    if (start > 0 && start < at - 1 && text[start - 1] == '<') return start;
  }
  return std::string_view::npos;
}

namespace {

// The characters of plain names: 1 for those that may begin one, 2 for those that may follow.
constexpr std::array<unsigned char, 256> kPlainName = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 'a'; c <= 'z'; ++c) table[c] = 1;
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = 1;
  table['_'] = 1;
  for (int c = '0'; c <= '9'; ++c) table[c] = 2;
  table['-'] = table['.'] = table[':'] = 2;
  return table;
}();

bool IsPlainNameStart(char c) { return kPlainName[static_cast<unsigned char>(c)] == 1; }
bool IsPlainNameChar(char c) { return kPlainName[static_cast<unsigned char>(c)] != 0; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

TagReader::TagReader(std::string_view text, std::size_t begin, std::size_t end,
                     std::vector<std::string_view> bound, std::size_t max_elements)
    : text_all_(text),
      at_(begin),
      end_(std::min(end, text.size())),
      bound_(std::move(bound)),
      elements_left_(max_elements) {}

bool TagReader::Bound(std::string_view prefix) const {
  return prefix.empty() || prefix == "xml" || prefix == "xmlns" ||
         std::find(bound_.begin(), bound_.end(), prefix) != bound_.end();
}

std::string_view TagReader::ReadName(bool attribute) {
  const std::size_t start = at_;
  if (at_ >= end_ || !IsPlainNameStart(text_all_[at_])) return {};
  std::size_t colon = std::string_view::npos;
  for (++at_; at_ < end_ && IsPlainNameChar(text_all_[at_]); ++at_) {
    if (text_all_[at_] == ':' && colon == std::string_view::npos) colon = at_;
  }
  const std::string_view name = text_all_.substr(start, at_ - start);
  // Namespace declarations would change what the names in their scope mean.
  if (attribute && name.substr(0, 5) == "xmlns") return {};
  if (colon != std::string_view::npos && !Bound(text_all_.substr(start, colon - start))) return {};
  return name;
}

TagReader::Piece TagReader::Next() {
  if (failed_) return Piece::kOther;
  if (at_ >= end_) return open_.empty() ? Piece::kDone : Fail();
  const char* const base = text_all_.data();
  if (base[at_] != '<') {
    std::size_t stop = at_;
    for (; stop < end_ && base[stop] != '<'; ++stop) {
      if (base[stop] == '\0') return Fail();
    }
    text_ = text_all_.substr(at_, stop - at_);
    at_ = stop;
    return Piece::kText;
  }
  ++at_;
  if (at_ < end_ && base[at_] == '/') {
    // The name of the element it ends, whose start tag was checked.
    ++at_;
    if (open_.empty() || text_all_.compare(at_, open_.back().size(), open_.back()) != 0) {
      return Fail();
    }
    name_offset_ = at_;
    name_ = open_.back();
    at_ += name_.size();
    while (at_ < end_ && IsSpace(base[at_])) ++at_;
    if (at_ >= end_ || base[at_] != '>') return Fail();
    ++at_;
    open_.pop_back();
    return Piece::kEnd;
  }
  if (elements_left_ == 0) return Fail();
  --elements_left_;
  name_offset_ = at_;
  name_ = ReadName(false);
  if (name_.empty()) return Fail();
  attributes_.clear();
  closed_ = false;
  for (;;) {
    const std::size_t spaced = at_;
    while (at_ < end_ && IsSpace(base[at_])) ++at_;
    if (at_ >= end_) return Fail();
    if (base[at_] == '>') {
      ++at_;
      break;
    }
    if (base[at_] == '/') {
      if (at_ + 1 >= end_ || base[at_ + 1] != '>') return Fail();
      at_ += 2;
      closed_ = true;
      break;
    }
    if (at_ == spaced) return Fail();  // attributes are set apart by spaces
    const std::string_view name = ReadName(true);
    if (name.empty()) return Fail();
    while (at_ < end_ && IsSpace(base[at_])) ++at_;
    if (at_ >= end_ || base[at_] != '=') return Fail();
    ++at_;
    while (at_ < end_ && IsSpace(base[at_])) ++at_;
    if (at_ >= end_ || (base[at_] != '"' && base[at_] != '\'')) return Fail();
    const char quote = base[at_++];
    const std::size_t value_at = at_;
    for (; at_ < end_ && base[at_] != quote; ++at_) {
      const char c = base[at_];
      if (c == '<' || c == '&' || c == '\t' || c == '\n' || c == '\r' || c == '\0') return Fail();
    }
    if (at_ >= end_) return Fail();
    attributes_.push_back({name, text_all_.substr(value_at, at_ - value_at)});
    ++at_;
  }
  if (!closed_) open_.push_back(name_);
  return Piece::kStart;
}

bool TagReader::SkipElement() {
  if (closed_) return !failed_;
  const std::size_t depth = open_.size();
  for (;;) {
    switch (Next()) {
      case Piece::kEnd:
        if (open_.size() < depth) return true;
        break;
      case Piece::kOther:
      case Piece::kDone:
        return false;
      default:
        break;
    }
  }
}

std::optional<std::string_view> DecodeText(std::string_view raw, std::string& scratch) {
  std::size_t at = 0;
  while (at < raw.size() && raw[at] != '&' && raw[at] != '\r') ++at;
  if (at == raw.size()) return raw;
  std::string& out = scratch;
  out.clear();
  std::size_t copied = 0;
  for (; at != std::string_view::npos; at = raw.find_first_of("&\r", copied)) {
    if (raw[at] == '\r') return std::nullopt;
    out.append(raw.substr(copied, at - copied));
    const std::string_view rest = raw.substr(at);
    std::size_t length = 0;
    char c = 0;
    for (const auto& [escape, decoded] : {std::pair<std::string_view, char>{"&lt;", '<'},
                                          {"&gt;", '>'},
                                          {"&amp;", '&'},
                                          {"&quot;", '"'},
                                          {"&apos;", '\''}}) {
      if (rest.substr(0, escape.size()) == escape) {
        length = escape.size();
        c = decoded;
        break;
      }
    }
    if (length == 0) return std::nullopt;
    out += c;
    copied = at + length;
  }
  out.append(raw.substr(copied));
  return std::string_view(out);
}

}  // namespace quorvane::xlsx
