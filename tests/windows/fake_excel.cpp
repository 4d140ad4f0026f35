#include "fake_excel.h"

#include <memory>
#include <string_view>

#include "host/error.h"
#include "host/reference.h"
#include "windows/dispatch_call.h"
#include "windows/host_adapter.h"
#include "windows/office.h"

namespace quorvane::windows::testing {

namespace {

// Base of the application's objects: counts calls and runs the application's hook. A workbook or a
// sheet is kept by the application under its key while it lives.
class Part : public DispatchObject {
 public:
  explicit Part(FakeApplication& app, const void* key = nullptr) : app_(app), key_(key) {
    app_.AddRef();
    app_.Track(this, key_);
    SetLocaleCheck([&app](LCID lcid) { return app.TakesLocale(lcid); });
  }
  ~Part() override {
    app_.Untrack(this, key_);
    app_.Release();
  }

 protected:
  void Member(std::string name, Member member) {
    Add(name, [this, name, member = std::move(member)](DispCall& call) {
      app_.CountCall();
      app_.Notify(name);
      return member(call);
    });
  }
  FakeApplication& app_;
  const void* key_;
};

const Variant& Required(const DispCall& call, std::size_t position, const std::string& name) {
  const Variant* arg = call.Arg(position, name);
  if (arg == nullptr) throw DispError{"Argument not optional"};
  return *arg;
}

std::string TextArg(const DispCall& call, std::size_t position, const std::string& name) {
  return ToText(Required(call, position, name));
}

double NumberArg(const DispCall& call, std::size_t position, const std::string& name) {
  return ToDouble(Required(call, position, name));
}

// The text of Range(Cell1): Excel refuses one of more than 255 characters with its error 1004
// ("Method 'Range' of object '_Worksheet' failed"), however sound the reference. A multi-area
// reference this long must be built from shorter ones with Application.Union
// (https://learn.microsoft.com/office/vba/api/excel.application.union; Cell1 is "an A1-style
// reference in the language of the macro",
// https://learn.microsoft.com/office/vba/api/excel.worksheet.range).
constexpr std::size_t kMaxReferenceLength = 255;

std::string ReferenceArg(FakeApplication& app, const DispCall& call, const std::string& object) {
  std::string reference = TextArg(call, 0, "cell1");
  if (reference.size() > kMaxReferenceLength) {
    app.CountRefusedReference();
    throw DispError{"Method 'Range' of object '" + object + "' failed"};
  }
  return reference;
}

Variant Nothing() { return Variant::Dispatch(nullptr); }

Variant Null() {
  Variant v;
  V_VT(v.Put()) = VT_NULL;
  return v;
}

class FakeWorkbook;
class FakeWorksheet;
class FakeRange;

Variant MakeWorkbook(FakeApplication& app, memhost::MemWorkbook& book);
Variant MakeWorksheet(FakeApplication& app, memhost::MemWorksheet& sheet);
Variant MakeRange(FakeApplication& app, const host::Range& range);

memhost::MemWorksheet& MemSheet(host::Worksheet& sheet) {
  return dynamic_cast<memhost::MemWorksheet&>(sheet);
}

class FakeRange : public Part {
 public:
  FakeRange(FakeApplication& app, host::Range range, bool entire_row = false)
      : Part(app), range_(std::move(range)) {
    Member("Item", [this](DispCall& call) {
      if (call.args.size() >= 2) {
        int row = static_cast<int>(NumberArg(call, 0, "rowindex"));
        int column = static_cast<int>(NumberArg(call, 1, "columnindex"));
        const host::Area& first = range_.FirstArea();
        const int r = first.top + row - 1;
        const int c = first.left + column - 1;
        if (row < 1 || column < 1 || r > host::kMaxRows || c > host::kMaxColumns) {
          throw DispError{"Application-defined or object-defined error"};
        }
        return MakeRange(app_, host::Range(&range_.Parent(), host::Area{r, c, r, c}));
      }
      return MakeRange(app_, range_.Item(static_cast<std::int64_t>(NumberArg(call, 0, "index"))));
    });
    Member("Count",
           [this](DispCall&) { return Variant::Double(static_cast<double>(range_.CellsCount())); });
    Member("Cells", [this](DispCall&) { return MakeRange(app_, range_); });
    Member("Value", [this](DispCall& call) {
      if (call.is_put()) throw DispError{"not used by the add-in"};
      return Values(/*value2=*/false);
    });
    Member("Value2", [this](DispCall& call) {
      if (call.is_put()) throw DispError{"not used by the add-in"};
      return Values(/*value2=*/true);
    });
    Member("Text", [this](DispCall&) { return Variant::Text(range_.Text()); });
    Member("Address", [this](DispCall& call) {
      const Variant* external = call.Arg(4, "external");
      return Variant::Text(range_.Address(external != nullptr && ToBool(*external)));
    });
    Member("EntireRow", [this](DispCall&) {
      const host::Area& area = range_.FirstArea();
      host::Range row(&range_.Parent(), host::Area{area.top, 1, area.bottom, host::kMaxColumns});
      return Hand(new FakeRange(app_, row, true));
    });
    Member("Hidden", [this, entire_row](DispCall&) {
      if (!entire_row) throw DispError{"Unable to get the Hidden property of the Range class"};
      // Null when the rows disagree.
      const host::Area& area = range_.FirstArea();
      bool first = range_.Parent().RowHidden(area.top);
      for (int r = area.top + 1; r <= area.bottom; ++r) {
        if (range_.Parent().RowHidden(r) != first) return Null();
      }
      return Variant::Bool(first);
    });
    Member("Interior", [this](DispCall&) { return Hand(new Interior(app_, range_)); });
    Member("Comment", [this](DispCall&) {
      if (!range_.HasComment()) return Nothing();
      return Hand(new Comment(app_, range_));
    });
    // Range.CommentThreaded, "the threaded comment associated with the cell in the upper-left
    // corner of the range"
    // (https://learn.microsoft.com/office/vba/api/excel.range.commentthreaded), Nothing when there
    // is none. An Excel from before threaded comments raises its error 438 here ("Object doesn't
    // support this property or method").
    Member("CommentThreaded", [this](DispCall&) {
      if (!app_.host().threaded_comments()) {
        throw DispError{"Object doesn't support this property or method",
                        static_cast<HRESULT>(0x800A01B6)};
      }
      if (!range_.HasThreadedComment()) return Nothing();
      return Hand(new Part(app_));
    });
    // On a cell that holds a threaded comment, AddComment and Comment.Text with a text raise
    // error 1004 here (the in-memory host's rule): a threaded comment is added only "if no comment
    // already exists" (https://learn.microsoft.com/office/vba/api/excel.range.addcommentthreaded),
    // one kind per cell, and what Excel does with a note there is not documented.
    Member("AddComment", [this](DispCall&) {
      range_.AddComment();
      return Hand(new Comment(app_, range_));
    });
    Member("Select", [this](DispCall&) {
      range_.Select();
      return Variant();
    });
    Member("ClearComments", [this](DispCall&) {
      range_.ClearComments();
      return Variant();
    });
    Member("Parent", [this](DispCall&) { return MakeWorksheet(app_, MemSheet(range_.Parent())); });
    Member("Worksheet",
           [this](DispCall&) { return MakeWorksheet(app_, MemSheet(range_.Parent())); });
    Member("Offset", [this](DispCall& call) {
      const Variant* rows = call.Arg(0, "rowoffset");
      const Variant* columns = call.Arg(1, "columnoffset");
      return MakeRange(app_, range_.Offset(rows ? static_cast<int>(ToDouble(*rows)) : 0,
                                           columns ? static_cast<int>(ToDouble(*columns)) : 0));
    });
    Member("Left", [this](DispCall&) { return Variant::Double(range_.Left()); });
    Member("Top", [this](DispCall&) { return Variant::Double(range_.Top()); });
    Member("Width", [this](DispCall&) { return Variant::Double(range_.Width()); });
  }

