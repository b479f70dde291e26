// Memory for pixel stores. Large stores are placed on 2 MB boundaries and offered to the
// kernel for huge pages: the turned walks cross a source row (a new 4 KB page) every
// pixel or two, and with small pages the address translations cost more than the
// blending itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>
#include <utility>

namespace platform {

void* AllocatePixels(std::size_t bytes);
void FreePixels(void* memory, std::size_t bytes) noexcept;
// How many pixel stores have been allocated so far: steady turning allocates none.
std::size_t PixelAllocations();

template <typename T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <typename U>
  PixelAllocator(const PixelAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocatePixels(count * sizeof(T)));
  }
  void deallocate(T* memory, std::size_t count) noexcept { FreePixels(memory, count * sizeof(T)); }
  // A new store's pixels are left unwritten: whoever makes it writes every one (a decoder,
  // the evaluator), so no page is touched twice.
  template <typename U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const PixelAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace platform
