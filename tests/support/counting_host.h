// A host that counts its calls: a wrapper of any host that tallies every call by member, for tests
// and measurements that bound how often a run asks the host.
#pragma once

#include <array>
#include <cstdint>
#include <numeric>

#include "host/wrapper.h"

namespace quorvane::testing {

class CountingApplication : public host::ApplicationWrapper {
 public:
  using host::ApplicationWrapper::ApplicationWrapper;

  std::uint64_t count(host::Call member) const { return counts_[static_cast<int>(member)]; }
  std::uint64_t total() const {
    return std::accumulate(counts_.begin(), counts_.end(), std::uint64_t{0});
  }
  void Reset() { counts_.fill(0); }

  void BeforeCall(host::Call member) override { ++counts_[static_cast<int>(member)]; }

 private:
  std::array<std::uint64_t, static_cast<int>(host::Call::kCount)> counts_{};
};

}  // namespace quorvane::testing
