// Any bytes as the blocks of a MicroTalk stream, in memory: the first byte picks the framing
// (version 2 or 3), the ratio's codec number, one or two channels and the rate; then each block
// takes a byte for its sample count and up to 255 bytes of data per channel. Decoding never reads
// outside the input, gives the header's sample count or a clean AudioError, and the start of what
// decodes re-encodes, with the stream as its template, into a stream that decodes to the same
// shape.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "audio/AudioError.h"
#include "audio/ByteOrder.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"

namespace {

using namespace tessaly;
using fuzzing::Require;

// A chunk whose size counts its header and its body padded to a multiple of 4.
void AppendChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& body) {
  const size_t padded = (body.size() + 3) / 4 * 4;
  out.insert(out.end(), tag, tag + 4);
  Append32(out, static_cast<uint32_t>(padded + 8), false);
  out.insert(out.end(), body.begin(), body.end());
  out.resize(out.size() + padded - body.size(), 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const int channels = flags & 4 ? 2 : 1;
  std::vector<std::vector<uint8_t>> blocks;
  uint32_t total = 0;
  for (size_t at = 1; at < size && blocks.size() < 64;) {
    uint32_t count = 1 + data[at++] * 17u;  // 1 .. 4336 samples
    std::vector<uint8_t> block;
    Append32(block, count, false);
    std::vector<uint8_t> payload;
    for (int c = 0; c < channels; ++c) {
      Append32(block, static_cast<uint32_t>(payload.size()), false);
      size_t n = 0;
      if (at < size) {
        n = data[at];
        ++at;
        n = std::min(n, size - at);
      }
      payload.push_back(blocks.empty() ? 1 : 0);
      payload.insert(payload.end(), data + at, data + at + n);
      at += n;
    }
    block.insert(block.end(), payload.begin(), payload.end());
    blocks.push_back(std::move(block));
    total += count;
  }
  std::vector<uint8_t> header = {'P',
                                 'T',
                                 5,
                                 0,
                                 0xFD,
                                 0x80,
                                 1,
                                 static_cast<uint8_t>(flags & 1 ? 3 : 2),
                                 0x82,
                                 1,
                                 static_cast<uint8_t>(channels),
                                 0x84,
                                 2,
                                 static_cast<uint8_t>(flags & 8 ? 0x3E : 0x56),
                                 static_cast<uint8_t>(flags & 8 ? 0x80 : 0x22),
                                 0x85,
                                 4};
  Append32(header, total, true);
  header.insert(header.end(), {0xA0, 1, static_cast<uint8_t>(flags & 2 ? 0x16 : 0x04), 0xFF});
  std::vector<uint8_t> stream;
  AppendChunk(stream, "SCHl", header);
  for (const auto& block : blocks) AppendChunk(stream, "SCDl", block);
  AppendChunk(stream, "SCEl", {});

  PcmAudio audio;
  try {
    audio = DecodeStream(stream);
  } catch (const AudioError&) {
    return 0;
  }
  Require(audio.channels == channels, "the header's channels");
  Require(audio.Frames() <= total, "no more samples than the header counts");
  // Encoding is the slow half (about a second for 20,000 frames under the sanitizers): the first
  // 8,192 frames, several blocks of MicroTalk frames, take every path of the encoder.
  audio.samples.resize(std::min(audio.samples.size(), size_t{8192} * audio.channels));
  PcmAudio again = DecodeStream(EncodeStream(audio, stream));
  Require(again.channels == audio.channels && again.sampleRate == audio.sampleRate &&
              again.samples.size() == audio.samples.size(),
          "a re-encoded stream decodes to the same shape");
  return 0;
}
