// Reads a user's audio file in any format FFmpeg reads (WAV, FLAC, MP3, Ogg Vorbis, Opus,
// AAC/M4A, ...) as 16-bit PCM at a chosen sample rate and channel count, optionally brought to a
// loudness. What the command line's import and the window's replace both call.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "audio/Pcm.h"
#include "media/Loudness.h"
#include "media/MediaError.h"

namespace tessaly {

struct AudioFileRequest {
  int sampleRate = 0;  // Hz, 1000 to 768000; 0 keeps the file's
  int channels = 0;    // 1 to 8; 0 keeps the file's
  // Integrated loudness in LUFS to bring the audio to (see Loudness.h for the rule); usually
  // IntegratedLoudness() of the clip being replaced.
  std::optional<double> loudnessTarget = std::nullopt;
  // Longer audio is refused, so a hostile or mistaken file can't exhaust memory; so is more than
  // 2^28 samples of output (512 MiB), which binds first only at high rates with many channels.
  double maxSeconds = 3600;
  // Called as the reading advances with the share done, 0 to 1, at most once per percent and
  // with 1 at the end. An exception thrown from it stops the reading and comes out of it.
  std::function<void(double done)> progress = nullptr;
};

struct AudioFileContents {
  PcmAudio audio;
  std::optional<LoudnessMatch> loudness;  // present when a target was asked for
};

// Decodes the best audio stream of the file at `path` and converts it as `request` asks:
// resampled with the SoX resampler at very high quality, mixed down (channels averaged) or up
// (a mono source copied into every channel; other layouts by FFmpeg's standard matrix), and
// quantised to 16 bits by rounding, after the loudness gain. Decoding and conversion stream; only
// the output is held, except for a file that is one of the game's SCHl streams, which the core
// decodes whole (FFmpeg misreads several of its variants) before it is converted. Throws MediaError
// for a missing, unreadable or audio-less file, a folder, or audio longer than
// `request.maxSeconds`; std::invalid_argument for a request out of range.
AudioFileContents ReadAudioFile(const std::string& path, const AudioFileRequest& request);

}  // namespace tessaly
