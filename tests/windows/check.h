// A very small test runner for the Windows test program (GoogleTest is not cross-built): named
// cases, checks that record failures and go on, and the closing line "N passed, M failed".
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace quorvane::windows::testing {

class Runner {
 public:
  static Runner& Get();
  void Add(std::string name, std::function<void()> body) {
    cases_.push_back({std::move(name), std::move(body)});
  }
  // Runs the cases whose name contains `filter` (all when empty); returns the number failed.
  int RunAll(const std::string& filter);
  void Fail(const char* file, int line, const std::string& message);

 private:
  struct Case {
    std::string name;
    std::function<void()> body;
  };
  std::vector<Case> cases_;
  int failures_in_case_ = 0;
};

struct Register {
  Register(const char* name, std::function<void()> body) { Runner::Get().Add(name, body); }
};

}  // namespace quorvane::windows::testing

#define QV_CONCAT2(a, b) a##b
#define QV_CONCAT(a, b) QV_CONCAT2(a, b)
#define TEST_CASE(name)                                                     \
  static void QV_CONCAT(TestBody_, __LINE__)();                             \
  static ::quorvane::windows::testing::Register QV_CONCAT(test_, __LINE__)( \
      name, QV_CONCAT(TestBody_, __LINE__));                                \
  static void QV_CONCAT(TestBody_, __LINE__)()

#define CHECK(condition)                                                                \
  do {                                                                                  \
    if (!(condition))                                                                   \
      ::quorvane::windows::testing::Runner::Get().Fail(__FILE__, __LINE__, #condition); \
  } while (false)

#define CHECK_EQ(actual, expected)                                                        \
  do {                                                                                    \
    const auto& qv_a = (actual);                                                          \
    const auto& qv_e = (expected);                                                        \
    if (!(qv_a == qv_e)) {                                                                \
      std::ostringstream qv_out;                                                          \
      qv_out << #actual << " == " << #expected << "\n      actual:   " << qv_a            \
             << "\n      expected: " << qv_e;                                             \
      ::quorvane::windows::testing::Runner::Get().Fail(__FILE__, __LINE__, qv_out.str()); \
    }                                                                                     \
  } while (false)

// HRESULTs are shown in hexadecimal.
#define CHECK_HR(actual, expected)                                                        \
  do {                                                                                    \
    const long qv_a = static_cast<long>(actual);                                          \
    const long qv_e = static_cast<long>(expected);                                        \
    if (qv_a != qv_e) {                                                                   \
      std::ostringstream qv_out;                                                          \
      qv_out << #actual << " gave 0x" << std::hex << static_cast<unsigned long>(qv_a)     \
             << ", expected 0x" << static_cast<unsigned long>(qv_e);                      \
      ::quorvane::windows::testing::Runner::Get().Fail(__FILE__, __LINE__, qv_out.str()); \
    }                                                                                     \
  } while (false)
