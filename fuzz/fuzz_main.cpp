// The libFuzzer entry of one target; QUORVANE_FUZZ_TARGET names the function of fuzz_targets.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvane::fuzz::QUORVANE_FUZZ_TARGET(data, size);
  return 0;
}
