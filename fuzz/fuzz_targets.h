// The entry points of the fuzz targets: every parser of outside input, each as one function over a
// byte string. libFuzzer drives them (fuzz/fuzz_main.cpp, preset `fuzz`); the normal test suite
// replays the seed corpora through the very same functions (tests/reliability).
//
// A function returns normally for every input, refused or not. A broken promise (an invariant of
// the parser's result) aborts, so that both the fuzzer and the replay report it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane::fuzz {

// The .xlsx reader as a whole: the bytes are a workbook file. A workbook that loads is changed
// (a fill, a note, a rectangle) and written back, and the result is read again.
void XlsxFile(const std::uint8_t* data, std::size_t size);
// The XML parts the reader reads, packed into a workbook by the target: the bytes are parts, each
// "name" + "\n" + content, separated by the line "--part--".
void XlsxParts(const std::uint8_t* data, std::size_t size);
// The comment-block and memo parsing of the clearing pass: the bytes are a comment text on a
// filled cell, restored by RestoreCellFormat; a plain user text is also marked twice, compared
// with a model of the marked comment, diagnosed and restored.
void CommentRestore(const std::uint8_t* data, std::size_t size);
// The range addresses the command-line tool accepts (ParseReference).
void RangeAddress(const std::uint8_t* data, std::size_t size);
// The host's readings of a text as a number and as a date (ReadNumber, ReadDate).
void TextConversions(const std::uint8_t* data, std::size_t size);
// The character signature of the diagnosis (SortedChars).
void SortedCharsTarget(const std::uint8_t* data, std::size_t size);
// The command-line tool's CSV reader (ReadCsv): the bytes are a CSV file, in any encoding; its
// first byte also picks the locale it is read in (odd: de-DE, even: en-US).
void CsvText(const std::uint8_t* data, std::size_t size);

// Aborts with the message when a promise does not hold.
void Require(bool holds, const char* promise);

}  // namespace quorvane::fuzz
