#include "platform/imageio/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/base/error.h"

namespace platform {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void Unreadable(const std::string& path) {
  throw Error(ErrorNumber::kFileAccess, "Path/File access error: the file cannot be read", path);
}

}  // namespace

std::vector<uint8_t> ReadPictureFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw Error(ErrorNumber::kFileNotFound, "File not found", path);
    }
    Unreadable(path);
  }
  if (S_ISDIR(info.st_mode)) {
    throw Error(ErrorNumber::kFileAccess, "Path/File access error: this is a folder, not a file",
                path);
  }
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) Unreadable(path);
  if (::fstat(file.get(), &info) != 0) Unreadable(path);
  if (info.st_size > kMaxPictureFileBytes) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: the file holds " + std::to_string(info.st_size >> 20) +
                    " MB, more than any picture this program can turn",
                path);
  }
  std::vector<uint8_t> bytes;
  // A regular file's size is known; anything else (a pipe) is read until it ends.
  bytes.reserve(S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0);
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Unreadable(path);
    if (got == 0) break;
    if (static_cast<int64_t>(bytes.size()) + got > kMaxPictureFileBytes) {
      throw Error(ErrorNumber::kOutOfMemory,
                  "Out of memory: the file holds more than any picture this program can turn",
                  path);
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  return bytes;
}

}  // namespace platform
