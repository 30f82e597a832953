#include "clips/WavAudioSource.h"

#include "audio/AudioError.h"
#include "audio/Wav.h"
#include "base/Files.h"

namespace tessaly {

PcmAudio ConvertChannels(PcmAudio audio, int channels) {
  if (audio.channels == channels) return audio;
  const size_t frames = audio.Frames();
  const auto from = static_cast<size_t>(audio.channels);
  const auto to = static_cast<size_t>(channels);
  PcmAudio converted;
  converted.sampleRate = audio.sampleRate;
  converted.channels = channels;
  if (channels == 1) {
    converted.samples.resize(frames);
    for (size_t frame = 0; frame < frames; ++frame) {
      int64_t sum = 0;
      for (size_t c = 0; c < from; ++c) sum += audio.samples[frame * from + c];
      converted.samples[frame] = static_cast<int16_t>(sum / static_cast<int64_t>(from));
    }
  } else if (audio.channels == 1) {
    converted.samples.resize(frames * to);
    for (size_t frame = 0; frame < frames; ++frame)
      for (size_t c = 0; c < to; ++c) converted.samples[frame * to + c] = audio.samples[frame];
  } else {
    throw AudioError("audio with " + std::to_string(audio.channels) +
                     " channels can't be converted to " + std::to_string(channels) +
                     " channels without FFmpeg");
  }
  return converted;
}

ConvertedAudio WavAudioSource::Read(const std::string& path, int sampleRate, int channels,
                                    const PcmAudio* loudnessReference) {
  if (loudnessReference)
    throw AudioError("loudness matching needs FFmpeg, which this build of the program lacks");
  // Whole files are read: a longer one than any clip is refused before its bytes are.
  constexpr uint64_t kMaxWavBytes = (uint64_t{1} << 29) + (1 << 20);
  File file = File::OpenRead(path);
  if (file.Size() > kMaxWavBytes)
    throw AudioError("Cannot read audio file \"" + path +
                     "\". It is larger than 512 MiB, the most audio this program reads");
  file.Release();
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  if (!HasWavHeader(bytes))
    throw AudioError("Cannot read audio file \"" + path +
                     "\". It is no WAV file, the one format this build reads without FFmpeg: "
                     "convert it to WAV first");
  PcmAudio audio;
  try {
    audio = ReadWav(bytes);
  } catch (const AudioError& error) {
    throw AudioError("Cannot read audio file \"" + path + "\". " + error.what());
  }
  const std::string cannot = "Cannot import \"" + path + "\": ";
  const std::string noFfmpeg = ". This build has no FFmpeg to convert it: convert the file to ";
  if (audio.sampleRate != sampleRate)
    throw AudioError(cannot + "its sample rate is " + std::to_string(audio.sampleRate) +
                     " Hz and the clip's " + std::to_string(sampleRate) + " Hz" + noFfmpeg +
                     std::to_string(sampleRate) + " Hz first");
  if (audio.channels != channels && audio.channels != 1 && channels != 1)
    throw AudioError(cannot + "it has " + std::to_string(audio.channels) +
                     " channels and the clip " + std::to_string(channels) + noFfmpeg +
                     std::to_string(channels) + " channels first");
  return {ConvertChannels(std::move(audio), channels), ""};
}

}  // namespace tessaly
