// The reader of builds without FFmpeg: WAV files at the clip's rate go in, mono and stereo
// converted; every other file is refused with a message that names it and says what to do.
#include <gtest/gtest.h>

#include <string>

#include "audio/AudioError.h"
#include "audio/Wav.h"
#include "cli/ClipFixtures.h"
#include "clips/WavAudioSource.h"
#include "support/ErrorText.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

using namespace testing;

void WriteWav(const std::string& path, const PcmAudio& audio) {
  const std::vector<uint8_t> wav = WavBytes(audio);
  WriteBytes(path, std::string(wav.begin(), wav.end()));
}

TEST(WavAudioSource, ReadsWavAtTheClipsRateConvertingMonoAndStereo) {
  TempFolder folder;
  const PcmAudio mono = Tone(22050, 1, 300, 440), stereo = Tone(22050, 2, 300, 440);
  WriteWav(folder / "mono.wav", mono);
  WriteWav(folder / "stereo.WAV", stereo);
  WavAudioSource source;

  EXPECT_EQ(source.Read(folder / "mono.wav", 22050, 1, nullptr).audio.samples, mono.samples);
  const PcmAudio up = source.Read(folder / "mono.wav", 22050, 2, nullptr).audio;
  EXPECT_EQ(up.channels, 2);
  EXPECT_EQ(up.Frames(), 300u);
  EXPECT_EQ(up.samples[20], mono.samples[10]);
  EXPECT_EQ(up.samples[21], mono.samples[10]);
  const PcmAudio down = source.Read(folder / "stereo.WAV", 22050, 1, nullptr).audio;
  EXPECT_EQ(down.channels, 1);
  EXPECT_EQ(down.samples[10], (stereo.samples[20] + stereo.samples[21]) / 2);
}

TEST(WavAudioSource, RefusesWhatNeedsFfmpegNamingTheFileAndTheWayOut) {
  TempFolder folder;
  WriteWav(folder / "fast.wav", Tone(44100, 1, 300, 440));
  WriteWav(folder / "surround.wav", Tone(22050, 6, 300, 440));
  WriteBytes(folder / "take.ogg", std::string("OggS\0\x02", 6) + std::string(64, '\0'));
  WriteBytes(folder / "cut.wav", std::string("RIFF\x04\0\0\0WAVE", 12));
  const PcmAudio reference = Tone(22050, 2, 300, 440);

  const struct {
    std::string file;
    const PcmAudio* loudnessReference;
    std::string message;
  } cases[] = {
      {"fast.wav", nullptr,
       "Cannot import \"" + folder / "fast.wav" +
           "\": its sample rate is 44100 Hz and the clip's 22050 Hz. This build has no FFmpeg to "
           "convert it: convert the file to 22050 Hz first"},
      {"surround.wav", nullptr,
       "Cannot import \"" + folder / "surround.wav" +
           "\": it has 6 channels and the clip 2. This build has no FFmpeg to convert it: "
           "convert the file to 2 channels first"},
      {"take.ogg", nullptr,
       "Cannot read audio file \"" + folder / "take.ogg" +
           "\". It is no WAV file, the one format this build reads without FFmpeg: convert it "
           "to WAV first"},
      {"cut.wav", nullptr,
       "Cannot read audio file \"" + folder / "cut.wav" + "\". WAV file: no fmt chunk"},
      {"surround.wav", &reference,
       "loudness matching needs FFmpeg, which this build of the program lacks"},
  };
  WavAudioSource source;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(
        ErrorText<AudioError>([&] { source.Read(folder / c.file, 22050, 2, c.loudnessReference); }),
        c.message);
  }
}

}  // namespace
}  // namespace tessaly
