// Temporary files that the program's end by a termination signal must not leave behind:
// a batch stopped with Ctrl+C, a window closed by the session's end while it saves.
#pragma once

#include <string>

namespace platform {

// While it lives, the file `name` (one this process made) is removed if the process is
// ended by SIGINT, SIGTERM, SIGHUP or SIGQUIT; the signal then has its usual effect. The
// handlers are installed at the first use; a signal the process ignores stays ignored.
// Make it before the file is created and forget it after the file is renamed or removed:
// a signal in between then finds at worst no file by that name.
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(const std::string& name);
  ~RemovedOnSignal() { Forget(); }
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

  // From now on the file is not removed on a signal (it was renamed, or removed).
  void Forget();

 private:
  int slot_ = -1;
};

}  // namespace platform
