#include "platform/base/error.h"

#include <cstdint>

namespace platform {

namespace {

std::string Compose(ErrorNumber number, const std::string& cause, const std::string& path) {
  std::string text = "Run-time error " + std::to_string(static_cast<int>(number)) + ": " + cause;
  if (!path.empty()) text += ": " + ReadablePath(path);
  return text;
}

// The length of the UTF-8 sequence at `at`, or 0 when it is not one (overlong forms,
// surrogates and values past U+10FFFF included).
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t value = 0, least = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
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
    if (length == 0) {
      const auto byte = static_cast<unsigned char>(bytes[at++]);
      text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
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
