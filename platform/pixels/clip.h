// Clipping a run of pixels that moves through a target and a source together.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// Of the run k in [0, count), the part where both target + target_step * k lies in
// [0, target_limit) and source + k in [0, source_limit): `skip` leading pixels are left
// out and `count` remain (0 when none). target_step is +1 or -1.
struct Run {
  int64_t skip = 0;
  int64_t count = 0;
};

inline Run ClipRun(int64_t target, int64_t target_step, int64_t target_limit, int64_t source,
                   int64_t source_limit, int64_t count) {
  int64_t lo = std::max<int64_t>(0, -source);
  int64_t hi = std::min<int64_t>(count, source_limit - source);
  if (target_step > 0) {
    lo = std::max(lo, -target);
    hi = std::min(hi, target_limit - target);
  } else {
    lo = std::max(lo, target - (target_limit - 1));
    hi = std::min(hi, target + 1);
  }
  return hi > lo ? Run{lo, hi - lo} : Run{0, 0};
}

}  // namespace platform
