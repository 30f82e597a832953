// Import of an audio file into an entry of an unpack folder: the file is converted to the clip it
// replaces (rate, channels, optionally loudness), encoded with that clip as the template and
// written over the entry file atomically (aside, to the device, renamed): a failure leaves the
// entry file as it was. Where the entry file is missing or holds no clip whose header can be read,
// the archive's own clip (OriginalClips, the pair beside the folder) is the template instead.
#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "audio/StreamEncoder.h"
#include "base/OperationHost.h"
#include "clips/AudioSource.h"
#include "clips/EntryStreams.h"
#include "packing/UnpackFolder.h"

namespace tessaly {

struct ImportOptions {
  bool matchLoudness = false;
  // How many bytes XA r2/r3 may spend on escape frames (StreamEncoder.h).
  EncodeQuality quality = EncodeQuality::kClipRate;
  // Asked, with LengthWarning's text, before a clip much longer or shorter than the one it
  // replaces is written; false leaves the entry file as it was. Unset: written without asking.
  std::function<bool(const std::string& warning)> confirmLength = nullptr;
  // Checked once the new clip is encoded, before it is written: set, the entry file stays as it
  // was (written false). ImportByName and ImportFilesByName take the host's.
  std::stop_token stop{};
};

// A new clip is much longer or shorter than the one it replaces when it is more than twice or
// less than half as long: then the text that says so ("3.20 s, more than twice the 0.90 s of the
// clip it replaces"), else "".
inline constexpr double kLengthRatio = 2.0;
std::string LengthWarning(double newSeconds, double oldSeconds);

struct ImportOutcome {
  bool written = false;       // false only when confirmLength said no
  std::string note;           // what loudness matching did ("" when not asked)
  std::string lengthWarning;  // LengthWarning's text ("" when the lengths are near)
  bool fromArchive =
      false;  // the archive's clip was the template (the entry file missing or damaged)
};

// Replaces the clip of table row `row` of the unpack folder `folder` (`table` its table) with
// the audio file at `audioPath`, as ImportClip does, also where the entry file is missing or
// damaged. Throws, with the reason as text, as ImportClip does.
ImportOutcome ImportIntoEntry(const UnpackFolder& folder, const EntryTable& table, int row,
                              const std::string& audioPath, AudioSource& source,
                              const ImportOptions& options);

// Replaces the stream in `entryPath`. Returns what loudness matching did ("" when not asked).
// Throws, with the reason as text, when the entry file isn't a clip this program encodes, the
// audio file can't be read or converted, or the new file can't be written.
std::string ImportClip(const std::string& entryPath, const std::string& audioPath,
                       AudioSource& source, const ImportOptions& options);

struct ImportedFile {
  int row = 0;
  std::string file;  // the audio file's name in the source folder
  std::string note;
  std::string lengthWarning;
};
struct SkippedFile {
  std::string file;  // the audio file's name, or the entry's name when it has no file
  std::string reason;
  // The file was meant for an entry but could not go in (it failed, or several files match
  // the entry); false for files that match no entry.
  bool failed = false;
};
struct ImportByNameResult {
  std::vector<ImportedFile> imported;
  std::vector<SkippedFile> skipped;
  // The host's stop ended it: the entries not reached are as they were.
  bool cancelled = false;
};

// Imports every file of `fromFolder` whose name without its extension is an entry's name without
// its extension, ignoring the case of ASCII letters (`speech_00042.wav` or `SPEECH_00042.flac`
// for `speech_00042.asf`), in name order. Files that match no entry, several files for one entry,
// streams (.asf) and files that fail are skipped with the reason. Throws FrameworkError when
// `fromFolder` can't be read.
ImportByNameResult ImportByName(const EntryStreams& folderStreams, const std::string& fromFolder,
                                AudioSource& source, const ImportOptions& options,
                                OperationHost& host);
// The same for the audio files at `paths` (full paths, from any folders), named in the results
// by their file names.
ImportByNameResult ImportFilesByName(const EntryStreams& folderStreams,
                                     std::vector<std::string> paths, AudioSource& source,
                                     const ImportOptions& options, OperationHost& host);

}  // namespace tessaly
