// The host adapter on its own: the host interface over the stand-in application's IDispatch, in
// this process, without the add-in library.
#include "windows/host_adapter.h"

#include "check.h"
#include "fake_excel.h"
#include "host/error.h"
#include "memhost/host.h"
#include "session.h"

namespace quorvane::windows::testing {
namespace {

struct Adapter {
  memhost::MemHost host;
  FakeApplication* fake;
  std::unique_ptr<ComApplication> app;

  Adapter() {
    FillBook(host);
    fake = new FakeApplication(host);
    app = std::make_unique<ComApplication>(ComPtr<IDispatch>(fake));
  }
  ~Adapter() {
    app.reset();
    fake->Release();
  }
};

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const host::HostError& error) {
    return error.description();
  }
  return "<no error>";
}

TEST_CASE("adapter: cells, values of every kind and addresses through IDispatch") {
  Adapter a;
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(a.host.Worksheets("Sheet1"));
  sheet.Put(20, 1, host::Value::Logical(true));
  sheet.Put(21, 1, host::Value::Error(host::CellError::kNA));
  sheet.Put(22, 1, host::Value::Date(45000.5));
  host::Range range = a.app->RangeFromReference("[Book1.xlsx]Sheet1!A1:A22");
  CHECK_EQ(range.Address(true), std::string("[Book1.xlsx]Sheet1!$A$1:$A$22"));
  host::Worksheet& ws = range.Parent();
  CHECK_EQ(ws.Name(), std::string("Sheet1"));
  CHECK_EQ(ws.Parent().Name(), std::string("Book1.xlsx"));
  CHECK(ws.CellValue(2, 1) == host::Value::Number(250.5));
  CHECK(ws.CellValue(11, 1) == host::Value::Text("abc"));
  CHECK(ws.CellValue(20, 1) == host::Value::Logical(true));
  CHECK(ws.CellValue(21, 1) == host::Value::Error(host::CellError::kNA));
  CHECK(ws.CellValue(22, 1) == host::Value::Date(45000.5));
  CHECK(ws.CellValue(30, 1) == host::Value());
  CHECK(ws.RowHidden(6));
  CHECK(!ws.RowHidden(5));
  CHECK_EQ(ws.InteriorColor(4, 1), 65535.0);
  CHECK_EQ(ws.CellText(2, 1), sheet.CellText(2, 1));
  CHECK_EQ(a.app->CountA(range), 15);
  CHECK(a.app->IsText(range.Item(11)));
  CHECK(a.app->IsError(range.Item(21)));
  CHECK(a.app->IsLogical(range.Item(20)));
  // The same worksheet object comes back for the same sheet, however it is reached.
  CHECK(&a.app->ActiveSheet() == &ws);
  CHECK(&a.app->Worksheets("Sheet1") == &ws);
  CHECK(a.app->Intersect(range, a.app->RangeFromReference("C1:C3")).is_nothing());
  CHECK_EQ(a.app->Intersect(range, a.app->RangeFromReference("A5:C6")).Address(),
           std::string("$A$5:$A$6"));
}

TEST_CASE("adapter: a range whose address is longer than the host's Range takes") {
  Adapter a;
  // 70 cells of column A, every other row: an address of some 420 characters.
  std::vector<host::Area> areas;
  for (int row = 1; row < 140; row += 2) areas.push_back(host::Area{row, 1, row, 1});
  const host::Range wide(&a.app->Worksheets("Sheet1"), areas);
  const std::string external = wide.Address(true);
  CHECK(external.size() > 255);
  const host::Range again = a.app->RangeFromReference(external);
  CHECK_EQ(again.Address(true), external);
  CHECK(&again.Parent() == &wide.Parent());
  // The host's object for it (Intersect, CountA) holds every area.
  CHECK_EQ(a.app->CountA(again), 6);  // A1, A3, A5, A7, A9, A11
  CHECK_EQ(a.app->Intersect(again, a.app->RangeFromReference("A100:A139")).Address(),
           std::string("$A$101,$A$103,$A$105,$A$107,$A$109,$A$111,$A$113,$A$115,$A$117,$A$119,"
                       "$A$121,$A$123,$A$125,$A$127,$A$129,$A$131,$A$133,$A$135,$A$137,$A$139"));
  CHECK_EQ(a.fake->refused_references(), 0);
}

