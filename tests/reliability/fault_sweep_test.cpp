// Every host call of a complete "Compare Ranges" and of a complete "Clear Formatting" is made to
// fail in turn, through the add-in's own entry points, on a sheet that carries the user's comments,
// fills and a shape of their own. After each failure: the failure surfaced (the callback's error,
// or the clearing message); no user text was lost; every cell whose fill differs from the user's
// has a memo that gives the user's fill back; no shape was left that no removal finds; the add-in
// takes the next command, and "Clear Formatting" then gives back exactly the user's sheet.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/harness.h"
#include "engine/clearing.h"
#include "reliability/faulty_host.h"
#include "reliability/sheet_state.h"

namespace quorvane::testing {
namespace {

using host::Value;

// One add-in session on a faulty host: the harness connected through the faulty application.
struct Session {
  std::unique_ptr<Harness> h = std::make_unique<Harness>();
  std::unique_ptr<FaultyApplication> faulty = std::make_unique<FaultyApplication>(h->host);
  std::unique_ptr<addin::ApplicationObject> object =
      std::make_unique<addin::ApplicationObject>(*faulty);
  memhost::MemWorksheet* sheet = nullptr;
  SheetState original;

  explicit Session(bool screen) {
    h->host.SetHasScreen(screen);
    memhost::MemWorkbook& book = h->host.AddWorkbook("Book1.xlsx");
    sheet = &book.AddSheet("Sheet1");
    FillUserSheet(*sheet);
    original = SheetState::Of(*sheet);

    h->connect.IDTExtensibility2_OnConnection(object.get(), addin::kStartup);
    h->xml = h->connect.IRibbonExtensibility_GetCustomUI("Microsoft.Excel.Workbook");
    h->Call("OnRibbonLoad", {static_cast<ribbon::RibbonUI*>(&h->ribbon)});
    h->connect.IDTExtensibility2_OnStartupComplete();
    // On a screen every candidate is flashed, which costs host calls quadratic in the lists: the
    // animated runs take the first four rows, which still hold the user's notes and fills.
    const std::string last = screen ? "4" : "7";
    h->AnswerInputBoxes({sheet->Ref("A1:A" + last), sheet->Ref("B1:B" + last)});
    h->Press("btnRange1");
    h->Press("btnRange2");
  }

  // Two lists with matches, plain mismatches, a transposition, a duplicate, a text and a hidden
  // row; the user's notes and fills on marked and unmarked cells, and a shape of the user's own.
  static void FillUserSheet(memhost::MemWorksheet& s) {
    const double a[] = {100, 123.45, 10, 30, 100, 7};
    const double b[] = {100, 132.45, 10, 40, 55, 7};
    for (int row = 1; row <= 6; ++row) {
      s.Put(row, 1, Value::Number(a[row - 1]));
      s.Put(row, 2, Value::Number(b[row - 1]));
    }
    s.Put(7, 1, Value::Text("abc"));
    s.Put(7, 2, Value::Text("12"));
    s.HideRow(6);
    s.PutComment(1, 1, "Paid in May");
    s.PutFill(1, 1, 65535, 1);  // yellow
    s.PutComment(2, 2, "Check <with the bank>");
    s.PutFill(4, 1, 255, 17);
    s.PutComment(4, 2, "ask Jo\nsecond line");
    s.PutFill(4, 2, 5296274, 1);
    s.PutComment(3, 1, "matched, untouched");
    s.PutFill(5, 2, 49407, 1);
    host::Range(&s, host::Area{1, 4, 1, 4})
        .Parent()
        .AddShape(host::kShapeRectangle, 200, 10, 40, 20)
        ->SetName("My Logo");
  }

