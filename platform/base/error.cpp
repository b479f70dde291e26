#include "platform/base/error.h"

#include <algorithm>
#include <cstdint>

#include "platform/base/utf8.h"

namespace platform {

namespace {

std::string Compose(ErrorNumber number, const std::string& cause, const std::string& path) {
  std::string text = "Run-time error " + std::to_string(static_cast<int>(number)) + ": " + cause;
  if (!path.empty()) text += ": " + ReadablePath(path);
  return text;
}

}  // namespace

std::string_view ErrorTitle(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case ErrorNumber::kOverflow:
      return "Overflow";
    case ErrorNumber::kOutOfMemory:
      return "Out of memory";
    case ErrorNumber::kDivisionByZero:
      return "Division by zero";
    case ErrorNumber::kTypeMismatch:
      return "Type mismatch";
    case ErrorNumber::kFileNotFound:
      return "File not found";
    case ErrorNumber::kFileAccess:
      return "Path/File access error";
    case ErrorNumber::kInvalidPropertyValue:
      return "Invalid property value";
    case ErrorNumber::kInvalidPicture:
      return "Invalid picture";
    case ErrorNumber::kObjectNotFound:
      return "Object required";
  }
  return "Application-defined or object-defined error";
}

std::string ReadablePath(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8Length(bytes, at);
    const auto lead = static_cast<unsigned char>(bytes[at]);
    // Control characters (C0, DEL, and C1 written as UTF-8) would steer a terminal.
    const bool control =
        (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
        (length == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0);
    if (length == 0 || control) {
      for (size_t i = 0; i < std::max<size_t>(length, 1); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
      }
      continue;
    }
    // A name may hold "\x" itself; doubled, it cannot be taken for an escaped byte.
    if (bytes[at] == '\\' && at + 1 < bytes.size() && bytes[at + 1] == 'x') text += '\\';
    text.append(bytes.substr(at, length));
    at += length;
  }
  return text;
}

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
