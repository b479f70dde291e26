// Writing a file so that a failure never costs the file that was there: the new content
// goes to a temporary file beside it, which replaces it only once complete and on disk,
// and the replacement is what the old file was: the same owner, group and permissions,
// reached through the same links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Where a writer's bytes go: the temporary file (an open descriptor), or memory when
// `memory` is set (an encoder's output that the metadata step rewrites before it goes
// to the file).
struct OutputFile {
  int fd = -1;
  std::string target;  // the name the user gave, for messages
  std::vector<uint8_t>* memory = nullptr;
  long long written = 0;  // bytes written through WriteAll
  long long sent = 0;     // of which the disk has been asked to take
};

// Writes all of [data, data + size) or raises (75) naming the target and the system's
// reason (a full disk, a quota). What is written goes on to the disk while the writer
// goes on, so that the final flush has little left to wait for.
void WriteAll(OutputFile& file, const void* data, size_t size);

// Raises (75) naming `target`, with the system's reason for errno `error`.
[[noreturn]] void RaiseWriteError(const std::string& target, int error);

// Calls `write` to fill a temporary file in the folder of the file `path` names (a
// symbolic link followed to the file it points at), then flushes it to disk and renames
// it over that file, which keeps its owner, group and permissions (setuid and setgid
// dropped where the owner or group cannot be kept). A file with several hard links is
// instead written in place, once the complete new content is on disk and room for it is
// reserved, so that every link shows the new picture. Whatever fails, in `write` or
// after it, the temporary is removed, the file at `path` is left as it was, and the
// error is raised again; errors of the system's own name `path`. A termination signal
// (SIGINT, SIGTERM, SIGHUP, SIGQUIT) while a temporary exists removes it before the
// program ends. A fault can be injected for tests (FailWritesAfterForTesting).
void WriteReplacing(const std::string& path, const std::function<void(OutputFile&)>& write);

// The temporary's name for a file named `name` (no folder): hidden, unique once its
// X's are replaced, and never longer than `name_max` bytes.
std::string TemporaryPattern(const std::string& name, size_t name_max);

// For tests: from now on, WriteAll fails with "no space left" once `bytes` more bytes
// have been written to a file (a negative count turns this off). Stands in for a full
// disk.
void FailWritesAfterForTesting(long long bytes);

}  // namespace platform
