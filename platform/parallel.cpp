#include "platform/parallel.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

void ForRowBands(int32_t rows, int64_t pixels, const std::function<void(int32_t, int32_t)>& body) {
  // Below this a thread costs more than it saves.
  constexpr int64_t kMinPixelsPerThread = 256 * 1024;
  // Asked once: the C library answers by reading a file every time.
  static const int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  const int32_t threads = static_cast<int32_t>(
      std::clamp<int64_t>(pixels / kMinPixelsPerThread, 1, std::min<int64_t>(cores, rows)));
  if (threads <= 1) {
    if (rows > 0) body(0, rows);
    return;
  }
  // Rows are handed out in pieces to whichever thread is free: the work per row differs
  // (a turned picture covers its middle rows widest, and bands end ragged), so fixed
  // equal shares left one thread waiting for the other.
  const int32_t piece = std::max<int32_t>(1, rows / (threads * 8));
  std::atomic<int32_t> next{0};
  auto work = [&] {
    for (int32_t first = next.fetch_add(piece); first < rows; first = next.fetch_add(piece)) {
      body(first, std::min(rows, first + piece));
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(threads - 1);
  try {
    for (int32_t i = 1; i < threads; ++i) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No thread to be had (a process limit, or memory for its stack): the threads there
    // are take the whole job between them.
  }
  work();
  for (auto& helper : helpers) helper.join();
}

}  // namespace platform
