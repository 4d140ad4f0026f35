// The regional settings of a named locale, from ICU's copy of the CLDR data.
#pragma once

#include <optional>
#include <string>

#include "host/locale.h"

namespace quorvane::cli {

// The separators, date order and short date and time forms of a locale named by its language tag
// ("en-US", "en-GB", "de-DE", "fr-FR"); no value for a name ICU does not know.
std::optional<host::LocaleFormat> IcuLocaleFormat(const std::string& name);

}  // namespace quorvane::cli
