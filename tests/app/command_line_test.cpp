// File names on the command line reach the file system as the bytes given, whatever their
// encoding, each matched to its own place among the arguments.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(Arguments, AnyBytesComeBackAsGiven) {
  std::string every;
  for (int byte = 1; byte < 256; ++byte) every += static_cast<char>(byte);
  const std::string cases[] = {
      "plain.jpg",    "caf\xC3\xA9.png",
      "caf\xE9.png",  "\xFE.png",
      "\xFF.jpg",     "\xF0\x9F\x93\xB7",
      "\xED\xA0\x80",  // a surrogate written as UTF-8: not text, kept as bytes
      "\xC0\xAF",     every,
  };
  for (const std::string& bytes : cases) {
    EXPECT_EQ(app::ArgumentBytes(app::ArgumentText(bytes)), bytes);
  }
  // Two names that differ only in bytes that are not UTF-8 stay two names.
  EXPECT_NE(app::ArgumentText("\xFE.jpg"), app::ArgumentText("\xFF.jpg"));
  EXPECT_EQ(app::ArgumentText("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
}

TEST(Arguments, ValuesAndPicturesKeepTheirOwnBytes) {
  QCommandLineParser parser;
  const QCommandLineOption out("out", "", "FILE");
  parser.addOption(out);
  // The renderer used to match names by their decoded text: \xFE and \xFF both read as
  // U+FFFD, so the output's name was taken for the picture's.
  const char* argv[] = {"anyturn-render", "--out", "\xFE.jpg", "\xFF.jpg"};
  QStringList arguments;
  for (const char* argument : argv) arguments << app::ArgumentText(argument);
  ASSERT_TRUE(parser.parse(arguments));
  EXPECT_EQ(app::RawValue(parser, out), "\xFE.jpg");
  EXPECT_EQ(app::RawPositionalArguments(parser), std::vector<std::string>{"\xFF.jpg"});
}

}  // namespace
