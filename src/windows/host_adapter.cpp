#include "windows/host_adapter.h"

#include <cmath>

#include "host/error.h"
#include "host/reference.h"
#include "windows/win32_ui.h"

namespace quorvane::windows {

namespace {

constexpr std::string_view kApplication = "Application";
constexpr std::string_view kWorkbooks = "Workbooks";
constexpr std::string_view kWorkbook = "Workbook";
constexpr std::string_view kSheets = "Sheets";
constexpr std::string_view kWorksheet = "Worksheet";
constexpr std::string_view kRange = "Range";
constexpr std::string_view kInterior = "Interior";
constexpr std::string_view kComment = "Comment";
constexpr std::string_view kShapes = "Shapes";
constexpr std::string_view kShape = "Shape";
constexpr std::string_view kFill = "FillFormat";
constexpr std::string_view kLine = "LineFormat";
constexpr std::string_view kColor = "ColorFormat";
constexpr std::string_view kTextFrame = "TextFrame";
constexpr std::string_view kCharacters = "Characters";
constexpr std::string_view kFont = "Font";

constexpr long kInputBoxRange = 8;  // InputBox Type: a range reference

constexpr const char* kApplicationGone = "The application is no longer available to the add-in";

// The longest text the host's Range(Cell1) takes; it refuses a longer one with its error 1004,
// whatever the reference.
constexpr std::size_t kMaxReferenceLength = 255;
constexpr const char* kRangeFailed = "Method 'Range' of object '_Global' failed";

// The areas of a plain address such as "$A$1:$B$3,$D$4".
std::vector<host::Area> AreasOf(const std::string& address) {
  std::optional<host::Reference> reference = host::ParseReference(address);
  if (!reference) throw host::HostError(host::kTypeMismatch);
  return reference->areas;
}

class ComShape : public host::Shape {
 public:
  ComShape(ComApplication& app, ComPtr<IDispatch> shape) : app_(app), shape_(std::move(shape)) {}

  std::string Name() override { return ToText(app_.Get(shape_.Get(), kShape, "Name")); }
  void SetName(const std::string& name) override {
    app_.Put(shape_.Get(), kShape, "Name", Variant::Text(name));
  }
  void Delete() override { app_.Call(shape_.Get(), kShape, "Delete"); }
  void SetFillForeSchemeColor(int scheme_color) override {
    app_.Put(Part(kFill, "Fill", kColor, "ForeColor").Get(), kColor, "SchemeColor",
             Variant::Int(scheme_color));
  }
  void SetFillVisible(bool visible) override {
    app_.Put(Part(kFill, "Fill").Get(), kFill, "Visible", Variant::Bool(visible));
  }
  void SetFillSolid() override { app_.Call(Part(kFill, "Fill").Get(), kFill, "Solid"); }
  void SetLineVisible(bool visible) override {
    app_.Put(Part(kLine, "Line").Get(), kLine, "Visible", Variant::Bool(visible));
  }
  void SetLineForeSchemeColor(int scheme_color) override {
    app_.Put(Part(kLine, "Line", kColor, "ForeColor").Get(), kColor, "SchemeColor",
             Variant::Int(scheme_color));
  }
  void SetLineWeight(double points) override {
    app_.Put(Part(kLine, "Line").Get(), kLine, "Weight", Variant::Double(points));
  }
  void SetText(const std::string& text) override {
    app_.Put(Characters().Get(), kCharacters, "Text", Variant::Text(text));
  }
  void SetFontSize(double points) override {
    app_.Put(app_.GetObject(Characters().Get(), kCharacters, "Font").Get(), kFont, "Size",
             Variant::Double(points));
  }
  void SetFontColorIndex(int index) override {
    app_.Put(app_.GetObject(Characters().Get(), kCharacters, "Font").Get(), kFont, "ColorIndex",
             Variant::Int(index));
  }
  void SetMarginLeft(double points) override { SetTextFrame("MarginLeft", points); }
  void SetMarginRight(double points) override { SetTextFrame("MarginRight", points); }
  void SetMarginTop(double points) override { SetTextFrame("MarginTop", points); }
  void SetMarginBottom(double points) override { SetTextFrame("MarginBottom", points); }
  void SetHorizontalAlignment(int alignment) override {
    app_.Put(Part(kTextFrame, "TextFrame").Get(), kTextFrame, "HorizontalAlignment",
             Variant::Int(alignment));
  }

