#include "platform/imageio/output_format.h"

#include <libheif/heif.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "platform/base/error.h"

namespace platform {

namespace {

constexpr std::array<std::pair<const char*, OutputFormat>, 13> kExtensions{{
    {"png", OutputFormat::kPng},
    {"jpg", OutputFormat::kJpeg},
    {"jpeg", OutputFormat::kJpeg},
    {"jpe", OutputFormat::kJpeg},
    {"jfif", OutputFormat::kJpeg},
    {"webp", OutputFormat::kWebp},
    {"tif", OutputFormat::kTiff},
    {"tiff", OutputFormat::kTiff},
    {"bmp", OutputFormat::kBmp},
    {"heic", OutputFormat::kHeic},
    {"heif", OutputFormat::kHeic},
    {"hif", OutputFormat::kHeic},
    {"avif", OutputFormat::kAvif},
}};

}  // namespace

std::optional<OutputFormat> OutputFormatForExtension(const std::string& extension) {
  std::string lower = extension;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const auto& [name, format] : kExtensions) {
    if (lower == name) return format;
  }
  return std::nullopt;
}

std::string ExtensionOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  // A name that starts with its only dot (".png") is hidden, not a PNG without a name.
  if (dot == std::string::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

PathParts SplitPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  PathParts parts;
  parts.folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  parts.extension = ExtensionOf(name);
  parts.stem =
      parts.extension.empty() ? name : name.substr(0, name.size() - parts.extension.size() - 1);
  return parts;
}

std::string WrittenExtension(const std::string& wanted) {
  const auto format = OutputFormatForExtension(wanted);
  return format && CanWrite(*format) ? wanted : "png";
}

std::string WrittenExtensions() {
  std::string list;
  for (const auto& [name, format] : kExtensions) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

OutputFormat OutputFormatOf(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (const auto format = OutputFormatForExtension(extension)) return *format;
  throw Error(ErrorNumber::kInvalidProcedureCall,
              "Invalid procedure call or argument: " +
                  (extension.empty() ? std::string("the file name has no extension")
                                     : "'" + extension + "' is no format this program writes") +
                  " (it writes " + WrittenExtensions() + ")",
              path);
}

bool CanWrite(OutputFormat format) {
  if (format != OutputFormat::kHeic && format != OutputFormat::kAvif) return true;
  return heif_have_encoder_for_format(format == OutputFormat::kHeic ? heif_compression_HEVC
                                                                    : heif_compression_AV1) != 0;
}

bool HoldsAlpha(OutputFormat format) {
  return format != OutputFormat::kJpeg && format != OutputFormat::kBmp;
}

}  // namespace platform
