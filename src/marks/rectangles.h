// Drawing and removing the small rectangles beside marked cells (their names: marks/marks.h).
#pragma once

#include <string>

#include "host/range.h"

namespace quorvane::marks {

// Draws the 18 by 8 point rectangle at the cell's top left corner with the text.
void AddCommentShape(const host::Range& cell, const std::string& tag, const std::string& text);
// Deletes every shape of the range's sheet whose name begins exactly with "CmtNum" + tag (an empty
// tag: every "CmtNum" shape), from the last shape to the first.
void RemoveCommentShapes(const host::Range& range, const std::string& tag);

}  // namespace quorvane::marks
