#include "audio/StreamEncoder.h"

#include <algorithm>
#include <string>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"
#include "audio/StreamChunks.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamHeader.h"
#include "audio/XaChannelEncoder.h"
#include "audio/XaFrames.h"

namespace tessaly {
namespace {

// Block length when the template has no block to copy it from: 72 frames.
constexpr uint32_t kDefaultBlockSamples = 72 * kXaFrameSamples;

// The template's header chunk body with the new sample count: written in the field's own length
// when it fits there, so the header keeps its size; otherwise as a 4-byte field, with the field
// list closed by an end marker and the chunk padded back to a multiple of 4 bytes.
std::vector<uint8_t> HeaderWithCount(std::span<const uint8_t> body, const StreamHeader& header,
                                     uint32_t samples) {
  std::vector<uint8_t> out(body.begin(), body.end());
  size_t at = header.hasEndMarker ? header.fieldsEnd - 1 : header.fieldsEnd;
  size_t replaced = 0;
  if (header.hasSampleCount) {
    at = header.sampleCountField;
    int length = out[at + 1];
    if (length == 4 || (length > 0 && samples < (1u << (8 * length)))) {
      for (int i = 0; i < length; ++i)
        out[at + 2 + i] = static_cast<uint8_t>(samples >> (8 * (length - 1 - i)));
      return out;
    }
    replaced = 2 + static_cast<size_t>(length);
  }
  uint8_t field[6] = {0x85,
                      4,
                      static_cast<uint8_t>(samples >> 24),
                      static_cast<uint8_t>(samples >> 16),
                      static_cast<uint8_t>(samples >> 8),
                      static_cast<uint8_t>(samples)};
  out.erase(out.begin() + static_cast<ptrdiff_t>(at),
            out.begin() + static_cast<ptrdiff_t>(at + replaced));
  out.insert(out.begin() + static_cast<ptrdiff_t>(at), field, field + 6);
  size_t fieldsEnd = header.fieldsEnd + 6 - replaced;
  if (!header.hasEndMarker) {  // padding can follow only an end marker
    out.insert(out.begin() + static_cast<ptrdiff_t>(fieldsEnd), 0xFF);
    ++fieldsEnd;
  }
  while (out.size() > fieldsEnd && out.back() == 0) out.pop_back();
  while ((out.size() + kChunkHeaderSize) % 4) out.push_back(0);
  return out;
}

class BlockEncoder {
 public:
  // `xa`: the channels' frames of split XA, encoded beforehand.
  BlockEncoder(const StreamHeader& header, const PcmAudio& audio,
               const std::vector<XaChannelFrames>& xa)
      : header_(header),
        audio_(audio),
        xa_(xa),
        channels_(static_cast<size_t>(header.channels)),
        history_(channels_) {}

  // The body of the SCDl block holding frames [first, first + count).
  std::vector<uint8_t> Encode(size_t first, uint32_t count) {
    std::vector<uint8_t> body;
    Append32(body, count, Be());
    switch (header_.layout) {
      case SampleLayout::kPcmInterleaved:
        for (size_t i = 0; i < count * channels_; ++i)
          AppendPcm(body, audio_.samples[first * channels_ + i]);
        break;
      case SampleLayout::kPcmSplit:
        EncodeSplit(body, [&](std::vector<uint8_t>& out, size_t c) {
          for (size_t i = 0; i < count; ++i) AppendPcm(out, Sample(first + i, c));
        });
        break;
      case SampleLayout::kXaSplit:
        EncodeSplit(body, [&](std::vector<uint8_t>& out, size_t c) {
          size_t frame = first / kXaFrameSamples;
          if (header_.xa == XaVariant::kR1) AppendHistory(out, xa_[c].before[frame]);
          for (size_t done = 0; done < count; done += kXaFrameSamples)
            AppendSplitFrame(out, xa_[c], frame++);
        });
        break;
      case SampleLayout::kXaInterleaved:
        EncodeInterleavedXa(body, first, count);
        break;
      case SampleLayout::kUnsupported:
        break;
    }
    while (body.size() % 4) body.push_back(0);
    return body;
  }