TEST_CASE("adapter: blocks read in one call agree with the cells read one by one") {
  Adapter a;
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(a.host.Worksheets("Sheet1"));
  sheet.Put(3, 2, host::Value::Logical(false));
  sheet.PutFill(5, 2, 255, host::kPatternSolid);
  host::Worksheet& ws = a.app->Worksheets("Sheet1");
  for (const host::Area& area : {host::Area{1, 1, 12, 3}, host::Area{2, 3, 2, 3},
                                 host::Area{7, 1, 9, 1}, host::Area{1, 2, 4, 3}}) {
    CHECK(ws.BlockValues(area) == sheet.BlockValues(area));
    CHECK(ws.BlockInteriorColors(area) == sheet.BlockInteriorColors(area));
    CHECK(ws.BlockInteriorPatterns(area) == sheet.BlockInteriorPatterns(area));
    CHECK(ws.RowsHidden(area.top, area.bottom) == sheet.RowsHidden(area.top, area.bottom));
  }
  // A block whose cells agree is one call for its fill, not one per cell.
  long before = a.fake->total_calls();
  ws.BlockInteriorColors(host::Area{1, 3, 10, 3});
  CHECK(a.fake->total_calls() - before <= 4);
}

TEST_CASE("adapter: comments with Text:=, fills, shapes and the status bar") {
  Adapter a;
  host::Worksheet& ws = a.app->Worksheets("Sheet1");
  CHECK(!ws.HasComment(1, 1));
  ws.AddComment(1, 1);
  ws.SetCommentText(1, 1, "<<<x>>>\nnote");
  CHECK_EQ(ws.CommentText(1, 1), std::string("<<<x>>>\nnote"));
  ws.SetCommentVisible(1, 1, true);
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(a.host.Worksheets("Sheet1"));
  CHECK(sheet.data().Find(1, 1)->comment->visible);
  ws.SetInteriorColor(2, 1, host::Value::Number(11120637));
  ws.SetInteriorPattern(2, 1, host::Value::Number(17));
  CHECK_EQ(sheet.data().Find(2, 1)->fill.color, 11120637);
  CHECK_EQ(sheet.data().Find(2, 1)->fill.pattern, 17);
  std::unique_ptr<host::Shape> shape = ws.AddShape(host::kShapeRectangle, 10, 20, 30, 15);
  shape->SetName("CmtNumA" + shape->Name());
  shape->SetText("2/1");
  shape->SetFontSize(7);
  shape->SetFillVisible(false);
  shape->SetLineForeSchemeColor(64);
  CHECK_EQ(ws.ShapesCount(), 1);
  CHECK_EQ(ws.ShapesItem(1)->Name(), std::string("CmtNumARectangle 1"));
  CHECK_EQ(sheet.data().shapes[0].text, std::string("2/1"));
  CHECK_EQ(sheet.data().shapes[0].line_scheme_color, 64);
  ws.ShapesItem(1)->Delete();
  CHECK_EQ(ws.ShapesCount(), 0);
  CHECK(!a.app->HasScreen());
  a.host.SetHasScreen(true);
  CHECK(a.app->HasScreen());
  a.app->SetStatusBar("busy");
  CHECK(a.host.status_bar() == std::optional<std::string>("busy"));
  a.app->ResetStatusBar();
  CHECK(!a.host.status_bar().has_value());
}

TEST_CASE("adapter: the host's failures arrive as HostError with the host's description") {
  Adapter a;
  CHECK_EQ(ErrorOf([&] { a.app->Workbooks("Nope.xlsx"); }), std::string("Subscript out of range"));
  CHECK(ErrorOf([&] { a.app->RangeFromReference("not a reference!"); }) != "<no error>");
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(a.host.Worksheets("Sheet1"));
  sheet.Protect(true);
  host::Worksheet& ws = a.app->Worksheets("Sheet1");
  CHECK_EQ(ErrorOf([&] { ws.SetInteriorColor(1, 1, host::Value::Number(1)); }),
           std::string(memhost::kProtectedSheet));
  CHECK_EQ(ErrorOf([&] { ws.CommentText(1, 1); }),
           std::string("Object variable or With block variable not set"));
  // A member the object does not have.
  CHECK_EQ(ErrorOf([&] { a.app->Call(a.app->object(), "Application", "NoSuchMember"); }),
           std::string("Object doesn't support this property or method"));
}

TEST_CASE("adapter: input box answers a range or False for Cancel; names are looked up once") {
  Adapter a;
  a.host.SetInputBoxHandler([&](const memhost::InputBoxRequest& request) {
    CHECK_EQ(request.prompt, std::string("Pick"));
    CHECK_EQ(request.default_text, std::string("$A$1"));
    if (request.title == "cancel") return std::optional<host::Range>();
    return std::optional<host::Range>(a.host.Worksheets("Sheet1").Cells(host::Area{2, 1, 4, 1}));
  });
  std::optional<host::Range> picked = a.app->InputBox("Pick", "ok", "$A$1");
  CHECK(picked.has_value() && picked->Address() == "$A$2:$A$4");
  CHECK(!a.app->InputBox("Pick", "cancel", "$A$1").has_value());

  host::Worksheet& ws = a.app->Worksheets("Sheet1");
  ws.CellValue(1, 1);
  long before = DispatchObject::NameLookups();
  for (int row = 1; row <= 10; ++row) ws.CellValue(row, 1);
  CHECK_EQ(DispatchObject::NameLookups(), before);
}

