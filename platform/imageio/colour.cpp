#include "platform/imageio/colour.h"

#include <lcms2.h>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// The profile, when it describes data of the picture's kind.
Profile UsableProfile(const Decoded& picture) {
  if (picture.icc.empty()) return nullptr;
  Profile profile(
      cmsOpenProfileFromMem(picture.icc.data(), static_cast<cmsUInt32Number>(picture.icc.size())));
  if (!profile) return nullptr;
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
  const bool fits = picture.layout == Decoded::Layout::kBgra   ? space == cmsSigRgbData
                    : picture.layout == Decoded::Layout::kGray ? space == cmsSigGrayData
                                                               : space == cmsSigCmykData;
  return fits ? std::move(profile) : nullptr;
}

cmsUInt32Number InputType(Decoded::Layout layout) {
  switch (layout) {
    case Decoded::Layout::kBgra:
      return TYPE_BGRA_8;
    case Decoded::Layout::kGray:
      return TYPE_GRAY_8;
    case Decoded::Layout::kCmyk:
      return TYPE_CMYK_8;
    case Decoded::Layout::kCmykInverted:
      return TYPE_CMYK_8_REV;
  }
  return TYPE_BGRA_8;
}

// Without a profile: grey is sRGB's grey, ink is subtracted from white.
Bitmap Unmanaged(Decoded& picture) {
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  Bitmap result(picture.width, picture.height, 0);
  auto* out = reinterpret_cast<uint8_t*>(result.WriteAll().pixels.pixels);
  const uint8_t* in = picture.Samples();
  for (size_t i = 0; i < count; ++i) {
    uint8_t* pixel = &out[i * 4];
    if (picture.layout == Decoded::Layout::kGray) {
      pixel[0] = pixel[1] = pixel[2] = in[i];
    } else {
      const bool inverted = picture.layout == Decoded::Layout::kCmykInverted;
      const auto ink = [&](int channel) {
        const int value = in[i * 4 + channel];
        return inverted ? 255 - value : value;
      };
      const int white = 255 - ink(3);
      for (int c = 0; c < 3; ++c) pixel[2 - c] = static_cast<uint8_t>((255 - ink(c)) * white / 255);
    }
    pixel[3] = 255;
  }
  return result;
}

}  // namespace

void ConvertToSrgb(Decoded& picture) {
  Profile profile = UsableProfile(picture);
  picture.icc.clear();
  if (!profile) {
    if (picture.layout != Decoded::Layout::kBgra) picture.four = Unmanaged(picture);
    picture.layout = Decoded::Layout::kBgra;
    return;
  }
  const Profile srgb(cmsCreate_sRGBProfile());
  const bool alpha = picture.layout == Decoded::Layout::kBgra;
  const Transform transform(cmsCreateTransform(profile.get(), InputType(picture.layout), srgb.get(),
                                               TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                               alpha ? cmsFLAGS_COPY_ALPHA : 0));
  if (!transform) {  // a profile lcms cannot build a transform from is passed over too
    if (!alpha) picture.four = Unmanaged(picture);
    picture.layout = Decoded::Layout::kBgra;
    return;
  }
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  if (alpha) {
    uint8_t* samples = picture.Samples();
    cmsDoTransform(transform.get(), samples, samples, static_cast<cmsUInt32Number>(count));
    return;
  }
  // Opaque: the transform writes colour only, so the alpha bytes start out full.
  Bitmap out(picture.width, picture.height, 0xFF000000);
  cmsDoTransform(transform.get(), picture.Samples(), out.Write().pixels,
                 static_cast<cmsUInt32Number>(count));
  picture.four = std::move(out);
  picture.grey.clear();
  picture.layout = Decoded::Layout::kBgra;
}

const std::string& SrgbProfile() {
  static const std::string bytes = [] {
    const Profile profile(cmsCreate_sRGBProfile());
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return std::string();
    std::string saved(size, '\0');
    if (!cmsSaveProfileToMem(profile.get(), saved.data(), &size)) return std::string();
    // The header's creation date (bytes 24 to 35) is the moment of saving: fixed, so that
    // the same picture always makes the same file. The profile's checksum (84 to 99) is
    // left out, as the format allows, since it would cover the date.
    constexpr unsigned char kDate[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    if (saved.size() >= 100) {
      std::copy(std::begin(kDate), std::end(kDate), saved.begin() + 24);
      std::fill(saved.begin() + 84, saved.begin() + 100, '\0');
    }
    return saved;
  }();
  return bytes;
}

}  // namespace platform
