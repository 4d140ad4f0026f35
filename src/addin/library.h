// The state of one loaded library: what every connection object of the add-in shares.
//
// The shared add-in state (application, ranges, counters, options, stop request), the results and
// about forms, the ribbon given to the last ribbon load, and the two services the front end
// provides: the forms' user interface (which also shows the add-in's own message boxes when no host
// application is held) and the per-user settings store. A front end makes one Library when the
// library is loaded and keeps it until it is unloaded; nothing in it is released on disconnection.
#pragma once

#include "addin/settings.h"
#include "forms/about_form.h"
#include "forms/results_form.h"
#include "forms/ui_port.h"
#include "ribbon/office.h"
#include "state/state.h"

namespace quorvane::addin {

class Library {
 public:
  // `ui` and `settings` must outlive the library.
  Library(forms::FormsUi& ui, SettingsStore& settings);
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  state::AddinState state;
  forms::FormsUi& ui;
  SettingsStore& settings;
  forms::ResultsForm results_form;  // frmVNT
  forms::AboutForm about_form;      // frmAbout
  // The ribbon given to the last ribbon load, or nothing.
  ribbon::RibbonUI* ribbon_ui = nullptr;
  // True while a comparison started from the ribbon or by RangeSetup is running.
  bool comparison_running = false;
};

}  // namespace quorvane::addin