  ribbon::DispatchResult Press(const std::string& id) { return h->CallWith("OnButtonPressed", id); }
};

// The calls of one unfailed command, counted.
std::uint64_t CallsOf(bool screen, bool clear) {
  Session s(screen);
  if (clear) s.Press("btnCompare");
  s.faulty->Arm({});
  const ribbon::DispatchResult r = s.Press(clear ? "btnClearFormating" : "btnCompare");
  EXPECT_EQ(r.status, ribbon::DispatchStatus::kOk) << r.description;
  EXPECT_TRUE(s.h->host.messages().empty());
  return s.faulty->total();
}

// Fails the n-th host call of the command and checks everything that must hold afterwards.
void FailAndCheck(bool screen, bool clear, std::uint64_t n, const std::vector<std::int32_t>& counts,
                  bool compare_again) {
  SCOPED_TRACE((clear ? "clear" : "compare") + std::string(screen ? " on a screen" : "") +
               ", failing host call " + std::to_string(n));
  Session s(screen);
  if (clear) {
    ASSERT_EQ(s.Press("btnCompare").status, ribbon::DispatchStatus::kOk);
  }
  const std::size_t messages_before = s.h->host.messages().size();

  s.faulty->Arm({std::nullopt, n});
  const ribbon::DispatchResult r = s.Press(clear ? "btnClearFormating" : "btnCompare");
  s.faulty->Disarm();
  ASSERT_TRUE(s.faulty->fired());
  SCOPED_TRACE(std::string("the failed call: ") + host::CallName(s.faulty->failed_member()));

  // The failure surfaced: the callback failed with the host's own description, or the clearing
  // pass showed its message (it reports and returns; a comparison then goes on).
  const std::vector<std::string>& messages = s.h->host.messages();
  const bool clearing_message =
      messages.size() == messages_before + 1 && messages.back() == engine::kClearFailedMessage;
  if (s.faulty->failed_member() == Call::kCommentThreaded) {
    // A failing Range.CommentThreaded is what an Excel without threaded comments gives: the cell
    // holds none, and the run goes on and marks it in full.
    EXPECT_EQ(r.status, ribbon::DispatchStatus::kOk) << r.description;
    EXPECT_FALSE(clearing_message);
  } else if (r.status == ribbon::DispatchStatus::kOk) {
    EXPECT_TRUE(clearing_message) << "the failure vanished";
  } else {
    EXPECT_EQ(r.status, ribbon::DispatchStatus::kFailed);
    EXPECT_EQ(r.description, kInjectedFailure);
    EXPECT_FALSE(clear) << "the clearing pass let an error through";
  }

  // Nothing of the user's is lost, and whatever differs can still be undone.
  const SheetState now = SheetState::Of(*s.sheet);
  ExpectRecoverable(s.original, now);

  // The add-in takes the next command, and it gives the user's sheet back.
  const std::size_t before_clear = messages.size();
  const ribbon::DispatchResult cleared = s.Press("btnClearFormating");
  EXPECT_EQ(cleared.status, ribbon::DispatchStatus::kOk) << cleared.description;
  EXPECT_EQ(messages.size(), before_clear) << messages.back();
  ExpectSameSheet(s.original, SheetState::Of(*s.sheet));

  if (compare_again) {
    ASSERT_EQ(s.Press("btnCompare").status, ribbon::DispatchStatus::kOk);
    EXPECT_EQ(messages.size(), before_clear);
    EXPECT_EQ(s.h->library.state.counters.mismatch1, counts[0]);
    EXPECT_EQ(s.h->library.state.counters.mismatch2, counts[1]);
    EXPECT_EQ(s.h->library.state.counters.transpose1, counts[2]);
  }
}

std::vector<std::int32_t> BaselineCounts(bool screen) {
  Session s(screen);
  EXPECT_EQ(s.Press("btnCompare").status, ribbon::DispatchStatus::kOk);
  const state::Counters& c = s.h->library.state.counters;
  return {c.mismatch1, c.mismatch2, c.transpose1};
}

void Sweep(bool screen, bool clear) {
  const std::uint64_t calls = CallsOf(screen, clear);
  ASSERT_GT(calls, 20u);
  std::printf("%s%s: %llu host calls\n", clear ? "clear" : "compare", screen ? " on a screen" : "",
              static_cast<unsigned long long>(calls));
  const std::vector<std::int32_t> counts = BaselineCounts(screen);
  EXPECT_GT(counts[0], 0);
  EXPECT_GT(counts[2], 0);  // the diagnosis runs too
  for (std::uint64_t n = 1; n <= calls; ++n) {
    FailAndCheck(screen, clear, n, counts, /*compare_again=*/n % 16 == 0);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FaultSweep, EveryHostCallOfACompare) { Sweep(/*screen=*/false, /*clear=*/false); }
TEST(FaultSweep, EveryHostCallOfAClear) { Sweep(/*screen=*/false, /*clear=*/true); }
// On a screen the comparison animates: candidates are flashed by setting their fill.
TEST(FaultSweep, EveryHostCallOfAnAnimatedCompare) { Sweep(/*screen=*/true, /*clear=*/false); }

// The two spots where a failure used to leave a mark behind, each hit directly.
TEST(FaultSweep, AFailureWhileACandidateIsFlashedPutsItsFillBack) {
  for (Call member : {Call::kDoEvents, Call::kSetInteriorColor, Call::kSetInteriorPattern}) {
    for (std::uint64_t n = 1; n <= 12; ++n) {
      SCOPED_TRACE(std::string(host::CallName(member)) + " #" + std::to_string(n));
      Session s(/*screen=*/true);
      s.faulty->Arm({member, n});
      s.Press("btnCompare");
      s.faulty->Disarm();
      ExpectRecoverable(s.original, SheetState::Of(*s.sheet));
    }
  }
}

TEST(FaultSweep, ARectangleThatCannotBeNamedIsNotLeftBehind) {
  for (Call member : {Call::kShapeName, Call::kShapeSetName}) {
    for (std::uint64_t n = 1; n <= 6; ++n) {
      SCOPED_TRACE(std::string(host::CallName(member)) + " #" + std::to_string(n));
      Session s(/*screen=*/false);
      s.faulty->Arm({member, n});
      s.Press("btnCompare");
      s.faulty->Disarm();
      ExpectRecoverable(s.original, SheetState::Of(*s.sheet));
    }
  }
}

}  // namespace
}  // namespace quorvane::testing
