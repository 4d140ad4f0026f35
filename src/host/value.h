// A cell value as the host hands it out: empty, number, date, text, logical or error value.
//
// Values are small and copyable. A date keeps its serial number (days since 12/30/1899, the time of
// day as the fraction). Conversions between kinds live in locale.h, not here.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <utility>

namespace quorvane::host {

enum class ValueKind : std::uint8_t { kEmpty, kNumber, kDate, kText, kLogical, kError };

// The host's error values, with the codes the host reports for them.
enum class CellError : int {
  kNull = 2000,   // #NULL!
  kDiv0 = 2007,   // #DIV/0!
  kValue = 2015,  // #VALUE!
  kRef = 2023,    // #REF!
  kName = 2029,   // #NAME?
  kNum = 2036,    // #NUM!
  kNA = 2042,     // #N/A
};

// The text the host shows in a cell holding the error value, for example "#N/A".
const char* CellErrorText(CellError error);

class Value {
 public:
  Value() : number_(0) {}  // empty
  Value(const Value& other) : kind_(other.kind_) {
    if (other.is_text()) {
      new (&text_) std::string(other.text_);
    } else {
      number_ = other.number_;
    }
  }
  Value(Value&& other) noexcept : kind_(other.kind_) {
    if (other.is_text()) {
      new (&text_) std::string(std::move(other.text_));
    } else {
      number_ = other.number_;
    }
  }
  Value& operator=(const Value& other) {
    if (this != &other) {
      if (is_text() && other.is_text()) {
        text_ = other.text_;
      } else {
        Value copy(other);
        *this = std::move(copy);
      }
    }
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (this == &other) return *this;
    if (is_text() && other.is_text()) {
      text_ = std::move(other.text_);
      return *this;
    }
    DropText();
    kind_ = other.kind_;
    if (other.is_text()) {
      new (&text_) std::string(std::move(other.text_));
    } else {
      number_ = other.number_;
    }
    return *this;
  }
  ~Value() { DropText(); }

  static Value Number(double number);
  static Value Date(double serial);
  static Value Text(std::string text);
  static Value Logical(bool logical);
  static Value Error(CellError error);

  ValueKind kind() const { return kind_; }
  bool is_empty() const { return kind_ == ValueKind::kEmpty; }
  bool is_number() const { return kind_ == ValueKind::kNumber; }
  bool is_date() const { return kind_ == ValueKind::kDate; }
  bool is_text() const { return kind_ == ValueKind::kText; }
  bool is_logical() const { return kind_ == ValueKind::kLogical; }
  bool is_error() const { return kind_ == ValueKind::kError; }

  // The number of a number, the serial of a date, -1 or 0 for a logical, 0 otherwise.
  double number() const { return is_text() ? 0 : number_; }
  // The text of a text value, empty otherwise.
  const std::string& text() const { return is_text() ? text_ : NoText(); }
  bool logical() const { return kind_ == ValueKind::kLogical && number_ != 0; }
  CellError error() const { return static_cast<CellError>(static_cast<int>(number())); }

  // Same kind and same content (not the host's comparison; see conversions.h for that).
  friend bool operator==(const Value& a, const Value& b) {
    return a.kind_ == b.kind_ && (a.is_text() ? a.text_ == b.text_ : a.number_ == b.number_);
  }

 private:
  static const std::string& NoText();
  void DropText() {
    if (is_text()) {
      text_.~basic_string();
      number_ = 0;
    }
  }

  // 40 bytes: a text value holds no number, any other no text.
  union {
    double number_;
    std::string text_;
  };
  ValueKind kind_ = ValueKind::kEmpty;
};

// A readable form for test output and diagnostics, e.g. Number(1.5), Text("abc").
std::string DebugString(const Value& value);

}  // namespace quorvane::host