 private:
  ComPtr<IDispatch> Part(std::string_view, std::string_view member) {
    return app_.GetObject(shape_.Get(), kShape, member);
  }
  ComPtr<IDispatch> Part(std::string_view kind, std::string_view member, std::string_view,
                         std::string_view sub_member) {
    return app_.GetObject(Part(kind, member).Get(), kind, sub_member);
  }
  ComPtr<IDispatch> Characters() {
    return ToObject(app_.Call(Part(kTextFrame, "TextFrame").Get(), kTextFrame, "Characters"));
  }
  void SetTextFrame(std::string_view member, double points) {
    app_.Put(Part(kTextFrame, "TextFrame").Get(), kTextFrame, member, Variant::Double(points));
  }

  ComApplication& app_;
  ComPtr<IDispatch> shape_;
};

}  // namespace

// --- Values ---

host::Value ToValue(const Variant& value) {
  const VARIANT& v = value.get();
  switch (V_VT(&v)) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_BSTR:
      return host::Value::Text(Narrow(V_BSTR(&v)));
    case VT_BOOL:
      return host::Value::Logical(V_BOOL(&v) != VARIANT_FALSE);
    case VT_DATE:
      return host::Value::Date(V_DATE(&v));
    case VT_ERROR:
      return host::Value::Error(static_cast<host::CellError>(V_ERROR(&v) & 0xFFFF));
    default:
      return host::Value::Number(ToDouble(value));
  }
}

Variant FromValue(const host::Value& value) {
  switch (value.kind()) {
    case host::ValueKind::kEmpty:
      return Variant();
    case host::ValueKind::kNumber:
      return Variant::Double(value.number());
    case host::ValueKind::kDate:
      return Variant::Date(value.number());
    case host::ValueKind::kText:
      return Variant::Text(value.text());
    case host::ValueKind::kLogical:
      return Variant::Bool(value.logical());
    case host::ValueKind::kError:
      return Variant::Error(static_cast<SCODE>(0x800A0000u | static_cast<unsigned>(value.error())));
  }
  return Variant();
}

// --- Application ---

ComApplication::ComApplication(ComPtr<IDispatch> app) : app_(std::move(app)) {}

void ComApplication::RaiseFailure(IDispatch* object, const CallError& error) {
  if (object != nullptr && object == app_.Get() && error.ObjectGone()) {
    throw host::HostError(kApplicationGone);
  }
  throw error;
}

Variant ComApplication::Get(IDispatch* object, std::string_view kind, std::string_view member,
                            std::span<const Variant> args) {
  return Call(object, kind, member, args);
}

void ComApplication::Put(IDispatch* object, std::string_view kind, std::string_view member,
                         Variant value) {
  try {
    CallMember(cache_, object, kind, member, DISPATCH_PROPERTYPUT,
               std::span<const Variant>(&value, 1));
  } catch (const CallError& error) {
    RaiseFailure(object, error);
  }
}

Variant ComApplication::Call(IDispatch* object, std::string_view kind, std::string_view member,
                             std::span<const Variant> args, std::span<const NamedArg> named) {
  try {
    return CallMember(cache_, object, kind, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args,
                      named);
  } catch (const CallError& error) {
    RaiseFailure(object, error);
  }
}

ComPtr<IDispatch> ComApplication::GetObject(IDispatch* object, std::string_view kind,
                                            std::string_view member,
                                            std::span<const Variant> args) {
  return ToObject(Get(object, kind, member, args));
}

void ComApplication::ReleaseHostObjects() {
  for (ComWorkbook& book : books_) book.ReleaseHostObject();
  app_.Reset();
}

HWND ComApplication::MainWindow() {
  // A window handle travels as a 32-bit Long; 64-bit Windows sign-extends it.
  const LONG handle = ToLong(Get(app_.Get(), kApplication, "Hwnd"));
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
}

std::optional<std::string> ComApplication::StatusBarText() {
  Variant text = Get(app_.Get(), kApplication, "StatusBar");
  if (text.type() == VT_BOOL) return std::nullopt;  // False: the host's own text
  return ToText(text);
}

