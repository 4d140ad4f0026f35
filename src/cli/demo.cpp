// The sample workbook of `quorvane demo`: a bank statement and a ledger that almost agree.
#include <ostream>
#include <system_error>

#include "cli/commands.h"
#include "engine/options.h"
#include "host/conversions.h"
#include "host/worksheet.h"
#include "xlsx/error.h"
#include "xlsx/workbook_file.h"

namespace quorvane::cli {

namespace fs = std::filesystem;
using host::Value;

namespace {

constexpr int kYellow = 65535;

double Day(int year, int month, int day) {
  host::CivilDateTime civil;
  civil.year = year;
  civil.month = month;
  civil.day = day;
  return host::SerialFromCivil(civil);
}

struct Entry {
  double date;
  Value amount;
  const char* description;
};

void FillSheet(memhost::SheetData& sheet, const char* amount_title,
               const std::vector<Entry>& entries) {
  sheet.At(1, 1).value = Value::Text("Date");
  sheet.At(1, 2).value = Value::Text(amount_title);
  sheet.At(1, 3).value = Value::Text("Description");
  int row = 2;
  for (const Entry& entry : entries) {
    memhost::CellData& date = sheet.At(row, 1);
    date.value = Value::Date(entry.date);
    date.number_format = "m/d/yyyy";
    memhost::CellData& amount = sheet.At(row, 2);
    amount.value = entry.amount;
    if (amount.value.is_number()) amount.number_format = "#,##0.00";
    sheet.At(row, 3).value = Value::Text(entry.description);
    ++row;
  }
  sheet.column_widths[1] = 72;
  sheet.column_widths[2] = 72;
  sheet.column_widths[3] = 180;
}

}  // namespace

int Demo(const fs::path& folder, Console& console) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path input = folder / "quorvane-demo.xlsx";
  try {
    xlsx::WorkbookFile file =
        xlsx::WorkbookFile::New(input.filename().string(), {"Bank", "Ledger"});
    memhost::WorkbookData data = file.data();
    FillSheet(data.sheets[0], "Amount",
              {{Day(2024, 1, 3), Value::Number(1250), "Rent"},
               {Day(2024, 1, 5), Value::Number(89.99), "Phone"},
               {Day(2024, 1, 8), Value::Number(123.45), "Office supplies"},
               {Day(2024, 1, 9), Value::Number(560.10), "Insurance"},
               {Day(2024, 1, 12), Value::Number(0.3), "Bank charge"},
               {Day(2024, 1, 15), Value::Number(42), "Parking"},
               {Day(2024, 1, 17), Value::Number(75), "Courier (row hidden)"},
               {Day(2024, 1, 19), Value::Number(310), "Consulting"},
               {Day(2024, 1, 22), Value::Number(1999), "Laptop"},
               {Day(2024, 2, 1), Value::Number(18.5), "Coffee"}});
    FillSheet(data.sheets[1], "Booked",
              {{Day(2024, 1, 3), Value::Text("1250.00"), "Rent (typed as text)"},
               {Day(2024, 1, 5), Value::Number(89.99), "Phone"},
               {Day(2024, 1, 8), Value::Number(132.45), "Office supplies (digits swapped)"},
               {Day(2024, 1, 9), Value::Number(560.10), "Insurance"},
               {Day(2023, 1, 12), Value::Number(0.1 + 0.2), "Bank charge (year wrong, sum)"},
               {Day(2024, 1, 15), Value::Number(42), "Parking"},
               {Day(2024, 1, 17), Value::Number(75), "Courier"},
               {Day(2024, 1, 19), Value::Number(310), "Consulting"},
               {Day(2024, 1, 22), Value::Error(host::CellError::kNA), "Laptop (lookup failed)"},
               {Day(2024, 2, 1), Value::Number(18.5), "Coffee"}});
    memhost::SheetData& bank = data.sheets[0];
    bank.hidden_rows.insert(8);
    bank.At(9, 2).comment = memhost::CommentData{"Check the invoice with the client.", false};
    bank.At(9, 2).fill = {kYellow, host::kPatternSolid};
    xlsx::SaveWorkbooks({{&file, &data, input}});
  } catch (const xlsx::FileError& e) {
    console.err << "quorvane: " << e.what() << "\n";
    return kExitFile;
  }
  console.out
      << "Sample workbook: " << input.string() << "\n"
      << "Comparing Bank!A2:B11 (dates and amounts) with Ledger!A2:B11, with Round Numbers "
         "and Numbers Only off so that every kind of finding shows, the way a user does it in the "
         "spreadsheet application:\n\n";
  RunRequest request;
  request.book = input;
  request.range1 = "Bank!A2:B11";
  request.range2 = "Ledger!A2:B11";
  request.options = engine::DefaultOptions();
  request.options.round_numbers = state::kFalse;
  request.options.numbers_only = state::kFalse;
  request.narrate = true;
  const int status = Compare(request, console);
  if (status == kExitDone) {
    console.out << "\nOpen " << DefaultOutput(input).string()
                << " in a spreadsheet application: mismatches are filled green (this list holds "
                   "the value more often) or light red (fewer times), diagnosed pairs are dotted, "
                   "each marked cell has a note and a small box with the two counts.\n";
  }
  return status;
}

}  // namespace quorvane::cli