 private:
  bool Be() const { return header_.bigEndianBlocks; }
  int16_t Sample(size_t frame, size_t channel) const {
    return frame < audio_.Frames() ? audio_.samples[frame * channels_ + channel] : 0;
  }
  void FrameSamples(size_t first, size_t channel, int16_t* out) const {
    for (int i = 0; i < kXaFrameSamples; ++i) out[i] = Sample(first + i, channel);
  }

  void AppendPcm(std::vector<uint8_t>& out, int16_t sample) const {
    switch (header_.pcm) {
      case PcmFormat::kS16Le:
        return Append16(out, static_cast<uint16_t>(sample), false);
      case PcmFormat::kS16Be:
        return Append16(out, static_cast<uint16_t>(sample), true);
      case PcmFormat::kS8:
        break;
    }
    out.push_back(static_cast<uint8_t>(std::clamp((sample + 128) >> 8, -128, 127)));
  }
  void AppendHistory(std::vector<uint8_t>& out, const XaHistory& h) const {
    Append16(out, static_cast<uint16_t>(h.current), Be());
    Append16(out, static_cast<uint16_t>(h.previous), Be());
  }

  // Count, one offset per channel, then each channel's data as `channel` appends it.
  template <typename AppendChannel>
  void EncodeSplit(std::vector<uint8_t>& body, AppendChannel channel) {
    std::vector<uint8_t> data;
    size_t table = body.size();
    body.resize(table + 4 * channels_);
    for (size_t c = 0; c < channels_; ++c) {
      Write32(body.data() + table + 4 * c, static_cast<uint32_t>(data.size()), Be());
      channel(data, c);
    }
    body.insert(body.end(), data.begin(), data.end());
  }

  static void AppendSplitFrame(std::vector<uint8_t>& out, const XaChannelFrames& channel,
                               size_t frame) {
    size_t at = out.size();
    if (channel.escaped[frame]) {
      out.resize(at + kXaEscapeFrameBytes);
      XaHistory after;
      WriteXaEscapeFrame(channel.FrameSamples(frame), out.data() + at, after);
    } else {
      out.resize(at + kXaFrameBytes);
      WriteXaFrame(channel.frames[frame], out.data() + at);
    }
  }

  void EncodeInterleavedXa(std::vector<uint8_t>& body, size_t first, uint32_t count) {
    for (size_t c = 0; c < 2; ++c) AppendHistory(body, c < channels_ ? history_[c] : XaHistory{});
    for (size_t done = 0; done < count; done += kXaFrameSamples) {
      XaFrameChoice choices[2];
      for (size_t c = 0; c < channels_; ++c) {
        int16_t samples[kXaFrameSamples];
        FrameSamples(first + done, c, samples);
        choices[c] = EncodeXaFrame(samples, history_[c], kXaInterleavedRounding);
        history_[c] = choices[c].after;
      }
      size_t at = body.size();
      if (channels_ == 2) {
        body.resize(at + kXaStereoFrameBytes);
        WriteXaStereoFrame(choices[0], choices[1], body.data() + at);
      } else {
        body.resize(at + kXaFrameBytes);
        WriteXaFrame(choices[0], body.data() + at);
      }
    }
  }

