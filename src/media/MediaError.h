// The one error the audio file layer throws: a file that can't be read as audio, and why.
#pragma once

#include <stdexcept>
#include <string>

namespace tessaly {

class MediaError : public std::runtime_error {
 public:
  // "Cannot read audio file "PATH". REASON"
  MediaError(const std::string& path, const std::string& reason)
      : std::runtime_error("Cannot read audio file \"" + path + "\". " + reason) {}
};

}  // namespace tessaly