ComWorkbook& ComApplication::WorkbookFor(ComPtr<IDispatch> book) {
  IUnknown* identity = Identity(book.Get());
  for (ComWorkbook& known : books_) {
    if (known.Is(identity)) return known;
  }
  return books_.emplace_back(*this, std::move(book));
}

ComWorksheet& ComApplication::SheetFor(ComPtr<IDispatch> sheet) {
  IUnknown* identity = Identity(sheet.Get());
  for (ComWorkbook& book : books_) {
    if (ComWorksheet* known = book.KnownSheet(identity)) return *known;
  }
  ComWorkbook& book = WorkbookFor(GetObject(sheet.Get(), kWorksheet, "Parent"));
  return book.SheetFor(std::move(sheet));
}

host::Range ComApplication::RangeFrom(ComPtr<IDispatch> range) {
  ComWorksheet& sheet = SheetFor(GetObject(range.Get(), kRange, "Worksheet"));
  return host::Range(&sheet, AreasOf(ToText(Get(range.Get(), kRange, "Address"))));
}

ComPtr<IDispatch> ComApplication::RangeObject(const host::Range& range) {
  auto* sheet = dynamic_cast<ComWorksheet*>(&range.Parent());
  if (sheet == nullptr) throw host::HostError(host::kTypeMismatch);
  return sheet->RangeObject(range);
}

host::Workbook& ComApplication::Workbooks(const std::string& name) {
  ComPtr<IDispatch> books = GetObject(app_.Get(), kApplication, "Workbooks");
  Variant arg = Variant::Text(name);
  return WorkbookFor(GetObject(books.Get(), kWorkbooks, "Item", std::span<const Variant>(&arg, 1)));
}

host::Worksheet& ComApplication::Worksheets(const std::string& name) {
  ComPtr<IDispatch> sheets = GetObject(app_.Get(), kApplication, "Worksheets");
  Variant arg = Variant::Text(name);
  return SheetFor(GetObject(sheets.Get(), kSheets, "Item", std::span<const Variant>(&arg, 1)));
}

host::Workbook& ComApplication::ActiveWorkbook() {
  return WorkbookFor(GetObject(app_.Get(), kApplication, "ActiveWorkbook"));
}

host::Worksheet& ComApplication::ActiveSheet() {
  return SheetFor(GetObject(app_.Get(), kApplication, "ActiveSheet"));
}

host::Range ComApplication::Selection() {
  Variant selection = Get(app_.Get(), kApplication, "Selection");
  if (IsNothing(selection)) return {};
  try {
    return RangeFrom(ToObject(selection));
  } catch (const host::HostError&) {
    return {};  // a shape or a chart is selected
  }
}

host::Range ComApplication::RangeFromReference(const std::string& reference) {
  if (reference.size() <= kMaxReferenceLength) {
    Variant arg = Variant::Text(reference);
    return RangeFrom(
        GetObject(app_.Get(), kApplication, "Range", std::span<const Variant>(&arg, 1)));
  }
  // Longer than the host's Range takes (the address of a range of many areas, as the edit boxes
  // show it): its workbook and sheet are found by name, its areas kept as they are.
  std::optional<host::Reference> parsed = host::ParseReference(reference);
  if (!parsed) throw host::HostError(kRangeFailed);
  host::Workbook& book = parsed->workbook ? Workbooks(*parsed->workbook) : ActiveWorkbook();
  host::Worksheet& sheet = parsed->sheet ? book.Worksheets(*parsed->sheet) : ActiveSheet();
  return host::Range(&sheet, parsed->areas);
}

ComPtr<IDispatch> ComApplication::Union(std::span<const Variant> ranges) {
  // Union takes two to thirty ranges: a longer list is joined thirty at a time.
  constexpr std::size_t kMaxArguments = 30;
  if (ranges.empty()) throw host::HostError(kRangeFailed);
  ComPtr<IDispatch> joined = ToObject(ranges[0]);
  std::size_t next = 1;
  while (next < ranges.size()) {
    std::vector<Variant> args{Variant::Dispatch(joined.Get())};
    while (next < ranges.size() && args.size() < kMaxArguments) args.push_back(ranges[next++]);
    joined = ToObject(Call(app_.Get(), kApplication, "Union", args));
  }
  return joined;
}

