// Export when the disk fills: it stops with the system's reason, and every WAV file it leaves is
// whole; none is half-written and nothing is left aside.
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/Listing.h"
#include "audio/Wav.h"
#include "base/SystemCalls.h"
#include "cli/ClipFixtures.h"
#include "clips/ClipExport.h"
#include "clips/EntryStreams.h"
#include "support/RecordingHost.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using namespace testing;

TEST(ClipExport, AFullDiskStopsTheExportLeavingOnlyWholeFiles) {
  TempFolder folder;
  const PcmAudio tone = Tone(32000, 2, 4000, 440);
  WriteClipPair(folder, "speech",
                std::vector<std::string>(8, Encode(tone, PcmStereoTemplate(32000))));
  RecordingHost host;
  ArchiveState state;
  EntryTable table;
  ASSERT_EQ(ListArchive(folder / "speech.idx", state, table, host), ListingEnd::Complete);
  EntryStreams streams = EntryStreams::InArchive(state.dataStream, table);

  for (int failing : {1, 4}) {
    SCOPED_TRACE(failing);
    const std::string wavs = folder / ("wavs" + std::to_string(failing));
    std::atomic<int> writes{0};
    SetSystemCallFault([&](SystemCall call) {
      return call == SystemCall::Write && ++writes >= failing ? ENOSPC : 0;
    });
    ExportResult result = ExportClips(streams, {1, 2, 3, 4, 5, 6, 7, 8}, wavs, host);
    SetSystemCallFault(nullptr);

    EXPECT_NE(result.stopped.find(std::strerror(ENOSPC)), std::string::npos) << result.stopped;
    EXPECT_LT(result.written, 8);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(wavs)) {
      ++files;
      EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
      EXPECT_EQ(ReadWavFile(entry.path().string()).samples, tone.samples) << entry.path();
    }
    EXPECT_EQ(files, result.written);
  }
}

#ifndef _WIN32
// A kill at any write: what carries a WAV's name is whole, and the next export removes what the
// killed one left aside.
TEST(ClipExport, AKillLeavesOnlyWholeFilesAndTheNextExportClearsTheRest) {
  TempFolder folder;
  const PcmAudio tone = Tone(32000, 2, 4000, 440);
  WriteClipPair(folder, "speech",
                std::vector<std::string>(4, Encode(tone, PcmStereoTemplate(32000))));
  RecordingHost host;
  ArchiveState state;
  EntryTable table;
  ASSERT_EQ(ListArchive(folder / "speech.idx", state, table, host), ListingEnd::Complete);
  EntryStreams streams = EntryStreams::InArchive(state.dataStream, table);

  for (int killedAt : {1, 2, 3}) {
    SCOPED_TRACE(killedAt);
    const std::string wavs = folder / ("wavs" + std::to_string(killedAt));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::atomic<int> writes{0};
      SetSystemCallFault([&](SystemCall call) {
        if (call == SystemCall::Write && ++writes == killedAt) ::_exit(0);
        return 0;
      });
      ExportClips(streams, {1, 2, 3, 4}, wavs, host);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (const auto& entry : fs::directory_iterator(wavs)) {
      if (entry.path().extension() == ".wav") {
        EXPECT_EQ(ReadWavFile(entry.path().string()).samples, tone.samples) << entry.path();
      }
    }

    EXPECT_EQ(ExportClips(streams, {1}, wavs, host).written, 1);
    for (const auto& entry : fs::directory_iterator(wavs))
      EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
  }
}
#endif

}  // namespace
}  // namespace tessaly