  const host::Range& range() const { return range_; }

 private:
  // Value or Value2: of one cell, or of several an array of the first area, rows then columns,
  // counted from 1.
  Variant Values(bool value2) {
    const host::Area& area = range_.FirstArea();
    if (range_.CellsCount() == 1) return CellVariant(area.top, area.left, value2);
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(area.rows()), 1},
                                {static_cast<ULONG>(area.columns()), 1}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    for (int r = area.top; r <= area.bottom; ++r) {
      for (int c = area.left; c <= area.right; ++c) {
        LONG indices[2] = {r - area.top + 1, c - area.left + 1};
        Variant element = CellVariant(r, c, value2);
        SafeArrayPutElement(array, indices, const_cast<VARIANT*>(&element.get()));
      }
    }
    Variant out;
    V_VT(out.Put()) = VT_ARRAY | VT_VARIANT;
    const_cast<VARIANT&>(out.get()).parray = array;
    return out;
  }

  // A cell's value as Excel hands it out. Value answers a number in a currency format as Currency
  // (VT_CY, four decimal places) and a date as Date (VT_DATE); Value2 answers both as Double: "the
  // only difference between this property and the Value property is that the Value2 property
  // doesn't use the Currency and Date data types"
  // (https://learn.microsoft.com/office/vba/api/excel.range.value2,
  // https://learn.microsoft.com/office/vba/api/excel.range.value).
  Variant CellVariant(int row, int column, bool value2) {
    const host::Value value = range_.Parent().CellValue(row, column);
    if (value2 && value.is_date()) return Variant::Double(value.number());
    if (!value2 && value.is_number()) {
      const memhost::CellData* cell = MemSheet(range_.Parent()).data().Find(row, column);
      if (cell != nullptr && IsCurrencyFormat(cell->number_format)) {
        Variant out;
        V_VT(out.Put()) = VT_CY;
        if (FAILED(VarCyFromR8(value.number(), &const_cast<VARIANT&>(out.get()).cyVal))) {
          return Variant::Double(value.number());  // beyond Currency's range
        }
        return out;
      }
    }
    return FromValue(value);
  }

