// The mismatch report of a compare: one record per marked cell, in the order the cells were
// checked, with what the diagnosis found for it; and the notices of the run, one per cell.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
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
  // What the diagnosis found ("rounding", "transposition", "year") and the partner cell's external
  // address; several findings are joined by "; " in the order they were found.
  std::string diagnosis, partner;

  // "more here" or "fewer here", as the fill says.
  const char* Direction() const { return count_here < count_there ? "fewer here" : "more here"; }
};

struct NoticeRecord {
  std::string address;  // external address
  engine::NoticeKind kind;
};

// Keeps the records of one run as the engine tells them.
class RunRecord : public engine::RunWatcher {
 public:
  void Marked(int range, const host::Range& cell, const std::string& value, const std::string& text,
              std::int64_t count_here, std::int64_t count_there) override;
  void Noticed(const host::Range& cell, engine::NoticeKind kind) override;
  void Diagnosed(engine::Finding finding, const host::Range& cell1,
                 const host::Range& cell2) override;

  const std::vector<MismatchRecord>& mismatches() const { return mismatches_; }
  const std::vector<NoticeRecord>& notices() const { return notices_; }

 private:
  std::vector<MismatchRecord> mismatches_;
  std::vector<NoticeRecord> notices_;
  std::map<std::pair<int, std::string>, std::size_t> by_cell_;  // (range, external address)
};

// "error", "text-number" or "text-date".
const char* NoticeKindName(engine::NoticeKind kind);

nlohmann::ordered_json MismatchesJson(const std::vector<MismatchRecord>& records);
nlohmann::ordered_json NoticesJson(const std::vector<NoticeRecord>& records);

// The records as a CSV file: a header line, then one line per record; every field quoted, quotes
// doubled, lines ended by CR LF, UTF-8 with a byte-order mark so that the spreadsheet host reads
// the characters right.
void WriteCsv(std::ostream& out, const std::vector<MismatchRecord>& records);

}  // namespace quorvane::cli