TEST_CASE("adapter: wrappers stand for the objects the host hands out now, never by name") {
  Adapter a;
  host::Worksheet& sheet1 = a.app->Worksheets("Sheet1");
  host::Range range = a.app->RangeFromReference("[Book1.xlsx]Sheet1!A1:A3");
  const std::string closed = "The workbook \"Book1.xlsx\" has been closed";

  // A closed workbook: every call through its wrappers says so, however the sheet is reached.
  a.fake->CloseWorkbook("Book1.xlsx");
  CHECK_EQ(ErrorOf([&] { sheet1.CellValue(1, 1); }), closed);
  CHECK_EQ(ErrorOf([&] { range.Address(true); }), closed);
  CHECK_EQ(ErrorOf([&] { sheet1.Parent().Activate(); }), closed);
  CHECK_EQ(ErrorOf([&] { a.app->Workbooks("Book1.xlsx"); }), std::string("Subscript out of range"));

  // Opened again: new objects, new wrappers; the old ones still say the workbook was closed.
  a.fake->OpenWorkbook("Book1.xlsx");
  host::Worksheet& reopened = a.app->Worksheets("Sheet1");
  CHECK(&reopened != &sheet1);
  CHECK(&a.app->ActiveSheet() == &reopened);
  CHECK(reopened.CellValue(2, 1) == host::Value::Number(250.5));
  CHECK_EQ(a.app->RangeFromReference("[Book1.xlsx]Sheet1!A1:A3").Address(true),
           std::string("[Book1.xlsx]Sheet1!$A$1:$A$3"));
  CHECK_EQ(ErrorOf([&] { sheet1.Name(); }), closed);

  // A renamed sheet keeps its wrapper; a new sheet of the old name gets its own.
  memhost::MemWorkbook& book = *a.host.FindWorkbook("Book1.xlsx");
  book.AddSheet("Current").Put(1, 1, host::Value::Number(1));
  host::Worksheet& current = a.app->Workbooks("Book1.xlsx").Worksheets("Current");
  a.fake->RenameSheet("Book1.xlsx", "Current", "Jan");
  book.AddSheet("Current").Put(1, 1, host::Value::Number(2));
  host::Worksheet& fresh = a.app->Workbooks("Book1.xlsx").Worksheets("Current");
  CHECK(&fresh != &current);
  CHECK(&a.app->Workbooks("Book1.xlsx").Worksheets("Jan") == &current);
  CHECK_EQ(current.Name(), std::string("Jan"));
  CHECK(current.CellValue(1, 1) == host::Value::Number(1));
  CHECK(fresh.CellValue(1, 1) == host::Value::Number(2));
  CHECK_EQ(a.app->RangeFromReference("[Book1.xlsx]Current!A1").Address(true),
           std::string("[Book1.xlsx]Current!$A$1"));

  // A deleted sheet ("Object required"), then the whole host gone (RPC_E_DISCONNECTED).
  a.fake->DeleteSheet("Book1.xlsx", "Jan");
  CHECK_EQ(ErrorOf([&] { current.CellValue(1, 1); }),
           std::string("The sheet \"Jan\" of \"Book1.xlsx\" has been deleted"));
  CHECK(fresh.CellValue(1, 1) == host::Value::Number(2));
  a.fake->DisconnectAll();
  CHECK_EQ(ErrorOf([&] { fresh.CellValue(1, 1); }), closed);
  CHECK_EQ(ErrorOf([&] { a.app->ActiveSheet(); }),
           std::string("The application is no longer available to the add-in"));
}

TEST_CASE("adapter: once it lets go of the host's objects, every call fails and nothing is held") {
  Adapter a;
  host::Worksheet& sheet = a.app->Worksheets("Sheet1");
  host::Range range = a.app->RangeFromReference("[Book1.xlsx]Sheet1!A1:A3");
  const long held = static_cast<long>(a.fake->references());
  CHECK(held > 1);
  a.app->ReleaseHostObjects();
  CHECK_EQ(a.fake->references(), 1ul);
  CHECK_EQ(ErrorOf([&] { sheet.CellValue(1, 1); }), std::string(host::kObjectNotSet));
  CHECK_EQ(ErrorOf([&] { range.Address(true); }), std::string(host::kObjectNotSet));
  CHECK_EQ(ErrorOf([&] { a.app->ActiveSheet(); }), std::string(host::kObjectNotSet));
}

}  // namespace
}  // namespace quorvane::windows::testing
