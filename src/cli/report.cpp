#include "cli/report.h"

#include <ostream>

#include "host/range.h"
#include "host/worksheet.h"

namespace quorvane::cli {

namespace {

const char* FindingName(engine::Finding finding) {
  switch (finding) {
    case engine::Finding::kRounding:
      return "rounding";
    case engine::Finding::kTransposition:
      return "transposition";
    case engine::Finding::kYear:
      return "year";
  }
  return "";
}

void Append(std::string& list, const std::string& item) {
  if (!list.empty()) list += "; ";
  list += item;
}

// "B4" for "$B$4".
std::string Plain(std::string address) {
  std::erase(address, '$');
  return address;
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

void RunRecord::Marked(int range, const host::Range& cell, const std::string& value,
                       const std::string& text, std::int64_t count_here, std::int64_t count_there) {
  host::Worksheet& sheet = cell.Parent();
  MismatchRecord record;
  record.range = range;
  record.workbook = sheet.Parent().Name();
  record.sheet = sheet.Name();
  record.cell = Plain(cell.Address());
  record.value = value;
  record.text = text;
  record.count_here = count_here;
  record.count_there = count_there;
  by_cell_[{range, cell.Address(true)}] = mismatches_.size();
  mismatches_.push_back(std::move(record));
}

void RunRecord::Noticed(const host::Range& cell, engine::NoticeKind kind) {
  notices_.push_back({cell.Address(true), kind});
}

void RunRecord::Diagnosed(engine::Finding finding, const host::Range& cell1,
                          const host::Range& cell2) {
  const std::string address1 = cell1.Address(true), address2 = cell2.Address(true);
  for (const auto& [range, address, partner] :
       {std::tuple{1, address1, address2}, std::tuple{2, address2, address1}}) {
    const auto it = by_cell_.find({range, address});
    // A cell that only bears a mismatch fill, from a user or an earlier run, has no record.
    if (it == by_cell_.end()) continue;
    MismatchRecord& record = mismatches_[it->second];
    Append(record.diagnosis, FindingName(finding));
    Append(record.partner, partner);
  }
}

const char* NoticeKindName(engine::NoticeKind kind) {
  switch (kind) {
    case engine::NoticeKind::kError:
      return "error";
    case engine::NoticeKind::kTextNumber:
      return "text-number";
    case engine::NoticeKind::kTextDate:
      return "text-date";
  }
  return "";
}

nlohmann::ordered_json MismatchesJson(const std::vector<MismatchRecord>& records) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const MismatchRecord& r : records) {
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

void WriteCsv(std::ostream& out, const std::vector<MismatchRecord>& records) {
  out << "\xEF\xBB\xBF";
  auto line = [&out](const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i != 0) out << ',';
      CsvField(out, fields[i]);
    }
    out << "\r\n";
  };
  line(std::vector<std::string>(std::begin(kColumns), std::end(kColumns)));
  for (const MismatchRecord& r : records) line(Fields(r));
}

}  // namespace quorvane::cli
