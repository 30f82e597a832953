// Loads arbitrary text as a table file. Invariants: only an oversized shape is refused, and then
// the table is untouched; a loaded table saves as CR LF lines in the documented shape; saving,
// loading and saving again gives the same bytes when no cell holds a bare line feed (which the
// format writes unescaped).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "TableShape.h"
#include "base/Errors.h"
#include "packing/TableFile.h"
#include "support/TempFolder.h"

namespace {

using namespace tessaly;
using tessaly::testing::ReadBytes;
using tessaly::testing::WriteBytes;

using fuzzing::Require;
using fuzzing::ScratchFolder;

bool SameTable(const EntryTable& a, const EntryTable& b, bool carriageReturnsAsTabs) {
  if (a.ColumnCount() != b.ColumnCount() || a.RowCount() != b.RowCount()) return false;
  for (int c = 0; c < a.ColumnCount(); ++c) {
    if (a.ColumnWidth(c) != b.ColumnWidth(c)) return false;
    for (int r = 0; r < a.RowCount(); ++r) {
      std::string expected = std::string(a.Cell(c, r));
      if (carriageReturnsAsTabs)
        for (char& ch : expected)
          if (ch == '\r') ch = '\t';
      if (expected != std::string(b.Cell(c, r))) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (tessaly::fuzzing::ShapeCells({reinterpret_cast<const char*>(data), size}) > (1u << 12))
    return 0;
  const std::string input = ScratchFolder() / "input.tbl";
  const std::string saved = ScratchFolder() / "saved.tbl";
  WriteBytes(input, std::string(reinterpret_cast<const char*>(data), size));

  EntryTable table;
  try {
    LoadTableFile(table, input);
  } catch (const FrameworkError& e) {
    Require(std::string(e.what()).rfind("Table too large in ", 0) == 0, "only a shape is refused");
    Require(SameTable(table, EntryTable(), false), "a refused file leaves the table alone");
    return 0;
  }
  Require(table.ColumnCount() >= 1 && table.RowCount() >= 1, "counts of at least 1");

  SaveTableFile(table, saved);
  std::string first = ReadBytes(saved);
  bool bareLineFeed = false;
  size_t cells = 0;
  for (int r = 0; r < table.RowCount(); ++r)
    for (int c = 0; c < table.ColumnCount(); ++c) {
      std::string text = std::string(table.Cell(c, r));
      cells += !text.empty();
      bareLineFeed |= text.find('\n') != std::string::npos;
      Require(text.find('\b') == std::string::npos, "a loaded cell holds no backspace");
    }
  Require(first.size() >= 2 && first.compare(first.size() - 2, 2, "\r\n") == 0,
          "the last line ends with CR LF");
  if (bareLineFeed) return 0;

  size_t lines = 0;
  for (size_t i = 0; i < first.size(); ++i)
    if (first[i] == '\n') {
      Require(i > 0 && first[i - 1] == '\r', "every line ends with CR LF");
      ++lines;
    }
  Require(lines == 1 + static_cast<size_t>(table.ColumnCount()) + cells,
          "shape line, one width line per column, one line per non-empty cell");

  EntryTable again;
  LoadTableFile(again, saved);
  Require(SameTable(table, again, true), "a saved table loads back, CRs kept as TABs");
  SaveTableFile(again, saved);
  Require(ReadBytes(saved) == first, "save, load, save is a fixed point");
  return 0;
}