  // A number format that shows a currency: a currency sign, or a "[$<sign>-<locale>]" tag with one
  // (a "[$-409]" tag names a locale only).
  static bool IsCurrencyFormat(const std::string& format) {
    for (std::size_t at = 0; at < format.size(); ++at) {
      if (format[at] == '"') {  // quoted text is shown as it is
        at = format.find('"', at + 1);
        if (at == std::string::npos) return false;
        continue;
      }
      if (format[at] == '$') {
        if (!(at > 0 && format[at - 1] == '[' && at + 1 < format.size() && format[at + 1] == '-')) {
          return true;
        }
      }
      if (format.compare(at, 3, "\xe2\x82\xac") == 0 || format.compare(at, 2, "\xc2\xa3") == 0 ||
          format.compare(at, 2, "\xc2\xa5") == 0) {
        return true;  // the euro, pound and yen signs in UTF-8
      }
    }
    return false;
  }

  class Interior : public Part {
   public:
    Interior(FakeApplication& app, host::Range cell) : Part(app), cell_(std::move(cell)) {
      Member("Color", [this](DispCall& call) {
        if (call.is_put()) {
          cell_.SetInteriorColor(ToValue(*call.put));
          return Variant();
        }
        return Uniform([](host::Worksheet& s, int r, int c) { return s.InteriorColor(r, c); });
      });
      Member("Pattern", [this](DispCall& call) {
        if (call.is_put()) {
          cell_.SetInteriorPattern(ToValue(*call.put));
          return Variant();
        }
        return Uniform([](host::Worksheet& s, int r, int c) { return s.InteriorPattern(r, c); });
      });
    }

