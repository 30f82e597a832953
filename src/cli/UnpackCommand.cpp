#include <cctype>

#include "base/Console.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "cli/Commands.h"
#include "clips/FolderStatus.h"
#include "packing/Unpacking.h"

namespace tessaly::cli {

namespace {

enum class Over { kWrite, kKeep, kStop };

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// What to do with the changed entry files `changed` of `folder`: what the options say, else the
// answer to a question on a terminal, else (a script) a refusal that names them and the options.
Over DecideOver(TerminalHost& host, const std::string& folder,
                const std::vector<std::string>& changed, const UnpackArguments& arguments) {
  if (arguments.overwrite) return Over::kWrite;
  if (arguments.keepChanged) return Over::kKeep;
  std::string text = changed.size() == 1
                         ? "An entry file of " + folder + " was changed since it was unpacked:"
                         : std::to_string(changed.size()) + " entry files of " + folder +
                               " were changed since they were unpacked:";
  for (const std::string& name : changed) text += "\n  " + name;
  const char* them = changed.size() == 1 ? "it" : "them";
  if (!IsTerminal(stdin)) {
    host.ReportFailure("tessaly-cli: nothing unpacked: " + text +
                       "\nGive --overwrite to write over " + them + ", or --keep-changed to keep " +
                       them + " and unpack the rest.");
    return Over::kStop;
  }
  const std::string answer = Lower(host.Ask(text + "\nWrite over " + them + " (y), keep " + them +
                                            " and unpack the rest (k), or stop (N)? [y/k/N] "));
  if (answer == "y" || answer == "yes") return Over::kWrite;
  if (answer == "k" || answer == "keep") return Over::kKeep;
  host.ReportFailure("tessaly-cli: nothing unpacked");
  return Over::kStop;
}

}  // namespace

int UnpackCommand(TerminalHost& host, const std::string& archive,
                  const UnpackArguments& arguments) {
  UnpackOptions options{.into = arguments.into, .keep = {}};
  if (!arguments.overwrite) {
    std::vector<std::string> changed;
    for (const EntryChange& change : ChangedEntriesBeforeUnpack(archive, arguments.into, host))
      changed.push_back(change.name);
    if (!changed.empty()) {
      const std::string folder = UnpackFolder::OfArchive(archive, arguments.into).path;
      switch (DecideOver(host, folder, changed, arguments)) {
        case Over::kStop:
          return kExitFailure;
        case Over::kKeep:
          options.keep = std::move(changed);
          break;
        case Over::kWrite:
          break;
      }
    }
  }
  ArchiveState state;
  EntryTable table;
  UnpackResult result;
  try {
    result = Unpack(archive, state, table, host, options);
  } catch (const FrameworkError& error) {
    // A game folder that can't be written: the folder beside the archive was never made.
    const std::string folder = UnpackFolder::OfArchive(archive).path;
    if (!arguments.into.empty() || FolderExists(folder)) throw;
    host.ReportFailure(DisplayText(error.what()));
    host.ReportFailure("tessaly-cli: nothing unpacked: " + folder +
                       " can't be made beside the archive; 'tessaly-cli unpack " +
                       ExtractFileName(archive) + " --to DIR' writes it into another folder.");
    return kExitFailure;
  }
  // The window says nothing at these ends; a script needs to know why nothing came out.
  switch (result.end) {
    case UnpackEnd::NothingToDo:
      host.ReportFailure("tessaly-cli: nothing unpacked: the data file or the index file is empty");
      break;
    case UnpackEnd::Stopped:
      host.ReportFailure("tessaly-cli: nothing unpacked: the index file is cut short");
      break;
    case UnpackEnd::Success:
      if (!options.keep.empty()) {
        std::string kept = "Kept as they were:";
        for (const std::string& name : options.keep) kept += " " + name;
        host.PrintResult(kept);
      }
      break;
    default:
      break;
  }
  return ExitStatusFor(result.end == UnpackEnd::Success, host);
}

}  // namespace tessaly::cli
