// The test's stand-in of the spreadsheet application: IDispatch objects over the in-memory host,
// with the members the add-in reaches by name (Application, Workbooks, Workbook, Worksheets,
// Worksheet, Range, Interior, Comment, Shapes, Shape and its fill, line and text frame).
//
// The application answers for the host's Application interface, so the add-in takes it as the
// application at connection. A hook runs before every member call, for tests that act in the middle
// of a comparison.
#pragma once

#include <functional>
#include <string>

#include "dispatch_object.h"
#include "memhost/host.h"

namespace quorvane::windows::testing {

class FakeApplication : public DispatchObject {
 public:
  // `host` must outlive the object.
  explicit FakeApplication(memhost::MemHost& host);

  memhost::MemHost& host() { return host_; }
  // Runs before every call of a member of any object of this application, with the member's name.
  void SetCallHook(std::function<void(const std::string&)> hook) { hook_ = std::move(hook); }
  void Notify(const std::string& member) {
    if (hook_) hook_(member);
  }
  // The number of member calls made on every object of this application.
  long total_calls() const { return total_calls_; }
  void CountCall() { ++total_calls_; }

 private:
  memhost::MemHost& host_;
  std::function<void(const std::string&)> hook_;
  long total_calls_ = 0;
};

// A ribbon that records what the add-in asks of it.
class RecordingRibbon : public DispatchObject {
 public:
  RecordingRibbon();
  int invalidations = 0;
  std::vector<std::string> invalidated_controls;
};

// A ribbon control with an id.
class TestControl : public DispatchObject {
 public:
  explicit TestControl(std::string id);
  int id_reads = 0;

 private:
  std::string id_;
};

}  // namespace quorvane::windows::testing
