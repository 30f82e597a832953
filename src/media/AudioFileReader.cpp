#include "media/AudioFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaly {

namespace {

constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxChannels = 8;
// Output frames the resampler hands back per call.
constexpr int kBlockFrames = 4096;
// Bits of precision for the SoX resampler: its "very high quality" setting.
constexpr double kResamplerPrecision = 28;

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ResamplerFreer {
  void operator()(SwrContext* context) const { swr_free(&context); }
};

// An AVChannelLayout that releases what it holds.
struct OwnedLayout {
  AVChannelLayout layout{};
  OwnedLayout() = default;
  ~OwnedLayout() { av_channel_layout_uninit(&layout); }
  OwnedLayout(const OwnedLayout&) = delete;
  OwnedLayout& operator=(const OwnedLayout&) = delete;
};

// The library reports every problem through the exceptions below; its own log lines would only
// repeat them on the terminal.
void SilenceLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Decodes the best audio stream of one file and converts it to interleaved 32-bit float at the
// output rate and channel count, handing each converted block to a sink.
class ConvertingDecoder {
 public:
  ConvertingDecoder(const std::string& path, const AudioFileRequest& request) : path_(path) {
    SilenceLibraryLog();
    Open();
    const AVCodecParameters* parameters = format_->streams[streamIndex_]->codecpar;
    outputRate_ = request.sampleRate ? request.sampleRate : parameters->sample_rate;
    outputChannels_ = request.channels ? request.channels : parameters->ch_layout.nb_channels;
    if (outputRate_ < kMinSampleRate || outputRate_ > kMaxSampleRate)
      throw MediaError(path_, "Its sample rate of " + std::to_string(outputRate_) +
                                  " Hz is outside what can be read");
    if (outputChannels_ < 1 || outputChannels_ > kMaxChannels)
      throw MediaError(
          path_, "It has " + std::to_string(outputChannels_) + " channels; at most 8 can be read");
  }

  int OutputRate() const { return outputRate_; }
  int OutputChannels() const { return outputChannels_; }

  // Calls sink(float* samples, size_t frames) for each converted block, then reports a stream
  // of which nothing could be decoded.
  template <class Sink>
  void Run(Sink& sink) {
    for (;;) {
      const int error = av_read_frame(format_.get(), packet_.get());
      if (error == AVERROR_EOF) break;
      if (error < 0) throw MediaError(path_, ErrorText(error));
      if (packet_->stream_index == streamIndex_) Decode(packet_.get(), sink);
      av_packet_unref(packet_.get());
    }
    Decode(nullptr, sink);
    if (resampler_) Drain(sink);
    if (!decodedAny_ && damage_ < 0) throw MediaError(path_, ErrorText(damage_));
  }

