// Namespace-aware helpers over pugixml, which itself knows only qualified names.
//
// Parts written by different programs bind the same namespace to different prefixes, or make it
// the default namespace: elements and attributes are therefore matched by namespace URI and local
// name, resolving prefixes through the xmlns declarations in scope. New elements take the prefix
// that the document already binds to their namespace.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::xlsx {

// Namespaces of the package parts.
inline constexpr std::string_view kNsMain =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view kNsRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kNsPkgRel =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view kNsContentTypes =
    "http://schemas.openxmlformats.org/package/2006/content-types";
inline constexpr std::string_view kNsXdr =
    "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
inline constexpr std::string_view kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr std::string_view kNsThreadedComments =
    "http://schemas.microsoft.com/office/spreadsheetml/2018/threadedcomments";
inline constexpr std::string_view kNsV = "urn:schemas-microsoft-com:vml";
inline constexpr std::string_view kNsO = "urn:schemas-microsoft-com:office:office";
inline constexpr std::string_view kNsX = "urn:schemas-microsoft-com:office:excel";
inline constexpr std::string_view kNsXml = "http://www.w3.org/XML/1998/namespace";

std::string_view LocalName(const char* qualified_name);
std::string_view LocalName(std::string_view qualified_name);
// The namespace a prefix is bound to at the node ("" prefix: the default namespace); empty when
// unbound. The prefix "xml" is always bound.
std::string_view ResolvePrefix(pugi::xml_node node, std::string_view prefix);
// The namespace of an element.
std::string_view NamespaceOf(pugi::xml_node element);
bool Is(pugi::xml_node node, std::string_view ns, std::string_view local);
// The first child element with that namespace and local name (an empty node when none).
pugi::xml_node Child(pugi::xml_node node, std::string_view ns, std::string_view local);
// The first descendant element with that namespace and local name, depth first.
pugi::xml_node Descendant(pugi::xml_node node, std::string_view ns, std::string_view local);
// An attribute in a namespace (for example r:id); an unprefixed attribute has no namespace.
pugi::xml_attribute Attr(pugi::xml_node node, std::string_view ns, std::string_view local);

// Calls f(child) for every child element with that namespace and local name.
template <typename F>
void ForChildren(pugi::xml_node node, std::string_view ns, std::string_view local, F&& f) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && Is(child, ns, local)) f(child);
  }
}

// The qualified name for a new element or attribute in a namespace, in the scope of `context`:
// "prefix:local", or "local" when the namespace is the default one. When the namespace has no
// prefix in scope, declares `wanted_prefix` on the document's root element first.
std::string QualifiedName(pugi::xml_node context, std::string_view ns, std::string_view local,
                          std::string_view wanted_prefix, bool for_attribute = false);

// The child element with that namespace and local name, created when missing at the place the
// schema's `order` of local names gives it (before the first existing child that comes later).
pugi::xml_node EnsureChild(pugi::xml_node parent, std::string_view ns, std::string_view local,
                           const std::vector<std::string_view>& order,
                           std::string_view wanted_prefix);

// The most XML elements one part may hold (a sheet of about 4 million cells).
inline constexpr std::size_t kMaxPartElements = 8'000'000;

// The deepest an element of a part may lie below the part's root element.
inline constexpr std::size_t kMaxPartDepth = 256;

// The elements a part's text holds, as ParsePart counts them: every '<' that begins neither an end
// tag, a declaration, a comment nor a section.
std::size_t CountElements(std::string_view text);

// Parses a part. Raises a FileError naming the file and the part when the XML is malformed, holds
// more than kMaxPartElements elements, nests them deeper than kMaxPartDepth or carries a document
// type declaration. Whitespace text is kept so that rewritten parts keep it.
void ParsePart(pugi::xml_document& doc, const std::string& text, const std::string& file,
               const std::string& part);
// Parses, in place, the text of a part that ParsePart has accepted: `text` then holds the
// document's strings and must outlive it. Raises a FileError should it not parse.
void ParseCheckedPartInPlace(pugi::xml_document& doc, std::string& text, const std::string& file,
                             const std::string& part);
// The document as UTF-8 text, without indentation; a declaration is added when it has none.
std::string Serialize(const pugi::xml_document& doc);
// The element as text, as Serialize writes it.
std::string NodeText(pugi::xml_node node);

