#include "platform/parallel.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

void ForRowBands(int32_t rows, int64_t pixels, const std::function<void(int32_t, int32_t)>& body) {
  // Below this a thread costs more than it saves.
  constexpr int64_t kMinPixelsPerThread = 256 * 1024;
  // Asked once: the C library answers by reading a file every time.
  static const int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  const int32_t bands = static_cast<int32_t>(
      std::clamp<int64_t>(pixels / kMinPixelsPerThread, 1, std::min<int64_t>(cores, rows)));
  if (bands <= 1) {
    if (rows > 0) body(0, rows);
    return;
  }
  auto first = [&](int32_t i) { return static_cast<int32_t>(int64_t{rows} * i / bands); };
  std::vector<std::thread> helpers;
  helpers.reserve(bands - 1);
  int32_t i = 1;
  try {
    for (; i < bands; ++i) helpers.emplace_back(body, first(i), first(i + 1));
  } catch (const std::system_error&) {
    // No thread to be had (a process limit, or memory for its stack): this thread does
    // the bands that found no helper, after its own.
  }
  body(0, first(1));
  for (int32_t rest = i; rest < bands; ++rest) body(first(rest), first(rest + 1));
  for (auto& helper : helpers) helper.join();
}

}  // namespace platform
