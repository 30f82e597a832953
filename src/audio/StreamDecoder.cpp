#include "audio/StreamDecoder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"
#include "audio/MicroTalk.h"
#include "audio/StreamChunks.h"
#include "audio/StreamHeader.h"
#include "audio/XaFrames.h"

namespace tessaly {
namespace {

// Decodes the blocks of one stream into `out`, keeping the history that r2 and r3 carry from
// block to block.
class BlockDecoder {
 public:
  BlockDecoder(const StreamHeader& header, PcmAudio& out)
      : header_(header),
        out_(out),
        history_(static_cast<size_t>(header.channels)),
        talk_(header.layout == SampleLayout::kMicroTalk ? static_cast<size_t>(header.channels)
                                                        : 0) {}

  void Decode(std::span<const uint8_t> body, size_t position) {
    position_ = position;
    body_ = body;
    const size_t channels = static_cast<size_t>(header_.channels);
    Require(4, "has no sample count");
    uint32_t count = Read32(body.data(), header_.bigEndianBlocks);
    // Every layout but MicroTalk spends at least half a byte on a sample, and a MicroTalk frame
    // at least 24 bytes on 432 samples: a count beyond that can't be true, and checking it first
    // keeps a hostile count from reserving memory.
    if (count == 0) return;
    const uint64_t most = header_.layout == SampleLayout::kMicroTalk
                              ? (static_cast<uint64_t>(body.size()) + 24) * 18
                              : static_cast<uint64_t>(body.size()) * 2;
    if (static_cast<uint64_t>(count) * channels > most)
      Fail("claims " + std::to_string(count) + " samples per channel in " +
           std::to_string(body.size()) + " bytes");
    first_ = out_.samples.size();
    count_ = count;
    out_.samples.resize(first_ + static_cast<size_t>(count) * channels);
    switch (header_.layout) {
      case SampleLayout::kPcmInterleaved:
        return DecodePcmInterleaved();
      case SampleLayout::kPcmSplit:
        return DecodePcmSplit();
      case SampleLayout::kXaInterleaved:
        return DecodeXaInterleaved();
      case SampleLayout::kXaSplit:
        return DecodeXaSplit();
      case SampleLayout::kMicroTalk:
        return DecodeMicroTalk();
      case SampleLayout::kUnsupported:
        break;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw AudioError("SCDl block at byte " + std::to_string(position_) + " " + what);
  }
  void Require(size_t end, const char* what) const {
    if (end > body_.size()) Fail(what);
  }
  int16_t* Out(size_t channel) { return out_.samples.data() + first_ + channel; }

  int16_t PcmSample(const uint8_t* p) const {
    switch (header_.pcm) {
      case PcmFormat::kS16Le:
        return static_cast<int16_t>(Read16Le(p));
      case PcmFormat::kS16Be:
        return static_cast<int16_t>(Read16Be(p));
      case PcmFormat::kS8:
        break;
    }
    return static_cast<int16_t>(static_cast<int8_t>(*p) * 256);
  }
  size_t PcmBytes() const { return header_.pcm == PcmFormat::kS8 ? 1 : 2; }

  // Where channel `c`'s data begins: its offset counts from the end of the offset table.
  size_t ChannelStart(size_t c) {
    const size_t channels = static_cast<size_t>(header_.channels);
    Require(4 + 4 * channels, "ends inside its channel offsets");
    uint32_t offset = Read32(body_.data() + 4 + 4 * c, header_.bigEndianBlocks);
    size_t start = 4 + 4 * channels + static_cast<size_t>(offset);
    if (offset >= body_.size() || start > body_.size())
      Fail("gives channel " + std::to_string(c + 1) + " an offset of " + std::to_string(offset) +
           ", outside the block");
    return start;
  }

  void DecodePcmInterleaved() {
    const size_t channels = static_cast<size_t>(header_.channels), width = PcmBytes();
    const size_t values = static_cast<size_t>(count_) * channels;
    Require(4 + values * width, "ends before its samples do");
    const uint8_t* p = body_.data() + 4;
    for (size_t i = 0; i < values; ++i) Out(0)[i] = PcmSample(p + i * width);
  }

  void DecodePcmSplit() {
    const size_t channels = static_cast<size_t>(header_.channels), width = PcmBytes();
    for (size_t c = 0; c < channels; ++c) {
      size_t start = ChannelStart(c);
      if ((body_.size() - start) / width < count_)
        Fail("ends before channel " + std::to_string(c + 1) + "'s samples do");
      int16_t* out = Out(c);
      for (size_t i = 0; i < count_; ++i)
        out[i * channels] = PcmSample(body_.data() + start + i * width);
    }
  }

  void DecodeXaInterleaved() {
    const size_t channels = static_cast<size_t>(header_.channels);
    const size_t frames = (count_ + kXaFrameSamples - 1) / kXaFrameSamples;
    const size_t frameBytes = channels == 2 ? kXaStereoFrameBytes : kXaFrameBytes;
    Require(12 + frames * frameBytes, "ends before its frames do");
    for (size_t c = 0; c < channels; ++c) {
      history_[c].current = static_cast<int16_t>(Read16(body_.data() + 4 + 4 * c, Be()));
      history_[c].previous = static_cast<int16_t>(Read16(body_.data() + 6 + 4 * c, Be()));
    }
    for (size_t f = 0; f < frames; ++f) {
      int n = static_cast<int>(std::min<size_t>(kXaFrameSamples, count_ - f * kXaFrameSamples));
      const uint8_t* frame = body_.data() + 12 + f * frameBytes;
      int16_t* out = Out(0) + f * kXaFrameSamples * channels;
      if (channels == 2)
        DecodeXaStereoFrame(frame, n, history_[0], history_[1], out);
      else
        DecodeXaFrame(frame, n, kXaInterleavedRounding, history_[0], out, 1);
    }
  }

  void DecodeXaSplit() {
    const size_t channels = static_cast<size_t>(header_.channels);
    for (size_t c = 0; c < channels; ++c) {
      size_t at = ChannelStart(c);
      XaHistory& history = history_[c];
      if (header_.xa == XaVariant::kR1) {
        Require(at + 4, "ends inside a channel's history");
        history.current = static_cast<int16_t>(Read16(body_.data() + at, Be()));
        history.previous = static_cast<int16_t>(Read16(body_.data() + at + 2, Be()));
        at += 4;
      }
      int16_t* out = Out(c);
      for (size_t done = 0; done < count_; done += kXaFrameSamples) {
        int n = static_cast<int>(std::min<size_t>(kXaFrameSamples, count_ - done));
        Require(at + 1, "ends before its frames do");
        if (body_[at] == kXaEscapeMarker) {
          Require(at + kXaEscapeFrameBytes, "ends inside an escape frame");
          DecodeXaEscapeFrame(body_.data() + at, n, history, out + done * channels, channels);
          at += kXaEscapeFrameBytes;
        } else {
          Require(at + kXaFrameBytes, "ends before its frames do");
          DecodeXaFrame(body_.data() + at, n, 0, history, out + done * channels, channels);
          at += kXaFrameBytes;
        }
      }
    }
  }

  // Each channel from its offset: a flag byte, then frames; the bit reader starts afresh in every
  // block while the decoder's state runs on, and the codec header opens the first block.
  void DecodeMicroTalk() {
    const size_t channels = static_cast<size_t>(header_.channels);
    for (size_t c = 0; c < channels; ++c) {
      MicroTalkChannel& channel = talk_[c];
      MtBitReader bits(body_, ChannelStart(c) + 1);
      int16_t* out = Out(c);
      for (size_t done = 0; done < count_; done += kMtFrameSamples) {
        size_t frameStart = bits.Position();
        int patchMarker = header_.microTalkRev3 ? bits.Byte() : 0;
        bits.Fill();
        if (!channel.started) {
          channel.synth.SetHeader(ReadMtCodecHeader(bits));
          channel.started = true;
        }
        if (!channel.synth.Parse(bits, frame_))
          Fail("holds a pulse beyond 16 bits in the frame at byte " + std::to_string(frameStart));
        channel.synth.Synthesize(frame_);
        if (header_.microTalkRev3) {
          bits.AlignToByte();
          if (patchMarker == kMtPatchMarker) ApplyPatch(bits, channel.synth.MutableOutput());
        }
        const size_t n = std::min<size_t>(kMtFrameSamples, count_ - done);
        const float* decoded = channel.synth.Output();
        for (size_t i = 0; i < n; ++i) out[(done + i) * channels] = MtSample(decoded[i]);
      }
    }
  }

  // A Revision 3 frame's PCM: big-endian offset and count, then that many big-endian samples
  // written over the frame's output (not its state).
  void ApplyPatch(MtBitReader& bits, float* frame) {
    size_t at = bits.Position();
    Require(at + 4, "ends inside a PCM patch's offset and count");
    int offset = static_cast<int16_t>(Read16Be(body_.data() + at));
    int count = static_cast<int16_t>(Read16Be(body_.data() + at + 2));
    if (offset < 0 || offset > kMtFrameSamples || count < 0 || count > kMtFrameSamples - offset)
      Fail("has a PCM patch of " + std::to_string(count) + " samples at " + std::to_string(offset) +
           ", outside its 432-sample frame");
    Require(at + 4 + 2 * static_cast<size_t>(count), "ends inside a PCM patch");
    for (int i = 0; i < count; ++i)
      frame[offset + i] = static_cast<int16_t>(Read16Be(body_.data() + at + 4 + 2 * i));
    bits = MtBitReader(body_, at + 4 + 2 * static_cast<size_t>(count));
  }

  bool Be() const { return header_.bigEndianBlocks; }

  struct MicroTalkChannel {
    MtSynth synth;
    bool started = false;
  };

  const StreamHeader& header_;
  PcmAudio& out_;
  std::vector<XaHistory> history_;
  std::vector<MicroTalkChannel> talk_;
  MtFrame frame_;
  std::span<const uint8_t> body_;
  size_t position_ = 0;
  size_t first_ = 0;
  size_t count_ = 0;
};

}  // namespace

PcmAudio DecodeStream(std::span<const uint8_t> stream) {
  StreamChunks walk = WalkChunks(stream);
  const StreamChunk& headerChunk = walk.chunks.front();
  StreamHeader header =
      ParseStreamHeader(stream.subspan(headerChunk.BodyPosition(), headerChunk.BodySize()));
  if (header.layout == SampleLayout::kUnsupported)
    throw AudioError("can't decode " + CodecName(header) + " audio" +
                     (header.codecId == codec::kXaInterleaved
                          ? " of " + std::to_string(header.channels) + " channels"
                          : std::string()));
  if (header.channels > kMaxDecodedChannels)
    throw AudioError("can't decode a stream of " + std::to_string(header.channels) +
                     " channels (at most " + std::to_string(kMaxDecodedChannels) + ")");

  PcmAudio out;
  out.sampleRate = static_cast<int>(header.sampleRate);
  out.channels = header.channels;
  // Reserved from the header's count, bounded as the blocks' counts are: half a byte a sample.
  if (header.hasSampleCount)
    out.samples.reserve(static_cast<size_t>(
        std::min<uint64_t>(uint64_t{header.samples} * static_cast<uint64_t>(out.channels),
                           uint64_t{stream.size()} * 2)));
  BlockDecoder decoder(header, out);
  for (const StreamChunk& chunk : walk.chunks)
    if (chunk.tag == kBlockTag)
      decoder.Decode(stream.subspan(chunk.BodyPosition(), chunk.BodySize()), chunk.position);
  if (header.hasSampleCount && out.Frames() > header.samples)
    out.samples.resize(static_cast<size_t>(header.samples) * static_cast<size_t>(out.channels));
  return out;
}

}  // namespace tessaly
