// The picture formats the program writes, told by the file name's extension.
#pragma once

#include <optional>
#include <string>

namespace platform {

enum class OutputFormat { kPng, kJpeg, kWebp, kTiff, kBmp, kHeic, kAvif };

// The format an extension ("jpg", "PNG", ...) names, if the program writes it.
std::optional<OutputFormat> OutputFormatForExtension(const std::string& extension);

// The extension of a path's last name, without its dot; empty when it has none.
std::string ExtensionOf(const std::string& path);

// A path split around its last name's extension: "/a/b.c.jpg" is "/a/", "b.c", "jpg".
struct PathParts {
  std::string folder;  // with its closing slash; empty for a bare name
  std::string stem;
  std::string extension;
};
PathParts SplitPath(const std::string& path);

// `wanted` when the program writes that format on this machine, else "png": the
// extension to give a picture made from one of another type.
std::string WrittenExtension(const std::string& wanted);

// The format `path`'s extension names, or raises (5) naming the extension and the
// formats that are written.
OutputFormat OutputFormatOf(const std::string& path);

// Whether this machine can write the format: HEIC and AVIF need libheif's encoders.
bool CanWrite(OutputFormat format);

// Whether the format keeps transparency; without it, the outside is written black.
bool HoldsAlpha(OutputFormat format);

// The formats written, for messages: "png, jpg, ...".
std::string WrittenExtensions();

}  // namespace platform
