// How a front end reads the user's audio files: through FFmpeg when the build has it (the target
// links tessaly_media and defines TESSALY_HAS_MEDIA), else WAV files alone.
#pragma once

#include <memory>
#include <string>

#include "base/NameCase.h"
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
  return kAudioThroughFfmpeg || EqualIgnoringCase(ExtractFileExt(name), ".wav");
}

}  // namespace tessaly
