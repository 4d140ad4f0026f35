#include "host/locale.h"

#include "host/error.h"

namespace quorvane::host {

bool Conversions::IsNumeric(const Value& value) const {
  switch (value.kind()) {
    case ValueKind::kNumber:
    case ValueKind::kLogical:
      return true;
    case ValueKind::kText:
      return ReadNumber(value.text()).has_value();
    default:
      return false;
  }
}

double Conversions::ToNumber(const Value& value) const {
  switch (value.kind()) {
    case ValueKind::kNumber:
    case ValueKind::kLogical:
      return value.number();
    case ValueKind::kText:
      if (const auto number = ReadNumber(value.text())) return *number;
      break;
    default:
      break;
  }
  throw HostError(kTypeMismatch);
}

std::optional<double> Conversions::ToDateSerial(const Value& value) const {
  if (value.is_date()) return value.number();
  if (value.is_text()) return ReadDate(value.text());
  return std::nullopt;
}

std::string Conversions::ToText(const Value& value) const {
  switch (value.kind()) {
    case ValueKind::kNumber:
      return NumberText(value.number());
    case ValueKind::kDate:
      return DateText(value.number());
    case ValueKind::kText:
      return value.text();
    case ValueKind::kEmpty:
      return "";
    case ValueKind::kLogical:
      return value.logical() ? "True" : "False";
    case ValueKind::kError:
      break;
  }
  throw HostError(kTypeMismatch);
}

const Conversions& EnUsConversions() {
  static const LocaleConversions kEnUs;
  return kEnUs;
}

}  // namespace quorvane::host
