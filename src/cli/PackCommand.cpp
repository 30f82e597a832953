#include "cli/Commands.h"
#include "packing/Packing.h"

namespace tessaly::cli {

int PackCommand(TerminalHost& host) {
  EntryTable table;
  PackResult result = Pack(table, host);
  // The window says nothing at these ends; a script needs to know why nothing came out.
  switch (result.end) {
    case PackEnd::Cancelled:
      host.ReportFailure("tessaly-cli: no folder given");
      break;
    case PackEnd::EmptyIndex:
      host.ReportFailure("tessaly-cli: nothing packed: the index copy in " + result.folder +
                         " is empty");
      break;
    default:
      break;
  }
  return ExitStatusFor(result.end == PackEnd::Success, host);
}

}  // namespace tessaly::cli
