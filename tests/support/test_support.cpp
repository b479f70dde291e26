#include "tests/support/test_support.h"

#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/ui/picture_box.h"

namespace testing_support {

platform::Picture AsPicture(platform::Bitmap bitmap) {
  return platform::Picture(std::make_shared<const platform::Bitmap>(std::move(bitmap)));
}

std::string TempDir() {
  static QTemporaryDir dir;
  static int count = 0;
  const QString sub = dir.path() + "/" + QString::number(++count);
  QDir().mkpath(sub);
  return sub.toStdString();
}

std::string WritePicture(const platform::Bitmap& bitmap, const std::string& name,
                         const char* format) {
  const std::string path = TempDir() + "/" + name;
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_ARGB32_Premultiplied);
  const platform::ConstPixelView pixels = bitmap.Read();
  for (int32_t y = 0; y < bitmap.height(); ++y) {
    std::memcpy(image.scanLine(y), pixels.row(y), static_cast<size_t>(bitmap.width()) * 4);
  }
  EXPECT_TRUE(image.save(QString::fromStdString(path), format)) << path;
  return path;
}

ReportCatcher::ReportCatcher() {
  platform::SetFatalAction([this](const std::string& report) { reports.push_back(report); });
}

ReportCatcher::~ReportCatcher() {
  platform::SetFatalAction(nullptr);
}

std::unique_ptr<app::frm_Main> StartedWindow(const platform::Bitmap& picture) {
  auto form = std::make_unique<app::frm_Main>(WritePicture(picture, "test.png"));
  form->Form_Load();
  return form;
}

SmallDisk::SmallDisk(int kilobytes) : path_(TempDir()) {
  const std::string options = "size=" + std::to_string(kilobytes) + "k";
  mounted_ = ::geteuid() == 0 && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    ADD_FAILURE() << program.toStdString()
                  << " failed: " << process.readAllStandardError().toStdString();
    return false;
  }
  return true;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Fill(platform::PictureBox& box, const platform::Bitmap& bitmap) {
  box.SetOuterSizePixels(bitmap.width() + 2 * box.BorderPixels(),
                         bitmap.height() + 2 * box.BorderPixels());
  box.Pixels() = bitmap;
}

}  // namespace testing_support
