#include "addin/library.h"

namespace quorvane::addin {

Library::Library(forms::FormsUi& ui, SettingsStore& settings)
    : ui(ui), settings(settings), results_form(state, ui), about_form(state, ui) {}

}  // namespace quorvane::addin
