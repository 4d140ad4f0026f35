#include "cli/icu_locale.h"

#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvane::cli {
namespace {

std::string Utf8(const icu::UnicodeString& text) {
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

// A date or time pattern cut into its fields ("dd", "MM", "y") and the literal texts between them.
struct Piece {
  char field = '\0';  // '\0' for a literal
  int width = 0;
  std::string literal;
};

std::vector<Piece> Pieces(const std::string& pattern) {
  std::vector<Piece> pieces;
  const auto literal = [&pieces](char c) {
    if (pieces.empty() || pieces.back().field != '\0') pieces.push_back({});
    pieces.back().literal += c;
  };
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (c == '\'') {  // quoted text; '' is a quote
      std::size_t end = i + 1;
      while (end < pattern.size() && pattern[end] != '\'') literal(pattern[end++]);
      if (end == i + 1 && end < pattern.size()) literal('\'');
      i = end + 1;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      std::size_t end = i;
      while (end < pattern.size() && pattern[end] == c) ++end;
      pieces.push_back({c, static_cast<int>(end - i), {}});
      i = end;
    } else {
      literal(c);
      ++i;
    }
  }
  return pieces;
}

// The literal between the first two of the given fields, or `fallback`.
std::string SeparatorBetween(const std::vector<Piece>& pieces, std::string_view fields,
                             const std::string& fallback) {
  bool after_first = false;
  std::string between;
  for (const Piece& piece : pieces) {
    if (piece.field == '\0') {
      if (after_first) between += piece.literal;
    } else if (fields.find(piece.field) != std::string_view::npos) {
      if (after_first) return between.empty() ? fallback : between;
      after_first = true;
    } else if (after_first) {
      between.clear();
    }
  }
  return fallback;
}

std::string Pattern(const icu::DateFormat* format) {
  const auto* simple = dynamic_cast<const icu::SimpleDateFormat*>(format);
  if (simple == nullptr) return {};
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  return Utf8(pattern);
}

bool IsKnown(const icu::Locale& locale) {
  if (locale.isBogus()) return false;
  std::int32_t count = 0;
  const icu::Locale* available = icu::Locale::getAvailableLocales(count);
  for (std::int32_t i = 0; i < count; ++i) {
    if (std::string_view(available[i].getName()) == locale.getName()) return true;
  }
  return false;
}

}  // namespace

std::optional<host::LocaleFormat> IcuLocaleFormat(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale = icu::Locale::forLanguageTag(name, status);
  if (U_FAILURE(status) || !IsKnown(locale)) return std::nullopt;

  host::LocaleFormat format;
  const icu::DecimalFormatSymbols symbols(locale, status);
  if (U_FAILURE(status)) return std::nullopt;
  format.decimal = Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
  format.grouping = Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol));
  format.currency = Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
  if (format.currency == "\u00a4") format.currency.clear();  // no currency of its own

  const std::unique_ptr<icu::DateFormat> short_date(
      icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
  const std::unique_ptr<icu::DateFormat> long_time(
      icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
  if (!short_date || !long_time) return std::nullopt;

  const std::vector<Piece> date = Pieces(Pattern(short_date.get()));
  std::string order;
  for (const Piece& piece : date) {
    if (piece.field == 'd' || piece.field == 'M' || piece.field == 'y') {
      if (order.find(piece.field) == std::string::npos) order += piece.field;
      if (piece.field == 'd') format.pad_day = piece.width >= 2;
      if (piece.field == 'M') format.pad_month = piece.width >= 2;
    }
  }
  if (order.starts_with('d')) {
    format.order = host::LocaleFormat::DateOrder::kDayMonthYear;
  } else if (order.starts_with('y')) {
    format.order = host::LocaleFormat::DateOrder::kYearMonthDay;
  }
  format.date_separator = SeparatorBetween(date, "dMy", "/");

  const std::vector<Piece> time = Pieces(Pattern(long_time.get()));
  for (const Piece& piece : time) {
    if (piece.field == 'h' || piece.field == 'K' || piece.field == 'H' || piece.field == 'k') {
      format.clock12 = piece.field == 'h' || piece.field == 'K';
      format.pad_hour = piece.width >= 2;
    }
  }
  format.time_separator = SeparatorBetween(time, "hHkKm", ":");

  const icu::DateFormatSymbols date_symbols(locale, status);
  if (U_SUCCESS(status)) {
    std::int32_t count = 0;
    const icu::UnicodeString* am_pm = date_symbols.getAmPmStrings(count);
    if (count == 2) {
      format.am = Utf8(am_pm[0]);
      format.pm = Utf8(am_pm[1]);
    }
  }
  return format;
}

}  // namespace quorvane::cli