// Elements written directly as text, in the form Serialize gives them, after the last child of
// `parent` when the document is serialized (straight into its text, so they are never held twice).
// Many new records of a known form (notes, their shapes, rectangles) are cheaper written this way
// than built node by node.
struct NewElements {
  pugi::xml_node parent;
  std::size_t size_hint = 0;                // about how many bytes `write` appends
  std::function<void(std::string&)> write;  // appends the elements; none when empty
};
// Appends each piece in turn.
inline void Append(std::string& out, std::initializer_list<std::string_view> pieces) {
  for (const std::string_view piece : pieces) out.append(piece);
}
// Appends `text` escaped as Serialize escapes element text, or (attribute) an attribute value
// between double quotes.
void AppendEscaped(std::string& out, std::string_view text, bool attribute = false);
// The document as Serialize writes it, with `added`'s elements after the last child of its parent.
std::string Serialize(pugi::xml_document& doc, const NewElements& added);

// Escapes of characters that XML cannot carry in spreadsheet text ("_x000D_").
std::string DecodeEscapes(std::string_view text);
std::string EncodeEscapes(std::string_view text);

// --- The text of a part, scanned without parsing it ---
//
// Enough to find an element's extent in text that the parser has accepted, so that the element
// can be cut out and replaced while the rest of the text is copied as it is.

// Whether the character ends an element's name in a tag.
bool IsNameEnd(char c);
// The qualified name of the element whose name begins at `at` (just after its '<'); empty unless
// a '<' comes just before it.
std::string_view ElementNameAt(std::string_view text, std::size_t at);
// The offset of the '>' that ends the tag begun before `from`, skipping quoted attribute values.
std::size_t TagEnd(std::string_view text, std::size_t from);
// The offset just past the end of the element whose name begins at `at`: past its "/>", or past
// its end tag. npos when the element holds another of its name, where the first end tag found
// would not be its own.
std::size_t ElementEnd(std::string_view text, std::size_t at, std::string_view name);
// Whether the text is UTF-8 as it stands, so that the parser's offsets are offsets into it: no
// byte order mark but UTF-8's, and no other encoding declared.
bool PlainUtf8(std::string_view text);
// Where the content of the element named `name` that begins at `from` ends: at its end tag. npos
// when the content holds a comment, a section or an instruction (whose text could hide a tag), or
// an element of the same name.
std::size_t ContentEnd(std::string_view text, std::size_t from, std::string_view name);
// Where the name of the first element whose local name is `local` begins ("sheetData" finds both
// "<sheetData" and "<x:sheetData"); npos when none. The text is not parsed: the match may lie in a
// comment or an attribute's value, which the caller rules out by parsing.
std::size_t FindElementName(std::string_view text, std::string_view local);

// Reads the elements and text between two offsets of a part's text one piece at a time, without
// building a tree, for the content of an element whose tags a parser has checked. It reads only
// plain forms: names of ASCII letters, digits and "_-.:" whose prefixes are bound (`bound` holds
// those declared in scope; "xml" and "xmlns" always are), attribute values in quotes without '<',
// '&', tabs or line breaks, text without '\r' or NUL, and no namespace declarations, comments,
// sections or instructions. On anything else, or on tags that do not nest, Next returns kOther:
// the caller then parses the whole text, which reads such forms as they are meant or refuses them.
class TagReader {
 public:
  enum class Piece { kStart, kEnd, kText, kDone, kOther };
  struct Attribute {
    std::string_view name, value;
  };

  // Reads at most `max_elements` start tags; more make Next return kOther.
  TagReader(std::string_view text, std::size_t begin, std::size_t end,
            std::vector<std::string_view> bound, std::size_t max_elements);
  Piece Next();
  // Of the last start or end tag: the element's qualified name, and where it begins in the text.
  std::string_view name() const { return name_; }
  std::size_t name_offset() const { return name_offset_; }
  // Whether the last start tag closed itself ("<x/>"): no end tag follows it.
  bool closed() const { return closed_; }
  const std::vector<Attribute>& attributes() const { return attributes_; }
  // The last text, as it stands in the part (see DecodeText).
  std::string_view text() const { return text_; }
  // Reads past the end of the element whose start tag Next returned last; false on kOther.
  bool SkipElement();

 private:
  Piece Fail() {
    at_ = end_;
    failed_ = true;
    return Piece::kOther;
  }
  // The name beginning at at_, when plain and bound; empty otherwise.
  std::string_view ReadName(bool attribute);
  bool Bound(std::string_view prefix) const;

  std::string_view text_all_;
  std::size_t at_, end_;
  std::vector<std::string_view> bound_;
  std::vector<std::string_view> open_;  // the names of the open elements
  std::string_view name_, text_;
  std::size_t name_offset_ = 0;
  std::size_t elements_left_;
  bool closed_ = false, failed_ = false;
  std::vector<Attribute> attributes_;
};
// Text as the parser gives it: `raw` itself, or with the five named escapes decoded into `scratch`.
// Nothing on any other reference or a carriage return (the caller then parses the whole text).
std::optional<std::string_view> DecodeText(std::string_view raw, std::string& scratch);

}  // namespace quorvane::xlsx
