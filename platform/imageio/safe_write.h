// Writing a file so that a failure never costs the file that was there: the new content
// goes to a temporary file beside it, which replaces it only once complete and on disk.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// The temporary file a writer fills: an open descriptor, its name, and the name of the
// file it will become (for messages).
struct OutputFile {
  int fd = -1;
  std::string temporary;
  std::string target;
  long long written = 0;  // bytes written through WriteAll
  long long sent = 0;     // of which the disk has been asked to take
};

// Writes all of [data, data + size) or raises (75) naming the target and the system's
// reason (a full disk, a quota). What is written goes on to the disk while the writer
// goes on, so that the final flush has little left to wait for.
void WriteAll(OutputFile& file, const void* data, size_t size);

// Raises (75) naming `target`, with the system's reason for errno `error`.
[[noreturn]] void RaiseWriteError(const std::string& target, int error);

// Creates a temporary file in `path`'s folder and calls `write` to fill it; `write` may
// also reopen it by name (and may leave the descriptor at any offset). Then the temporary
// is flushed to disk and renamed over `path`, keeping an existing file's permissions.
// Whatever fails, in `write` or after it, the temporary is removed, the file at `path`
// is left as it was, and the error is raised again; errors of the system's own name
// `path`. A fault can be injected for tests (FailWritesAfterForTesting).
void WriteReplacing(const std::string& path, const std::function<void(OutputFile&)>& write);

// For tests: from now on, WriteAll fails with "no space left" once `bytes` more bytes
// have been written (a negative count turns this off). Stands in for a full disk.
void FailWritesAfterForTesting(long long bytes);

}  // namespace platform
