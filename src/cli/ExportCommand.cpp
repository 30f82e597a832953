#include <numeric>
#include <stdexcept>

#include "base/Errors.h"
#include "cli/ArgumentPaths.h"
#include "cli/ClipTarget.h"
#include "cli/Commands.h"
#include "clips/ClipExport.h"
#include "clips/EntrySelection.h"

namespace tessaly::cli {

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