void ComApplication::SetStatusBar(const std::string& text) {
  Put(app_.Get(), kApplication, "StatusBar", Variant::Text(text));
}

void ComApplication::ResetStatusBar() {
  Put(app_.Get(), kApplication, "StatusBar", Variant::Bool(false));
}

std::optional<host::Range> ComApplication::InputBox(const std::string& prompt,
                                                    const std::string& title,
                                                    const std::string& default_text) {
  NamedArg named[] = {{"Prompt", Variant::Text(prompt)},
                      {"Title", Variant::Text(title)},
                      {"Default", Variant::Text(default_text)},
                      {"Type", Variant::Int(kInputBoxRange)}};
  Variant answer = Call(app_.Get(), kApplication, "InputBox", {}, named);
  if (answer.type() == VT_BOOL && V_BOOL(&answer.get()) == VARIANT_FALSE) return std::nullopt;
  return RangeFrom(ToObject(answer));
}

void ComApplication::MsgBox(const std::string& text, host::MessageIcon icon) {
  ShowMessageBox(text, icon);
}

std::int64_t ComApplication::CountA(const host::Range& range) {
  Variant arg = Variant::Dispatch(RangeObject(range).Get());
  return static_cast<std::int64_t>(
      std::llround(ToDouble(Call(app_.Get(), kApplication, "CountA", std::span(&arg, 1)))));
}

bool ComApplication::CellFunction(std::string_view name, const host::Range& cell) {
  Variant arg = Variant::Dispatch(RangeObject(cell).Get());
  return ToBool(Call(app_.Get(), kApplication, name, std::span(&arg, 1)));
}

bool ComApplication::IsError(const host::Range& cell) { return CellFunction("IsError", cell); }
bool ComApplication::IsText(const host::Range& cell) { return CellFunction("IsText", cell); }
bool ComApplication::IsLogical(const host::Range& cell) { return CellFunction("IsLogical", cell); }

host::Range ComApplication::Intersect(const host::Range& a, const host::Range& b) {
  Variant args[] = {Variant::Dispatch(RangeObject(a).Get()),
                    Variant::Dispatch(RangeObject(b).Get())};
  Variant overlap = Call(app_.Get(), kApplication, "Intersect", args);
  if (IsNothing(overlap)) return {};
  return RangeFrom(ToObject(overlap));
}

double ComApplication::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  double serial = 0;
  SystemTimeToVariantTime(&now, &serial);  // whole seconds, as the macro language's Now
  return serial;
}

void ComApplication::DoEvents() { PumpMessages(); }

bool ComApplication::HasScreen() {
  try {
    return ToBool(Get(app_.Get(), kApplication, "Visible"));
  } catch (const host::HostError&) {
    return true;  // a host that cannot tell is taken to be on the screen
  }
}

// --- Workbook ---

ComWorkbook::ComWorkbook(ComApplication& app, ComPtr<IDispatch> book)
    : app_(app), book_(std::move(book)), identity_(Identity(book_.Get())) {
  last_name_ = ToText(Member("Name"));
}

void ComWorkbook::ReleaseHostObject() {
  for (ComWorksheet& sheet : sheets_) sheet.ReleaseHostObject();
  book_.Reset();
  identity_ = nullptr;
}

host::HostError ComWorkbook::Closed() const {
  return host::HostError("The workbook \"" + last_name_ + "\" has been closed");
}

Variant ComWorkbook::Member(std::string_view member, std::span<const Variant> args,
                            std::span<const NamedArg> named) {
  try {
    return app_.Call(book_.Get(), kWorkbook, member, args, named);
  } catch (const CallError& error) {
    if (error.ObjectGone()) throw Closed();
    throw;
  }
}

bool ComWorkbook::StillOpen() {
  try {
    Member("Name");
    return true;
  } catch (const host::HostError&) {
    return false;
  }
}

ComWorksheet* ComWorkbook::KnownSheet(IUnknown* identity) {
  for (ComWorksheet& known : sheets_) {
    if (known.Is(identity)) return &known;
  }
  return nullptr;
}

ComWorksheet& ComWorkbook::SheetFor(ComPtr<IDispatch> sheet) {
  if (ComWorksheet* known = KnownSheet(Identity(sheet.Get()))) return *known;
  return sheets_.emplace_back(app_, *this, std::move(sheet));
}