   private:
    // The fill of every cell of the block, or Null when they differ.
    template <typename Read>
    Variant Uniform(Read read) {
      const host::Area& area = cell_.FirstArea();
      host::Worksheet& sheet = cell_.Parent();
      const double first = read(sheet, area.top, area.left);
      for (int r = area.top; r <= area.bottom; ++r) {
        for (int c = area.left; c <= area.right; ++c) {
          if (read(sheet, r, c) != first) return Null();
        }
      }
      return Variant::Double(first);
    }
    host::Range cell_;
  };

  class Comment : public Part {
   public:
    Comment(FakeApplication& app, host::Range cell) : Part(app), cell_(std::move(cell)) {
      Member("Text", [this](DispCall& call) {
        if (const Variant* text = call.Arg(0, "text")) cell_.SetCommentText(ToText(*text));
        return Variant::Text(cell_.CommentText());
      });
      Member("Visible", [this](DispCall& call) {
        if (!call.is_put()) throw DispError{"not used by the add-in"};
        cell_.SetCommentVisible(ToBool(*call.put));
        return Variant();
      });
    }

   private:
    host::Range cell_;
  };

  host::Range range_;
};

// A shape's fill, line, colour, text frame, characters and font: each member sets one field.
class ShapePart : public Part {
 public:
  using Setter = std::function<void(host::Shape&, const Variant&)>;
  ShapePart(FakeApplication& app, std::shared_ptr<host::Shape> shape)
      : Part(app), shape_(std::move(shape)) {}
  void Setting(std::string name, Setter setter) {
    Member(std::move(name), [this, setter = std::move(setter)](DispCall& call) {
      if (!call.is_put()) throw DispError{"not used by the add-in"};
      setter(*shape_, *call.put);
      return Variant();
    });
  }
  void Method(std::string name, std::function<Variant(host::Shape&, DispCall&)> method) {
    Member(std::move(name),
           [this, method = std::move(method)](DispCall& call) { return method(*shape_, call); });
  }
  void Child(std::string name, std::function<void(ShapePart&)> build) {
    Member(std::move(name), [this, build = std::move(build)](DispCall&) {
      auto* part = new ShapePart(app_, shape_);
      build(*part);
      return Hand(part);
    });
  }

