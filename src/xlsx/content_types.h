// The package's content types ([Content_Types].xml): a type per extension, overridden per part.
#pragma once

#include <pugixml.hpp>

#include <memory>
#include <string>

namespace quorvane::xlsx {

inline constexpr const char* kContentTypesPart = "[Content_Types].xml";
inline constexpr const char* kTypeRelationships =
    "application/vnd.openxmlformats-package.relationships+xml";
inline constexpr const char* kTypeWorkbook =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
inline constexpr const char* kTypeWorksheet =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
inline constexpr const char* kTypeComments =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";
inline constexpr const char* kTypeVml = "application/vnd.openxmlformats-officedocument.vmlDrawing";
inline constexpr const char* kTypeDrawing =
    "application/vnd.openxmlformats-officedocument.drawing+xml";
inline constexpr const char* kTypeStyles =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";

class ContentTypes {
 public:
  // Moved, never copied: a copy would share the document and its edits.
  ContentTypes(ContentTypes&&) noexcept = default;
  ContentTypes& operator=(ContentTypes&&) noexcept = default;
  ContentTypes(const ContentTypes&) = delete;
  ContentTypes& operator=(const ContentTypes&) = delete;

  // Raises a FileError for malformed XML.
  static ContentTypes Parse(const std::string& xml, const std::string& file);
  // The content types of a new package: relationships and plain XML by extension, no overrides.
  static ContentTypes New();

  // The type of a part ("/xl/a.xml" or "xl/a.xml"): its override, else its extension's default.
  std::string TypeOf(const std::string& part) const;
  void SetOverride(const std::string& part, const std::string& type);
  void RemoveOverride(const std::string& part);
  void EnsureDefault(const std::string& extension, const std::string& type);

  bool changed() const { return changed_; }
  std::string Serialize() const;

 private:
  ContentTypes() = default;
  std::shared_ptr<pugi::xml_document> doc_;
  bool changed_ = false;
};

}  // namespace quorvane::xlsx
