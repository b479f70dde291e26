// How the JPEG reader, writer and coded turn hear of libjpeg's errors: libjpeg reports them
// through a callback that must not return, so it jumps back to where the caller set
// `jump`, which then raises or gives up. Between the jump's setting and the jump only C
// code runs.
#pragma once

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <csetjmp>
#include <jpeglib.h>
// clang-format on

namespace platform {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool damaged;     // the data itself is corrupt (a warning of that kind), not the header
  bool many_scans;  // more scans than any encoder writes (the reader's progress sets it)
};

// The error manager to give a libjpeg object (`info.err = Watching(errors)`): an error
// jumps, and so does a warning that the data is damaged; other warnings pass.
jpeg_error_mgr* Watching(JpegErrors& errors);

}  // namespace platform
