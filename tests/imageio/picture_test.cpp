// Loading pictures: formats told by content, orientation, and distinct clear errors.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <filesystem>
#include <fstream>

#include "platform/base/error.h"
#include "platform/imageio/picture.h"
#include "tests/support/test_support.h"

namespace {

using platform::ErrorNumber;
using testing_support::Crc32;
using testing_support::Numbered;

std::string WriteBytes(const std::string& name, const std::string& bytes) {
  const std::string path = testing_support::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LoadPicture, ReadsEveryFormatByContentWhateverTheName) {
  const platform::Bitmap picture = Numbered(7, 5);
  for (const char* format : {"PNG", "BMP", "PPM", "PGM", "JPEG", "ICO"}) {
    const std::string path = testing_support::WritePicture(picture, "test.jpg", format);
    const platform::Picture loaded = platform::LoadPicture(path);
    EXPECT_EQ(loaded.WidthPixels(), 7) << format;
    EXPECT_EQ(loaded.HeightPixels(), 5) << format;
    if (std::string(format) == "PNG" || std::string(format) == "BMP" ||
        std::string(format) == "PPM") {
      EXPECT_EQ(testing_support::FirstDifference(loaded.pixels(), picture), "") << format;
    }
  }
}

TEST(LoadPicture, ReadsAGif) {
  // The toolkit writes no GIF; this is a 1 x 1 red one, byte by byte.
  const std::string gif(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
      "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
      34);
  const platform::Picture loaded = platform::LoadPicture(WriteBytes("test.jpg", gif));
  ASSERT_EQ(loaded.WidthPixels(), 1);
  EXPECT_EQ(loaded.pixels().at(0, 0), 0xFFFF0000u);
}

struct BadPicture {
  const char* what;
  std::function<std::string()> make;
  ErrorNumber number;
};

TEST(LoadPicture, RefusesBadFilesWithADistinctErrorNamingThePath) {
  const std::string jpeg =
      ReadBytes(testing_support::WritePicture(testing_support::Photo(64, 64), "photo.jpg", "JPEG"));
  const std::string png =
      ReadBytes(testing_support::WritePicture(testing_support::Photo(64, 64), "photo.png", "PNG"));
  const BadPicture cases[] = {
      {"missing", [] { return testing_support::TempDir() + "/test.jpg"; },
       ErrorNumber::kFileNotFound},
      {"a folder",
       [] {
         const std::string path = testing_support::TempDir() + "/test.jpg";
         std::filesystem::create_directory(path);
         return path;
       },
       ErrorNumber::kFileAccess},
      {"empty", [] { return WriteBytes("test.jpg", ""); }, ErrorNumber::kInvalidPicture},
      {"random bytes", [] { return WriteBytes("test.jpg", std::string(300, '\x5a') + "\x01\x02"); },
       ErrorNumber::kInvalidPicture},
      {"text", [] { return WriteBytes("test.jpg", "hello, I am not a picture\n"); },
       ErrorNumber::kInvalidPicture},
      {"truncated JPEG", [&] { return WriteBytes("test.jpg", jpeg.substr(0, jpeg.size() / 2)); },
       ErrorNumber::kInvalidPicture},
      {"truncated PNG", [&] { return WriteBytes("test.jpg", png.substr(0, png.size() / 2)); },
       ErrorNumber::kInvalidPicture},
  };
  for (const auto& c : cases) {
    const std::string path = c.make();
    try {
      platform::LoadPicture(path);
      ADD_FAILURE() << c.what << ": loaded";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), c.number) << c.what << ": " << e.what();
      EXPECT_EQ(e.path(), path) << c.what;
    }
  }
}

std::string BigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A PNG whose header claims width x height pixels, with a body of a few bytes.
std::string PngClaiming(uint32_t width, uint32_t height) {
  const std::string ihdr =
      "IHDR" + BigEndian(width) + BigEndian(height) + std::string("\x08\x06\x00\x00\x00", 5);
  const std::string idat = "IDAT" + std::string(4, '\x55');
  return std::string("\x89PNG\r\n\x1a\n", 8) + BigEndian(13) + ihdr + BigEndian(Crc32(ihdr)) +
         BigEndian(4) + idat + BigEndian(Crc32(idat));
}

TEST(LoadPicture, RefusesAHugeClaimBeforeDecoding) {
  for (const uint32_t side : {60000u, 100000u}) {
    const std::string path = WriteBytes("test.jpg", PngClaiming(side, side));
    try {
      platform::LoadPicture(path);
      ADD_FAILURE() << "loaded";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::kOutOfMemory) << e.what();
      EXPECT_NE(std::string(e.what()).find(std::to_string(side) + " x " + std::to_string(side)),
                std::string::npos)
          << e.what();
    }
  }
  // A format whose reader refuses such a header itself still ends in a clear refusal.
  const std::string ppm = WriteBytes("test.jpg", "P6\n60000 60000\n255\n" + std::string(16, '\0'));
  EXPECT_THROW(platform::LoadPicture(ppm), platform::Error);
}

}  // namespace