 private:
  void Open() {
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    // A local file only: a playlist or reference inside the file can't reach the network.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The "file:" prefix keeps a name like "take:2.wav" from being read as a protocol.
    int error = avformat_open_input(&format, ("file:" + path_).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (error < 0) throw MediaError(path_, ErrorText(error));
    format_.reset(format);

    error = avformat_find_stream_info(format, nullptr);
    if (error < 0) throw MediaError(path_, ErrorText(error));
    streamIndex_ = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex_ < 0) throw MediaError(path_, "It holds no audio");
    for (unsigned i = 0; i < format->nb_streams; ++i)
      if (static_cast<int>(i) != streamIndex_) format->streams[i]->discard = AVDISCARD_ALL;

    const AVCodecParameters* parameters = format->streams[streamIndex_]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder)
      throw MediaError(path_, std::string("No decoder for its audio codec ") +
                                  avcodec_get_name(parameters->codec_id));
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_) throw std::bad_alloc();
    error = avcodec_parameters_to_context(codec_.get(), parameters);
    if (error >= 0) error = avcodec_open2(codec_.get(), decoder, nullptr);
    if (error < 0) throw MediaError(path_, ErrorText(error));

    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) throw std::bad_alloc();
  }

  // Sends one packet (nullptr: the end) and converts every frame it yields. A damaged packet is
  // skipped, as players do; only a stream with nothing but damage fails.
  template <class Sink>
  void Decode(const AVPacket* packet, Sink& sink) {
    int error = avcodec_send_packet(codec_.get(), packet);
    if (error == AVERROR_INVALIDDATA) {
      damage_ = error;
      return;
    }
    if (error < 0 && error != AVERROR_EOF) throw MediaError(path_, ErrorText(error));
    for (;;) {
      error = avcodec_receive_frame(codec_.get(), frame_.get());
      if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
      if (error == AVERROR_INVALIDDATA) {
        damage_ = error;
        return;
      }
      if (error < 0) throw MediaError(path_, ErrorText(error));
      decodedAny_ = true;
      Convert(frame_.get(), sink);
      av_frame_unref(frame_.get());
    }
  }

  template <class Sink>
  void Convert(const AVFrame* frame, Sink& sink) {
    if (!resampler_ || frame->sample_rate != inputRate_ || frame->format != inputFormat_ ||
        av_channel_layout_compare(&frame->ch_layout, &inputLayout_.layout) != 0) {
      // A chained stream may change its format midway: finish the old part first.
      if (resampler_) Drain(sink);
      Configure(frame);
    }
    // The output comes in blocks of a fixed size, whatever the ratio of the rates: the resampler
    // keeps the input that doesn't fit yet, and a count of 0 asks for what it can give now.
    const uint8_t** input = const_cast<const uint8_t**>(frame->extended_data);
    int inputFrames = frame->nb_samples;
    for (;;) {
      const int produced = Resample(input, inputFrames);
      if (produced > 0) sink(buffer_.data(), static_cast<size_t>(produced));
      if (produced < kBlockFrames) return;
      inputFrames = 0;
    }
  }

  // Takes the resampler's tail at the end of the input.
  template <class Sink>
  void Drain(Sink& sink) {
    for (;;) {
      const int produced = Resample(nullptr, 0);
      if (produced <= 0) return;
      sink(buffer_.data(), static_cast<size_t>(produced));
    }
  }

  int Resample(const uint8_t** input, int inputFrames) {
    buffer_.resize(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(outputChannels_));
    uint8_t* output = reinterpret_cast<uint8_t*>(buffer_.data());
    const int produced = swr_convert(resampler_.get(), &output, kBlockFrames, input, inputFrames);
    if (produced < 0) throw MediaError(path_, ErrorText(produced));
    return produced;
  }

  void Configure(const AVFrame* frame) {
    resampler_.reset();
    av_channel_layout_uninit(&inputLayout_.layout);
    int error = av_channel_layout_copy(&inputLayout_.layout, &frame->ch_layout);
    if (error < 0) throw MediaError(path_, ErrorText(error));
    inputRate_ = frame->sample_rate;
    inputFormat_ = frame->format;

    const int inputChannels = frame->ch_layout.nb_channels;
    if (inputChannels < 1 || inputChannels > 64 || inputRate_ <= 0)
      throw MediaError(path_, "Its audio stream has " + std::to_string(inputChannels) +
                                  " channels at " + std::to_string(inputRate_) + " Hz");
    // Channels without positions get the usual layout for their count.
    OwnedLayout input, output;
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
      av_channel_layout_default(&input.layout, inputChannels);
    else
      av_channel_layout_copy(&input.layout, &frame->ch_layout);
    if (inputChannels == outputChannels_)
      av_channel_layout_copy(&output.layout, &input.layout);
    else
      av_channel_layout_default(&output.layout, outputChannels_);

    SwrContext* resampler = nullptr;
    error = swr_alloc_set_opts2(&resampler, &output.layout, AV_SAMPLE_FMT_FLT, outputRate_,
                                &input.layout, static_cast<AVSampleFormat>(inputFormat_),
                                inputRate_, 0, nullptr);
    if (error < 0) throw MediaError(path_, ErrorText(error));
    resampler_.reset(resampler);
    // Mixing down scales the matrix so no output can exceed full scale: stereo becomes the
    // average of its two channels.
    av_opt_set_double(resampler, "rematrix_maxval", 1.0, 0);
    if (inputChannels == 1 && outputChannels_ > 1) {
      // Mono goes into every channel at its own level (FFmpeg's default lowers it by 3 dB).
      const std::vector<double> matrix(static_cast<size_t>(outputChannels_), 1.0);
      error = swr_set_matrix(resampler, matrix.data(), 1);
      if (error < 0) throw MediaError(path_, ErrorText(error));
    }
    av_opt_set(resampler, "resampler", "soxr", 0);
    av_opt_set_double(resampler, "precision", kResamplerPrecision, 0);
    error = swr_init(resampler);
    if (error < 0) {
      // A libswresample built without the SoX resampler: its own one.
      av_opt_set(resampler, "resampler", "swr", 0);
      error = swr_init(resampler);
    }
    if (error < 0) throw MediaError(path_, ErrorText(error));
  }

  std::string path_;
  std::unique_ptr<AVFormatContext, FormatCloser> format_;
  std::unique_ptr<AVCodecContext, CodecFreer> codec_;
  std::unique_ptr<AVPacket, PacketFreer> packet_;
  std::unique_ptr<AVFrame, FrameFreer> frame_;
  std::unique_ptr<SwrContext, ResamplerFreer> resampler_;
  OwnedLayout inputLayout_;
  int inputRate_ = 0;
  int inputFormat_ = -1;
  int streamIndex_ = -1;
  int outputRate_ = 0;
  int outputChannels_ = 0;
  std::vector<float> buffer_;
  bool decodedAny_ = false;
  int damage_ = 0;  // the last error of a damaged packet, 0 when none
};

