#include "cli/report.h"

#include <ostream>
#include <tuple>
#include <utility>
#include <vector>

#include "host/range.h"
#include "host/worksheet.h"

namespace quorvane::cli {

namespace {

const char* FindingName(state::Finding finding) {
  switch (finding) {
    case state::Finding::kRounding:
      return "rounding";
    case state::Finding::kTransposition:
      return "transposition";
    case state::Finding::kYear:
      return "year";
  }
  return "";
}

void Append(std::string& list, const std::string& item) {
  if (!list.empty()) list += "; ";
  list += item;
}

constexpr const char* kColumns[] = {"range",     "workbook",  "sheet",      "cell",
                                    "value",     "text",      "count_here", "count_there",
                                    "direction", "diagnosis", "partner"};

std::vector<std::string> Fields(const MismatchRecord& r) {
  return {std::to_string(r.range),
          r.workbook,
          r.sheet,
          r.cell,
          r.value,
          r.text,
          std::to_string(r.count_here),
          std::to_string(r.count_there),
          r.Direction(),
          r.diagnosis,
          r.partner};
}

void CsvField(std::ostream& out, const std::string& field) {
  out << '"';
  for (const char c : field) {
    if (c == '"') out << '"';
    out << c;
  }
  out << '"';
}

}  // namespace

std::uint64_t RunRecord::Key(int range, std::uint32_t place, int row, int column) {
  // Row below 2^21, column below 2^15, range 1 or 2.
  return (static_cast<std::uint64_t>(place) << 38) | (static_cast<std::uint64_t>(range) << 36) |
         (static_cast<std::uint64_t>(row) << 15) | static_cast<std::uint64_t>(column);
}

std::uint32_t RunRecord::PlaceOf(const host::Range& cell) {
  const host::Worksheet* sheet = &cell.Parent();
  for (std::size_t i = 0; i < places_.size(); ++i) {
    if (places_[i].sheet == sheet) return static_cast<std::uint32_t>(i);
  }
  const std::string external = cell.Address(true), local = cell.Address();
  places_.push_back({sheet, cell.Parent().Parent().Name(), cell.Parent().Name(),
                     external.substr(0, external.size() - local.size())});
  return static_cast<std::uint32_t>(places_.size() - 1);
}

void RunRecord::Marked(int range, const host::Range& cell, const std::string& value,
                       const std::string& text, std::int64_t count_here, std::int64_t count_there) {
  const std::uint32_t place = PlaceOf(cell);
  by_cell_[Key(range, place, cell.row(), cell.column())] =
      static_cast<std::uint32_t>(marks_.size());
  marks_.push_back({value, text, count_here, count_there, place, cell.row(), cell.column(), range});
}

void RunRecord::Noticed(const host::Range& cell, state::NoticeKind kind,
                        const std::string& /*line*/) {
  notices_.push_back({cell.Address(true), kind});
}

void RunRecord::Diagnosed(state::Finding finding, const host::Range& cell1,
                          const host::Range& cell2) {
  AddFinding(FindingName(finding), 1, cell1, cell2);
  AddFinding(FindingName(finding), 2, cell2, cell1);
}

void RunRecord::Explained(state::ExplainedKind kind, const std::vector<host::Range>& cells1,
                          const std::vector<host::Range>& cells2, const std::string& /*message*/) {
  std::vector<std::pair<int, const host::Range*>> cells;
  for (const host::Range& cell : cells1) cells.emplace_back(1, &cell);
  for (const host::Range& cell : cells2) cells.emplace_back(2, &cell);
  for (const auto& [range, cell] : cells) {
    for (const auto& [other_range, partner] : cells) {
      if (other_range != range) AddFinding(ExplainedKindName(kind), range, *cell, *partner);
    }
  }
}

void RunRecord::AddFinding(const char* name, int range, const host::Range& cell,
                           const host::Range& partner) {
  const std::uint32_t place = PlaceOf(cell), partner_place = PlaceOf(partner);
  const auto it = by_cell_.find(Key(range, place, cell.row(), cell.column()));
  // A cell that only bears a mismatch fill, from a user or an earlier run, has no record.
  if (it == by_cell_.end()) return;
  Mark& mark = marks_[it->second];
  const auto index = static_cast<std::uint32_t>(findings_.size());
  findings_.push_back({name, partner_place, partner.row(), partner.column()});
  if (mark.last_finding == kNone) {
    mark.first_finding = index;
  } else {
    findings_[mark.last_finding].next = index;
  }
  mark.last_finding = index;
}

MismatchRecord RunRecord::Mismatch(std::size_t i) const {
  const Mark& mark = marks_[i];
  const Place& place = places_[mark.place];
  MismatchRecord record;
  record.range = mark.range;
  record.workbook = place.workbook;
  record.sheet = place.name;
  record.cell = host::ColumnLetters(mark.column) + std::to_string(mark.row);
  record.value = mark.value;
  record.text = mark.text;
  record.count_here = mark.count_here;
  record.count_there = mark.count_there;
  for (std::uint32_t f = mark.first_finding; f != kNone; f = findings_[f].next) {
    const FindingEntry& entry = findings_[f];
    Append(record.diagnosis, entry.name);
    Append(record.partner, places_[entry.place].prefix + "$" + host::ColumnLetters(entry.column) +
                               "$" + std::to_string(entry.row));
  }
  return record;
}

const char* ExplainedKindName(state::ExplainedKind kind) {
  switch (kind) {
    case state::ExplainedKind::kSign:
      return "sign";
    case state::ExplainedKind::kSlide:
      return "slide";
    case state::ExplainedKind::kTransposition:
      return "transposition";
    case state::ExplainedKind::kSplit:
      return "split";
    case state::ExplainedKind::kMerge:
      return "merge";
  }
  return "";
}

const char* NoticeKindName(state::NoticeKind kind) {
  switch (kind) {
    case state::NoticeKind::kError:
      return "error";
    case state::NoticeKind::kTextNumber:
      return "text-number";
    case state::NoticeKind::kTextDate:
      return "text-date";
    case state::NoticeKind::kThreadedComment:
      return "threaded-comment";
  }
  return "";
}

nlohmann::ordered_json MismatchesJson(const RunRecord& record) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < record.size(); ++i) {
    const MismatchRecord r = record.Mismatch(i);
    nlohmann::ordered_json item;
    item["range"] = r.range;
    item["workbook"] = r.workbook;
    item["sheet"] = r.sheet;
    item["cell"] = r.cell;
    item["value"] = r.value;
    item["text"] = r.text;
    item["count_here"] = r.count_here;
    item["count_there"] = r.count_there;
    item["direction"] = r.Direction();
    item["diagnosis"] = r.diagnosis;
    item["partner"] = r.partner;
    list.push_back(std::move(item));
  }
  return list;
}

nlohmann::ordered_json NoticesJson(const std::vector<NoticeRecord>& records) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const NoticeRecord& r : records) {
    list.push_back({{"address", r.address}, {"kind", NoticeKindName(r.kind)}});
  }
  return list;
}

void WriteCsv(std::ostream& out, const RunRecord& record) {
  out << "\xEF\xBB\xBF";
  auto line = [&out](const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i != 0) out << ',';
      CsvField(out, fields[i]);
    }
    out << "\r\n";
  };
  line(std::vector<std::string>(std::begin(kColumns), std::end(kColumns)));
  for (std::size_t i = 0; i < record.size(); ++i) line(Fields(record.Mismatch(i)));
}

}  // namespace quorvane::cli
