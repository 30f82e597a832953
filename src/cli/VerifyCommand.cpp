#include <string>

#include "archive/Listing.h"
#include "base/Numbers.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "packing/Unpacking.h"

namespace tessaly::cli {

namespace {

// Rows the listing wrote: a listing without entries leaves one empty row below the titles.
int ListedEntries(const EntryTable& table) {
  int rows = table.RowCount() - 1;
  if (rows == 1 && table.Cell(kColNumber, 1).empty()) return 0;
  return rows;
}

// Why Unpack would not write the pair out, or "" when it would. Fills the table's "Size" column.
std::string FindInconsistency(ListingEnd end, ArchiveState& state, EntryTable& table,
                              OperationHost& host) {
  if (end != ListingEnd::Complete) return "the listing stopped before the last entry";
  if (state.dataSize == 0 || state.index.Empty()) return "the data file or the index file is empty";
  uint32_t sum = ComputeSizes(table, state.dataFileSize, host);
  if (sum != state.dataFileSize)
    return "the entry sizes add up to " + FormatUnsigned(sum) + " bytes, the data file holds " +
           FormatUnsigned(state.dataFileSize);
  // A start that lies before the one above it gives a size the extraction can't read back.
  for (int row = 1; row < table.RowCount(); ++row)
    if (!TryParseInt32(table.Cell(kColSize, row)))
      return "entry " + std::to_string(row) + " has the size " +
             std::string(table.Cell(kColSize, row)) +
             ", more than a stream can hold (its start lies before the entry above it)";
  return "";
}

void PrintVerdict(TerminalHost& host, const std::string& problem, int entries, uint64_t dataSize) {
  host.PrintResult(problem.empty() ? "consistent" : "not consistent");
  host.PrintResult("entries: " + std::to_string(entries));
  host.PrintResult("data size: " + FormatUnsigned(dataSize));
}

}  // namespace

int VerifyCommand(TerminalHost& host, const std::string& archive) {
  ArchiveState state;
  EntryTable table;
  ListingEnd end = ListArchive(archive, state, table, host);
  if (!state.IsOpen()) return kExitFailure;
  uint64_t dataSize = state.dataFileSize;
  std::string problem = FindInconsistency(end, state, table, host);
  state.Release();

  if (JsonRequested())
    PrintJson({{"consistent", problem.empty()},
               {"entries", ListedEntries(table)},
               {"data_size", dataSize},
               {"problem", TextOrNull(problem)}},
              host.Out());
  else
    PrintVerdict(host, problem, ListedEntries(table), dataSize);
  // A stopped listing has already said why.
  if (!problem.empty() && end == ListingEnd::Complete)
    host.ReportFailure("tessaly-cli: " + problem);
  return ExitStatusFor(problem.empty(), host);
}

}  // namespace tessaly::cli
