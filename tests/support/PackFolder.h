// A folder to pack, laid out as unpacking leaves it: <root>/speech_ holding speech_.tbl,
// speech_.id and one entry file per row. Built from an ArchiveBuilder without running Unpack, so
// packing tests state their fixture in a few literal values; tests may then edit the table, the
// index or the entry files before writing.
#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/EntryTable.h"
#include "packing/TableFile.h"
#include "support/ArchiveBuilder.h"
#include "support/TempFolder.h"

namespace tessaly::testing {

struct PackFolder {
  TempFolder root;
  std::string folder = root / "speech_";
  std::string tablePath = root / "speech_/speech_.tbl";
  std::string indexCopyPath = root / "speech_/speech_.id";
  std::string dataPath = root / "speech_.big";  // the new pair
  std::string indexPath = root / "speech_.idx";
  EntryTable table;
  std::string index;
  std::vector<std::string> entries;  // entries[r] is row r's file; [0] unused

  std::string EntryPath(int row) const {
    return root / ("speech_/" + std::string(table.Cell(kColName, row)));
  }

  // Writes the table file, the index copy and every entry file.
  void Write() const {
    std::filesystem::create_directories(folder);
    SaveTableFile(table, tablePath);
    WriteBytes(indexCopyPath, index);
    for (int r = 1; r < table.RowCount(); ++r) WriteBytes(EntryPath(r), entries[r]);
  }

  // Every file under the root with its bytes, to show that a failed pack changed nothing.
  std::map<std::string, std::string> Snapshot() const { return FilesUnder(root.Path()); }
};

// The table a listing and unpacking give for `archive` with a data file of `dataSize` bytes, and
// the entry files cut from that data file.
inline void FillFromArchive(PackFolder& pack, const ArchiveBuilder& archive, size_t dataSize) {
  pack.index = archive.Index();
  std::string data = archive.Data(dataSize);
  IndexLayout layout = archive.Layout();
  std::vector<uint32_t> starts = archive.RealAddresses();
  EntryTable& table = pack.table;
  table.Reset();
  table.LayOutColumns();
  table.SetRowCount(static_cast<int>(starts.size()) + 1);
  pack.entries.assign(starts.size() + 1, "");
  int r = 0;
  for (size_t k = 0; k < archive.blocks.size(); ++k) {
    const BlockSpec& block = archive.blocks[k];
    for (size_t j = 0; j < block.units.size(); ++j) {
      ++r;
      char name[32];
      std::snprintf(name, sizeof name, "speech_%.5d.asf", r);
      uint32_t start = starts[r - 1];
      uint32_t next = r < static_cast<int>(starts.size()) ? starts[r] : dataSize;
      auto number = [](uint64_t v) { return std::to_string(v); };
      std::string cells[kEntryColumnCount] = {number(r),
                                              name,
                                              number(block.id),
                                              number(k),
                                              number(block.units.size()),
                                              number(block.digitIndex),
                                              number(start),
                                              number(uint32_t{block.units[j]} * 256),
                                              number(block.offset),
                                              number(layout.slotPos[k][j]),
                                              number(100 + 16 * k),
                                              number(layout.blockPos[k]),
                                              number(block.unknwn1),
                                              number(block.unknwn2),
                                              number(block.unknwn3),
                                              number(block.unknwn4),
                                              number(next - start)};
      for (int c = 0; c < kEntryColumnCount; ++c) table.SetCell(c, r, cells[c]);
      pack.entries[r] = data.substr(start, next - start);
    }
  }
}

}  // namespace tessaly::testing
