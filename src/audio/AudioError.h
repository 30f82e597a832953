// The one error of the audio layer: a stream or audio file that can't be read, decoded or encoded.
// Its text names what failed and where ("SCDl block at byte 4096: ...").
#pragma once

#include <stdexcept>
#include <string>

namespace tessaly {

class AudioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tessaly
