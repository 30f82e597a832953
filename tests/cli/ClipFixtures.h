// Archives of real clips for the clip verbs: speech spoken by espeak-ng, encoded by the stream
// encoder into chosen kinds of stream, and laid out in a pair with ArchiveBuilder.
#pragma once

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "audio/Pcm.h"
#include "audio/StreamEncoder.h"
#include "audio/Wav.h"
#include "support/ArchiveBuilder.h"
#include "support/Speech.h"
#include "support/StreamBytes.h"
#include "support/TempFolder.h"

namespace tessaly::testing {

inline PcmAudio Tone(int sampleRate, int channels, int frames, double hertz) {
  PcmAudio audio{sampleRate, channels, {}};
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      audio.samples.push_back(static_cast<int16_t>(
          8000 * std::sin(2 * std::numbers::pi * hertz * (c + 1) * i / sampleRate)));
  return audio;
}

inline std::string AsString(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Templates: a header and the end chunk, no blocks.
inline Bytes XaR2MonoTemplate(uint32_t rate = 22050) {
  return Stream(HeaderBody(0, {Field(0x80, 3), Field(0x82, 1), Field(0x84, rate)}), {});
}
// PS2, version 3: MicroTalk 5:1 in Revision 3 framing, as the games keep speech.
inline Bytes MicroTalkTemplate() {
  return Stream(HeaderBody(5, {Field(0x80, 3), Field(0xA0, 0x16)}), {});
}
inline Bytes PcmStereoTemplate(uint32_t rate) {
  return Stream(HeaderBody(0, {Field(0x82, 2), Field(0x84, rate)}), {});
}

inline std::string Encode(const PcmAudio& audio, const Bytes& templateStream) {
  return AsString(EncodeStream(audio, templateStream));
}

// Three streams on 256-byte units; the last one runs to the data file's end (768 bytes there).
inline const std::vector<std::string> kStreams = {"SCHl" + std::string(1020, 'a'),
                                                  "SCHl" + std::string(2044, 'b'),
                                                  "SCHl" + std::string(764, 'c')};

// One block whose entries hold the streams in order, each starting on a 256-byte unit; the data
// file's gaps are zeros.
inline ArchivePair WriteClipPair(const TempFolder& folder, const std::string& base,
                                 const std::vector<std::string>& streams) {
  ArchiveBuilder archive;
  BlockSpec block;
  std::string data;
  for (const std::string& stream : streams) {
    block.units.push_back(static_cast<uint16_t>(data.size() / 256));
    data += stream;
    data.resize((data.size() + 255) / 256 * 256, '\0');
  }
  archive.Block(block);
  return WritePair(folder, base, archive.Index(), data);
}

}  // namespace tessaly::testing
