#include "platform/pixels/pixel_allocator.h"

#include <cstdlib>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

bool Large(std::size_t bytes) {
  return bytes >= kHugePage;
}

std::atomic<std::size_t> allocations{0};

}  // namespace

std::size_t PixelAllocations() {
  return allocations.load(std::memory_order_relaxed);
}

void* AllocatePixels(std::size_t bytes) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (!Large(bytes)) return ::operator new(bytes);
  const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (memory == nullptr) throw std::bad_alloc();
#if defined(__linux__)
  // Advice only: where huge pages are off, small pages serve as before.
  madvise(memory, rounded, MADV_HUGEPAGE);
#endif
  return memory;
}

void FreePixels(void* memory, std::size_t bytes) noexcept {
  if (Large(bytes)) {
    std::free(memory);
  } else {
    ::operator delete(memory);
  }
}

}  // namespace platform
