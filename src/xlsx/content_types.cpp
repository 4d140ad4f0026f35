#include "xlsx/content_types.h"

#include <strings.h>

#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

std::string Absolute(const std::string& part) {
  return part.empty() || part[0] != '/' ? "/" + part : part;
}

bool SameName(const char* a, const std::string& b) { return strcasecmp(a, b.c_str()) == 0; }

// The part's last Override element, or an empty node.
pugi::xml_node LastOverride(pugi::xml_node root, const std::string& name) {
  pugi::xml_node found;
  ForChildren(root, kNsContentTypes, "Override", [&](pugi::xml_node node) {
    if (SameName(node.attribute("PartName").value(), name)) found = node;
  });
  return found;
}

}  // namespace

ContentTypes ContentTypes::Parse(const std::string& xml, const std::string& file) {
  ContentTypes types;
  types.doc_ = std::make_shared<pugi::xml_document>();
  ParsePart(*types.doc_, xml, file, kContentTypesPart);
  return types;
}

ContentTypes ContentTypes::New() {
  ContentTypes types;
  types.doc_ = std::make_shared<pugi::xml_document>();
  types.doc_->append_child("Types").append_attribute("xmlns").set_value(
      std::string(kNsContentTypes).c_str());
  types.EnsureDefault("rels", kTypeRelationships);
  types.EnsureDefault("xml", "application/xml");
  return types;
}

std::string ContentTypes::TypeOf(const std::string& part) const {
  pugi::xml_node root = doc_->document_element();
  const std::string name = Absolute(part);
  std::string found;
  ForChildren(root, kNsContentTypes, "Override", [&](pugi::xml_node node) {
    if (found.empty() && SameName(node.attribute("PartName").value(), name)) {
      found = node.attribute("ContentType").value();
    }
  });
  if (!found.empty()) return found;
  const auto dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
  ForChildren(root, kNsContentTypes, "Default", [&](pugi::xml_node node) {
    if (found.empty() && SameName(node.attribute("Extension").value(), extension)) {
      found = node.attribute("ContentType").value();
    }
  });
  return found;
}

void ContentTypes::SetOverride(const std::string& part, const std::string& type) {
  pugi::xml_node root = doc_->document_element();
  const std::string name = Absolute(part);
  pugi::xml_node existing = LastOverride(root, name);
  if (existing) {
    if (type == existing.attribute("ContentType").value()) return;
  } else {
    existing = root.append_child(QualifiedName(root, kNsContentTypes, "Override", "ct").c_str());
    existing.append_attribute("PartName").set_value(name.c_str());
    existing.append_attribute("ContentType");
  }
  existing.attribute("ContentType").set_value(type.c_str());
  changed_ = true;
}

void ContentTypes::RemoveOverride(const std::string& part) {
  pugi::xml_node root = doc_->document_element();
  const std::string name = Absolute(part);
  pugi::xml_node existing = LastOverride(root, name);
  if (existing) {
    root.remove_child(existing);
    changed_ = true;
  }
}

void ContentTypes::EnsureDefault(const std::string& extension, const std::string& type) {
  pugi::xml_node root = doc_->document_element();
  bool present = false;
  ForChildren(root, kNsContentTypes, "Default", [&](pugi::xml_node node) {
    if (SameName(node.attribute("Extension").value(), extension)) present = true;
  });
  if (present) return;
  // Defaults stand before the overrides.
  const pugi::xml_node first_override = Child(root, kNsContentTypes, "Override");
  const std::string qname = QualifiedName(root, kNsContentTypes, "Default", "ct");
  pugi::xml_node node = first_override ? root.insert_child_before(qname.c_str(), first_override)
                                       : root.append_child(qname.c_str());
  node.append_attribute("Extension").set_value(extension.c_str());
  node.append_attribute("ContentType").set_value(type.c_str());
  changed_ = true;
}

std::string ContentTypes::Serialize() const { return xlsx::Serialize(*doc_); }

}  // namespace quorvane::xlsx
