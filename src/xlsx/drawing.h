// Drawing parts (xl/drawings/drawingN.xml): the sheet's rectangles read into the model, and the
// model's changes written back as edits of the original document.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "memhost/model.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

std::vector<memhost::ShapeData> LoadShapes(const pugi::xml_document& drawing,
                                           const memhost::SheetData& sheet);
// An empty drawing part, for a sheet that had none.
std::string NewDrawingXml();
// Deletes, renames and adds anchors so that the drawing holds `after`'s shapes; the new anchors are
// left as text in `new_anchors`, to be serialized with the drawing.
void UpdateDrawing(pugi::xml_document& drawing, const std::vector<memhost::ShapeData>& before,
                   const std::vector<memhost::ShapeData>& after, const memhost::SheetData& sheet,
                   NewElements& new_anchors);

}  // namespace quorvane::xlsx
