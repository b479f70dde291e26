// The program's one error type. Everything that goes wrong inside the engine or the
// platform layer is thrown as an Error and travels up to the nearest event handler,
// where the default error handling (error_report.h) reports it once.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Error numbers keep the meaning they have in the toolkit the window description
// assumes, so a report reads the same whichever layer raised it.
enum class ErrorNumber : int {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kDivisionByZero = 11,
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

// The one line a report shows: "Run-time error 53: File not found: /x/test.jpg".
std::string DescribeError(const std::exception& e);

}  // namespace platform
