// A part's relationships (the .rels part beside it): ids, types and targets.
//
// Targets may be written relative to the source part's folder or absolute from the package root;
// both resolve to the same part name. New relationships get the next free "rIdN" and a relative
// target, as most writers do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::xlsx {

inline constexpr std::string_view kRelTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
inline constexpr const char* kRelOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr const char* kRelWorksheet =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
inline constexpr const char* kRelSharedStrings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
inline constexpr const char* kRelStyles =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr const char* kRelTheme =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme";
inline constexpr const char* kRelComments =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";
inline constexpr const char* kRelVmlDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing";
// A sheet's threaded comments (Excel 2019 and later), beside the notes that stand for them in
// older versions (the threaded comments part of [MS-XLSX]).
inline constexpr const char* kRelThreadedComment =
    "http://schemas.microsoft.com/office/2017/10/relationships/threadedComment";
inline constexpr const char* kRelDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing";

struct Relationship {
  std::string id;
  std::string type;
  std::string target;
  bool external = false;
};

class Relationships {
 public:
  // "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels"; "" -> "_rels/.rels".
  static std::string RelsPartOf(const std::string& source_part);
  // The part a target names, seen from the source part: "../drawings/d1.xml" or "/xl/d1.xml".
  static std::string ResolveTarget(const std::string& source_part, const std::string& target);
  // The target to write for a part, relative to the source part's folder.
  static std::string RelativeTarget(const std::string& source_part, const std::string& part);

  explicit Relationships(std::string source_part = {}) : source_part_(std::move(source_part)) {}
  // Raises a FileError for malformed XML.
  static Relationships Parse(const std::string& source_part, const std::string& xml,
                             const std::string& file);

  const std::vector<Relationship>& items() const { return items_; }
  const Relationship* FindId(std::string_view id) const;
  const Relationship* FindType(std::string_view type) const;
  // The part the relationship points at.
  std::string PartOf(const Relationship& rel) const {
    return ResolveTarget(source_part_, rel.target);
  }

  // Adds a relationship to a part and returns its id.
  std::string Add(const std::string& type, const std::string& part);
  void Remove(std::string_view id);
  bool changed() const { return changed_; }
  std::string Serialize() const;

 private:
  std::string source_part_;
  std::vector<Relationship> items_;
  bool changed_ = false;
};

}  // namespace quorvane::xlsx
