// The block-by-block turn held to jpegtran's -perfect transforms, byte for byte, over the
// eight of them and the samplings cameras and phones write; what it does not take is left
// for the general transform.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "platform/imageio/coded_turn.h"
#include "platform/imageio/lossless_jpeg.h"
#include "platform/imageio/picture.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/test_support.h"

namespace {

using platform::BlockTurn;

std::vector<uint8_t> Bytes(const std::string& path) {
  const std::string text = testing_support::Contents(path);
  return {text.begin(), text.end()};
}

// A scene of `width` x `height` coded by cjpeg with `options` (its sampling, say).
std::string Coded(int width, int height, const QStringList& options, const std::string& name) {
  const std::string ppm = testing_support::TempDir() + "/" + name + ".ppm";
  const std::string jpeg = testing_support::TempDir() + "/" + name + ".jpg";
  EXPECT_TRUE(hostile::Scene(width, height).save(QString::fromStdString(ppm), "PPM"));
  testing_support::RunTool("cjpeg", QStringList(options)
                                        << "-quality"
                                        << "90"
                                        << "-outfile" << QString::fromStdString(jpeg)
                                        << QString::fromStdString(ppm));
  return jpeg;
}

std::vector<uint8_t> Jpegtrans(const std::string& path, const QStringList& transform) {
  const std::string out = testing_support::TempDir() + "/jpegtran.jpg";
  testing_support::RunTool("jpegtran", QStringList(transform)
                                           << "-perfect"
                                           << "-copy"
                                           << "none"
                                           << "-outfile" << QString::fromStdString(out)
                                           << QString::fromStdString(path));
  return Bytes(out);
}

struct Transform {
  QStringList jpegtran;
  BlockTurn turn;
};

const std::vector<Transform>& AllEight() {
  static const std::vector<Transform> all{
      {{"-copy", "none"}, {false, false, false}},  // no transform at all
      {{"-flip", "horizontal"}, {false, true, false}},
      {{"-flip", "vertical"}, {false, false, true}},
      {{"-rotate", "180"}, {false, true, true}},
      {{"-transpose"}, {true, false, false}},
      {{"-rotate", "90"}, {true, false, true}},
      {{"-rotate", "270"}, {true, true, false}},
      {{"-transverse"}, {true, true, true}},
  };
  return all;
}

TEST(TurnBlocks, GivesJpegtransFileForEveryTransformAndSampling) {
  struct Sampling {
    const char* name;
    QStringList options;
  };
  for (const Sampling& s :
       {Sampling{"420", {"-sample", "2x2"}}, Sampling{"422", {"-sample", "2x1"}},
        Sampling{"440", {"-sample", "1x2"}}, Sampling{"444", {"-sample", "1x1"}},
        Sampling{"grey", {"-grayscale"}},
        Sampling{"restarts", {"-sample", "2x2", "-restart", "1"}}}) {
    // Not square, and more than one band of rows each way.
    const std::string path = Coded(416, 288, s.options, s.name);
    const std::vector<uint8_t> file = Bytes(path);
    for (const Transform& t : AllEight()) {
      SCOPED_TRACE(std::string(s.name) + " " + t.jpegtran.join(' ').toStdString());
      const auto ours = platform::TurnBlocks(file, t.turn);
      ASSERT_TRUE(ours.has_value());
      EXPECT_TRUE(*ours == Jpegtrans(path, t.jpegtran));
    }
  }
}

TEST(TurnBlocks, LeavesWhatItDoesNotTakeToTheGeneralTransform) {
  struct Case {
    const char* what;
    int width, height;
    QStringList options;
  };
  for (const Case& c : {Case{"sides not whole blocks", 70, 48, {"-sample", "2x2"}},
                        Case{"height not whole blocks", 64, 40, {"-sample", "2x2"}},
                        Case{"progressive", 64, 48, {"-progressive"}},
                        Case{"arithmetic coding", 64, 48, {"-arithmetic"}}}) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> file = Bytes(Coded(c.width, c.height, c.options, "other"));
    EXPECT_FALSE(platform::TurnBlocks(file, {true, false, true}).has_value());
  }
  // Damaged data is refused, not turned into grey.
  std::vector<uint8_t> cut = Bytes(Coded(64, 48, {}, "cut"));
  cut.resize(cut.size() / 2);
  EXPECT_FALSE(platform::TurnBlocks(cut, {true, false, true}).has_value());
  EXPECT_FALSE(platform::TurnBlocks({0xFF, 0xD8, 0xFF}, {}).has_value());
}

// A turn begun while the picture is read ahead gives what turning it when asked gives; one
// asked for that differs from it is worked out anew, not taken from it.
TEST(CodedTurnAhead, GivesWhatTurningWhenAskedGives) {
  for (const int orientation : {1, 6}) {
    QByteArray jpeg = hostile::Encoded(hostile::Scene(64, 48), "JPEG", 90);
    if (orientation != 1) jpeg = hostile::JpegWithOrientation(jpeg, orientation);
    const std::string path =
        testing_support::TempDir() + "/ahead-" + std::to_string(orientation) + ".jpg";
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpeg);
    file.close();
    const platform::Picture plain = platform::LoadPicture(path);
    for (const int ahead : {1, 2, 3}) {
      platform::PrefetchPicture(path, ahead);
      const platform::Picture read = platform::LoadPicture(path);
      ASSERT_TRUE(read.coded());
      // Orientation 6 turned by three quarters stands as stored: nothing to begin.
      EXPECT_EQ(read.coded()->ahead == nullptr, orientation == 6 && ahead == 3);
      for (const int asked : {1, 2, 3}) {
        SCOPED_TRACE("orientation " + std::to_string(orientation) + ", ahead " +
                     std::to_string(ahead) + ", asked " + std::to_string(asked));
        std::string why;
        const auto turned = platform::LosslesslyTurned(read, asked, true, why);
        const auto expected = platform::LosslesslyTurned(plain, asked, true, why);
        ASSERT_TRUE(turned && expected);
        EXPECT_TRUE(*turned == *expected);
      }
    }
  }
}

}  // namespace