  const StreamHeader& header_;
  const PcmAudio& audio_;
  const std::vector<XaChannelFrames>& xa_;
  size_t channels_;
  std::vector<XaHistory> history_;
};

void AppendChunk(std::vector<uint8_t>& out, uint32_t tag, std::span<const uint8_t> body,
                 bool bigEndianSizes) {
  Append32(out, tag, true);
  Append32(out, static_cast<uint32_t>(body.size() + kChunkHeaderSize), bigEndianSizes);
  out.insert(out.end(), body.begin(), body.end());
}

// The bytes escape frames may add to `plainSize`, the size of the stream of ADPCM frames alone.
uint64_t EscapeAllowance(const EncodeOptions& options, uint64_t plainSize,
                         const StreamHeader& header, const StreamChunks& walk, uint64_t frames) {
  if (options.quality == EncodeQuality::kPlain) return 0;
  uint64_t allowance = plainSize * kXaEscapePercent / 100;
  if (options.quality == EncodeQuality::kClipRate) {
    // The clip's own bytes per second over the new length; none when its length is unknown.
    const StreamChunk& last = walk.chunks.back();
    const uint64_t bytes = last.position + last.size, samples = header.samples;
    uint64_t atClipRate =
        samples == 0 ? 0 : bytes / samples * frames + bytes % samples * frames / samples;
    allowance = std::min(allowance, atClipRate > plainSize ? atClipRate - plainSize : 0);
  }
  return allowance;
}

}  // namespace

std::vector<uint8_t> EncodeStream(const PcmAudio& audio, std::span<const uint8_t> templateStream,
                                  const EncodeOptions& options) {
  StreamChunks walk = WalkChunks(templateStream);
  const StreamChunk& headerChunk = walk.chunks.front();
  auto headerBody = templateStream.subspan(headerChunk.BodyPosition(), headerChunk.BodySize());
  StreamHeader header = ParseStreamHeader(headerBody);
  if (header.layout == SampleLayout::kUnsupported)
    throw AudioError("can't encode " + CodecName(header) + " audio");
  if (header.channels > kMaxDecodedChannels)
    throw AudioError("can't encode a stream of " + std::to_string(header.channels) + " channels");
  if (audio.channels != header.channels || audio.sampleRate != static_cast<int>(header.sampleRate))
    throw AudioError("the audio has " + std::to_string(audio.channels) + " channels at " +
                     std::to_string(audio.sampleRate) + " Hz, the clip it replaces " +
                     std::to_string(header.channels) + " at " + std::to_string(header.sampleRate) +
                     " Hz");
  const size_t frames = audio.Frames();
  if (frames > UINT32_MAX) throw AudioError("the audio is too long for a stream");

  // Blocks as long as the template's first; whole frames in every block but the last, so that
  // decoders which drop a block's partial frame lose nothing in between.
  uint32_t blockSamples = 0;
  for (const StreamChunk& chunk : walk.chunks) {
    if (chunk.tag != kBlockTag || chunk.BodySize() < 4) continue;
    blockSamples = Read32(templateStream.data() + chunk.BodyPosition(), header.bigEndianBlocks);
    if (blockSamples > 0) break;
  }
  if (blockSamples == 0) blockSamples = kDefaultBlockSamples;
  if (header.layout == SampleLayout::kXaSplit || header.layout == SampleLayout::kXaInterleaved)
    blockSamples =
        std::max<uint32_t>(kXaFrameSamples, blockSamples / kXaFrameSamples * kXaFrameSamples);
  const size_t blocks = (frames + blockSamples - 1) / blockSamples;

  // Split XA is encoded a channel at a time before the blocks are laid out, so that escape
  // frames can go where they pay most over the whole stream.
  std::vector<XaChannelFrames> xa;
  if (header.layout == SampleLayout::kXaSplit)
    for (size_t c = 0; c < static_cast<size_t>(audio.channels); ++c)
      xa.push_back(EncodeXaChannel(audio.samples, static_cast<size_t>(audio.channels), c));

  auto assemble = [&] {
    std::vector<uint8_t> out;
    out.reserve(headerChunk.size + frames * audio.channels * 2 + blocks * 64 + 64);
    AppendChunk(out, kHeaderTag, HeaderWithCount(headerBody, header, static_cast<uint32_t>(frames)),
                walk.bigEndianSizes);
    bool hasCountChunk = std::any_of(walk.chunks.begin(), walk.chunks.end(),
                                     [](const StreamChunk& c) { return c.tag == kCountTag; });
    if (hasCountChunk) {
      std::vector<uint8_t> count;
      Append32(count, static_cast<uint32_t>(blocks), header.bigEndianBlocks);
      AppendChunk(out, kCountTag, count, walk.bigEndianSizes);
    }
    BlockEncoder encoder(header, audio, xa);
    for (size_t first = 0; first < frames; first += blockSamples) {
      uint32_t count = static_cast<uint32_t>(std::min<size_t>(blockSamples, frames - first));
      AppendChunk(out, kBlockTag, encoder.Encode(first, count), walk.bigEndianSizes);
    }
    AppendChunk(out, kEndTag, {}, walk.bigEndianSizes);
    return out;
  };
  std::vector<uint8_t> out = assemble();
  if (header.layout == SampleLayout::kXaSplit && header.xa != XaVariant::kR1 &&
      AddXaEscapeFrames(xa, blockSamples / kXaFrameSamples,
                        EscapeAllowance(options, out.size(), header, walk, frames)))
    out = assemble();
  return out;
}

}  // namespace tessaly
