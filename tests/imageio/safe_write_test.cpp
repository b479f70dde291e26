// Replacing a file keeps what it was: its links, owner, group and permissions, every name
// a hard link gives it, and no temporary is ever left, not even by a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grp.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/base/error.h"
#include "platform/imageio/safe_write.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Contents;
using testing_support::Names;

void Write(const std::string& path, const std::string& content) {
  platform::WriteReplacing(path, [&](platform::OutputFile& file) {
    platform::WriteAll(file, content.data(), content.size());
  });
}

struct stat Stat(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// Runs `body` in a child process as `uid`:`gid` (no other groups); its exit status.
int AsUser(uid_t uid, gid_t gid, const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) _exit(99);
    _exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr uid_t kOther = 64021;  // ids no account uses: the test needs none of its own
constexpr gid_t kOtherGroup = 64022;

TEST(WriteReplacing, ALinkStaysALinkAndItsTargetGetsTheContent) {
  const std::string folder = testing_support::TempDir();
  std::ofstream(folder + "/real.jpg") << "old";
  fs::create_symlink("real.jpg", folder + "/link.jpg");
  fs::create_symlink("missing.jpg", folder + "/dangling.jpg");
  fs::create_directory(folder + "/deep");
  fs::create_symlink("../link.jpg", folder + "/deep/chain.jpg");  // a link to a link
  Write(folder + "/link.jpg", "new");
  EXPECT_TRUE(fs::is_symlink(folder + "/link.jpg"));
  EXPECT_EQ(Contents(folder + "/real.jpg"), "new");
  Write(folder + "/deep/chain.jpg", "newer");
  EXPECT_TRUE(fs::is_symlink(folder + "/deep/chain.jpg"));
  EXPECT_EQ(Contents(folder + "/real.jpg"), "newer");
  Write(folder + "/dangling.jpg", "made");  // as a shell's > would: the file it names
  EXPECT_TRUE(fs::is_symlink(folder + "/dangling.jpg"));
  EXPECT_EQ(Contents(folder + "/missing.jpg"), "made");
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"dangling.jpg", "deep", "link.jpg",
                                                     "missing.jpg", "real.jpg"}));
}

