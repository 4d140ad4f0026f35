#include "addin/library.h"

namespace quorvane::addin {

Library::Library(forms::FormsUi& ui, SettingsStore& settings)
    : ui(ui), settings(settings), frmVNT(state, ui), frmAbout(state, ui) {}

}  // namespace quorvane::addin