std::string ComWorkbook::Name() {
  last_name_ = ToText(Member("Name"));
  return last_name_;
}

void ComWorkbook::Activate() { Member("Activate"); }

host::Worksheet& ComWorkbook::Worksheets(const std::string& name) {
  ComPtr<IDispatch> sheets = ToObject(Member("Worksheets"));
  Variant arg = Variant::Text(name);
  return SheetFor(app_.GetObject(sheets.Get(), kSheets, "Item", std::span(&arg, 1)));
}

void ComWorkbook::FollowHyperlink(const std::string& address) {
  NamedArg named[] = {{"Address", Variant::Text(address)}, {"NewWindow", Variant::Bool(true)}};
  Member("FollowHyperlink", {}, named);
}

// --- Worksheet ---

ComWorksheet::ComWorksheet(ComApplication& app, ComWorkbook& book, ComPtr<IDispatch> sheet)
    : app_(app), book_(book), sheet_(std::move(sheet)), identity_(Identity(sheet_.Get())) {
  last_name_ = ToText(Member("Name"));
}

void ComWorksheet::ReleaseHostObject() {
  sheet_.Reset();
  identity_ = nullptr;
}

Variant ComWorksheet::Member(std::string_view member, std::span<const Variant> args) {
  try {
    return app_.Call(sheet_.Get(), kWorksheet, member, args);
  } catch (const CallError& error) {
    if (!error.ObjectGone()) throw;
    // A sheet goes with its workbook, or on its own.
    if (!book_.StillOpen()) throw book_.Closed();
    throw host::HostError("The sheet \"" + last_name_ + "\" of \"" + book_.last_name() +
                          "\" has been deleted");
  }
}

ComPtr<IDispatch> ComWorksheet::RangeObject(const host::Range& range) {
  const std::string address = range.Address(false);
  if (address.size() <= kMaxReferenceLength) {
    Variant arg = Variant::Text(address);
    return ToObject(Member("Range", std::span(&arg, 1)));
  }
  // A range of many areas: its areas in groups whose addresses the host takes, joined by Union.
  std::vector<Variant> parts;
  std::string group;
  auto flush = [&] {
    if (group.empty()) return;
    Variant arg = Variant::Text(group);
    parts.push_back(Variant::Dispatch(ToObject(Member("Range", std::span(&arg, 1))).Get()));
    group.clear();
  };
  for (const host::Area& area : range.Areas()) {
    const std::string one = host::AbsoluteAddress(area);
    if (!group.empty() && group.size() + 1 + one.size() > kMaxReferenceLength) flush();
    if (!group.empty()) group += ',';
    group += one;
  }
  flush();
  return app_.Union(parts);
}

ComPtr<IDispatch> ComWorksheet::Cell(int row, int column) {
  ComPtr<IDispatch> cells = ToObject(Member("Cells"));
  Variant args[] = {Variant::Int(row), Variant::Int(column)};
  return app_.GetObject(cells.Get(), kRange, "Item", args);
}

ComPtr<IDispatch> ComWorksheet::Shapes() { return ToObject(Member("Shapes")); }

std::string ComWorksheet::Name() {
  last_name_ = ToText(Member("Name"));
  return last_name_;
}

host::Workbook& ComWorksheet::Parent() { return book_; }

void ComWorksheet::Select() { Member("Select"); }

void ComWorksheet::SelectCells(const host::Area& area) {
  app_.Call(RangeObject(host::Range(this, area)).Get(), kRange, "Select");
}

host::Range ComWorksheet::UsedRange() {
  ComPtr<IDispatch> used = ToObject(Member("UsedRange"));
  return host::Range(this, AreasOf(ToText(app_.Get(used.Get(), kRange, "Address"))));
}

// Value answers a number in a currency format as Currency, rounded to four decimal places; Value2
// answers the number itself (and a date as its serial, so Value still tells the dates apart). A
// currency amount is read again through Value2, and compares as the same amount in General.
host::Value ComWorksheet::CellValue(int row, int column) {
  ComPtr<IDispatch> cell = Cell(row, column);
  Variant value = app_.Get(cell.Get(), kRange, "Value");
  if (value.type() == VT_CY)
    return host::Value::Number(ToDouble(app_.Get(cell.Get(), kRange, "Value2")));
  return ToValue(value);
}

