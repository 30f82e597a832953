#include <string>

#include "archive/Listing.h"
#include "cli/Commands.h"

namespace tessaly::cli {

namespace {

// Cells go out as their bytes, never re-encoded.
void PrintTable(const EntryTable& table, std::FILE* out) {
  std::string line;
  for (int row = 0; row < table.RowCount(); ++row) {
    line.clear();
    for (int column = 0; column < table.ColumnCount(); ++column) {
      if (column > 0) line += '\t';
      line += table.Cell(column, row);
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

  PrintTable(table, host.Out());
  std::fputc('\n', host.Out());
  for (int panel = 0; panel < 4; ++panel)
    if (!host.StatusText(panel).empty()) host.PrintResult(host.StatusText(panel));
  return ExitStatusFor(end == ListingEnd::Complete, host);
}

}  // namespace tessaly::cli