 private:
  std::shared_ptr<host::Shape> shape_;
};

int Int(const Variant& v) { return static_cast<int>(ToLong(v)); }

Variant MakeShape(FakeApplication& app, std::unique_ptr<host::Shape> handle) {
  auto* shape = new ShapePart(app, std::shared_ptr<host::Shape>(std::move(handle)));
  shape->Method("Name", [](host::Shape& s, DispCall& call) {
    if (!call.is_put()) return Variant::Text(s.Name());
    s.SetName(ToText(*call.put));
    return Variant();
  });
  shape->Method("Delete", [](host::Shape& s, DispCall&) {
    s.Delete();
    return Variant();
  });
  shape->Child("Fill", [](ShapePart& fill) {
    fill.Method("Solid", [](host::Shape& s, DispCall&) {
      s.SetFillSolid();
      return Variant();
    });
    fill.Setting("Visible", [](host::Shape& s, const Variant& v) { s.SetFillVisible(ToBool(v)); });
    fill.Child("ForeColor", [](ShapePart& color) {
      color.Setting("SchemeColor",
                    [](host::Shape& s, const Variant& v) { s.SetFillForeSchemeColor(Int(v)); });
    });
  });
  shape->Child("Line", [](ShapePart& line) {
    line.Setting("Visible", [](host::Shape& s, const Variant& v) { s.SetLineVisible(ToBool(v)); });
    line.Setting("Weight", [](host::Shape& s, const Variant& v) { s.SetLineWeight(ToDouble(v)); });
    line.Child("ForeColor", [](ShapePart& color) {
      color.Setting("SchemeColor",
                    [](host::Shape& s, const Variant& v) { s.SetLineForeSchemeColor(Int(v)); });
    });
  });
  shape->Child("TextFrame", [](ShapePart& frame) {
    frame.Setting("MarginLeft",
                  [](host::Shape& s, const Variant& v) { s.SetMarginLeft(ToDouble(v)); });
    frame.Setting("MarginRight",
                  [](host::Shape& s, const Variant& v) { s.SetMarginRight(ToDouble(v)); });
    frame.Setting("MarginTop",
                  [](host::Shape& s, const Variant& v) { s.SetMarginTop(ToDouble(v)); });
    frame.Setting("MarginBottom",
                  [](host::Shape& s, const Variant& v) { s.SetMarginBottom(ToDouble(v)); });
    frame.Setting("HorizontalAlignment",
                  [](host::Shape& s, const Variant& v) { s.SetHorizontalAlignment(Int(v)); });
    frame.Child("Characters", [](ShapePart& characters) {
      characters.Setting("Text", [](host::Shape& s, const Variant& v) { s.SetText(ToText(v)); });
      characters.Child("Font", [](ShapePart& font) {
        font.Setting("Size", [](host::Shape& s, const Variant& v) { s.SetFontSize(ToDouble(v)); });
        font.Setting("ColorIndex",
                     [](host::Shape& s, const Variant& v) { s.SetFontColorIndex(Int(v)); });
      });
    });
  });
  return Hand(shape);
}

class Shapes : public Part {
 public:
  Shapes(FakeApplication& app, memhost::MemWorksheet& sheet) : Part(app), sheet_(sheet) {
    Member("Count", [this](DispCall&) { return Variant::Int(sheet_.ShapesCount()); });
    Member("Item", [this](DispCall& call) {
      return Decorate(sheet_.ShapesItem(static_cast<int>(NumberArg(call, 0, "index"))));
    });
    Member("AddShape", [this](DispCall& call) {
      return Decorate(sheet_.AddShape(static_cast<int>(NumberArg(call, 0, "type")),
                                      NumberArg(call, 1, "left"), NumberArg(call, 2, "top"),
                                      NumberArg(call, 3, "width"), NumberArg(call, 4, "height")));
    });
  }

 private:
  Variant Decorate(std::unique_ptr<host::Shape> handle);
  memhost::MemWorksheet& sheet_;
};

Variant Shapes::Decorate(std::unique_ptr<host::Shape> handle) {
  return MakeShape(app_, std::move(handle));
}

class FakeWorksheet : public Part {
 public:
  FakeWorksheet(FakeApplication& app, memhost::MemWorksheet& sheet)
      : Part(app, &sheet), sheet_(sheet) {
    Member("Name", [this](DispCall&) { return Variant::Text(sheet_.Name()); });
    Member("Parent", [this](DispCall&) {
      return MakeWorkbook(app_, dynamic_cast<memhost::MemWorkbook&>(sheet_.Parent()));
    });
    Member("Select", [this](DispCall&) {
      sheet_.Select();
      return Variant();
    });
    Member("UsedRange", [this](DispCall&) { return MakeRange(app_, sheet_.UsedRange()); });
    Member("Cells", [this](DispCall&) {
      return MakeRange(app_,
                       host::Range(&sheet_, host::Area{1, 1, host::kMaxRows, host::kMaxColumns}));
    });
    Member("Range", [this](DispCall& call) {
      return MakeRange(app_, sheet_.Ref(ReferenceArg(app_, call, "_Worksheet")));
    });
    Member("Shapes", [this](DispCall&) { return Hand(new Shapes(app_, sheet_)); });
  }

