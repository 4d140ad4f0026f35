#include "xlsx/relationships.h"

#include <pugixml.hpp>

#include <algorithm>

#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

std::string FolderOf(const std::string& part) {
  const auto slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto slash = path.find('/', start);
    const std::string piece =
        path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (piece == "..") {
      if (!out.empty()) out.pop_back();
    } else if (!piece.empty() && piece != ".") {
      out.push_back(piece);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return out;
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string Relationships::RelsPartOf(const std::string& source_part) {
  const auto slash = source_part.rfind('/');
  if (slash == std::string::npos) return "_rels/" + source_part + ".rels";
  return source_part.substr(0, slash + 1) + "_rels/" + source_part.substr(slash + 1) + ".rels";
}

std::string Relationships::ResolveTarget(const std::string& source_part,
                                         const std::string& target) {
  const std::string joined =
      (!target.empty() && target[0] == '/') ? target : FolderOf(source_part) + target;
  std::string out;
  for (const std::string& piece : Segments(joined)) {
    if (!out.empty()) out += '/';
    out += piece;
  }
  return out;
}

std::string Relationships::RelativeTarget(const std::string& source_part, const std::string& part) {
  const std::vector<std::string> from = Segments(FolderOf(source_part));
  const std::vector<std::string> to = Segments(part);
  std::size_t common = 0;
  while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
  std::string out;
  for (std::size_t i = common; i < from.size(); ++i) out += "../";
  for (std::size_t i = common; i < to.size(); ++i) {
    out += to[i];
    if (i + 1 < to.size()) out += '/';
  }
  return out;
}

Relationships Relationships::Parse(const std::string& source_part, const std::string& xml,
                                   const std::string& file) {
  Relationships rels(source_part);
  pugi::xml_document doc;
  ParsePart(doc, xml, file, RelsPartOf(source_part));
  ForChildren(doc.document_element(), kNsPkgRel, "Relationship", [&](pugi::xml_node node) {
    Relationship rel;
    rel.id = node.attribute("Id").value();
    rel.type = node.attribute("Type").value();
    rel.target = node.attribute("Target").value();
    rel.external = std::string_view(node.attribute("TargetMode").value()) == "External";
    rels.items_.push_back(std::move(rel));
  });
  return rels;
}

const Relationship* Relationships::FindId(std::string_view id) const {
  for (const Relationship& rel : items_) {
    if (rel.id == id) return &rel;
  }
  return nullptr;
}

const Relationship* Relationships::FindType(std::string_view type) const {
  for (const Relationship& rel : items_) {
    if (rel.type == type) return &rel;
  }
  return nullptr;
}

std::string Relationships::Add(const std::string& type, const std::string& part) {
  int n = static_cast<int>(items_.size()) + 1;
  while (FindId("rId" + std::to_string(n))) ++n;
  Relationship rel{"rId" + std::to_string(n), type, RelativeTarget(source_part_, part), false};
  items_.push_back(rel);
  changed_ = true;
  return rel.id;
}

void Relationships::Remove(std::string_view id) {
  const auto it = std::remove_if(items_.begin(), items_.end(),
                                 [&](const Relationship& rel) { return rel.id == id; });
  if (it != items_.end()) changed_ = true;
  items_.erase(it, items_.end());
}

std::string Relationships::Serialize() const {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (const Relationship& rel : items_) {
    out += "<Relationship Id=\"" + XmlEscape(rel.id) + "\" Type=\"" + XmlEscape(rel.type) +
           "\" Target=\"" + XmlEscape(rel.target) + "\"";
    if (rel.external) out += " TargetMode=\"External\"";
    out += "/>";
  }
  out += "</Relationships>";
  return out;
}

}  // namespace quorvane::xlsx
