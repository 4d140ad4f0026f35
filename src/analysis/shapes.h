// The small rectangles beside marked cells, named "CmtNum" + tag + the host's own shape name.
#pragma once

#include <string>

#include "host/range.h"

namespace quorvane::analysis {

inline constexpr const char* kShapePrefix = "CmtNum";

// Draws the 18 by 8 point rectangle at the cell's top left corner with the text.
void AddCommentShape(const host::Range& cell, const std::string& tag, const std::string& text);
// Deletes every shape of the range's sheet whose name begins exactly with "CmtNum" + tag (an empty
// tag: every "CmtNum" shape), from the last shape to the first.
void RemoveCommentShapes(const host::Range& range, const std::string& tag);

}  // namespace quorvane::analysis