 private:
  memhost::MemWorksheet& sheet_;
};

class Collection : public Part {
 public:
  Collection(FakeApplication& app, std::function<Variant(const std::string&)> item) : Part(app) {
    Member("Item",
           [item = std::move(item)](DispCall& call) { return item(TextArg(call, 0, "index")); });
  }
};

class FakeWorkbook : public Part {
 public:
  FakeWorkbook(FakeApplication& app, memhost::MemWorkbook& book) : Part(app, &book), book_(book) {
    Member("Name", [this](DispCall&) { return Variant::Text(book_.Name()); });
    Member("Activate", [this](DispCall&) {
      book_.Activate();
      return Variant();
    });
    Member("Worksheets", [this](DispCall&) {
      return Hand(new Collection(app_, [this](const std::string& name) {
        return MakeWorksheet(app_, dynamic_cast<memhost::MemWorksheet&>(book_.Worksheets(name)));
      }));
    });
    Member("FollowHyperlink", [this](DispCall& call) {
      book_.FollowHyperlink(TextArg(call, 0, "address"));
      return Variant();
    });
  }

 private:
  memhost::MemWorkbook& book_;
};

Variant MakeWorkbook(FakeApplication& app, memhost::MemWorkbook& book) {
  return app.Keep(&book, [&] { return new FakeWorkbook(app, book); });
}
Variant MakeWorksheet(FakeApplication& app, memhost::MemWorksheet& sheet) {
  return app.Keep(&sheet, [&] { return new FakeWorksheet(app, sheet); });
}
Variant MakeRange(FakeApplication& app, const host::Range& range) {
  if (range.is_nothing()) return Nothing();
  return Hand(new FakeRange(app, range));
}

// The add-in passes back ranges it got from this application.
const host::Range& RangeArg(const DispCall& call, std::size_t position, const std::string& name) {
  const Variant& arg = Required(call, position, name);
  if (arg.type() != VT_DISPATCH || V_DISPATCH(&arg.get()) == nullptr) {
    throw DispError{host::kTypeMismatch};
  }
  auto* range = dynamic_cast<FakeRange*>(V_DISPATCH(&arg.get()));
  if (range == nullptr) throw DispError{host::kTypeMismatch};
  return range->range();
}

}  // namespace

