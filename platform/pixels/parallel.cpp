#include "platform/pixels/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

namespace {

// Helper threads kept for the life of the process. A turn shares out three or four jobs,
// and starting a thread for each cost 50-100 us here, against some 20 us to wake one that
// waits.
class Crew {
 public:
  static Crew& Shared() {
    static Crew crew;
    return crew;
  }

  Crew() = default;
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;
  ~Crew() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) thread.join();
  }

  // Runs `work` on this thread and on up to `helpers` of the crew's threads, and returns
  // once every thread that took part is out of it. `work` must not throw. Returns false,
  // running nothing, while the crew is on another job (one started inside a job, or from
  // another thread): the caller then does the work alone.
  bool Run(int32_t helpers, const std::function<void()>& work) {
    if (busy_.exchange(true, std::memory_order_acquire)) return false;
    {
      std::lock_guard lock(mutex_);
      Hire(helpers);
      job_ = &work;
      ++generation_;
      open_ = std::min<int32_t>(helpers, static_cast<int32_t>(threads_.size()));
    }
    wake_.notify_all();
    work();
    {
      std::unique_lock lock(mutex_);
      // A helper that has not woken by now would find nothing left to do: it sleeps on.
      open_ = 0;
      done_.wait(lock, [&] { return running_ == 0; });
      job_ = nullptr;
    }
    busy_.store(false, std::memory_order_release);
    return true;
  }

 private:
  // Called with mutex_ held. Threads are started when first wanted, so a program that
  // never shares a job has none; when none can be had, the ones there are do the work.
  void Hire(int32_t wanted) {
    try {
      while (static_cast<int32_t>(threads_.size()) < wanted)
        threads_.emplace_back([this] { Serve(); });
    } catch (const std::system_error&) {
    }
  }

  void Serve() {
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return quit_ || (open_ > 0 && generation_ != seen); });
      if (quit_) return;
      seen = generation_;
      --open_;
      ++running_;
      const std::function<void()>* job = job_;
      lock.unlock();
      (*job)();
      lock.lock();
      if (--running_ == 0) done_.notify_all();
    }
  }

  std::atomic<bool> busy_{false};  // a job is on; a flag, not a mutex, so that nesting is safe
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  const std::function<void()>* job_ = nullptr;
  uint64_t generation_ = 0;  // one per job, so that no helper takes the same job twice
  int32_t open_ = 0;         // helpers that may still join the current job
  int32_t running_ = 0;      // helpers inside it
  bool quit_ = false;
};

std::atomic<int> failing_band{0};

// body(first, last), or the failure a test asked for.
void RunBand(const std::function<void(int32_t, int32_t)>& body, int32_t first, int32_t last) {
  if (failing_band.load(std::memory_order_relaxed) > 0 && failing_band.fetch_sub(1) == 1) {
    throw std::runtime_error("a band failed, as the test asked");
  }
  body(first, last);
}

}  // namespace

void FailBandForTesting(int n) {
  failing_band.store(n);
}

void ForRowBands(int32_t rows, int64_t pixels, const std::function<void(int32_t, int32_t)>& body) {
  // Below this a thread costs more than it saves.
  constexpr int64_t kMinPixelsPerThread = 256 * 1024;
  // Asked once: the C library answers by reading a file every time.
  static const int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  const int32_t threads = static_cast<int32_t>(
      std::clamp<int64_t>(pixels / kMinPixelsPerThread, 1, std::min<int64_t>(cores, rows)));
  if (threads <= 1) {
    if (rows > 0) RunBand(body, 0, rows);
    return;
  }
  // Rows are handed out in pieces to whichever thread is free: the work per row differs
  // (a turned picture covers its middle rows widest, and bands end ragged), so fixed
  // equal shares left one thread waiting for the other.
  const int32_t piece = std::max<int32_t>(1, rows / (threads * 8));
  std::atomic<int32_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  const std::function<void()> work = [&] {
    try {
      for (int32_t first = next.fetch_add(piece); first < rows; first = next.fetch_add(piece)) {
        RunBand(body, first, std::min(rows, first + piece));
      }
    } catch (...) {
      // The first failure is the one reported; the rows not yet handed out are dropped.
      next.store(rows);
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
  if (!Crew::Shared().Run(threads - 1, work)) work();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace platform
