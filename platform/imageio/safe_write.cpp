#include "platform/imageio/safe_write.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/base/error.h"
#include "platform/imageio/removed_on_signal.h"

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

// The file a name stands for: a symbolic link is followed (a dangling one to the file it
// would make), so that the link stays a link and its target gets the new picture.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat link {};
    if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return at;
    std::string to(4096, '\0');
    const ssize_t length = ::readlink(at.c_str(), to.data(), to.size());
    if (length < 0 || static_cast<size_t>(length) == to.size()) RaiseWriteError(path, errno);
    to.resize(static_cast<size_t>(length));
    at = to.front() == '/' ? to : FolderOf(at) + "/" + to;
  }
  RaiseWriteError(path, ELOOP);
}

// The mode a new file gets from the process's umask, as open(2) would give it.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the file is in place; a folder that cannot be opened is no failure
  ::fsync(fd);
  ::close(fd);
}

std::string RandomLetters(size_t count) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[16] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    const auto now = static_cast<unsigned long long>(::getpid()) * 0x9E3779B97F4A7C15ull;
    std::memcpy(bytes, &now, sizeof now);
  }
  std::string letters;
  for (size_t i = 0; i < count; ++i) letters += kLetters[bytes[i % sizeof bytes] % 62];
  return letters;
}

// The temporary file: registered to go on a termination signal before it exists, and
// removed when this goes unless it was renamed over the target (Renamed) or kept.
class Temporary {
 public:
  Temporary(const std::string& folder, const std::string& name, const std::string& target) {
    long name_max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (name_max <= 0) name_max = 255;
    const std::string pattern = TemporaryPattern(name, static_cast<size_t>(name_max));
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      path_ = folder + "/" + pattern.substr(0, pattern.size() - 6) + RandomLetters(6);
      signal_.emplace(path_);
      fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
      const int error = errno;
      signal_.reset();
      RaiseWriteError(target, error);
    }
  }
  ~Temporary() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Closes it, raising what the close reports (a deferred write error).
  void Close(const std::string& target) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) RaiseWriteError(target, errno);
  }
  // It is the target now, or must stay for the user: nothing to remove.
  void Release() {
    path_.clear();
    signal_.reset();
  }

 private:
  int fd_ = -1;
  std::string path_;
  std::optional<RemovedOnSignal> signal_;
};

// The replacement gets the old file's owner and group where the system lets it (the
// superuser replacing another user's file), and its permissions; setuid and setgid
// never pass to an owner or group they were not given for.
void KeepOwnerAndMode(int fd, const struct stat* old, const std::string& target) {
  mode_t mode = old != nullptr ? old->st_mode & 07777 : NewFileMode();
  if (old != nullptr) {
    if (::fchown(fd, old->st_uid, old->st_gid) != 0)
      ::fchown(fd, static_cast<uid_t>(-1), old->st_gid);
    struct stat now {};
    if (::fstat(fd, &now) != 0) RaiseWriteError(target, errno);
    if (now.st_uid != old->st_uid) mode &= ~(S_ISUID | S_ISGID);
    if (now.st_gid != old->st_gid) mode &= ~S_ISGID;
  }
  if (::fchmod(fd, mode) != 0) RaiseWriteError(target, errno);
}

void CopyAll(int from, int to, off_t size, const std::string& target) {
  char buffer[1 << 16];
  for (off_t at = 0; at < size;) {
    const ssize_t got = ::pread(from, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) RaiseWriteError(target, got < 0 ? errno : EIO);
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::pwrite(to, buffer + done, static_cast<size_t>(got - done), at + done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) RaiseWriteError(target, errno);
      done += put;
    }
    at += got;
  }
}

// A file with several names: the new content, complete and on disk in the temporary, is
// copied into the file itself, so that every name shows it. Room for it is reserved
// first: a disk too full for it fails before the first byte of the old file changes.
void WriteInPlace(const std::string& real, const struct stat& old, Temporary& temporary,
                  const std::string& target) {
  if (::fsync(temporary.fd()) != 0) RaiseWriteError(target, errno);
  struct stat made {};
  if (::fstat(temporary.fd(), &made) != 0) RaiseWriteError(target, errno);
  const int fd = ::open(real.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) RaiseWriteError(target, errno);
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{fd};
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, made.st_size) != 0 &&
      !(errno == EOPNOTSUPP && made.st_size <= old.st_size)) {
    RaiseWriteError(target, errno);
  }
  try {
    CopyAll(temporary.fd(), fd, made.st_size, target);
    if (::ftruncate(fd, made.st_size) != 0 || ::fsync(fd) != 0) RaiseWriteError(target, errno);
  } catch (const Error& error) {
    // The old content is partly overwritten: the new one stays where it is complete.
    const std::string kept = temporary.path();
    temporary.Release();
    throw Error(ErrorNumber::kFileAccess,
                error.cause() + "; the file is damaged, the new picture is complete in " + kept,
                target);
  }
  closer.fd = -1;
  if (::close(fd) != 0) RaiseWriteError(target, errno);
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
  if (file.memory != nullptr) {
    file.memory->insert(file.memory->end(), bytes, bytes + size);
    file.written += static_cast<long long>(size);
    return;
  }
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

std::string TemporaryPattern(const std::string& name, size_t name_max) {
  constexpr size_t kAdded = 8;  // the leading dot, the dot before the letters, six letters
  const size_t kept = name_max > kAdded ? std::min(name.size(), name_max - kAdded) : 0;
  std::string pattern(1, '.');
  pattern.append(name, 0, kept);
  pattern.append(".XXXXXX");
  return pattern;
}

void WriteReplacing(const std::string& path, const std::function<void(OutputFile&)>& write) {
  const std::string real = FollowLinks(path);
  struct stat existing {};
  const bool exists = ::stat(real.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) RaiseWriteError(path, EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    throw Error(ErrorNumber::kFileAccess,
                "Path/File access error: not a regular file, so it is not replaced", path);
  }
  const std::string folder = FolderOf(real);
  Temporary temporary(folder, NameOf(real), path);
  OutputFile file;
  file.fd = temporary.fd();
  file.target = path;
  write(file);
  if (exists && existing.st_nlink > 1) {
    WriteInPlace(real, existing, temporary, path);
    return;  // the temporary goes with `temporary`
  }
  KeepOwnerAndMode(temporary.fd(), exists ? &existing : nullptr, path);
  if (::fsync(temporary.fd()) != 0) RaiseWriteError(path, errno);
  temporary.Close(path);
  if (::rename(temporary.path().c_str(), real.c_str()) != 0) RaiseWriteError(path, errno);
  temporary.Release();
  SyncFolder(folder);
}

}  // namespace platform
