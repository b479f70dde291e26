// Writing out the turned picture: what pDes holds, with its outside kept black, made
// transparent or cut away, in the format the file name asks for, with the metadata of
// the picture it was made from. Shared by the window's Ctrl+S and the renderer, so that
// both write the same pixels.
#pragma once

#include <optional>
#include <string>

#include "platform/imageio/encoders.h"
#include "platform/imageio/save.h"

namespace app {

class frm_Main;

enum class Outside { kBlack, kTransparent, kCrop };

// "black", "transparent", "crop".
std::optional<Outside> OutsideNamed(const std::string& name);
const char* NameOf(Outside outside);

struct SaveChoice {
  Outside outside = Outside::kBlack;
  platform::Quality quality;  // 1 to 100; none: the format's default
  bool strip = false;         // write none of the source's metadata
};

// Writes the turned picture `form` shows to `path`. Leaves the window as it was: pDes,
// the other surfaces, the bar and the label. Raises, naming `path`: a format the program
// does not write, a tiny picture turned to nothing or cropped to nothing (5); a file that
// cannot be written (75), which is then untouched. Returns what was left out of the file
// (metadata the format has no room for). A JPEG of a JPEG at a right angle (0 to 360
// by quarter turns) without a quality asked for is its coded data turned without loss
// when the picture's sides allow it; `how`, when given, says which it was and why.
platform::SaveWarnings SaveTurned(frm_Main& form, const std::string& path, const SaveChoice& choice,
                                  std::string* how = nullptr);

// The clockwise quarter turns SaveTurned would take of a JPEG's coded data when the window
// stands at `tenths` (0 unturned) and the picture's sides allow it; none, with `why` set when
// something was asked that prevents it, when it would encode.
std::optional<int> CodedQuarters(const std::string& path, const SaveChoice& choice, int tenths,
                                 std::string& why);

// The name Ctrl+S proposes: NAME-turned-A.EXT beside the picture, A the angle as the label
// shows it for `tenths` ("30", "357.4"), EXT the picture's own extension when the program
// writes that format, else png.
std::string ProposedSaveName(const std::string& picture_path, int tenths);

}  // namespace app
