// Test helpers of the toolkit side: picture files, the window with a picture of the test's
// choosing, reports caught instead of ending the program. The toolkit-free helpers are in
// pixels_support.h.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "platform/imageio/picture.h"
#include "platform/ui/error_report.h"
#include "tests/support/pixels_support.h"

namespace testing_support {

platform::Picture AsPicture(platform::Bitmap bitmap);

// Writes a picture file (format from the file's suffix unless `format` is given) and
// returns its path inside a fresh temporary folder.
std::string WritePicture(const platform::Bitmap& bitmap, const std::string& name,
                         const char* format = nullptr);
std::string TempDir();

// Captures reports of the default error handling instead of ending the program.
class ReportCatcher {
 public:
  ReportCatcher();
  ~ReportCatcher();
  std::vector<std::string> reports;
};

// The main window after start-up with `picture` as the loaded picture.
std::unique_ptr<app::frm_Main> StartedWindow(const platform::Bitmap& picture);

// A small file system of its own (a tmpfs of `kilobytes`), mounted in a fresh temporary
// folder while it lives: a real full disk. Needs the superuser; `mounted()` says whether
// it could be made, and tests skip without it.
class SmallDisk {
 public:
  explicit SmallDisk(int kilobytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

// The names in `folder` (no . and ..), sorted.
std::vector<std::string> Names(const std::string& folder);

// A file's bytes; empty for a file that cannot be read.
std::string Contents(const std::string& path);

// Runs a command line tool; fails the test with its output when it fails.
bool RunTool(const QString& program, const QStringList& arguments);

// Sets a surface's persistent image to `bitmap` (resizing the surface to it).
void Fill(platform::PictureBox& box, const platform::Bitmap& bitmap);

}  // namespace testing_support
