// A picture file's bytes, read through its name's own bytes: a name that is not UTF-8
// (Latin-1 from an old archive) reaches the file system unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Files larger than this are refused (7) before they are read: no picture the program
// can turn needs more.
inline constexpr int64_t kMaxPictureFileBytes = int64_t{2} << 30;

// Raises, naming the path: not found (53), a folder or not readable (75), too large (7).
std::vector<uint8_t> ReadPictureFile(const std::string& path);

}  // namespace platform
