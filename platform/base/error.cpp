#include "platform/base/error.h"

namespace platform {

namespace {

std::string Compose(ErrorNumber number, const std::string& cause, const std::string& path) {
  std::string text = "Run-time error " + std::to_string(static_cast<int>(number)) + ": " + cause;
  if (!path.empty()) text += ": " + path;
  return text;
}

}  // namespace

Error::Error(ErrorNumber number, std::string cause, std::string path)
    : std::runtime_error(Compose(number, cause, path)),
      number_(number),
      cause_(std::move(cause)),
      path_(std::move(path)) {}

std::string DescribeError(const std::exception& e) {
  if (dynamic_cast<const Error*>(&e) != nullptr) return e.what();
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
    return Compose(ErrorNumber::kOutOfMemory, "Out of memory", {});
  }
  return std::string("Internal error: ") + e.what();
}

}  // namespace platform
