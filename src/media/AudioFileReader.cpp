#include "media/AudioFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "audio/StreamDecoder.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "media/FfmpegText.h"
#include "media/SampleConverter.h"

namespace tessaly {

namespace {

// The most samples (all channels together) read, 512 MiB of output: binds before the duration
// limit only at high rates with many channels.
constexpr double kMaxSamples = 1 << 28;
// The largest SCHl stream file read into memory to be decoded.
constexpr uintmax_t kMaxStreamBytes = uintmax_t{1} << 30;
// Frames of a natively decoded stream handed to the converter at a time.
constexpr size_t kStreamBlockFrames = 4096;

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

// The library reports every problem through the exceptions below; its own log lines would only
// repeat them on the terminal.
void SilenceLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Reports the progress of the reading, made of one or two decodings, once per percent.
class ProgressShare {
 public:
  explicit ProgressShare(const std::function<void(double)>& report) : report_(report) {}
  // The decodings that follow cover `span` of the reading from `start`.
  void Part(double start, double span) { start_ = start, span_ = span; }
  // The share of the current decoding done.
  void Report(double fraction) {
    const int percent = static_cast<int>(std::clamp(start_ + span_ * fraction, 0.0, 1.0) * 100);
    if (!report_ || percent == lastPercent_) return;
    lastPercent_ = percent;
    report_(percent / 100.0);
  }

 private:
  const std::function<void(double)>& report_;
  double start_ = 0, span_ = 1;
  int lastPercent_ = -1;
};

// The best audio stream of a file, decoded by FFmpeg.
class FileDecoder {
 public:
  explicit FileDecoder(const std::string& path) : path_(path) {
    SilenceLibraryLog();
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    // A local file only: a playlist or reference inside the file can't reach the network.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The "file:" prefix keeps a name like "take:2.wav" from being read as a protocol.
    int error = avformat_open_input(&format, ("file:" + path_).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
    format_.reset(format);

    error = avformat_find_stream_info(format, nullptr);
    if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
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
    if (error < 0) throw MediaError(path_, FfmpegErrorText(error));

    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) throw std::bad_alloc();
  }

  int SampleRate() const { return codec_->sample_rate; }
  // How long the stream plays by its header, no longer than the file's size allows at a known bit
  // rate; 0 when the header doesn't say.
  double HeaderSeconds() const {
    const AVStream& stream = *format_->streams[streamIndex_];
    double seconds = 0;
    if (stream.duration > 0)
      seconds = static_cast<double>(stream.duration) * av_q2d(stream.time_base);
    else if (format_->duration > 0)
      seconds = static_cast<double>(format_->duration) / AV_TIME_BASE;
    const int64_t bitRate = stream.codecpar->bit_rate;
    const int64_t size = format_->pb ? avio_size(format_->pb) : -1;
    if (seconds > 0 && bitRate > 0 && size > 0)
      seconds = std::min(seconds, static_cast<double>(size) * 8 / static_cast<double>(bitRate));
    return seconds;
  }
  int Channels() const { return codec_->ch_layout.nb_channels; }

  // Decodes every frame of the stream into `converter`; progress goes by the place in the file.
  void Run(SampleConverter& converter, ProgressShare& progress) {
    const int64_t size = format_->pb ? avio_size(format_->pb) : -1;
    for (;;) {
      const int error = av_read_frame(format_.get(), packet_.get());
      if (error == AVERROR_EOF) break;
      if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
      if (packet_->stream_index == streamIndex_) Decode(packet_.get(), converter);
      av_packet_unref(packet_.get());
      if (size > 0) progress.Report(static_cast<double>(avio_tell(format_->pb)) / size);
    }
    Decode(nullptr, converter);
    converter.Finish();
    if (!decodedAny_ && damage_ < 0) throw MediaError(path_, FfmpegErrorText(damage_));
  }

 private:
  // Sends one packet (nullptr: the end) and converts every frame it yields. A damaged packet is
  // skipped, as players do; only a stream with nothing but damage fails.
  void Decode(const AVPacket* packet, SampleConverter& converter) {
    int error = avcodec_send_packet(codec_.get(), packet);
    if (error == AVERROR_INVALIDDATA) {
      damage_ = error;
      return;
    }
    if (error < 0 && error != AVERROR_EOF) throw MediaError(path_, FfmpegErrorText(error));
    for (;;) {
      error = avcodec_receive_frame(codec_.get(), frame_.get());
      if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
      if (error == AVERROR_INVALIDDATA) {
        damage_ = error;
        return;
      }
      if (error < 0) throw MediaError(path_, FfmpegErrorText(error));
      decodedAny_ = true;
      const AVFrame& frame = *frame_;
      converter.Convert(frame.ch_layout, frame.format, frame.sample_rate, frame.extended_data,
                        frame.nb_samples);
      av_frame_unref(frame_.get());
    }
  }

