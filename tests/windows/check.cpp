#include "check.h"

#include <chrono>
#include <cstdio>
#include <exception>

namespace quorvane::windows::testing {

Runner& Runner::Get() {
  static Runner runner;
  return runner;
}

void Runner::Fail(const char* file, int line, const std::string& message) {
  ++failures_in_case_;
  std::printf("  %s:%d: check failed: %s\n", file, line, message.c_str());
  std::fflush(stdout);
}

int Runner::RunAll(const std::string& filter) {
  int passed = 0;
  int failed = 0;
  for (Case& c : cases_) {
    if (!filter.empty() && c.name.find(filter) == std::string::npos) continue;
    std::printf("[ RUN  ] %s\n", c.name.c_str());
    std::fflush(stdout);
    failures_in_case_ = 0;
    const auto start = std::chrono::steady_clock::now();
    try {
      c.body();
    } catch (const std::exception& error) {
      Fail(__FILE__, __LINE__, std::string("exception: ") + error.what());
    } catch (...) {
      Fail(__FILE__, __LINE__, "unknown exception");
    }
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    if (failures_in_case_ == 0) {
      ++passed;
      std::printf("[  OK  ] %s (%lld ms)\n", c.name.c_str(), ms);
    } else {
      ++failed;
      std::printf("[ FAIL ] %s (%lld ms)\n", c.name.c_str(), ms);
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed;
}

}  // namespace quorvane::windows::testing
