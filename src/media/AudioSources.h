// How a front end reads the user's audio files: through FFmpeg when the build has it (the target
// links tessaly_media and defines TESSALY_HAS_MEDIA), else WAV files alone.
#pragma once

#include <memory>

#include "clips/WavAudioSource.h"
#ifdef TESSALY_HAS_MEDIA
#include "media/MediaAudioSource.h"
#endif

namespace tessaly {

inline std::unique_ptr<AudioSource> MakeAudioSource() {
#ifdef TESSALY_HAS_MEDIA
  return std::make_unique<MediaAudioSource>();
#else
  return std::make_unique<WavAudioSource>();
#endif
}

// The audio-file dialog's filter for the formats MakeAudioSource reads.
inline const char* AudioFileFilter() {
#ifdef TESSALY_HAS_MEDIA
  return "Audio files (*.wav *.flac *.mp3 *.ogg *.oga *.opus *.m4a *.aac *.aif *.aiff *.wma);;"
         "All files (*)";
#else
  return "WAV files (*.wav);;All files (*)";
#endif
}

}  // namespace tessaly
