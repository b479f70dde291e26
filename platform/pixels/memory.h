// What the machine can still give this process: the memory it has available, and the
// limits set on the process (address space, data size) or its control group.
#pragma once

#include <cstdint>

namespace platform {

// Bytes this process can still allocate, the smallest of what each limit leaves.
uint64_t MemoryHeadroom();

}  // namespace platform
