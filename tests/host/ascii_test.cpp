// ASCII case folding touches A-Z and a-z only: the bytes around them and every byte of UTF-8 text
// stay as they are, so that names differing in a non-ASCII letter's case stay different.
#include "host/ascii.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvane::host {
namespace {

TEST(Ascii, FoldsOnlyTheTwentySixLetters) {
  EXPECT_EQ(AsciiLower("AZaz@[`{09 _.xlsX"), "azaz@[`{09 _.xlsx");
  EXPECT_EQ(AsciiUpper("AZaz@[`{09 _.xlsX"), "AZAZ@[`{09 _.XLSX");
  const std::string utf8 = "\xC3\x84pfel \xC3\xA4pfel \xC3\x89t\xC3\xA9";  // Äpfel äpfel Été
  EXPECT_EQ(AsciiLower(utf8), utf8);
  EXPECT_EQ(AsciiUpper("\xC3\xA4pfel"), "\xC3\xA4PFEL");
  const std::string latin1 = "\xC0\xC9\xDE\xE0\xE9\xFE";
  EXPECT_EQ(AsciiLower(latin1), latin1);
  EXPECT_EQ(AsciiUpper(latin1), latin1);
}

TEST(Ascii, ComparesIgnoringCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("General", "gENERAL"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("General", "Genera"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("AM/PM", "am.pm"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`")) << "'@' and '`' are 32 apart but are not letters";
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x84pfel", "\xC3\xA4pfel"));
  static_assert(EqualsIgnoringAsciiCase("Ab", "aB"));
}

}  // namespace
}  // namespace quorvane::host
