#include "audio/Wav.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"
#include "base/Files.h"

namespace tessaly {
namespace {

constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE;

int16_t FromFloat(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int16_t>(std::clamp(std::lround(value * 32768.0), -32768L, 32767L));
}

int16_t SampleAt(const uint8_t* p, uint16_t format, uint16_t bits) {
  if (format == kFormatFloat) {
    if (bits == 32) {
      uint32_t raw = Read32Le(p);
      float value;
      std::memcpy(&value, &raw, sizeof value);
      return FromFloat(value);
    }
    uint64_t raw = Read32Le(p) | (static_cast<uint64_t>(Read32Le(p + 4)) << 32);
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return FromFloat(value);
  }
  switch (bits) {
    case 8:
      return static_cast<int16_t>((p[0] - 128) * 256);
    case 16:
      return static_cast<int16_t>(Read16Le(p));
    case 24:
      return static_cast<int16_t>(Read16Le(p + 1));
    default:
      return static_cast<int16_t>(Read16Le(p + 2));
  }
}

}  // namespace

bool HasWavHeader(std::span<const uint8_t> bytes) {
  return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
         std::memcmp(bytes.data() + 8, "WAVE", 4) == 0;
}

PcmAudio ReadWav(std::span<const uint8_t> bytes) {
  if (!HasWavHeader(bytes)) throw AudioError("not a WAV file: no RIFF/WAVE header");
  uint16_t format = 0, channels = 0, bits = 0, blockAlign = 0;
  uint32_t rate = 0;
  bool haveFormat = false;
  size_t pos = 12;
  while (bytes.size() - pos >= 8) {
    const uint8_t* chunk = bytes.data() + pos;
    uint32_t size = Read32Le(chunk + 4);
    size_t body = pos + 8;
    size_t available = std::min<size_t>(size, bytes.size() - body);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (available < 16) throw AudioError("WAV file: its fmt chunk is too short");
      format = Read16Le(chunk + 8);
      channels = Read16Le(chunk + 10);
      rate = Read32Le(chunk + 12);
      blockAlign = Read16Le(chunk + 20);
      bits = Read16Le(chunk + 22);
      if (format == kFormatExtensible && available >= 26) format = Read16Le(chunk + 32);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) throw AudioError("WAV file: data comes before its fmt chunk");
      bool pcm = format == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
      bool flt = format == kFormatFloat && (bits == 32 || bits == 64);
      if (!pcm && !flt)
        throw AudioError("WAV file: can't read format " + std::to_string(format) + " with " +
                         std::to_string(bits) + " bits per sample (PCM 8, 16, 24 or 32-bit and " +
                         "float are read)");
      if (channels == 0 || rate == 0 || rate > 0x7FFFFFFF || blockAlign != channels * bits / 8)
        throw AudioError("WAV file: impossible channel count, rate or block size");
      PcmAudio audio;
      audio.channels = channels;
      audio.sampleRate = static_cast<int>(rate);
      size_t frames = available / blockAlign;
      audio.samples.resize(frames * channels);
      const size_t width = bits / 8;
      for (size_t i = 0; i < audio.samples.size(); ++i)
        audio.samples[i] = SampleAt(bytes.data() + body + i * width, format, bits);
      return audio;
    }
    if (size > bytes.size() - body) break;
    pos = body + size + (size & 1);  // chunks are padded to an even length
  }
  throw AudioError(haveFormat ? "WAV file: no data chunk" : "WAV file: no fmt chunk");
}

std::vector<uint8_t> WavBytes(const PcmAudio& audio) {
  const uint32_t dataSize = static_cast<uint32_t>(audio.samples.size() * 2);
  const uint16_t channels = static_cast<uint16_t>(audio.channels);
  std::vector<uint8_t> out;
  out.reserve(44 + dataSize);
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF");
  Append32(out, 36 + dataSize, false);
  tag("WAVE");
  tag("fmt ");
  Append32(out, 16, false);
  Append16(out, kFormatPcm, false);
  Append16(out, channels, false);
  Append32(out, static_cast<uint32_t>(audio.sampleRate), false);
  Append32(out, static_cast<uint32_t>(audio.sampleRate) * channels * 2, false);
  Append16(out, static_cast<uint16_t>(channels * 2), false);
  Append16(out, 16, false);
  tag("data");
  Append32(out, dataSize, false);
  out.resize(44 + dataSize);
  uint8_t* data = out.data() + 44;
  for (int16_t s : audio.samples) {  // little-endian whatever the host: compilers make this a copy
    *data++ = static_cast<uint8_t>(s);
    *data++ = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
  }
  return out;
}

PcmAudio ReadWavFile(const std::string& path) {
  return ReadWav(ReadWholeFile(path));
}

}  // namespace tessaly
