// A batch refuses, before anything is written, results that would land on each other or
// on its own pictures; --overwrite lets results replace pictures, never each other.
#include "app/batch_plan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Folder {
  std::string root = testing_support::TempDir();
  std::string operator()(const std::string& name) const {
    const std::string path = root + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    if (!fs::exists(path)) std::ofstream(path) << name;
    return path;
  }
};

TEST(PlanBatch, RefusesResultsThatCollideOrReplaceAPicture) {
  const Folder at;
  const struct {
    const char* name;
    std::vector<std::string> pictures;
    std::string out_dir;
    std::optional<std::string> format;
    bool overwrite;
    const char* says;  // nullptr: the batch may run
  } cases[] = {
      {"one name from two folders",
       {at("d1/a.jpg"), at("d2/a.jpg")},
       at.root + "/out",
       {},
       false,
       "would both be written to"},
      {"two types made one",
       {at("b.png"), at("b.gif")},
       at.root + "/out",
       {},
       false,
       "would both be written to"},
      {"one --format for two types",
       {at("c.jpg"), at("c.png")},
       at.root + "/out",
       "webp",
       false,
       "would both be written to"},
      {"collisions even with --overwrite",
       {at("d1/a.jpg"), at("d2/a.jpg")},
       at.root + "/out",
       {},
       true,
       "would both be written to"},
      {"the same picture twice",
       {at("e.jpg"), at("e.jpg")},
       at.root + "/out",
       {},
       false,
       "would both be written to"},
      {"into the pictures' own folder",
       {at("f/x.jpg"), at("f/y.png")},
       at.root + "/f",
       {},
       false,
       "would replace the picture"},
      {"onto a picture named later",
       {at("g/d1/a.jpg"), at("g/d2/a.jpg")},
       at.root + "/g/d2",
       {},
       true,
       "would both be written to"},
      {"own folder with --overwrite", {at("h/x.jpg")}, at.root + "/h", {}, true, nullptr},
      {"apart", {at("i/a.jpg"), at("i/b.jpg")}, at.root + "/out-i", {}, false, nullptr},
      {"own folder, another type", {at("j/x.jpg")}, at.root + "/j", "png", false, nullptr},
  };
  for (const auto& c : cases) {
    try {
      const auto steps = app::PlanBatch(c.pictures, c.out_dir, c.format, c.overwrite);
      EXPECT_EQ(c.says, nullptr) << c.name << ": allowed";
      EXPECT_EQ(steps.size(), c.pictures.size()) << c.name;
    } catch (const app::BatchConflict& conflict) {
      ASSERT_NE(c.says, nullptr) << c.name << ": " << conflict.what();
      EXPECT_NE(std::string(conflict.what()).find(c.says), std::string::npos)
          << c.name << ": " << conflict.what();
      // The files are named: the two pictures, or the result and the picture.
      EXPECT_NE(std::string(conflict.what()).find(c.pictures.front()), std::string::npos)
          << conflict.what();
    }
  }
}

TEST(PlanBatch, TargetsAreTheOutFolderTheStemAndTheType) {
  const Folder at;
  const auto steps = app::PlanBatch({at("p/photo.jpeg"), at("p/clip.gif")}, "out", {}, false);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].target, "out/photo.jpeg");
  EXPECT_EQ(steps[1].target, "out/clip.png");  // GIF is not written: PNG
  const auto webp = app::PlanBatch({at("q/photo.jpg")}, "o", "webp", false);
  EXPECT_EQ(webp[0].target, "o/photo.webp");
}

TEST(PlanBatch, APictureReplacedThroughAnotherNameIsReadFirst) {
  // out/b.jpg is a second name (a hard link) of the picture c/b.jpg, which comes later: with
  // --overwrite, c/b.jpg is read before a's result takes its place.
  const Folder at;
  const std::string victim = at("c/b.jpg");
  fs::create_directories(at.root + "/out");
  fs::create_hard_link(victim, at.root + "/out/a.jpg");
  const std::vector<std::string> pictures = {at("a.jpg"), victim};
  EXPECT_THROW(app::PlanBatch(pictures, at.root + "/out", {}, false), app::BatchConflict);
  const auto steps = app::PlanBatch(pictures, at.root + "/out", {}, true);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].picture, victim);
  EXPECT_EQ(steps[1].picture, pictures[0]);
}

}  // namespace
