#include "host/reference.h"

#include <gtest/gtest.h>

namespace quorvane::host {
namespace {

Area Only(const char* text) {
  const std::optional<Reference> r = ParseReference(text);
  EXPECT_TRUE(r.has_value()) << text;
  if (!r) return {};
  EXPECT_EQ(r->areas.size(), 1u) << text;
  return r->areas.front();
}

TEST(ParseReferenceTest, CellsBlocksColumnsAndRows) {
  EXPECT_EQ(Only("A2"), (Area{2, 1, 2, 1}));
  EXPECT_EQ(Only("$a$2:$B$9"), (Area{2, 1, 9, 2}));
  EXPECT_EQ(Only("B9:A2"), (Area{2, 1, 9, 2}));
  EXPECT_EQ(Only("A9:B2"), (Area{2, 1, 9, 2}));
  EXPECT_EQ(Only("A:A"), (Area{1, 1, kMaxRows, 1}));
  EXPECT_EQ(Only("$C:a"), (Area{1, 1, kMaxRows, 3}));
  EXPECT_EQ(Only("3:5"), (Area{3, 1, 5, kMaxColumns}));
  EXPECT_EQ(Only("$5:$3"), (Area{3, 1, 5, kMaxColumns}));
  EXPECT_EQ(Only("XFD1048576"), (Area{kMaxRows, kMaxColumns, kMaxRows, kMaxColumns}));
  EXPECT_EQ(Only(" AA10 "), (Area{10, 27, 10, 27}));
}

TEST(ParseReferenceTest, SheetAndWorkbookPrefixes) {
  auto r = ParseReference("Sheet1!A2:A40");
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->workbook);
  EXPECT_EQ(r->sheet, "Sheet1");

  r = ParseReference("'My Sheet'!A:A");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sheet, "My Sheet");

  r = ParseReference("[Book1.xlsx]Sheet1!$A$2");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->workbook, "Book1.xlsx");
  EXPECT_EQ(r->sheet, "Sheet1");

  r = ParseReference("'[wb with ''quote''.xlsx]Sheet 1'!B2:B9");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->workbook, "wb with 'quote'.xlsx");
  EXPECT_EQ(r->sheet, "Sheet 1");
  EXPECT_EQ(r->areas.front(), (Area{2, 2, 9, 2}));

  r = ParseReference("'a,b'!A1,B2");  // a comma inside the quotes does not split
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sheet, "a,b");
  EXPECT_EQ(r->areas.size(), 2u);
}

TEST(ParseReferenceTest, SeveralAreas) {
  auto r = ParseReference("A1:A3,C1,Sheet2!D4");
  EXPECT_FALSE(r);  // a later prefix without one on the first area
  r = ParseReference("Sheet2!A1:A3,Sheet2!C1,D4");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sheet, "Sheet2");
  ASSERT_EQ(r->areas.size(), 3u);
  EXPECT_EQ(r->areas[1], (Area{1, 3, 1, 3}));
  EXPECT_FALSE(ParseReference("Sheet1!A1,Sheet2!B2"));
}

TEST(ParseReferenceTest, RejectsMalformedTexts) {
  for (const char* text : {"",
                           "A",
                           "1",
                           "A0",
                           "A1048577",
                           "XFE1",
                           "AAAA1",
                           "A1:",
                           ":A1",
                           "A1:B",
                           "A:3",
                           "A1,",
                           ",A1",
                           "A1 B2",
                           "A1::B2",
                           "$$A1",
                           "A$",
                           "A1$",
                           "Sheet1!",
                           "!A1",
                           "My Sheet!A1",
                           "'My Sheet!A1",
                           "'Sheet1'A1",
                           "[Book1.xlsx]!A1",
                           "[]Sheet1!A1",
                           "R1C1",
                           "MyName",
                           "A-1",
                           "A1.5"}) {
    EXPECT_FALSE(ParseReference(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace quorvane::host