std::string ComWorksheet::CellText(int row, int column) {
  return ToText(app_.Get(Cell(row, column).Get(), kRange, "Text"));
}

bool ComWorksheet::RowHidden(int row) {
  ComPtr<IDispatch> entire_row = app_.GetObject(Cell(row, 1).Get(), kRange, "EntireRow");
  return ToBool(app_.Get(entire_row.Get(), kRange, "Hidden"));
}

double ComWorksheet::InteriorColor(int row, int column) {
  ComPtr<IDispatch> interior = app_.GetObject(Cell(row, column).Get(), kRange, "Interior");
  return ToDouble(app_.Get(interior.Get(), kInterior, "Color"));
}

double ComWorksheet::InteriorPattern(int row, int column) {
  ComPtr<IDispatch> interior = app_.GetObject(Cell(row, column).Get(), kRange, "Interior");
  return ToDouble(app_.Get(interior.Get(), kInterior, "Pattern"));
}

void ComWorksheet::SetInteriorColor(int row, int column, const host::Value& color) {
  ComPtr<IDispatch> interior = app_.GetObject(Cell(row, column).Get(), kRange, "Interior");
  app_.Put(interior.Get(), kInterior, "Color", FromValue(color));
}

void ComWorksheet::SetInteriorPattern(int row, int column, const host::Value& pattern) {
  ComPtr<IDispatch> interior = app_.GetObject(Cell(row, column).Get(), kRange, "Interior");
  app_.Put(interior.Get(), kInterior, "Pattern", FromValue(pattern));
}

ComPtr<IDispatch> ComWorksheet::Block(const host::Area& area) {
  return RangeObject(host::Range(this, area));
}

namespace {

// The elements of a block's Value or Value2, rows then columns (a single value for a block of one
// cell).
std::vector<Variant> BlockElements(const Variant& values, const host::Area& area) {
  const std::size_t count = static_cast<std::size_t>(area.count());
  if ((values.type() & VT_ARRAY) == 0) {
    std::vector<Variant> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) out.push_back(Variant::Copy(values.get()));
    return out;
  }
  // A two-dimensional array, rows then columns, as the macro language indexes it.
  SAFEARRAY* array = V_ARRAY(&values.get());
  LONG row_base = 0, column_base = 0;
  if (SafeArrayGetDim(array) != 2 || FAILED(SafeArrayGetLBound(array, 1, &row_base)) ||
      FAILED(SafeArrayGetLBound(array, 2, &column_base))) {
    throw host::HostError(host::kTypeMismatch);
  }
  std::vector<Variant> out;
  out.reserve(count);
  for (LONG r = 0; r < area.rows(); ++r) {
    for (LONG c = 0; c < area.columns(); ++c) {
      LONG indices[2] = {row_base + r, column_base + c};  // dimensions in declared order
      Variant element;
      HRESULT hr = SafeArrayGetElement(array, indices, element.Put());
      if (FAILED(hr)) RaiseHostError(hr, nullptr);
      out.push_back(std::move(element));
    }
  }
  return out;
}

}  // namespace

std::vector<host::Value> ComWorksheet::BlockValues(const host::Area& area) {
  ComPtr<IDispatch> block = Block(area);
  const std::vector<Variant> values = BlockElements(app_.Get(block.Get(), kRange, "Value"), area);
  // Currency amounts, as in CellValue, from a second read through Value2 when there are any.
  std::vector<Variant> amounts;
  for (const Variant& value : values) {
    if (value.type() == VT_CY) {
      amounts = BlockElements(app_.Get(block.Get(), kRange, "Value2"), area);
      break;
    }
  }
  std::vector<host::Value> out;
  out.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i].type() == VT_CY && i < amounts.size()) {
      out.push_back(host::Value::Number(ToDouble(amounts[i])));
    } else {
      out.push_back(ToValue(values[i]));
    }
  }
  return out;
}

std::vector<double> ComWorksheet::BlockFill(const host::Area& area, std::string_view member) {
  ComPtr<IDispatch> interior = app_.GetObject(Block(area).Get(), kRange, "Interior");
  Variant fill = app_.Get(interior.Get(), kInterior, member);
  if (fill.type() != VT_NULL) {
    return std::vector<double>(static_cast<std::size_t>(area.count()), ToDouble(fill));
  }
  return member == "Color" ? host::Worksheet::BlockInteriorColors(area)
                           : host::Worksheet::BlockInteriorPatterns(area);
}

