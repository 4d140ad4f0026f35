// The mismatch report of a compare: one record per marked cell, in the order the cells were
// checked, with what the diagnosis found for it; and the notices of the run, one per cell.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "state/state.h"

namespace quorvane::cli {

struct MismatchRecord {
  int range = 1;  // 1 or 2
  std::string workbook, sheet, cell;
  std::string value;  // as the cell's comment shows it
  std::string text;   // as the cell displays it
  std::int64_t count_here = 0, count_there = 0;
  // What the diagnosis found ("rounding", "transposition", "year", and from the search that
  // explains more "sign", "slide", "transposition", "split", "merge") and the partner cell's
  // external address; several findings, and a finding's several partners, are joined by "; " in the
  // order they were found, the n-th partner standing with the n-th finding.
  std::string diagnosis, partner;

  // "more here" or "fewer here", as the fill says.
  const char* Direction() const { return count_here < count_there ? "fewer here" : "more here"; }
};

struct NoticeRecord {
  std::string address;  // external address
  state::NoticeKind kind;
};

// Keeps the records of one run as the engine tells them, compactly: a run of a million items may
// mark hundreds of thousands of cells. Each mismatch keeps its sheet as a number into a short table
// of the sheets seen, its cell by row and column, and its findings in a shared list; the texts of
// the report are made from these when it is written.
class RunRecord : public state::RunListener {
 public:
  void Marked(int range, const host::Range& cell, const std::string& value, const std::string& text,
              std::int64_t count_here, std::int64_t count_there) override;
  void Noticed(const host::Range& cell, state::NoticeKind kind, const std::string& line) override;
  void Diagnosed(state::Finding finding, const host::Range& cell1,
                 const host::Range& cell2) override;
  // Each cell of the finding gets the finding once for every cell of it in the other range, as its
  // partner: a total names each of its parts, a part its total.
  void Explained(state::ExplainedKind kind, const std::vector<host::Range>& cells1,
                 const std::vector<host::Range>& cells2, const std::string& message) override;

  std::size_t size() const { return marks_.size(); }
  // The i-th mismatch, in the order the cells were marked, with every text of the report.
  MismatchRecord Mismatch(std::size_t i) const;
  const std::vector<NoticeRecord>& notices() const { return notices_; }

 private:
  struct Place {
    const host::Worksheet* sheet;
    std::string workbook, name;
    std::string prefix;  // of external addresses: "[Book1.xlsx]Sheet1!"
  };
  struct Mark {
    std::string value, text;
    std::int64_t count_here, count_there;
    std::uint32_t place;
    std::int32_t row, column;
    std::int32_t range;
    std::uint32_t first_finding = kNone, last_finding = kNone;
  };
  // One finding of a mark, with its partner cell; the next finding of the same mark, or kNone.
  struct FindingEntry {
    const char* name;
    std::uint32_t place;
    std::int32_t row, column;
    std::uint32_t next = kNone;
  };
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  std::uint32_t PlaceOf(const host::Range& cell);
  void AddFinding(const char* name, int range, const host::Range& cell, const host::Range& partner);
  static std::uint64_t Key(int range, std::uint32_t place, int row, int column);

  std::vector<Place> places_;
  std::vector<Mark> marks_;
  std::vector<FindingEntry> findings_;
  std::vector<NoticeRecord> notices_;
  std::unordered_map<std::uint64_t, std::uint32_t> by_cell_;  // Key -> index into marks_
};

// "sign", "slide", "transposition", "split" or "merge".
const char* ExplainedKindName(state::ExplainedKind kind);

// "error", "text-number", "text-date" or "threaded-comment".
const char* NoticeKindName(state::NoticeKind kind);

nlohmann::ordered_json MismatchesJson(const RunRecord& record);
nlohmann::ordered_json NoticesJson(const std::vector<NoticeRecord>& records);

// The mismatches as a CSV file: a header line, then one line per record; every field quoted, quotes
// doubled, lines ended by CR LF, UTF-8 with a byte-order mark so that the spreadsheet host reads
// the characters right.
void WriteCsv(std::ostream& out, const RunRecord& record);

}  // namespace quorvane::cli
