#include "media/SampleConverter.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <utility>

#include "media/FfmpegText.h"
#include "media/MediaError.h"
#include "media/PcmConversion.h"

namespace tessaly {

namespace {

// Output frames the resampler hands back per call, whatever the ratio of the rates: the input
// that doesn't fit yet waits inside the resampler.
constexpr int kBlockFrames = 4096;

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
  // One flush with room for all that is left: the SoX resampler, asked to flush a second time,
  // reads memory it has freed.
  const int pending = std::max(swr_get_out_samples(resampler_.get(), 0), 0) + kBlockFrames;
  std::vector<float> rest(static_cast<size_t>(pending) * static_cast<size_t>(outputChannels_));
  uint8_t* output = reinterpret_cast<uint8_t*>(rest.data());
  const int produced = swr_convert(resampler_.get(), &output, pending, nullptr, 0);
  resampler_.reset();
  if (produced < 0) throw MediaError(path_, FfmpegErrorText(produced));
  if (produced > 0) sink_(rest.data(), static_cast<size_t>(produced));
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
  if (inputChannels < 1 || inputChannels > kMaxChannels)
    throw MediaError(
        path_, "It has " + std::to_string(inputChannels) + " channels; at most 8 can be read");
  if (outputRate_ < kMinSampleRate || outputRate_ > kMaxSampleRate)
    throw MediaError(path_, "It can't be converted to " + std::to_string(outputRate_) +
                                " Hz, outside the rates that can be written");
  if (outputChannels_ < 1 || outputChannels_ > kMaxChannels)
    throw MediaError(path_, "It can't be converted to " + std::to_string(outputChannels_) +
                                " channels; at most 8 can be written");
  if (rate < kMinSampleRate || rate > kMaxSampleRate)
    throw MediaError(
        path_, "Its sample rate of " + std::to_string(rate) + " Hz is outside what can be read");
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

  error = Build(input.layout, output.layout, format, rate);
  if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
}

int SampleConverter::Build(const AVChannelLayout& input, const AVChannelLayout& output, int format,
                           int rate) {
  resampler_.reset();
  SwrContext* resampler = nullptr;
  // The library takes the layouts as non-const but only reads them.
  int error = swr_alloc_set_opts2(
      &resampler, const_cast<AVChannelLayout*>(&output), AV_SAMPLE_FMT_FLT, outputRate_,
      const_cast<AVChannelLayout*>(&input), static_cast<AVSampleFormat>(format), rate, 0, nullptr);
  if (error < 0) return error;
  std::unique_ptr<SwrContext, Freer> owned(resampler);
  // Mixing down scales the matrix so that no output can exceed full scale: stereo becomes the
  // average of its two channels.
  av_opt_set_double(resampler, "rematrix_maxval", 1.0, 0);
  if (input.nb_channels == 1 && outputChannels_ > 1) {
    // Mono goes into every channel at its own level (FFmpeg's default lowers it by 3 dB).
    const std::vector<double> matrix(static_cast<size_t>(outputChannels_), 1.0);
    error = swr_set_matrix(resampler, matrix.data(), 1);
    if (error < 0) return error;
  }
  // libswresample's own resampler: the SoX one, at several common ratios, writes through a null
  // pointer when flushed (libsoxr 0.1.3).
  av_opt_set(resampler, "resampler", "swr", 0);
  error = swr_init(resampler);
  if (error < 0) return error;
  resampler_ = std::move(owned);
  return 0;
}

PcmAudio ConvertPcm(const PcmAudio& audio, int outputRate, int outputChannels,
                    const std::string& name) {
  PcmAudio converted;
  converted.sampleRate = outputRate;
  converted.channels = outputChannels;
  SampleConverter converter(name, outputRate, outputChannels, [&](float* samples, size_t frames) {
    const size_t count = frames * static_cast<size_t>(outputChannels);
    for (size_t i = 0; i < count; ++i)
      converted.samples.push_back(
          static_cast<int16_t>(std::lrint(std::clamp(samples[i] * 32768.0f, -32768.0f, 32767.0f))));
  });
  OwnedLayout layout;
  if (audio.channels > 0) av_channel_layout_default(&layout.layout, audio.channels);
  const size_t frames = audio.Frames();
  for (size_t done = 0; done < frames; done += kBlockFrames) {
    const auto* data = reinterpret_cast<const uint8_t*>(audio.samples.data() +
                                                        done * static_cast<size_t>(audio.channels));
    converter.Convert(layout.layout, AV_SAMPLE_FMT_S16, audio.sampleRate, &data,
                      static_cast<int>(std::min<size_t>(kBlockFrames, frames - done)));
  }
  converter.Finish();
  return converted;
}

}  // namespace tessaly