std::vector<double> ComWorksheet::BlockInteriorColors(const host::Area& area) {
  return BlockFill(area, "Color");
}

std::vector<double> ComWorksheet::BlockInteriorPatterns(const host::Area& area) {
  return BlockFill(area, "Pattern");
}

std::vector<char> ComWorksheet::RowsHidden(int top, int bottom) {
  if (bottom < top) return {};
  ComPtr<IDispatch> rows =
      app_.GetObject(Block(host::Area{top, 1, bottom, 1}).Get(), kRange, "EntireRow");
  Variant hidden = app_.Get(rows.Get(), kRange, "Hidden");
  if (hidden.type() != VT_NULL) {
    return std::vector<char>(static_cast<std::size_t>(bottom - top + 1), ToBool(hidden) ? 1 : 0);
  }
  return host::Worksheet::RowsHidden(top, bottom);
}

bool ComWorksheet::HasComment(int row, int column) {
  return !IsNothing(app_.Get(Cell(row, column).Get(), kRange, "Comment"));
}

// Range.CommentThreaded (https://learn.microsoft.com/office/vba/api/excel.range.commentthreaded)
// came with Excel 2019 and Microsoft 365; an older Excel has no such member, and its cells hold no
// threaded comment. Any failure here is taken as that.
bool ComWorksheet::HasThreadedComment(int row, int column) {
  try {
    return !IsNothing(app_.Get(Cell(row, column).Get(), kRange, "CommentThreaded"));
  } catch (const host::HostError&) {
    return false;
  }
}

void ComWorksheet::AddComment(int row, int column) {
  app_.Call(Cell(row, column).Get(), kRange, "AddComment");
}

std::string ComWorksheet::CommentText(int row, int column) {
  ComPtr<IDispatch> comment = app_.GetObject(Cell(row, column).Get(), kRange, "Comment");
  return ToText(app_.Call(comment.Get(), kComment, "Text"));
}

void ComWorksheet::SetCommentText(int row, int column, const std::string& text) {
  ComPtr<IDispatch> comment = app_.GetObject(Cell(row, column).Get(), kRange, "Comment");
  NamedArg named[] = {{"Text", Variant::Text(text)}};
  app_.Call(comment.Get(), kComment, "Text", {}, named);
}

void ComWorksheet::SetCommentVisible(int row, int column, bool visible) {
  ComPtr<IDispatch> comment = app_.GetObject(Cell(row, column).Get(), kRange, "Comment");
  app_.Put(comment.Get(), kComment, "Visible", Variant::Bool(visible));
}

void ComWorksheet::ClearComments(const host::Area& area) {
  app_.Call(RangeObject(host::Range(this, area)).Get(), kRange, "ClearComments");
}

double ComWorksheet::CellLeft(int row, int column) {
  return ToDouble(app_.Get(Cell(row, column).Get(), kRange, "Left"));
}

double ComWorksheet::CellTop(int row, int column) {
  return ToDouble(app_.Get(Cell(row, column).Get(), kRange, "Top"));
}

double ComWorksheet::CellWidth(int row, int column) {
  return ToDouble(app_.Get(Cell(row, column).Get(), kRange, "Width"));
}

int ComWorksheet::ShapesCount() {
  return static_cast<int>(ToLong(app_.Get(Shapes().Get(), kShapes, "Count")));
}

std::unique_ptr<host::Shape> ComWorksheet::ShapesItem(int index) {
  Variant arg = Variant::Int(index);
  return std::make_unique<ComShape>(
      app_, app_.GetObject(Shapes().Get(), kShapes, "Item", std::span(&arg, 1)));
}

std::unique_ptr<host::Shape> ComWorksheet::AddShape(int type, double left, double top, double width,
                                                    double height) {
  Variant args[] = {Variant::Int(type), Variant::Double(left), Variant::Double(top),
                    Variant::Double(width), Variant::Double(height)};
  return std::make_unique<ComShape>(app_,
                                    ToObject(app_.Call(Shapes().Get(), kShapes, "AddShape", args)));
}

}  // namespace quorvane::windows
