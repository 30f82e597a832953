#include "media/MediaAudioSource.h"

#include <cmath>
#include <cstdio>

#include "media/AudioFileReader.h"

namespace tessaly {

namespace {

std::string Decibels(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f dB", value);
  return text;
}

std::string Lufs(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f LUFS", value);
  return text;
}

std::string Describe(const LoudnessMatch& match) {
  switch (match.outcome) {
    case LoudnessMatch::Outcome::matched:
      return "Loudness matched: " + Lufs(match.sourceLufs) + " to " + Lufs(match.targetLufs) +
             " (gain " + Decibels(match.gainDb) + ")";
    case LoudnessMatch::Outcome::peakLimited:
      return "Loudness raised by " + Decibels(match.gainDb) + ", " + Decibels(match.ShortfallDb()) +
             " short of " + Lufs(match.targetLufs) + " to keep its peaks below full scale";
    case LoudnessMatch::Outcome::silent:
      break;
  }
  return "Loudness left as it is: one of the clips is silent";
}

}  // namespace

ConvertedAudio MediaAudioSource::Read(const std::string& path, int sampleRate, int channels,
                                      const PcmAudio* loudnessReference) {
  AudioFileRequest request;
  request.sampleRate = sampleRate;
  request.channels = channels;
  if (loudnessReference) request.loudnessTarget = IntegratedLoudness(*loudnessReference);
  AudioFileContents contents = ReadAudioFile(path, request);
  ConvertedAudio converted{std::move(contents.audio), ""};
  if (contents.loudness) converted.loudnessNote = Describe(*contents.loudness);
  return converted;
}

}  // namespace tessaly
