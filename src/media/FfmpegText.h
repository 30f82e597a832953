// FFmpeg's own wording for its error codes.
#pragma once

extern "C" {
#include <libavutil/error.h>
}

#include <string>

namespace tessaly {

inline std::string FfmpegErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

}  // namespace tessaly
