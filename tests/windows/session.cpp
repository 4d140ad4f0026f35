#include "session.h"

#include <regex>
#include <sstream>

#include "host/value.h"

namespace quorvane::windows::testing {

Session& TheSession() {
  static Session session;
  return session;
}

HRESULT CallByName(IDispatch* target, const wchar_t* name, std::vector<Variant> args,
                   Variant* result, EXCEPINFO* exception, WORD flags) {
  if (target == nullptr) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO local{};
  UINT arg_error = 0;
  hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                      result != nullptr ? result->Put() : nullptr,
                      exception != nullptr ? exception : &local, &arg_error);
  if (exception == nullptr) {
    SysFreeString(local.bstrSource);
    SysFreeString(local.bstrDescription);
    SysFreeString(local.bstrHelpFile);
  }
  return hr;
}

Variant Control(const std::string& id) { return Hand(new TestControl(id)); }

void FillBook(memhost::MemHost& host) {
  using host::Value;
  memhost::MemWorkbook& book = host.AddWorkbook("Book1.xlsx");
  memhost::MemWorksheet& sheet = book.AddSheet("Sheet1");
  // Range 1 in A1:A12, Range 2 in C1:C10.
  const double list1[] = {100, 250.5, 1234.56, 77, 77, 300, 0, 42, 19.99, 512};
  for (int i = 0; i < 10; ++i) sheet.Put(i + 1, 1, Value::Number(list1[i]));
  sheet.Put(11, 1, Value::Text("abc"));
  sheet.Put(12, 1, Value::Number(-5));
  const double list2[] = {100, 250.5, 1243.56, 77, 300, 0, 42, 19.99, 999};
  for (int i = 0; i < 9; ++i) sheet.Put(i + 1, 3, Value::Number(list2[i]));
  sheet.Put(10, 3, Value::Text("abd"));
  sheet.PutFill(4, 1, 65535, host::kPatternSolid);
  sheet.PutComment(9, 1, "checked by Ann");
  sheet.HideRow(6);
}

std::string Describe(memhost::MemHost& host) {
  static const std::regex kTimestamp(R"(\d{1,2}/\d{1,2} \d{2}:\d{2}:\d{2})");
  std::ostringstream out;
  for (memhost::MemWorkbook* book : host.workbooks()) {
    for (memhost::MemWorksheet* sheet : book->sheets()) {
      const memhost::SheetData& data = sheet->data();
      out << "[" << book->Name() << "]" << data.name << "\n";
      for (const auto& [key, cell] : data.cells) {
        out << "  R" << key.first << "C" << key.second << " " << host::DebugString(cell.value)
            << " fill=" << cell.fill.color << "/" << cell.fill.pattern;
        if (cell.comment) {
          out << " comment=\"" << std::regex_replace(cell.comment->text, kTimestamp, "<time>")
              << "\" visible=" << cell.comment->visible;
        }
        out << "\n";
      }
      for (const memhost::ShapeData& shape : data.shapes) {
        out << "  shape " << shape.name << " at " << shape.left << "," << shape.top << " "
            << shape.width << "x" << shape.height << " text=\"" << shape.text << "\" fill "
            << shape.fill_scheme_color << "/" << shape.fill_visible << "/" << shape.fill_solid
            << " line " << shape.line_visible << "/" << shape.line_scheme_color << "/"
            << shape.line_weight << " font " << shape.font_size << "/" << shape.font_color_index
            << " margins " << shape.margin_left << "," << shape.margin_right << ","
            << shape.margin_top << "," << shape.margin_bottom << " align "
            << shape.horizontal_alignment << "\n";
      }
    }
  }
  return out.str();
}

}  // namespace quorvane::windows::testing
