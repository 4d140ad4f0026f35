// Comment parts (xl/commentsN.xml) and the VML parts that draw their boxes
// (xl/drawings/vmlDrawingN.vml): notes read into the model, and the model's changes written back.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <map>
#include <string>

#include "memhost/model.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

// The notes of a sheet by cell; `vml`, when given, supplies each note's box and visibility.
std::map<memhost::CellKey, memhost::CommentData> LoadComments(const pugi::xml_document& comments,
                                                              const pugi::xml_document* vml);
// Parses a VML part leniently (HTML-style <br> is accepted).
void ParseVml(pugi::xml_document& doc, const std::string& text, const std::string& file,
              const std::string& part);
// Empty parts for a sheet that had no notes; `idmap` numbers the VML part's shapes.
std::string NewCommentsXml();
std::string NewVmlXml(int idmap);
int VmlIdMap(const pugi::xml_document& vml);
// Applies the comment differences; returns the number of notes left. New notes and their shapes
// are left as text in `new_comments` and `new_shapes`, to be serialized with their documents.
std::size_t UpdateComments(pugi::xml_document& comments, pugi::xml_document& vml,
                           const std::map<memhost::CellKey, memhost::CommentData>& before,
                           const std::map<memhost::CellKey, memhost::CommentData>& after,
                           const memhost::SheetData& sheet, NewElements& new_comments,
                           NewElements& new_shapes);
// Whether the VML part still holds shapes.
bool VmlHasShapes(const pugi::xml_document& vml);

}  // namespace quorvane::xlsx
