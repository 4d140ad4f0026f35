// The host application: the root of the object model that the add-in talks to.
//
// Besides the spreadsheet objects it carries what the add-in needs from its surroundings: the
// clock, the yield to the host's message loop, the status bar, the range-picking input box and
// message boxes. Tests drive all of these through the in-memory host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/locale.h"
#include "host/range.h"
#include "host/worksheet.h"

namespace quorvane::host {

enum class MessageIcon { kNone, kExclamation };

class Application {
 public:
  virtual ~Application() = default;

  // The open workbook of that name; raises "Subscript out of range" when none is open.
  virtual Workbook& Workbooks(const std::string& name) = 0;
  // The sheet of that name in the active workbook.
  virtual Worksheet& Worksheets(const std::string& name) = 0;
  virtual Workbook& ActiveWorkbook() = 0;
  virtual Worksheet& ActiveSheet() = 0;
  // The current selection when it is a range; nothing when a shape, a chart or nothing is selected.
  virtual Range Selection() = 0;
  // The range a reference text names (the global Range(text)); raises a HostError when it names
  // none.
  virtual Range RangeFromReference(const std::string& reference) = 0;

  // Application.StatusBar: a text, or handed back to the host (StatusBar = False).
  virtual void SetStatusBar(const std::string& text) = 0;
  virtual void ResetStatusBar() = 0;

  // Application.InputBox with Type 8: the range the user picks, or no value when the user cancels
  // (the host's False).
  virtual std::optional<Range> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& default_text) = 0;
  // A message box with an OK button and no title of its own.
  virtual void MsgBox(const std::string& text, MessageIcon icon = MessageIcon::kNone) = 0;

  // Worksheet functions.
  virtual std::int64_t CountA(const Range& range) = 0;
  virtual bool IsError(const Range& cell) = 0;
  virtual bool IsText(const Range& cell) = 0;
  virtual bool IsLogical(const Range& cell) = 0;
  // The overlap of two ranges; nothing when they do not overlap. Ranges on different sheets raise a
  // HostError.
  virtual Range Intersect(const Range& a, const Range& b) = 0;

  // The current date and time as a serial number.
  virtual double Now() = 0;
  // Lets the host's message loop run (DoEvents): the host may call back into the add-in here.
  virtual void DoEvents() = 0;
  // Whether the host draws the sheets on a screen that a user watches (the comparison animates its
  // first seconds only there).
  virtual bool HasScreen() { return false; }
  // How the host reads and writes numbers, dates and timestamps for its user: en-US unless the
  // host knows its user's locale.
  virtual const Conversions& GetConversions() const { return EnUsConversions(); }
};

}  // namespace quorvane::host
