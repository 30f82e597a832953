// The verbs of tessaly-cli. Each runs one command of the window through the core with the
// terminal host, on the path given on the command line (absolute, see ArgumentPaths.h), and
// returns the process's exit status. Framework errors propagate to the caller.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/StreamEncoder.h"
#include "cli/TerminalHost.h"
#include "clips/AudioSource.h"

namespace tessaly::cli {

enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,  // any failure: a message, a framework error, a silent stop
  kExitUsage = 2,
};

// Success only when the command reached its good end and nothing failed on the way.
inline int ExitStatusFor(bool reachedGoodEnd, const TerminalHost& host) {
  return reachedGoodEnd && !host.FailureReported() ? kExitSuccess : kExitFailure;
}

// The options of unpack.
struct UnpackArguments {
  std::string into;          // --to: the folder to write the unpack folder in
  bool overwrite = false;    // --overwrite: write over changed entry files without asking
  bool keepChanged = false;  // --keep-changed: leave them as they are, unpack the rest
};

// The Unpack command on the pair of `archive`. When the folder holds entry files changed since
// it was unpacked, the options say what to do, else a question on a terminal, else it refuses.
int UnpackCommand(TerminalHost& host, const std::string& archive, const UnpackArguments& arguments);
// The Pack command on `folder`, writing the pair beside it or in `into`. Unless `force`, it first
// checks the replaced entries and packs nothing when one has a problem.
int PackCommand(TerminalHost& host, const std::string& folder, bool force, const std::string& into);
// The listing alone: the table as TAB-separated lines, a blank line, then the status texts.
int ListCommand(TerminalHost& host, const std::string& archive);
// The listing and Unpack's size check, writing nothing: whether the pair is consistent, the
// entry count and the data file's size.
int VerifyCommand(TerminalHost& host, const std::string& archive);

// The options of the clip verbs.
struct ClipArguments {
  std::string entries;  // export --entries
  std::string to;       // export --to
  std::string entry;    // import ENTRY
  std::string audioFile;
  std::string from;  // import --from
  bool matchLoudness = false;
  EncodeQuality quality = EncodeQuality::kClipRate;  // import --quality
};

// Clip information of every entry of the pair of `archiveOrFolder`, or of that unpack folder: a
// line per entry, then a summary per codec, channel count and rate.
int InfoCommand(TerminalHost& host, const std::string& archiveOrFolder);
// Entries of the pair or the folder to WAV files.
int ExportCommand(TerminalHost& host, const std::string& archiveOrFolder,
                  const ClipArguments& arguments);
// An audio file into an entry of `folder`, or every file of a folder into the entries it names.
int ImportCommand(TerminalHost& host, const std::string& folder, const ClipArguments& arguments);
// Whether import reads any audio format (through FFmpeg), or WAV files alone: the one thing that
// differs between the builds with and without FFmpeg.
bool ImportReadsAnyFormat();
// The changed entries of `folder` and their problems.
int StatusCommand(TerminalHost& host, const std::string& folder);

}  // namespace tessaly::cli
