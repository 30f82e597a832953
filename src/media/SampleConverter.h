// Resampling and channel mixing through libswresample: blocks of decoded audio in any sample
// format, rate and channel layout become interleaved 32-bit float at one output rate and channel
// count. The input format may change from one block to the next (chained streams).
#pragma once

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SwrContext;

namespace tessaly {

// The rates converted from and to (a rate under 1 kHz holds no speech) and the most channels
// mixed, in and out (libswresample's mixing of more channels without known positions reaches
// memory it never set): the limits of every audio file read.
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 768000;
inline constexpr int kMaxChannels = 8;

class SampleConverter {
 public:
  // Receives each converted block: `frames` frames of interleaved samples, full scale 1.0. The
  // samples may be changed in place.
  using Sink = std::function<void(float* samples, size_t frames)>;

  // `path` names the file in errors (MediaError).
  SampleConverter(std::string path, int outputRate, int outputChannels, Sink sink);
  ~SampleConverter();
  SampleConverter(const SampleConverter&) = delete;
  SampleConverter& operator=(const SampleConverter&) = delete;

  // Converts `frames` frames in `format` (an AVSampleFormat) at `rate` with `layout`; `data`
  // holds one plane per channel for planar formats, else one.
  void Convert(const AVChannelLayout& layout, int format, int rate, const uint8_t* const* data,
               int frames);
  // Hands over what the resampler still holds; call at the end of the input.
  void Finish();

 private:
  struct Freer {
    void operator()(SwrContext* context) const;
  };
  void Configure(const AVChannelLayout& layout, int format, int rate);
  // A new resampler, never one whose setup failed before; the FFmpeg error when it can't be set
  // up.
  int Build(const AVChannelLayout& input, const AVChannelLayout& output, int format, int rate);
  int Resample(const uint8_t** input, int inputFrames);

  std::string path_;
  int outputRate_;
  int outputChannels_;
  Sink sink_;
  std::unique_ptr<SwrContext, Freer> resampler_;
  AVChannelLayout inputLayout_{};
  int inputFormat_ = -1;
  int inputRate_ = 0;
  std::vector<float> buffer_;
};

}  // namespace tessaly
