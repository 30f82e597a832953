// How a front end reads the user's audio files: through FFmpeg when the build has it (the target
// links tessaly_media and defines TESSALY_HAS_MEDIA), else WAV files alone.
#pragma once

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "base/Paths.h"
#include "clips/WavAudioSource.h"
#ifdef TESSALY_HAS_MEDIA
#include "media/MediaAudioSource.h"
#endif

namespace tessaly {

// Whether audio is read through FFmpeg: any format at any rate, and loudness matching.
#ifdef TESSALY_HAS_MEDIA
inline constexpr bool kAudioThroughFfmpeg = true;
#else
inline constexpr bool kAudioThroughFfmpeg = false;
#endif

inline std::unique_ptr<AudioSource> MakeAudioSource() {
#ifdef TESSALY_HAS_MEDIA
  return std::make_unique<MediaAudioSource>();
#else
  return std::make_unique<WavAudioSource>();
#endif
}

// The audio-file dialog's filter for the formats MakeAudioSource reads.
inline const char* AudioFileFilter() {
  if (kAudioThroughFfmpeg)
    return "Audio files (*.wav *.flac *.mp3 *.ogg *.oga *.opus *.m4a *.aac *.aif *.aiff *.wma);;"
           "All files (*)";
  // Both spellings: some desktops' native dialogs match patterns case-sensitively.
  return "WAV files (*.wav *.WAV)";
}

// Whether a file by this name is worth offering to MakeAudioSource's reader: through FFmpeg any
// file (its content decides), else names ending in ".wav" in any case.
inline bool MayReadAudioFileNamed(const std::string& name) {
  if (kAudioThroughFfmpeg) return true;
  std::string ext = ExtractFileExt(name);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".wav";
}

}  // namespace tessaly
