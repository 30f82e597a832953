#include <string>

#include "archive/Listing.h"
#include "cli/Commands.h"
#include "cli/Json.h"

namespace tessaly::cli {

namespace {

// Cells go out as UTF-8: text of another encoding (the titles' Latin-1) is converted.
void PrintTable(const EntryTable& table, std::FILE* out) {
  std::string line;
  for (int row = 0; row < table.RowCount(); ++row) {
    line.clear();
    for (int column = 0; column < table.ColumnCount(); ++column) {
      if (column > 0) line += '\t';
      line += Utf8Text(table.Cell(column, row));
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
}

}  // namespace

int ListCommand(TerminalHost& host, const std::string& archive) {
  ArchiveState state;
  EntryTable table;
  ListingEnd end = ListArchive(archive, state, table, host);
  state.Release();
  if (end == ListingEnd::FileMissing) return kExitFailure;

  if (JsonRequested()) {
    nlohmann::ordered_json status = nlohmann::ordered_json::array();
    for (int panel = 0; panel < 4; ++panel)
      if (!host.StatusText(panel).empty()) status.push_back(Utf8Text(host.StatusText(panel)));
    PrintJson({{"complete", end == ListingEnd::Complete},
               {"entries", EntryRows(table)},
               {"status", status}},
              host.Out());
    return ExitStatusFor(end == ListingEnd::Complete, host);
  }
  PrintTable(table, host.Out());
  std::fputc('\n', host.Out());
  for (int panel = 0; panel < 4; ++panel)
    if (!host.StatusText(panel).empty()) host.PrintResult(host.StatusText(panel));
  return ExitStatusFor(end == ListingEnd::Complete, host);
}

}  // namespace tessaly::cli
