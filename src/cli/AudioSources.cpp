#include "cli/Commands.h"
#include "clips/WavAudioSource.h"
#ifdef TESSALY_HAS_MEDIA
#include "media/MediaAudioSource.h"
#endif

namespace tessaly::cli {

std::unique_ptr<AudioSource> MakeAudioSource() {
#ifdef TESSALY_HAS_MEDIA
  return std::make_unique<MediaAudioSource>();
#else
  return std::make_unique<WavAudioSource>();
#endif
}

}  // namespace tessaly::cli
