// A host that writes down its calls: a wrapper of any host that logs every call it forwards, in
// order, as one line each: the member as the object model names it and its arguments in short
// form ("S1 Interior.Color= R3C2 11120637"). Sheets are named S1, S2... in the order first seen,
// so that the log asks the host nothing of its own. Other recorders (a ribbon, a forms UI) may
// write into the same log, so that it holds everything the add-in asks of its surroundings.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/wrapper.h"

namespace quorvane::testing {

class RecordingApplication : public host::ApplicationWrapper {
 public:
  // `log` must outlive the wrapper.
  RecordingApplication(host::Application& target, std::vector<std::string>& log);

  std::vector<std::string>& log() { return log_; }
  // The short name of a sheet of this wrapper ("S1", ...), given at first sight.
  std::string SheetTag(const host::Worksheet* sheet);
  // The arguments of the next call that reaches BeforeCall, written after its member.
  void SetArguments(std::string arguments) { arguments_ = std::move(arguments); }

  void BeforeCall(host::Call member) override;

  host::Workbook& Workbooks(const std::string& name) override;
  host::Worksheet& Worksheets(const std::string& name) override;
  host::Range RangeFromReference(const std::string& reference) override;
  void SetStatusBar(const std::string& text) override;
  std::optional<host::Range> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void MsgBox(const std::string& text, host::MessageIcon icon) override;
  std::int64_t CountA(const host::Range& range) override;
  bool IsError(const host::Range& cell) override;
  bool IsText(const host::Range& cell) override;
  bool IsLogical(const host::Range& cell) override;
  host::Range Intersect(const host::Range& a, const host::Range& b) override;

  std::string Describe(const host::Range& range);

 protected:
  std::unique_ptr<host::WorksheetWrapper> NewWorksheetWrapper(host::Worksheet& target) override;
  std::unique_ptr<host::Shape> NewShapeWrapper(std::unique_ptr<host::Shape> target) override;

 private:
  std::vector<std::string>& log_;
  std::string arguments_;
  std::map<const host::Worksheet*, int> sheet_tags_;
};

}  // namespace quorvane::testing