TEST(WriteReplacing, EveryHardLinkShowsTheNewContent) {
  const std::string folder = testing_support::TempDir();
  std::ofstream(folder + "/a.jpg") << "old";
  fs::create_hard_link(folder + "/a.jpg", folder + "/b.jpg");
  fs::permissions(folder + "/a.jpg",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const ino_t inode = Stat(folder + "/a.jpg").st_ino;
  Write(folder + "/a.jpg", "a longer new content");
  EXPECT_EQ(Contents(folder + "/b.jpg"), "a longer new content");
  Write(folder + "/b.jpg", "short");  // shorter: nothing of the old is left at the end
  EXPECT_EQ(Contents(folder + "/a.jpg"), "short");
  EXPECT_EQ(Stat(folder + "/a.jpg").st_ino, inode);
  EXPECT_EQ(Stat(folder + "/a.jpg").st_nlink, 2u);
  EXPECT_EQ(Stat(folder + "/a.jpg").st_mode & 07777, 0640u);
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST(WriteReplacing, AHardLinkOnAFullDiskKeepsTheOldContent) {
  const testing_support::SmallDisk disk(64);
  if (!disk.mounted()) GTEST_SKIP() << "needs the superuser to mount a small tmpfs";
  std::ofstream(disk.path() + "/a.jpg") << "the old file";
  fs::create_hard_link(disk.path() + "/a.jpg", disk.path() + "/b.jpg");
  // The new content fits beside the old once, not twice: the temporary is written, the
  // room for it in the file itself is not there, and the file must stay as it was.
  const std::string content(40 * 1024, 'n');
  try {
    Write(disk.path() + "/a.jpg", content);
    ADD_FAILURE() << "a full disk was reported as success";
  } catch (const platform::Error& error) {
    EXPECT_NE(error.cause().find("No space left"), std::string::npos) << error.cause();
  }
  EXPECT_EQ(Contents(disk.path() + "/b.jpg"), "the old file");
  EXPECT_EQ(Names(disk.path()), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST(WriteReplacing, TheOwnerAndGroupAreKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser writes over another's file";
  const std::string folder = testing_support::TempDir();
  const std::string path = folder + "/theirs.jpg";
  std::ofstream(path) << "old";
  ASSERT_EQ(::chown(path.c_str(), kOther, kOtherGroup), 0);
  ASSERT_EQ(::chmod(path.c_str(), 06640), 0);  // setuid and setgid, group may read
  Write(path, "new");
  const struct stat after = Stat(path);
  EXPECT_EQ(after.st_uid, kOther);  // its owner can still read it
  EXPECT_EQ(after.st_gid, kOtherGroup);
  EXPECT_EQ(after.st_mode & 07777, 06640u);  // their own bits, on their own file
  EXPECT_EQ(Contents(path), "new");
}

TEST(WriteReplacing, SetuidAndSetgidAreDroppedWhenTheOwnerCannotBeKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs a second user, made by the superuser";
  const std::string folder = testing_support::TempDir();
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(fs::path(folder).parent_path().c_str(), 0755), 0);  // the tests' own
  const std::string path = folder + "/program.jpg";
  std::ofstream(path) << "old";
  ASSERT_EQ(::chown(path.c_str(), kOther, kOtherGroup), 0);
  ASSERT_EQ(::chmod(path.c_str(), 06777), 0);
  // Another user, who may write in the folder, replaces it: the file becomes theirs, and
  // must not become a setuid program of theirs on the first user's behalf.
  const int status = AsUser(kOther + 1, kOtherGroup + 1, [&] {
    try {
      Write(path, "new");
      return 0;
    } catch (...) {
      return 1;
    }
  });
  ASSERT_EQ(status, 0);
  const struct stat after = Stat(path);
  EXPECT_EQ(after.st_uid, kOther + 1);
  EXPECT_EQ(after.st_mode & 07777, 0777u);
  EXPECT_EQ(Contents(path), "new");
}

TEST(WriteReplacing, NamesUpToTheSystemsLimitAreWritten) {
  const std::string folder = testing_support::TempDir();
  for (const size_t length : {5u, 200u, 247u, 248u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".jpg";
    Write(folder + "/" + name, "content");
    EXPECT_EQ(Contents(folder + "/" + name), "content") << length;
  }
  EXPECT_EQ(Names(folder).size(), 5u);  // and no temporary beside them
}

TEST(TemporaryPattern, IsHiddenAndNeverLongerThanTheLimit) {
  const struct {
    size_t name, limit, expected;
  } cases[] = {{5, 255, 13}, {247, 255, 255}, {248, 255, 255}, {255, 255, 255}, {40, 20, 20}};
  for (const auto& c : cases) {
    const std::string pattern = platform::TemporaryPattern(std::string(c.name, 'x'), c.limit);
    EXPECT_EQ(pattern.size(), c.expected) << c.name;
    EXPECT_EQ(pattern.front(), '.');
    EXPECT_EQ(pattern.substr(pattern.size() - 7), ".XXXXXX");
  }
}

TEST(WriteReplacing, OnlyRegularFilesAreReplaced) {
  const std::string folder = testing_support::TempDir();
  ASSERT_EQ(::mkfifo((folder + "/pipe.png").c_str(), 0644), 0);
  fs::create_directory(folder + "/folder.png");
  for (const char* name : {"/pipe.png", "/folder.png"}) {
    EXPECT_THROW(Write(folder + name, "x"), platform::Error) << name;
  }
  EXPECT_TRUE(fs::is_fifo(folder + "/pipe.png"));
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"folder.png", "pipe.png"}));
}

TEST(WriteReplacing, ATerminationSignalWhileWritingLeavesNoTemporary) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    const std::string folder = testing_support::TempDir();
    std::ofstream(folder + "/kept.png") << "the old file";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      try {
        platform::WriteReplacing(folder + "/kept.png", [&](platform::OutputFile& file) {
          platform::WriteAll(file, "half", 4);
          (void)!::write(ready[1], "w", 1);  // the temporary exists: signal me now
          for (;;) ::pause();
        });
      } catch (...) {
      }
      _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(Names(folder).size(), 2u);  // the temporary is there while it writes
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_EQ(Names(folder), std::vector<std::string>{"kept.png"}) << signal;
    EXPECT_EQ(Contents(folder + "/kept.png"), "the old file");
  }
}

}  // namespace