  std::string path_;
  std::unique_ptr<AVFormatContext, FormatCloser> format_;
  std::unique_ptr<AVCodecContext, CodecFreer> codec_;
  std::unique_ptr<AVPacket, PacketFreer> packet_;
  std::unique_ptr<AVFrame, FrameFreer> frame_;
  int streamIndex_ = -1;
  bool decodedAny_ = false;
  int damage_ = 0;  // the last error of a damaged packet, 0 when none
};

// A file that is one of the game's SCHl streams (an entry file of another archive) is decoded
// natively: FFmpeg reads several of its variants wrongly.
std::optional<PcmAudio> DecodeIfStream(const std::string& path) {
  char tag[4] = {};
  if (!std::ifstream(Utf8Path(path), std::ios::binary).read(tag, sizeof tag) ||
      std::memcmp(tag, "SCHl", sizeof tag) != 0)
    return std::nullopt;
  std::error_code error;
  if (std::filesystem::file_size(Utf8Path(path), error) > kMaxStreamBytes && !error)
    throw MediaError(path, "The stream is larger than 1 GiB");
  try {
    return DecodeStream(ReadWholeFile(path));
  } catch (const std::runtime_error& failure) {
    throw MediaError(path, failure.what());
  }
}

// Feeds a natively decoded stream to `converter`.
void ConvertStream(const PcmAudio& stream, SampleConverter& converter, ProgressShare& progress) {
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, stream.channels);
  const size_t frames = stream.Frames();
  for (size_t done = 0; done < frames; done += kStreamBlockFrames) {
    const auto* data =
        reinterpret_cast<const uint8_t*>(stream.samples.data() + done * stream.channels);
    converter.Convert(layout, AV_SAMPLE_FMT_S16, stream.sampleRate, &data,
                      static_cast<int>(std::min(kStreamBlockFrames, frames - done)));
    progress.Report(static_cast<double>(done) / frames);
  }
  converter.Finish();
  av_channel_layout_uninit(&layout);
}

void CheckRequest(const AudioFileRequest& request) {
  if (request.sampleRate != 0 &&
      (request.sampleRate < kMinSampleRate || request.sampleRate > kMaxSampleRate))
    throw std::invalid_argument("Sample rate out of range: " + std::to_string(request.sampleRate));
  if (request.channels < 0 || request.channels > kMaxChannels)
    throw std::invalid_argument("Channel count out of range: " + std::to_string(request.channels));
  if (!(request.maxSeconds > 0)) throw std::invalid_argument("The longest audio must be positive");
}

// One decoding of the file into `audio`, scaled by `factor` before the 16-bit rounding. With
// `measure`, returns a meter of the unscaled samples. `stream` is the file's natively decoded
// stream, if it is one.
std::unique_ptr<LoudnessMeter> DecodeInto(const std::string& path,
                                          const std::optional<PcmAudio>& stream,
                                          const AudioFileRequest& request, float factor,
                                          PcmAudio& audio, bool measure, ProgressShare& progress) {
  std::optional<FileDecoder> decoder;
  if (!stream) decoder.emplace(path);
  const int sourceRate = stream ? stream->sampleRate : decoder->SampleRate();
  const int sourceChannels = stream ? stream->channels : decoder->Channels();
  audio.sampleRate = request.sampleRate ? request.sampleRate : sourceRate;
  audio.channels = request.channels ? request.channels : sourceChannels;
  audio.samples.clear();
  if (audio.sampleRate < kMinSampleRate || audio.sampleRate > kMaxSampleRate)
    throw MediaError(path, "Its sample rate of " + std::to_string(audio.sampleRate) +
                               " Hz is outside what can be read");
  if (audio.channels < 1 || audio.channels > kMaxChannels)
    throw MediaError(
        path, "It has " + std::to_string(audio.channels) + " channels; at most 8 can be read");

  std::unique_ptr<LoudnessMeter> meter;
  if (measure) meter = std::make_unique<LoudnessMeter>(audio.sampleRate, audio.channels);
  const size_t channels = static_cast<size_t>(audio.channels);
  const double limit =
      std::floor(std::min(request.maxSeconds * audio.sampleRate, kMaxSamples / audio.channels));
  const float scale = 32768.0f * factor;
  auto tooLong = [&] {
    return MediaError(path, "It is longer than " +
                                std::to_string(std::lround(limit / audio.sampleRate)) +
                                " seconds, the longest audio that can be read");
  };
  // Refused from its header before anything is decoded, so a long file takes no time or memory.
  if (decoder && decoder->HeaderSeconds() > limit / audio.sampleRate + 1) throw tooLong();
  SampleConverter converter(
      path, audio.sampleRate, audio.channels, [&](float* samples, size_t frames) {
        if (static_cast<double>(audio.Frames() + frames) > limit) throw tooLong();
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
      });
  if (stream)
    ConvertStream(*stream, converter, progress);
  else
    decoder->Run(converter, progress);
  progress.Report(1);
  return meter;
}

}  // namespace

AudioFileContents ReadAudioFile(const std::string& path, const AudioFileRequest& request) {
  CheckRequest(request);
  // A pipe or a device is refused by name before FFmpeg opens it and waits on it.
  if (FileExists(path)) File::OpenRead(path).Release();
  const std::optional<PcmAudio> stream = DecodeIfStream(path);
  AudioFileContents contents;
  PcmAudio& audio = contents.audio;
  ProgressShare progress(request.progress);
  if (request.loudnessTarget) progress.Part(0, 0.5);
  const auto meter =
      DecodeInto(path, stream, request, 1.0f, audio, request.loudnessTarget.has_value(), progress);
  if (audio.samples.empty()) throw MediaError(path, "It holds no audio samples");
  if (meter) {
    contents.loudness =
        PlanLoudnessGain(meter->Integrated(), *request.loudnessTarget, meter->SamplePeak());
    // The gain goes in before the 16-bit rounding, so a cut also brings back peaks that were
    // above full scale in a floating-point source. It takes a second decoding, which costs less
    // than holding the whole clip as floats.
    progress.Part(0.5, 0.5);
    if (contents.loudness->gainDb != 0)
      DecodeInto(path, stream, request, static_cast<float>(GainFactor(contents.loudness->gainDb)),
                 audio, false, progress);
    else
      progress.Report(1);
  }
  return contents;
}

}  // namespace tessaly
