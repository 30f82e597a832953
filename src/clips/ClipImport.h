// Import of an audio file into an entry of an unpack folder: the file is converted to the clip it
// replaces (rate, channels, optionally loudness), encoded with that clip as the template and
// written over the entry file atomically (aside, to the device, renamed): a failure leaves the
// entry file as it was.
#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "audio/StreamEncoder.h"
#include "base/OperationHost.h"
#include "clips/AudioSource.h"
#include "clips/EntryStreams.h"

namespace tessaly {

struct ImportOptions {
  bool matchLoudness = false;
  // How many bytes XA r2/r3 may spend on escape frames (StreamEncoder.h).
  EncodeQuality quality = EncodeQuality::kClipRate;
  // Checked once the new clip is encoded, before it is written: set, the entry file stays as it
  // was.
  std::stop_token stop{};
};

// Replaces the stream in `entryPath`. Returns what loudness matching did ("" when not asked), or
// nullopt when the options' stop was set before the new stream was written (nothing changed).
// Throws, with the reason as text, when the entry file isn't a clip this program encodes, the
// audio file can't be read or converted, or the new file can't be written.
std::optional<std::string> ImportClip(const std::string& entryPath, const std::string& audioPath,
                                      AudioSource& source, const ImportOptions& options);

struct ImportedFile {
  int row = 0;
  std::string file;  // the audio file's name in the source folder
  std::string note;
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
  // The host's stop ended it: the entries not reached (and the one it stopped at) are as they
  // were.
  bool cancelled = false;
};

// Imports every file of `fromFolder` whose name without its extension is an entry's name without
// its extension (`speech_00042.wav` or `.flac` for `speech_00042.asf`), in name order. Files that
// match no entry, several files for one entry, streams (.asf) and files that fail are skipped with
// the reason. Throws FrameworkError when `fromFolder` can't be read. The host's stop is checked
// before each entry and before each new clip is written.
ImportByNameResult ImportByName(const EntryStreams& folderStreams, const std::string& fromFolder,
                                AudioSource& source, const ImportOptions& options,
                                OperationHost& host);

}  // namespace tessaly
