// The add-in's ribbon definition: one tab with the range entry and commands, the result counts, the
// options and "About", in the Office 2007 custom-UI schema.
#pragma once

#include <string>

namespace quorvane::ribbon {

// The only ribbon the add-in customises: the workbook window's.
inline constexpr const char* kWorkbookRibbonId = "Microsoft.Excel.Workbook";
inline constexpr const char* kCustomUiNamespace =
    "http://schemas.microsoft.com/office/2006/01/customui";

// The custom-UI XML for "Microsoft.Excel.Workbook" (exact, case-sensitive); the empty text for
// every other ribbon id.
std::string GetRibbonXMLText(const std::string& ribbon_id);

}  // namespace quorvane::ribbon
