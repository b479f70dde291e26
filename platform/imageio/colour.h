// Colour management: every picture leaves the reader in sRGB, as colour-managed viewers
// show it. A picture without a profile is taken as sRGB; a profile that cannot be used
// (damaged, or for another kind of data than the picture's) is passed over the same way.
#pragma once

#include <string>

#include "platform/imageio/decoded.h"

namespace platform {

// Leaves `picture` in the kBgra layout, in sRGB, its profile used and dropped.
void ConvertToSrgb(Decoded& picture);

// An sRGB ICC profile's bytes, for the files the program writes to say what they hold.
const std::string& SrgbProfile();

}  // namespace platform
