#include "app/save_turned.h"

#include "app/angle_tenths.h"
#include "app/frm_main.h"
#include "app/outside.h"
#include "platform/base/error.h"
#include "platform/imageio/lossless_jpeg.h"
#include "platform/imageio/output_format.h"
#include "platform/imageio/save.h"

namespace app {

std::optional<Outside> OutsideNamed(const std::string& name) {
  if (name == "black") return Outside::kBlack;
  if (name == "transparent") return Outside::kTransparent;
  if (name == "crop") return Outside::kCrop;
  return std::nullopt;
}

const char* NameOf(Outside outside) {
  switch (outside) {
    case Outside::kTransparent:
      return "transparent";
    case Outside::kCrop:
      return "crop";
    case Outside::kBlack:
      break;
  }
  return "black";
}

namespace {

// How much of each pixel of pDes the turned picture covers: the same turn of an opaque
// white picture of the same size, which is pDes's image with the picture replaced by white
// wherever it is read (pSrc's image, and the picture itself where it is shown unturned).
platform::Bitmap Coverage(const frm_Main& form) {
  const platform::Image& source = form.pSrc.Pixels().image();
  const platform::Image& picture = form.pSrc.Picture().pixels().image();
  // Bilinear: a flat picture turns to the same coverage either way, and sooner.
  return platform::Bitmap(platform::WithResampling(
      platform::Replaced(form.pDes.Pixels().image(), {source.get(), picture.get()},
                         {platform::SolidImage(source->width(), source->height(), 0xFFFFFFFFu),
                          platform::SolidImage(picture->width(), picture->height(), 0xFFFFFFFFu)}),
      platform::Resampling::kBilinear));
}

// The turned picture as the picture's own JPEG data turned in its coded form, when the
// save is a JPEG of a right angle that encoding would only make worse; none, with `why`,
// otherwise.
std::optional<std::vector<uint8_t>> Lossless(const frm_Main& form, const std::string& path,
                                             const SaveChoice& choice, std::string& why) {
  const std::optional<int> quarters =
      CodedQuarters(path, choice, form.Turned() ? form.Tenths() : 0, why);
  if (!quarters) return std::nullopt;
  const platform::Picture& picture = form.pSrc.Picture();
  const bool across = *quarters % 2 == 1;
  const platform::Bitmap& turned = form.pDes.Pixels();
  if (turned.width() != (across ? picture.HeightPixels() : picture.WidthPixels()) ||
      turned.height() != (across ? picture.WidthPixels() : picture.HeightPixels())) {
    why = "the window does not hold the picture as it was read";
    return std::nullopt;
  }
  return platform::LosslesslyTurned(picture, *quarters, choice.strip, why);
}

[[noreturn]] void NothingToWrite(const std::string& path, const std::string& why) {
  throw platform::Error(platform::ErrorNumber::kInvalidProcedureCall,
                        "Invalid procedure call or argument: " + why, path);
}

}  // namespace

std::optional<int> CodedQuarters(const std::string& path, const SaveChoice& choice, int tenths,
                                 std::string& why) {
  if (platform::OutputFormatOf(path) != platform::OutputFormat::kJpeg) return std::nullopt;
  if (tenths % 900 != 0) return std::nullopt;
  if (choice.quality) {
    why = "a quality was asked for";
    return std::nullopt;
  }
  return tenths / 900 % 4;
}

platform::SaveWarnings SaveTurned(frm_Main& form, const std::string& path, const SaveChoice& choice,
                                  std::string* how) {
  platform::CheckWritable(path);
  platform::SaveOptions options;
  options.quality = choice.quality;
  if (!choice.strip) options.metadata = platform::Metadata::Of(form.pSrc.Picture());
  const platform::Bitmap& turned = form.pDes.Pixels();
  if (turned.empty()) {
    NothingToWrite(path, "the turned picture is " + std::to_string(turned.width()) + " x " +
                             std::to_string(turned.height()) + " pixels, nothing to write");
  }
  std::string why;
  if (const auto coded = Lossless(form, path, choice, why)) {
    if (how != nullptr) *how = "turned in its coded form, without loss";
    return platform::SaveFile(*coded, turned.width(), turned.height(), path, options.metadata);
  }
  if (how != nullptr) *how = why.empty() ? "encoded" : "encoded again: " + why;
  platform::OutputPicture out{turned.image(), {0, 0, turned.width(), turned.height()}, false};
  if (choice.outside == Outside::kBlack) {
    return platform::SavePicture(out, path, options);
  }
  const platform::Bitmap coverage = Coverage(form);
  if (choice.outside == Outside::kTransparent) {
    const platform::Bitmap clear = WithCoverageAsAlpha(turned, coverage);
    out.image = clear.image();
    out.alpha = true;
    return platform::SavePicture(out, path, options);
  }
  const platform::Picture& picture = form.pSrc.Picture();
  const platform::PixelSize size =
      StraightenCropSize(picture.WidthPixels(), picture.HeightPixels(),
                         form.Turned() ? static_cast<double>(AngleOfTenths(form.Tenths())) : 0.0);
  out.area = StraightenCrop(coverage, size);
  if (out.width() <= 0 || out.height() <= 0) {
    NothingToWrite(path,
                   "no pixel of the turned picture lies wholly inside its outline, so the crop "
                   "leaves nothing");
  }
  return platform::SavePicture(out, path, options);
}

std::string ProposedSaveName(const std::string& picture_path, int tenths) {
  const platform::PathParts parts = platform::SplitPath(picture_path);
  return parts.folder + parts.stem + "-turned-" + AngleText(tenths) + "." +
         platform::WrittenExtension(parts.extension);
}

}  // namespace app
