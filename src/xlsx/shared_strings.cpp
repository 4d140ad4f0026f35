// The shared string table (xl/sharedStrings.xml) and the rich text of string items and comments.
#include "xlsx/shared_strings.h"

#include <string>
#include <vector>

#include "xlsx/error.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

void AppendText(pugi::xml_node node, std::string& out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view local = LocalName(child.name());
    if (local == "rPh" || local == "phoneticPr") continue;  // phonetic guides are not the text
    if (local == "t") {
      out += child.text().get();
    } else {
      AppendText(child, out);
    }
  }
}

}  // namespace

std::string RichText(pugi::xml_node node) {
  std::string out;
  AppendText(node, out);
  return DecodeEscapes(out);
}

std::vector<std::string> ParseSharedStrings(const std::string& xml, const std::string& file,
                                            const std::string& part) {
  pugi::xml_document doc;
  ParsePart(doc, xml, file, part);
  std::vector<std::string> strings;
  ForChildren(doc.document_element(), kNsMain, "si", [&](pugi::xml_node si) {
    if (strings.size() == kMaxSharedStrings) {
      throw FileError(file + ": " + part + " holds more than " + std::to_string(kMaxSharedStrings) +
                      " shared strings; refused");
    }
    strings.push_back(RichText(si));
  });
  return strings;
}

}  // namespace quorvane::xlsx
