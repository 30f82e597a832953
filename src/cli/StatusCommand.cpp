#include <string>

#include "base/Numbers.h"
#include "cli/ClipTarget.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "clips/FolderStatus.h"

namespace tessaly::cli {

namespace {

// A changed entry's line: "#, Name, what is wrong or "ok", and whether later entries move".
std::string ChangeLine(const EntryChange& change) {
  std::string verdict;
  for (const std::string& problem : change.problems)
    verdict += (verdict.empty() ? "" : "; ") + problem;
  if (verdict.empty()) verdict = "ok";
  std::string line = std::to_string(change.row) + '\t' + change.name + '\t' + verdict;
  if (!change.missing && change.longerThanSlot)
    line += "\tlonger than its slot (" + FormatUnsigned(change.length) + " bytes, slot " +
            FormatUnsigned(change.slot) + "): packing moves later entries";
  return line;
}

nlohmann::ordered_json StatusDocument(const FolderStatus& status, int entries) {
  nlohmann::ordered_json changes = nlohmann::ordered_json::array();
  int withProblems = 0;
  for (const EntryChange& change : status.changes) {
    nlohmann::ordered_json problems = nlohmann::ordered_json::array();
    for (const std::string& problem : change.problems) problems.push_back(Utf8Text(problem));
    changes.push_back({{"number", change.row},
                       {"name", Utf8Text(change.name)},
                       {"missing", change.missing},
                       {"length", change.length},
                       {"slot", change.slot},
                       {"longer_than_slot", !change.missing && change.longerThanSlot},
                       {"problems", problems}});
    if (change.missing || !change.problems.empty()) ++withProblems;
  }
  return {{"compared_with", TextOrNull(status.comparedWith)},
          {"judged_by_sizes_because",
           TextOrNull(status.comparedWith.empty() ? status.withoutPairReason : std::string())},
          {"entries", entries},
          {"changed", status.changes.size()},
          {"with_problems", withProblems},
          {"changes", changes}};
}

}  // namespace

int StatusCommand(TerminalHost& host, const std::string& folder) {
  EntryTable table;
  if (!LoadUnpackFolderTable(host, folder, table)) return kExitFailure;
  FolderStatus status =
      CheckFolderStatus(UnpackFolder::ToRead(folder), table, StatusDepth::kAllChanges, host);

  if (JsonRequested()) {
    PrintJson(StatusDocument(status, table.RowCount() - 1), host.Out());
    return ExitStatusFor(!status.HasProblems(), host);
  }
  if (!status.comparedWith.empty())
    host.PrintResult("Compared with " + status.comparedWith);
  else
    host.PrintResult("Judged by the recorded sizes: " + status.withoutPairReason);
  int withProblems = 0;
  for (const EntryChange& change : status.changes) {
    host.PrintResult(ChangeLine(change));
    if (change.missing || !change.problems.empty()) ++withProblems;
  }
  host.PrintResult(std::to_string(status.changes.size()) + " of " +
                   std::to_string(table.RowCount() - 1) + " entries changed, " +
                   std::to_string(withProblems) + " with a problem");
  return ExitStatusFor(!status.HasProblems(), host);
}

}  // namespace tessaly::cli
