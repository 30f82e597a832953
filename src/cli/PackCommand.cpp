#include "base/Paths.h"
#include "cli/Commands.h"
#include "clips/FolderStatus.h"
#include "packing/Packing.h"

namespace tessaly::cli {

namespace {

// The problems of replaced entries that packing would carry into the pair, each reported; true
// when there is any. Missing files and unreadable tables are left to Pack's own messages.
bool ReportReplacedEntryProblems(TerminalHost& host, const std::string& folder) {
  int found = 0;
  for (const EntryChange& change : ReplacedEntryProblems(UnpackFolder::ToRead(folder), host)) {
    for (const std::string& problem : change.problems) {
      host.ReportFailure(JoinPath(folder, change.name) + ": " + problem);
      ++found;
    }
  }
  if (found > 0)
    host.ReportFailure("tessaly-cli: nothing packed: replaced entries have problems (" +
                       std::to_string(found) + "); pack --force packs them as they are");
  return found > 0;
}

}  // namespace

int PackCommand(TerminalHost& host, const std::string& folder, bool force,
                const std::string& into) {
  if (!force && ReportReplacedEntryProblems(host, folder)) return kExitFailure;
  EntryTable table;
  PackResult result = Pack(folder, table, host, into);
  // The window says nothing at this end; a script needs to know why nothing came out.
  if (result.end == PackEnd::EmptyIndex)
    host.ReportFailure("tessaly-cli: nothing packed: the index copy in " + result.folder +
                       " is empty");
  return ExitStatusFor(result.end == PackEnd::Success, host);
}

}  // namespace tessaly::cli
