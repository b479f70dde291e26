#include "platform/imageio/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/base/error.h"

namespace platform {

namespace {

std::atomic<long long> fail_after{-1};

// How much is written before the disk is asked to take it: the flush before the rename
// then waits for the last of it only.
constexpr long long kSendEvery = 1 << 20;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a new file gets from the process's umask, as open(2) would give it.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the rename is done; a folder that cannot be opened is no failure
  ::fsync(fd);
  ::close(fd);
}

void Finish(const OutputFile& file, mode_t mode) {
  // Reopened by name: a writer that rewrote the file by name may have replaced it.
  const int fd = ::open(file.temporary.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) RaiseWriteError(file.target, errno);
  const bool synced = ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  const int error = errno;
  if (::close(fd) != 0 && synced) RaiseWriteError(file.target, errno);
  if (!synced) RaiseWriteError(file.target, error);
  if (::rename(file.temporary.c_str(), file.target.c_str()) != 0) {
    RaiseWriteError(file.target, errno);
  }
}

}  // namespace

void RaiseWriteError(const std::string& target, int error) {
  throw Error(ErrorNumber::kFileAccess,
              "Path/File access error: cannot write the picture (" +
                  std::string(std::strerror(error)) + ")",
              target);
}

void FailWritesAfterForTesting(long long bytes) {
  fail_after = bytes;
}

void WriteAll(OutputFile& file, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    size_t chunk = size;
    const long long left = fail_after.load();
    if (left >= 0) {
      if (left == 0) RaiseWriteError(file.target, ENOSPC);
      chunk = std::min<size_t>(chunk, static_cast<size_t>(left));
      fail_after = left - static_cast<long long>(chunk);
    }
    const ssize_t written = ::write(file.fd, bytes, chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseWriteError(file.target, errno);
    }
    bytes += written;
    size -= static_cast<size_t>(written);
    file.written += written;
  }
  if (file.written - file.sent >= kSendEvery) {
    // Starts the writing back and returns; errors surface at the final flush.
    ::sync_file_range(file.fd, file.sent, file.written - file.sent, SYNC_FILE_RANGE_WRITE);
    file.sent = file.written;
  }
}

void WriteReplacing(const std::string& path, const std::function<void(OutputFile&)>& write) {
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) RaiseWriteError(path, EISDIR);
  const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();

  OutputFile file;
  file.target = path;
  std::string pattern = FolderOf(path) + "/." + NameOf(path) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  file.fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (file.fd < 0) RaiseWriteError(path, errno);
  file.temporary = name.data();
  try {
    write(file);
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) RaiseWriteError(path, errno);
    Finish(file, mode);
  } catch (...) {
    if (file.fd >= 0) ::close(file.fd);
    ::unlink(file.temporary.c_str());
    throw;
  }
  SyncFolder(FolderOf(path));
}

}  // namespace platform
