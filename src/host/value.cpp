#include "host/value.h"

#include <cstdio>
#include <new>
#include <utility>

namespace quorvane::host {

const char* CellErrorText(CellError error) {
  switch (error) {
    case CellError::kNull:
      return "#NULL!";
    case CellError::kDiv0:
      return "#DIV/0!";
    case CellError::kValue:
      return "#VALUE!";
    case CellError::kRef:
      return "#REF!";
    case CellError::kName:
      return "#NAME?";
    case CellError::kNum:
      return "#NUM!";
    case CellError::kNA:
      return "#N/A";
  }
  // A code the host never hands out; shown like the general value error.
  return "#VALUE!";
}

Value Value::Number(double number) {
  Value v;
  v.kind_ = ValueKind::kNumber;
  v.number_ = number;
  return v;
}

Value Value::Date(double serial) {
  Value v;
  v.kind_ = ValueKind::kDate;
  v.number_ = serial;
  return v;
}

Value Value::Text(std::string text) {
  Value v;
  v.kind_ = ValueKind::kText;
  new (&v.text_) std::string(std::move(text));
  return v;
}

const std::string& Value::NoText() {
  static const std::string none;
  return none;
}

Value Value::Logical(bool logical) {
  Value v;
  v.kind_ = ValueKind::kLogical;
  v.number_ = logical ? -1 : 0;
  return v;
}

Value Value::Error(CellError error) {
  Value v;
  v.kind_ = ValueKind::kError;
  v.number_ = static_cast<int>(error);
  return v;
}

namespace {

std::string Exact(double number) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", number);
  return buffer;
}

}  // namespace

std::string DebugString(const Value& value) {
  switch (value.kind()) {
    case ValueKind::kEmpty:
      return "Empty";
    case ValueKind::kNumber:
      return "Number(" + Exact(value.number()) + ")";
    case ValueKind::kDate:
      return "Date(" + Exact(value.number()) + ")";
    case ValueKind::kText:
      return "Text(\"" + value.text() + "\")";
    case ValueKind::kLogical:
      return value.logical() ? "Logical(true)" : "Logical(false)";
    case ValueKind::kError:
      return std::string("Error(") + CellErrorText(value.error()) + ")";
  }
  return "?";
}

}  // namespace quorvane::host
