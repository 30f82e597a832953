// WAV files without any library: reading PCM (8, 16, 24, 32-bit) and float (32, 64-bit) into
// 16-bit samples, and writing 16-bit PCM. Builds without FFmpeg use only these.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/Pcm.h"

namespace tessaly {

// Whether the bytes begin as a WAV file does ("RIFF", a size, "WAVE").
bool HasWavHeader(std::span<const uint8_t> bytes);
// Throws AudioError for bytes that aren't a WAV file of a kind read here (compressed formats,
// other sample sizes), naming what was found.
PcmAudio ReadWav(std::span<const uint8_t> bytes);
// A 16-bit PCM WAV file of the samples.
std::vector<uint8_t> WavBytes(const PcmAudio& audio);

// Reads the file at `path` (FrameworkError when it can't be read) as ReadWav does.
PcmAudio ReadWavFile(const std::string& path);

}  // namespace tessaly
