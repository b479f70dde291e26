#include "platform/imageio/jpeg_errors.h"

#include <jerror.h>

namespace platform {

namespace {

extern "C" void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// The warnings that mean the compressed data is corrupt or ends early: libjpeg goes on
// and fills the rest with grey, so that a damaged file (or a 700-byte file whose header
// claims 16000 x 16000 pixels) would be taken for a whole picture. Other warnings (a
// stray byte between segments, an unknown JFIF version, a damaged profile) leave every
// pixel as the file meant it.
bool MeansDamaged(int code) {
  switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_JPEG_EOF:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL:
      return true;
    default:
      return false;
  }
}

extern "C" void OnMessage(j_common_ptr info, int level) {
  if (level >= 0 || !MeansDamaged(info->err->msg_code)) return;
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  errors->damaged = true;
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);  // nothing more of it is worth decoding
}

}  // namespace

jpeg_error_mgr* Watching(JpegErrors& errors) {
  jpeg_error_mgr* manager = jpeg_std_error(&errors.manager);
  manager->error_exit = OnError;
  manager->emit_message = OnMessage;
  return manager;
}

}  // namespace platform
