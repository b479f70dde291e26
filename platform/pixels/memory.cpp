#include "platform/pixels/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace platform {

namespace {

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

uint64_t Left(uint64_t limit, uint64_t used) {
  return limit > used ? limit - used : 0;
}

// "MemAvailable:  123456 kB" from /proc/meminfo: what can be had without swapping.
uint64_t Available() {
  std::ifstream in("/proc/meminfo");
  std::string key, unit;
  uint64_t kilobytes = 0;
  while (in >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && page > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page)
                               : kUnlimited;
}

// Fields of /proc/self/statm, in bytes: the address space and the data segment in use.
void InUse(uint64_t& address_space, uint64_t& data) {
  std::ifstream in("/proc/self/statm");
  uint64_t size = 0, resident = 0, shared = 0, text = 0, lib = 0, data_pages = 0;
  in >> size >> resident >> shared >> text >> lib >> data_pages;
  const auto page = static_cast<uint64_t>(sysconf(_SC_PAGE_SIZE));
  address_space = size * page;
  data = data_pages * page;
}

uint64_t Limit(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  return limit.rlim_cur;
}

uint64_t ReadNumber(const char* path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text == "max") return kUnlimited;
  std::istringstream number(text);
  uint64_t value = kUnlimited;
  number >> value;
  return value;
}

uint64_t ControlGroupLeft() {
  const uint64_t max = ReadNumber("/sys/fs/cgroup/memory.max");
  if (max == kUnlimited) return kUnlimited;
  const uint64_t current = ReadNumber("/sys/fs/cgroup/memory.current");
  return Left(max, current == kUnlimited ? 0 : current);
}

}  // namespace

uint64_t MemoryHeadroom() {
  uint64_t address_space = 0, data = 0;
  InUse(address_space, data);
  uint64_t headroom = Available();
  headroom = std::min(headroom, Left(Limit(RLIMIT_AS), address_space));
  headroom = std::min(headroom, Left(Limit(RLIMIT_DATA), data));
  headroom = std::min(headroom, ControlGroupLeft());
  return headroom;
}

}  // namespace platform
