// A value through copies, moves and assignments from one kind to another.
#include "host/value.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quorvane::host {
namespace {

std::vector<Value> Samples() {
  return {Value(),
          Value::Number(0),
          Value::Number(-12.5),
          Value::Date(45000.25),
          Value::Text(""),
          Value::Text("short"),
          Value::Text(std::string(100, 'x')),  // longer than a string keeps in place
          Value::Logical(true),
          Value::Logical(false),
          Value::Error(CellError::kNA)};
}

TEST(ValueTest, KeepsKindAndContentThroughCopiesMovesAndAssignments) {
  const std::vector<Value> samples = Samples();
  for (const Value& a : samples) {
    for (const Value& b : samples) {
      SCOPED_TRACE(DebugString(a) + " <- " + DebugString(b));
      Value copied = a;
      copied = b;
      EXPECT_EQ(copied, b);
      EXPECT_EQ(DebugString(copied), DebugString(b));
      Value moved = a;
      Value from = b;
      moved = std::move(from);
      EXPECT_EQ(moved, b);
      EXPECT_EQ(moved.text(), b.text());
      EXPECT_EQ(moved.number(), b.number());
      Value built(std::move(moved));
      EXPECT_EQ(built, b);
      EXPECT_EQ(a == b, &a == &b) << "the samples differ from each other";
    }
    Value self = a;
    const Value& same = self;
    self = same;
    EXPECT_EQ(self, a);
  }
  // A text has no number, a number no text.
  EXPECT_EQ(Value::Text("12").number(), 0);
  EXPECT_EQ(Value::Number(12).text(), "");
  EXPECT_EQ(Value::Error(CellError::kRef).error(), CellError::kRef);
  EXPECT_TRUE(Value::Logical(true).logical());
  EXPECT_NE(Value::Text(""), Value());
  EXPECT_NE(Value::Number(0), Value());
}

}  // namespace
}  // namespace quorvane::host
