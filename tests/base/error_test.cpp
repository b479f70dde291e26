#include <gtest/gtest.h>

#include <cmath>

#include "platform/base/error.h"
#include "platform/base/runtime.h"

namespace {

using platform::ErrorNumber;

TEST(ReadablePath, ShowsUtf8AsItIsAndEscapesEveryOtherByte) {
  const struct {
    std::string bytes, shown;
  } cases[] = {
      {"/home/me/test.jpg", "/home/me/test.jpg"},
      {"/photos/caf\xC3\xA9.png", "/photos/caf\xC3\xA9.png"},       // UTF-8 é
      {"/photos/caf\xE9 photo.png", "/photos/caf\\xE9 photo.png"},  // Latin-1 é
      {"\xF0\x9F\x93\xB7.jpg", "\xF0\x9F\x93\xB7.jpg"},             // four bytes: a camera
      {"\xC0\xAF", "\\xC0\\xAF"},                                   // an overlong slash
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                          // a surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},                 // past U+10FFFF
      {"cut\xE2\x82", "cut\\xE2\\x82"},                             // a sequence cut short
      {"a\\xE9", "a\\\\xE9"},  // a name that looks like an escape cannot pass for one
      {"a\\b", "a\\b"},
      // Control characters would steer the terminal a report is printed on.
      {"\x1B[2Jgone.jpg", "\\x1B[2Jgone.jpg"},
      {"line\nbreak\r\t.png", "line\\x0Abreak\\x0D\\x09.png"},
      {"del\x7F", "del\\x7F"},
      {"c1\xC2\x9B"
       "31m",
       "c1\\xC2\\x9B31m"},               // CSI as a C1 control, in UTF-8
      {"nbsp\xC2\xA0", "nbsp\xC2\xA0"},  // the first printable past C1
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ReadablePath(c.bytes), c.shown) << c.shown;
}

TEST(Error, AReportShowsThePathReadablyAndKeepsItsBytes) {
  const platform::Error error(ErrorNumber::kFileNotFound, "File not found", "/x/caf\xE9.png");
  EXPECT_STREQ(error.what(), "Run-time error 53: File not found: /x/caf\\xE9.png");
  EXPECT_EQ(error.path(), "/x/caf\xE9.png");
}

TEST(Error, ANumberIsReportedWithItsOwnTitle) {
  const struct {
    double value;
    ErrorNumber number;
  } cases[] = {{std::nan(""), ErrorNumber::kInvalidProcedureCall},
               {HUGE_VAL, ErrorNumber::kOverflow}};
  for (const auto& c : cases) {
    try {
      platform::CheckFloat(c.value);
      ADD_FAILURE() << "no error for " << c.value;
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_EQ(e.cause().rfind(platform::ErrorTitle(c.number), 0), 0u) << e.cause();
    }
  }
  EXPECT_EQ(platform::ErrorTitle(ErrorNumber::kInvalidProcedureCall),
            "Invalid procedure call or argument");
  EXPECT_EQ(platform::ErrorTitle(ErrorNumber::kTypeMismatch), "Type mismatch");
  EXPECT_EQ(platform::ErrorTitle(ErrorNumber::kObjectNotFound), "Object required");
}

}  // namespace
