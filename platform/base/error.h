// The program's one error type. Everything that goes wrong inside the engine or the
// platform layer is thrown as an Error and travels up to the nearest event handler,
// where the default error handling (error_report.h) reports it once.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// Error numbers keep the meaning they have in the toolkit the window description
// assumes, so a report reads the same whichever layer raised it.
enum class ErrorNumber : int {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kDivisionByZero = 11,
  kTypeMismatch = 13,
  kFileNotFound = 53,
  kFileAccess = 75,
  kInvalidPropertyValue = 380,
  kInvalidPicture = 481,
  kObjectNotFound = 424,
};

class Error : public std::runtime_error {
 public:
  // `cause` is a sentence for a person; `path` names the file involved, if any.
  Error(ErrorNumber number, std::string cause, std::string path = {});

  ErrorNumber number() const { return number_; }
  const std::string& cause() const { return cause_; }
  const std::string& path() const { return path_; }

 private:
  ErrorNumber number_;
  std::string cause_;
  std::string path_;
};

// The one text each number is reported with; a cause starts with it, then says more.
std::string_view ErrorTitle(ErrorNumber number);

// The one line a report shows: "Run-time error 53: File not found: /x/test.jpg". The path
// is shown readably: bytes that are not UTF-8 (a Latin-1 name) appear as \xE9.
std::string DescribeError(const std::exception& e);

// A file name's bytes as text a person can read: valid UTF-8 as it is, any other byte
// as \xHH (and a backslash that could be mistaken for one as \\).
std::string ReadablePath(std::string_view bytes);

}  // namespace platform
