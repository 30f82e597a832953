// Reads arbitrary bytes as a stream in memory: clip information never throws, decoding either
// gives audio of the header's shape within the bounds the bytes allow or a clean AudioError, and
// what decodes re-encodes with the input as its template into a stream that decodes to the same
// shape.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "audio/AudioError.h"
#include "audio/ClipInfo.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"

namespace {

using namespace tessaly;
using fuzzing::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  ClipInfo info = ReadClipInfo(bytes);
  Require(info.readable != !info.reason.empty(), "a record is readable or says why not");
  if (info.readable) Require(info.channels >= 1 && info.sampleRate > 0, "a readable header");

  PcmAudio audio;
  try {
    audio = DecodeStream(bytes);
  } catch (const AudioError&) {
    return 0;
  }
  Require(info.readable && info.decodable, "what decodes has a readable, decodable header");
  Require(audio.channels == info.channels && audio.sampleRate == info.sampleRate,
          "decoded audio has the header's channels and rate");
  Require(audio.samples.size() % static_cast<size_t>(audio.channels) == 0, "whole frames");
  // MicroTalk spends as little as 24 bytes on a 432-sample frame (18 samples a byte, and a frame
  // in any block of 8 bytes or more); every other layout at least half a byte on a sample.
  const bool microTalk = info.codecName.rfind("MicroTalk", 0) == 0;
  Require(audio.samples.size() <= (microTalk ? 72 : 2) * size,
          "no more samples than the bytes can hold");
  Require(audio.Frames() <= info.samples, "no more samples than the header or the blocks count");

  // MicroTalk encodes far slower than it decodes: long ones are left to fuzz_microtalk's sizes.
  if (microTalk && audio.Frames() > 20000) return 0;
  std::vector<uint8_t> stream = EncodeStream(audio, bytes);
  PcmAudio again = DecodeStream(stream);
  Require(again.channels == audio.channels && again.sampleRate == audio.sampleRate &&
              again.samples.size() == audio.samples.size(),
          "a re-encoded stream decodes to the same shape");
  ClipInfo encoded = ReadClipInfo(stream);
  Require(encoded.codecName == info.codecName && encoded.samples == audio.Frames(),
          "a re-encoded stream keeps the codec and counts its samples");
  return 0;
}