FakeApplication::FakeApplication(memhost::MemHost& host) : host_(host) {
  AlsoAnswer(kExcelApplicationIid);
  SetLocaleCheck([this](LCID lcid) { return TakesLocale(lcid); });
  auto member = [this](std::string name, Member m) {
    Add(name, [this, name, m = std::move(m)](DispCall& call) {
      CountCall();
      Notify(name);
      return m(call);
    });
  };
  member("Name", [](DispCall&) { return Variant::Text("Microsoft Excel"); });
  member("Visible", [this](DispCall&) { return Variant::Bool(host_.HasScreen()); });
  member("Hwnd", [this](DispCall&) {
    // A window handle as the host's 32-bit Long (handles are 32-bit values on 64-bit Windows too).
    HWND window = WorkbookWindow(host_.ActiveWorkbook().Name());
    return Variant::Int(static_cast<long>(reinterpret_cast<LONG_PTR>(window)));
  });
  member("Workbooks", [this](DispCall&) {
    return Hand(new Collection(*this, [this](const std::string& name) {
      auto& book = dynamic_cast<memhost::MemWorkbook&>(host_.Workbooks(name));
      if (IsClosed(book.Name())) throw DispError{host::kSubscriptOutOfRange};
      return MakeWorkbook(*this, book);
    }));
  });
  member("Worksheets", [this](DispCall&) {
    return Hand(new Collection(*this, [this](const std::string& name) {
      return MakeWorksheet(*this, dynamic_cast<memhost::MemWorksheet&>(host_.Worksheets(name)));
    }));
  });
  member("ActiveWorkbook", [this](DispCall&) {
    return MakeWorkbook(*this, dynamic_cast<memhost::MemWorkbook&>(host_.ActiveWorkbook()));
  });
  member("ActiveSheet", [this](DispCall&) {
    return MakeWorksheet(*this, dynamic_cast<memhost::MemWorksheet&>(host_.ActiveSheet()));
  });
  member("Selection", [this](DispCall&) { return MakeRange(*this, host_.Selection()); });
  member("Range", [this](DispCall& call) {
    return MakeRange(*this, host_.RangeFromReference(ReferenceArg(*this, call, "_Global")));
  });
  member("Union", [this](DispCall& call) {
    // Arg1 to Arg30, ranges of one sheet; the areas of all, in order.
    const host::Range& first = RangeArg(call, 0, "arg1");
    std::vector<host::Area> areas = first.Areas();
    for (std::size_t i = 1; i < call.args.size(); ++i) {
      const Variant& arg = call.args[i];
      if (arg.type() == VT_ERROR && V_ERROR(&arg.get()) == DISP_E_PARAMNOTFOUND) continue;
      const host::Range& more = RangeArg(call, i, "");
      if (&more.Parent() != &first.Parent()) {
        throw DispError{"Method 'Union' of object '_Global' failed"};
      }
      for (const host::Area& area : more.Areas()) areas.push_back(area);
    }
    if (call.args.size() < 2) throw DispError{"Argument not optional"};
    return MakeRange(*this, host::Range(&first.Parent(), std::move(areas)));
  });
  member("StatusBar", [this](DispCall& call) {
    if (!call.is_put()) {
      if (host_.status_bar()) return Variant::Text(*host_.status_bar());
      return Variant::Bool(false);
    }
    if (call.put->type() == VT_BOOL && V_BOOL(&call.put->get()) == VARIANT_FALSE) {
      host_.ResetStatusBar();
    } else {
      host_.SetStatusBar(ToText(*call.put));
    }
    return Variant();
  });
  member("InputBox", [this](DispCall& call) {
    const Variant* type = call.Arg(7, "type");
    if (type == nullptr || ToLong(*type) != 8) throw DispError{"only ranges are asked for"};
    const Variant* title = call.Arg(1, "title");
    const Variant* default_text = call.Arg(2, "default");
    std::optional<host::Range> answer =
        host_.InputBox(TextArg(call, 0, "prompt"), title ? ToText(*title) : "",
                       default_text ? ToText(*default_text) : "");
    if (!answer) return Variant::Bool(false);
    return MakeRange(*this, *answer);
  });
  member("CountA", [this](DispCall& call) {
    return Variant::Double(static_cast<double>(host_.CountA(RangeArg(call, 0, "arg1"))));
  });
  member("IsError", [this](DispCall& call) {
    return Variant::Bool(host_.IsError(RangeArg(call, 0, "arg1")));
  });
  member("IsText",
         [this](DispCall& call) { return Variant::Bool(host_.IsText(RangeArg(call, 0, "arg1"))); });
  member("IsLogical", [this](DispCall& call) {
    return Variant::Bool(host_.IsLogical(RangeArg(call, 0, "arg1")));
  });
  member("Intersect", [this](DispCall& call) {
    return MakeRange(*this, host_.Intersect(RangeArg(call, 0, "arg1"), RangeArg(call, 1, "arg2")));
  });
}

bool FakeApplication::TakesLocale(LCID locale) const {
  // The default locales stand for the user's, as ConvertDefaultLocale takes them.
  if (locale == LOCALE_NEUTRAL || locale == LOCALE_USER_DEFAULT ||
      locale == LOCALE_SYSTEM_DEFAULT) {
    locale = user_locale_;
  }
  return languages_.count(LANGIDFROMLCID(locale)) > 0;
}

Variant FakeApplication::Keep(const void* key, const std::function<DispatchObject*()>& make) {
  if (auto found = kept_.find(key); found != kept_.end()) return Variant::Dispatch(found->second);
  DispatchObject* object = make();
  kept_[key] = object;
  return Hand(object);
}

