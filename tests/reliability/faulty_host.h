// A host that fails on purpose: a wrapper of any host that raises a HostError at the n-th call of
// one chosen member, or at the n-th host call overall. The failure fires once; afterwards the host
// behaves normally again, as a host whose call failed would.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "host/error.h"
#include "host/wrapper.h"

namespace quorvane::testing {

using host::Call;

// The description of the injected failure.
inline constexpr const char* kInjectedFailure = "Injected host failure";

// Which call fails: the n-th (from 1) of `member`, or the n-th overall when no member is given.
struct FaultPlan {
  std::optional<Call> member;
  std::uint64_t n = 0;  // 0: never
};

class FaultyApplication : public host::ApplicationWrapper {
 public:
  using host::ApplicationWrapper::ApplicationWrapper;

  // Arms the next failure and zeroes the call counts.
  void Arm(FaultPlan plan) {
    plan_ = plan;
    fired_ = false;
    total_ = 0;
    per_member_.clear();
  }
  void Disarm() { plan_ = FaultPlan{}; }
  bool fired() const { return fired_; }
  std::uint64_t total() const { return total_; }
  Call failed_member() const { return failed_member_; }

  // Counts one call and raises the injected failure when it is the planned one.
  void BeforeCall(Call member) override {
    ++total_;
    const std::uint64_t n = ++per_member_[member];
    if (fired_ || plan_.n == 0) return;
    const bool hit = plan_.member ? (*plan_.member == member && n == plan_.n) : total_ == plan_.n;
    if (hit) {
      fired_ = true;
      failed_member_ = member;
      throw host::HostError(kInjectedFailure);
    }
  }

 private:
  FaultPlan plan_;
  bool fired_ = false;
  Call failed_member_ = Call::kCount;
  std::uint64_t total_ = 0;
  std::map<Call, std::uint64_t> per_member_;
};

}  // namespace quorvane::testing
