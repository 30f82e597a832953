#include <cstdio>
#include <numeric>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <stdexcept>

#include "audio/StreamDecoder.h"
#include "audio/Wav.h"
#include "base/Errors.h"
#include "cli/ArgumentPaths.h"
#include "cli/ClipTarget.h"
#include "cli/Commands.h"
#include "clips/ClipExport.h"
#include "clips/EntrySelection.h"

namespace tessaly::cli {

namespace {

// `--to -`: one entry's WAV file on the standard output, for a pipe; messages on the error output.
int ExportToStandardOutput(TerminalHost& host, const EntryStreams& streams,
                           const std::vector<int>& rows, bool complete) {
  if (rows.size() != 1) {
    host.ReportFailure("tessaly-cli: --to - writes one WAV file to the standard output, and " +
                       std::to_string(rows.size()) +
                       " entries are chosen: choose one with --entries N, or give a folder");
    return kExitFailure;
  }
  const int row = rows.front();
  std::vector<uint8_t> wav;
  try {
    wav = WavBytes(DecodeStream(streams.Bytes(row)));
  } catch (const std::exception& failure) {
    host.ReportFailure("tessaly-cli: entry " + std::to_string(row) + " (" + streams.Name(row) +
                       ") not exported: " + failure.what());
    return kExitFailure;
  }
#ifdef _WIN32
  _setmode(_fileno(host.Out()), _O_BINARY);  // the WAV's bytes as they are, no CR added
#endif
  std::fwrite(wav.data(), 1, wav.size(), host.Out());
  return ExitStatusFor(complete, host);
}

}  // namespace

int ExportCommand(TerminalHost& host, const std::string& archiveOrFolder,
                  const ClipArguments& arguments) {
  ClipTarget target;
  if (!OpenClipTarget(host, archiveOrFolder, target)) return kExitFailure;
  const EntryStreams& streams = *target.streams;
  std::vector<int> rows;
  if (arguments.entries.empty()) {
    rows.resize(static_cast<size_t>(streams.Count()));
    std::iota(rows.begin(), rows.end(), 1);
  } else {
    try {
      rows = SelectEntries(target.table, arguments.entries);
    } catch (const std::invalid_argument& error) {
      host.ReportFailure(std::string("tessaly-cli: --entries: ") + error.what());
      return kExitFailure;
    }
  }
  if (arguments.to == "-") return ExportToStandardOutput(host, streams, rows, target.complete);
  const std::string folder = DialogPath(arguments.to);
  ExportResult result = ExportClips(streams, rows, folder, host);
  for (const EntryFailure& skipped : result.skipped)
    host.ReportFailure("tessaly-cli: entry " + std::to_string(skipped.row) + " (" + skipped.name +
                       ") not exported: " + skipped.reason);
  if (!result.stopped.empty())
    host.ReportFailure("tessaly-cli: export stopped: " + DisplayText(result.stopped));
  host.PrintResult("Exported " + std::to_string(result.written) + " of " +
                   std::to_string(rows.size()) + " clips to " + folder);
  return ExitStatusFor(target.complete && result.skipped.empty() && result.stopped.empty(), host);
}

}  // namespace tessaly::cli