void FakeApplication::Track(DispatchObject* object, const void*) { objects_.insert(object); }

void FakeApplication::Untrack(DispatchObject* object, const void* key) {
  objects_.erase(object);
  if (auto found = kept_.find(key); found != kept_.end() && found->second == object) {
    kept_.erase(found);
  }
}

void FakeApplication::DisconnectKept(const void* key, const DispError& failure) {
  if (auto found = kept_.find(key); found != kept_.end()) {
    found->second->Disconnect(failure);
    kept_.erase(found);
  }
}

HWND FakeApplication::WorkbookWindow(const std::string& book) {
  HWND& window = windows_[book];
  if (window == nullptr || !IsWindow(window)) {
    window = CreateWindowExW(0, L"STATIC", Widen(book + " - Excel").c_str(), WS_OVERLAPPEDWINDOW, 0,
                             0, 320, 200, nullptr, nullptr, nullptr, nullptr);
  }
  return window;
}

FakeApplication::~FakeApplication() {
  for (auto& [book, window] : windows_) {
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
  }
}

void FakeApplication::CloseWorkbook(const std::string& name) {
  memhost::MemWorkbook* book = host_.FindWorkbook(name);
  if (book == nullptr) return;
  if (auto window = windows_.find(name); window != windows_.end()) {
    if (IsWindow(window->second)) DestroyWindow(window->second);
    windows_.erase(window);
  }
  const DispError disconnected{"", RPC_E_DISCONNECTED};
  DisconnectKept(book, disconnected);
  for (memhost::MemWorksheet* sheet : book->sheets()) DisconnectKept(sheet, disconnected);
  closed_.insert(book->Name());
}

void FakeApplication::OpenWorkbook(const std::string& name) { closed_.erase(name); }

void FakeApplication::RenameSheet(const std::string& book, const std::string& from,
                                  const std::string& to) {
  host_.FindWorkbook(book)->FindSheet(from)->data().name = to;
}

void FakeApplication::DeleteSheet(const std::string& book, const std::string& name) {
  memhost::MemWorksheet* sheet = host_.FindWorkbook(book)->FindSheet(name);
  // The host's "Object required" (run-time error 424).
  DisconnectKept(sheet, DispError{"Object required", static_cast<HRESULT>(0x800A01A8)});
  // No name a user can give: no collection finds the sheet any more.
  sheet->data().name = "[deleted " + std::to_string(++deleted_sheets_) + "]" + name;
}

void FakeApplication::DisconnectAll() {
  const DispError disconnected{"", RPC_E_DISCONNECTED};
  for (DispatchObject* object : objects_) object->Disconnect(disconnected);
  kept_.clear();
  DispatchObject::Disconnect(disconnected);
}

RecordingRibbon::RecordingRibbon() {
  Add("Invalidate", [this](DispCall&) {
    ++invalidations;
    return Variant();
  });
  Add("InvalidateControl", [this](DispCall& call) {
    const std::string id = ToText(call.args.at(0));
    invalidated_controls.push_back(id);
    if (declared_.count(id) == 0) {
      ++refused_invalidations;
      throw DispError{"", E_INVALIDARG};
    }
    return Variant();
  });
}

void RecordingRibbon::Load(const std::string& ribbon_xml) {
  declared_.clear();
  static constexpr std::string_view kId = " id=\"";
  for (std::size_t at = ribbon_xml.find(kId); at != std::string::npos;
       at = ribbon_xml.find(kId, at)) {
    at += kId.size();
    const std::size_t end = ribbon_xml.find('"', at);
    if (end == std::string::npos) break;
    declared_.insert(ribbon_xml.substr(at, end - at));
  }
}

TestControl::TestControl(std::string id) : id_(std::move(id)) {
  Add("Id", [this](DispCall&) {
    ++id_reads;
    return Variant::Text(id_);
  });
}

}  // namespace quorvane::windows::testing
