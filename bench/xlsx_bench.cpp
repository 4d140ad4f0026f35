// Figures for the workbook files: load + save of two sheets of 10000 numbers, and a full
// `quorvane compare` of 10000 against 10000 items with 2000 mismatches (2000 notes and rectangles
// written). When openpyxl is installed, its load + save of the same file is timed once in the same
// run and the ratios are printed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/commands.h"
#include "engine/options.h"
#include "xlsx/workbook_file.h"

namespace {

namespace fs = std::filesystem;
using quorvane::host::Value;

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("quorvane_xlsx_bench_" + std::to_string(::getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

// Two sheets of 10000 numbers; the second differs from the first in 2000 rows.
fs::path Sample() {
  const fs::path path = Folder() / "sample.xlsx";
  if (fs::exists(path)) return path;
  auto file = quorvane::xlsx::WorkbookFile::New("sample.xlsx", {"Bank", "Ledger"});
  quorvane::memhost::WorkbookData data = file.data();
  for (int r = 1; r <= 10000; ++r) {
    const double amount = 1000 + r * 1.25;
    data.sheets[0].At(r, 1).value = Value::Number(amount);
    data.sheets[1].At(r, 1).value = Value::Number(r % 5 == 0 ? amount + 0.5 : amount);
  }
  quorvane::xlsx::SaveWorkbooks({{&file, &data, path}});
  return path;
}

void BM_LoadAndSave(benchmark::State& state) {
  const fs::path in = Sample();
  const fs::path out = Folder() / "copy.xlsx";
  for (auto _ : state) {
    const auto file = quorvane::xlsx::WorkbookFile::Load(in);
    auto data = file.data();
    quorvane::xlsx::SaveWorkbooks({{&file, &data, out}});
  }
}
BENCHMARK(BM_LoadAndSave)->Unit(benchmark::kMillisecond);

// `quorvane compare` of the two lists of the sample, with the ribbon's options after loading.
int CompareSample(std::ostream& out, std::ostream& err) {
  quorvane::cli::RunRequest request;
  request.book = Sample();
  request.range1 = "Bank!A1:A10000";
  request.range2 = "Ledger!A1:A10000";
  request.options = quorvane::engine::DefaultOptions();
  request.output = Folder() / "reconciled.xlsx";
  quorvane::cli::Console console{out, err};
  return quorvane::cli::Compare(request, console);
}

void BM_FullCompare(benchmark::State& state) {
  std::ostringstream out, err;
  for (auto _ : state) {
    if (CompareSample(out, err) != quorvane::cli::kExitDone) {
      state.SkipWithError(err.str().c_str());
      break;
    }
  }
}
BENCHMARK(BM_FullCompare)->Unit(benchmark::kMillisecond)->Iterations(1);

// openpyxl's load + save of the same file, in seconds; negative when openpyxl is missing.
double OpenpyxlSeconds() {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0) return -1;
  const std::string command =
      "/usr/bin/python3 -c \"import time, openpyxl; t = time.time(); "
      "wb = openpyxl.load_workbook('" +
      Sample().string() + "'); wb.save('" + (Folder() / "openpyxl.xlsx").string() +
      "'); print(time.time() - t)\"";
  FILE* pipe = ::popen(command.c_str(), "r");
  double seconds = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    ::pclose(pipe);
  }
  return seconds;
}

template <typename F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const double openpyxl = OpenpyxlSeconds();
  if (openpyxl > 0) {
    const fs::path in = Sample();
    const double ours = Seconds([&] {
      const auto file = quorvane::xlsx::WorkbookFile::Load(in);
      auto data = file.data();
      quorvane::xlsx::SaveWorkbooks({{&file, &data, Folder() / "copy.xlsx"}});
    });
    std::cout << "openpyxl load + save: " << openpyxl << " s; ours: " << ours << " s; ratio "
              << openpyxl / ours << "x\n";
    std::ostringstream out, err;
    const double compare = Seconds([&] { CompareSample(out, err); });
    std::cout << "quorvane compare (load, compare, mark, diagnose, save): " << compare
              << " s; openpyxl's load + save takes " << openpyxl / compare << "x as long\n";
  } else {
    std::cout << "openpyxl is not installed: no ratio printed\n";
  }
  benchmark::Shutdown();
  fs::remove_all(Folder());
  return 0;
}
