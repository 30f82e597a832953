#include "cli/Commands.h"
#include "packing/Unpacking.h"

namespace tessaly::cli {

int UnpackCommand(TerminalHost& host, const std::string& archive) {
  ArchiveState state;
  EntryTable table;
  UnpackResult result = Unpack(archive, state, table, host);
  // The window says nothing at these ends; a script needs to know why nothing came out.
  switch (result.end) {
    case UnpackEnd::NothingToDo:
      host.ReportFailure("tessaly-cli: nothing unpacked: the data file or the index file is empty");
      break;
    case UnpackEnd::Stopped:
      host.ReportFailure("tessaly-cli: nothing unpacked: the index file is cut short");
      break;
    default:
      break;
  }
  return ExitStatusFor(result.end == UnpackEnd::Success, host);
}

}  // namespace tessaly::cli
