#include "platform/imageio/removed_on_signal.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Names are kept in fixed slots, not strings, because the handler may only make calls
// that are safe inside a signal handler: it reads the slots and calls unlink().
struct Slot {
  std::atomic<bool> used{false};
  char name[4096];
};
Slot slots[8];
struct sigaction previous[NSIG];

extern "C" void RemoveAndEnd(int signal) {
  for (Slot& slot : slots) {
    if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.name);
  }
  const struct sigaction& before = previous[signal];
  if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
    if ((before.sa_flags & SA_SIGINFO) == 0) before.sa_handler(signal);
    return;  // a handler of the program's own decides what happens next
  }
  // The signal is held while its handler runs: raised again with its usual effect, it
  // ends the program as soon as the handler returns.
  ::sigaction(signal, &before, nullptr);
  ::raise(signal);
}

void InstallOnce() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    for (const int signal : kSignals) {
      struct sigaction current {};
      ::sigaction(signal, nullptr, &current);
      if (current.sa_handler == SIG_IGN) continue;  // nohup and the like: left ignored
      previous[signal] = current;
      struct sigaction ours {};
      ours.sa_handler = RemoveAndEnd;
      sigemptyset(&ours.sa_mask);
      for (const int other : kSignals) sigaddset(&ours.sa_mask, other);
      ::sigaction(signal, &ours, nullptr);
    }
  });
}

}  // namespace

RemovedOnSignal::RemovedOnSignal(const std::string& name) {
  InstallOnce();
  if (name.size() >= sizeof(Slot::name)) return;  // cannot be held: left to the caller
  static std::mutex choosing;
  const std::lock_guard lock(choosing);
  for (int i = 0; i < static_cast<int>(std::size(slots)); ++i) {
    if (slots[i].used.load(std::memory_order_relaxed)) continue;
    std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
    slots[i].used.store(true, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void RemovedOnSignal::Forget() {
  if (slot_ >= 0) slots[slot_].used.store(false, std::memory_order_release);
  slot_ = -1;
}

}  // namespace platform
