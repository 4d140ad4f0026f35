#include "analysis/resolve.h"

#include <string>

#include "host/error.h"
#include "host/worksheet.h"

namespace quorvane::analysis {

host::Range ResolveRange(host::Application& app, const host::Range& range) {
  const std::string address = range.Address(/*external=*/true);
  const std::size_t open = address.find('[');
  const std::size_t close = address.find(']');
  if (open == std::string::npos || close == std::string::npos || close < open) {
    throw host::HostError("Invalid procedure call or argument: no workbook name in the address " +
                          address);
  }
  std::string book = address.substr(open + 1, close - open - 1);
  // Undo the doubling of single quotes inside a quoted name.
  for (std::size_t at = book.find("''"); at != std::string::npos; at = book.find("''", at + 1)) {
    book.erase(at, 1);
  }
  app.Workbooks(book).Activate();
  app.Worksheets(range.Parent().Name()).Select();
  return app.Intersect(range, app.ActiveSheet().UsedRange());
}

}  // namespace quorvane::analysis