void CheckRequest(const AudioFileRequest& request) {
  if (request.sampleRate != 0 &&
      (request.sampleRate < kMinSampleRate || request.sampleRate > kMaxSampleRate))
    throw std::invalid_argument("Sample rate out of range: " + std::to_string(request.sampleRate));
  if (request.channels < 0 || request.channels > kMaxChannels)
    throw std::invalid_argument("Channel count out of range: " + std::to_string(request.channels));
  if (!(request.maxSeconds > 0)) throw std::invalid_argument("The longest audio must be positive");
}

// Decodes the file once into `audio`, scaling by `factor` before quantising to 16 bits, and
// passes the unscaled samples to `meter` when there is one.
void DecodeInto(const std::string& path, const AudioFileRequest& request, float factor,
                PcmAudio& audio, std::optional<LoudnessMeter>& meter) {
  ConvertingDecoder decoder(path, request);
  audio.sampleRate = decoder.OutputRate();
  audio.channels = decoder.OutputChannels();
  audio.samples.clear();
  const size_t channels = static_cast<size_t>(audio.channels);
  const double limit = std::floor(request.maxSeconds * audio.sampleRate);
  const float scale = 32768.0f * factor;
  if (!meter && request.loudnessTarget) meter.emplace(audio.sampleRate, audio.channels);

  auto sink = [&](float* samples, size_t frames) {
    if (static_cast<double>(audio.Frames() + frames) > limit)
      throw MediaError(path, "It is longer than " +
                                 std::to_string(std::lround(request.maxSeconds)) +
                                 " seconds, the longest audio that can be read");
    const size_t count = frames * channels;
    // Damaged float files can hold NaN or infinity: silence, not a poisoned measurement.
    for (size_t i = 0; i < count; ++i)
      if (!std::isfinite(samples[i])) samples[i] = 0;
    if (meter) meter->Add(samples, frames);
    const size_t start = audio.samples.size();
    audio.samples.resize(start + count);
    int16_t* out = audio.samples.data() + start;
    for (size_t i = 0; i < count; ++i)
      out[i] =
          static_cast<int16_t>(std::lrint(std::clamp(samples[i] * scale, -32768.0f, 32767.0f)));
  };
  decoder.Run(sink);
}

}  // namespace

AudioFileContents ReadAudioFile(const std::string& path, const AudioFileRequest& request) {
  CheckRequest(request);
  AudioFileContents contents;
  std::optional<LoudnessMeter> meter;
  DecodeInto(path, request, 1.0f, contents.audio, meter);
  if (contents.audio.samples.empty()) throw MediaError(path, "It holds no audio samples");

  if (request.loudnessTarget) {
    const LoudnessMatch match =
        PlanLoudnessGain(meter->Integrated(), *request.loudnessTarget, meter->SamplePeak());
    contents.loudness = match;
    // The gain goes in before the 16-bit rounding, so a cut also brings back peaks that were
    // above full scale in a floating-point source; that takes a second decoding, which costs far
    // less than holding the whole clip as floats.
    if (match.gainDb != 0) {
      std::optional<LoudnessMeter> noMeter;
      AudioFileRequest again = request;
      again.loudnessTarget.reset();
      DecodeInto(path, again, static_cast<float>(GainFactor(match.gainDb)), contents.audio,
                 noMeter);
    }
  }
  return contents;
}

}  // namespace tessaly
