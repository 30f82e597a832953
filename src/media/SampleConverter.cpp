#include "media/SampleConverter.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <utility>

#include "media/FfmpegText.h"
#include "media/MediaError.h"

namespace tessaly {

namespace {

// Output frames the resampler hands back per call, whatever the ratio of the rates: the input
// that doesn't fit yet waits inside the resampler.
constexpr int kBlockFrames = 4096;
// Bits of precision for the SoX resampler: its "very high quality" setting.
constexpr double kResamplerPrecision = 28;
// The most input channels libswresample mixes.
constexpr int kMaxInputChannels = 64;

// An AVChannelLayout that releases what it holds.
struct OwnedLayout {
  AVChannelLayout layout{};
  OwnedLayout() = default;
  ~OwnedLayout() { av_channel_layout_uninit(&layout); }
  OwnedLayout(const OwnedLayout&) = delete;
  OwnedLayout& operator=(const OwnedLayout&) = delete;
};

}  // namespace

void SampleConverter::Freer::operator()(SwrContext* context) const {
  swr_free(&context);
}

SampleConverter::SampleConverter(std::string path, int outputRate, int outputChannels, Sink sink)
    : path_(std::move(path)),
      outputRate_(outputRate),
      outputChannels_(outputChannels),
      sink_(std::move(sink)),
      buffer_(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(outputChannels)) {}

SampleConverter::~SampleConverter() {
  av_channel_layout_uninit(&inputLayout_);
}

void SampleConverter::Convert(const AVChannelLayout& layout, int format, int rate,
                              const uint8_t* const* data, int frames) {
  if (!resampler_ || rate != inputRate_ || format != inputFormat_ ||
      av_channel_layout_compare(&layout, &inputLayout_) != 0) {
    // A new input format: finish the old part first.
    if (resampler_) Finish();
    Configure(layout, format, rate);
  }
  // A count of 0 asks for what the resampler can give without more input.
  const uint8_t** input = const_cast<const uint8_t**>(data);
  for (int inputFrames = frames;; inputFrames = 0) {
    const int produced = Resample(input, inputFrames);
    if (produced > 0) sink_(buffer_.data(), static_cast<size_t>(produced));
    if (produced < kBlockFrames) return;
  }
}

void SampleConverter::Finish() {
  if (!resampler_) return;
  for (;;) {
    const int produced = Resample(nullptr, 0);
    if (produced <= 0) break;
    sink_(buffer_.data(), static_cast<size_t>(produced));
  }
  resampler_.reset();
}

int SampleConverter::Resample(const uint8_t** input, int inputFrames) {
  uint8_t* output = reinterpret_cast<uint8_t*>(buffer_.data());
  const int produced = swr_convert(resampler_.get(), &output, kBlockFrames, input, inputFrames);
  if (produced < 0) throw MediaError(path_, FfmpegErrorText(produced));
  return produced;
}

void SampleConverter::Configure(const AVChannelLayout& layout, int format, int rate) {
  av_channel_layout_uninit(&inputLayout_);
  int error = av_channel_layout_copy(&inputLayout_, &layout);
  if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
  inputFormat_ = format;
  inputRate_ = rate;

  const int inputChannels = layout.nb_channels;
  if (inputChannels < 1 || inputChannels > kMaxInputChannels || rate <= 0)
    throw MediaError(path_, "Its audio has " + std::to_string(inputChannels) + " channels at " +
                                std::to_string(rate) + " Hz");
  // Channels without positions get the usual layout for their count; the same count passes
  // through unmixed.
  OwnedLayout input, output;
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&input.layout, inputChannels);
  else
    error = av_channel_layout_copy(&input.layout, &layout);
  if (error >= 0 && inputChannels == outputChannels_)
    error = av_channel_layout_copy(&output.layout, &input.layout);
  else
    av_channel_layout_default(&output.layout, outputChannels_);
  if (error < 0) throw MediaError(path_, FfmpegErrorText(error));

  SwrContext* resampler = nullptr;
  error = swr_alloc_set_opts2(&resampler, &output.layout, AV_SAMPLE_FMT_FLT, outputRate_,
                              &input.layout, static_cast<AVSampleFormat>(format), rate, 0, nullptr);
  if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
  resampler_.reset(resampler);
  // Mixing down scales the matrix so that no output can exceed full scale: stereo becomes the
  // average of its two channels.
  av_opt_set_double(resampler, "rematrix_maxval", 1.0, 0);
  if (inputChannels == 1 && outputChannels_ > 1) {
    // Mono goes into every channel at its own level (FFmpeg's default lowers it by 3 dB).
    const std::vector<double> matrix(static_cast<size_t>(outputChannels_), 1.0);
    error = swr_set_matrix(resampler, matrix.data(), 1);
    if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
  }
  av_opt_set(resampler, "resampler", "soxr", 0);
  av_opt_set_double(resampler, "precision", kResamplerPrecision, 0);
  error = swr_init(resampler);
  if (error < 0) {
    // A libswresample built without the SoX resampler: its own one.
    av_opt_set(resampler, "resampler", "swr", 0);
    error = swr_init(resampler);
  }
  if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
}

}  // namespace tessaly
