// Pack against a plain oracle that applies every growth to every other row in turn, on random
// tables: well-formed ones, and ones with bad numbers, aliases, overlapping index positions and
// other damage. Also the whole road: unpack, replace entries, pack, unpack the new pair again.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "packing/Growth.h"
#include "packing/IndexCopyCheck.h"
#include "packing/Packing.h"
#include "packing/TableFile.h"
#include "packing/Unpacking.h"
#include "support/PackFolder.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

using testing::ArchiveBuilder;
using testing::PackFolder;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::WriteBytes;

struct Outcome {
  std::string folder;  // the folder packed
  std::string end;     // success, missing, alarm, refused, error
  std::string message;
  EntryTable table;
  std::string index, data;  // the new pair on success
};

// The oracle: the packing steps over a loaded table, every growth scanning the whole table.
Outcome OraclePack(EntryTable table, std::string index, const std::string& folder,
                   const std::map<std::string, std::string>& files) {
  Outcome out;
  auto finish = [&](const std::string& end, const std::string& message, bool reset) {
    out.end = end;
    out.message = message;
    if (reset) table.Reset();
    out.table = table;
    return out;
  };
  const int rows = table.RowCount();
  uint32_t previous = 0;
  for (int r = 1; r < rows; ++r) {
    std::string name = std::string(table.Cell(kColName, r));
    if (!name.empty() && !IsPlainFileName(name))
      return finish("refused", refusal::NotPlainName(name), true);
    auto ra = TryParseInt32(std::string(table.Cell(kColRealAddress, r)));
    if (!ra) continue;
    if (*ra < 0)
      return finish("refused",
                    refusal::AddressOutOfRange(name, std::string(table.Cell(kColRealAddress, r))),
                    true);
    if (static_cast<uint32_t>(*ra) < previous)
      return finish("refused",
                    refusal::OutOfOrder(name, std::string(table.Cell(kColRealAddress, r))), true);
    previous = static_cast<uint32_t>(*ra);
  }
  if (auto disagreement =
          CheckTableAgainstIndexCopy(table, IndexImage({index.begin(), index.end()})))
    return finish("refused", *disagreement, true);
  auto cell = [&](int c, int r) { return TryParseInt32(std::string(table.Cell(c, r))); };
  for (int i = 1; i < rows; ++i) {
    std::string path = JoinPath(folder, std::string(table.Cell(kColName, i)));
    auto file = files.find(std::string(table.Cell(kColName, i)));
    if (std::string(table.Cell(kColName, i)).empty() || file == files.end())
      return finish("missing", "File not found " + path, true);
    auto ra = cell(kColRealAddress, i);
    if (!ra)
      return finish(
          "error",
          "'" + std::string(table.Cell(kColRealAddress, i)) + "' is not a valid integer value",
          false);
    auto s = cell(kColSize, i);
    if (!s)
      return finish("error",
                    "'" + std::string(table.Cell(kColSize, i)) + "' is not a valid integer value",
                    false);
    uint32_t realAddress = static_cast<uint32_t>(*ra), size = static_cast<uint32_t>(*s);
    uint64_t length = file->second.size();
    uint64_t stored =
        length <= size ? size : (length % 256 == 0 ? length : (length / 256 + 1) * 256);
    if (stored >= (uint64_t{1} << 31))
      return finish("refused", refusal::EntryTooLarge(path, stored), true);
    uint32_t growth = static_cast<uint32_t>(stored - size);
    if (growth > 0) {
      for (int j = 1; j < rows; ++j) {
        if (j == i) continue;
        auto raj = cell(kColRealAddress, j), aj = cell(kColAddress, j),
             pbj = cell(kColPosInBlock, j), oj = cell(kColOffset, j), opj = cell(kColOffsetPos, j);
        if (!raj || !aj || !pbj || !oj || !opj) return finish("alarm", "Alarm! Int error.", false);
        std::string name = std::string(table.Cell(kColName, j));
        uint32_t rj = static_cast<uint32_t>(*raj);
        if (j > i && rj == realAddress)
          return finish(
              "refused",
              refusal::SharedAddress(std::string(table.Cell(kColName, i)), realAddress, name),
              true);
        if (rj <= realAddress) continue;
        uint64_t newRa = uint64_t{rj} + growth;
        uint32_t newA = static_cast<uint32_t>(*aj) + growth;
        uint32_t newO = static_cast<uint32_t>(*oj) + growth;
        uint32_t pb = static_cast<uint32_t>(*pbj), op = static_cast<uint32_t>(*opj);
        bool same = std::string(table.Cell(kColBlock, j)) == std::string(table.Cell(kColBlock, i));
        if (same && (newA % 256 != 0 || newA >= (1u << 24)))
          return finish("refused", refusal::UnstorableAddress(name, newA), true);
        if (same && uint64_t{pb} + 2 > index.size())
          return finish("refused", refusal::PositionOutsideIndex("Pos in Block", name, pb), true);
        if (!same && uint64_t{op} + 4 > index.size())
          return finish("refused", refusal::PositionOutsideIndex("Offset Pos", name, op), true);
        if (newRa >= (uint64_t{1} << 31))
          return finish("refused", refusal::BeyondDataLimit(name, newRa), true);
        table.SetCell(kColRealAddress, j, std::to_string(newRa));
        if (same) {
          table.SetCell(kColAddress, j, std::to_string(newA));
          index[pb] = static_cast<char>(newA >> 16);
          index[pb + 1] = static_cast<char>(newA >> 8);
        } else {
          table.SetCell(kColOffset, j, std::to_string(newO));
          for (int b = 0; b < 4; ++b) index[op + b] = static_cast<char>(newO >> (8 * b));
        }
      }
      table.SetCell(kColSize, i, std::to_string(stored));
    }
    if (out.data.size() < realAddress + stored) out.data.resize(realAddress + stored, '\0');
    out.data.replace(realAddress, length, file->second);
    std::fill_n(out.data.begin() + realAddress + length, stored - length, '\0');
  }
  out.index = index;
  return finish("success", "", false);
}

// `index` with every row's Address unit and Offset written where the row says they are, as in
// an index copy that belongs to its table. Rows that share a field keep the last one's value.
std::string AgreeingIndex(const EntryTable& table, std::string index) {
  for (int r = 1; r < table.RowCount(); ++r) {
    auto number = [&](int column) { return TryParseInt32(std::string(table.Cell(column, r))); };
    auto address = number(kColAddress), offset = number(kColOffset);
    auto posInBlock = number(kColPosInBlock), offsetPos = number(kColOffsetPos);
    if (!address || !offset || !posInBlock || !offsetPos) continue;
    auto unitPos = static_cast<uint32_t>(*posInBlock), fieldPos = static_cast<uint32_t>(*offsetPos);
    if (uint64_t{unitPos} + 2 <= index.size()) {
      index[unitPos] = static_cast<char>(*address >> 16);
      index[unitPos + 1] = static_cast<char>(*address >> 8);
    }
    if (uint64_t{fieldPos} + 4 <= index.size())
      for (int b = 0; b < 4; ++b) index[fieldPos + b] = static_cast<char>(*offset >> (8 * b));
  }
  return index;
}

// Pack on disk, for a folder holding `table`, `index` (made to agree with the table where it can)
// and `files`.
Outcome RealPack(const EntryTable& table, const std::string& index,
                 const std::map<std::string, std::string>& files, EntryTable* loaded = nullptr) {
  PackFolder pack;
  pack.table = table;
  pack.index = AgreeingIndex(table, index);
  std::filesystem::create_directories(pack.folder);
  SaveTableFile(table, pack.tablePath);
  WriteBytes(pack.indexCopyPath, pack.index);
  for (const auto& [name, bytes] : files) WriteBytes(JoinPath(pack.folder, name), bytes);
  if (loaded) LoadTableFile(*loaded, pack.tablePath);
  auto before = pack.Snapshot();

  Outcome out;
  out.folder = pack.folder;
  RecordingHost host;
  host.recordProgress = false;
  try {
    PackResult result = Pack(pack.folder, out.table, host);
    static const std::map<PackEnd, std::string> names = {{PackEnd::Success, "success"},
                                                         {PackEnd::EntryMissing, "missing"},
                                                         {PackEnd::IntError, "alarm"},
                                                         {PackEnd::Refused, "refused"}};
    out.end = names.at(result.end);
    if (result.end != PackEnd::Success) out.message = host.messages.at(0).text;
  } catch (const FrameworkError& e) {
    out.end = "error";
    out.message = e.what();
  }
  EXPECT_TRUE(host.windowEnabled);
  if (out.end == "success") {
    out.data = ReadBytes(pack.dataPath);
    out.index = ReadBytes(pack.indexPath);
    EXPECT_EQ(ReadBytes(pack.indexCopyPath), out.index);
  } else {
    EXPECT_EQ(pack.Snapshot(), before) << "a failed pack changed files";
  }
  // The folder holds no leftovers: only the files put there and, on success, the new pair.
  size_t expected = files.size() + 2 + (out.end == "success" ? 2 : 0);
  size_t found = 0;
  for (const auto& item : std::filesystem::recursive_directory_iterator(pack.root.Path()))
    found += item.is_regular_file();
  EXPECT_EQ(found, expected);
  return out;
}

void ExpectSameTable(const EntryTable& a, const EntryTable& b, const std::string& context) {
  ASSERT_EQ(a.RowCount(), b.RowCount()) << context;
  ASSERT_EQ(a.ColumnCount(), b.ColumnCount()) << context;
  for (int r = 0; r < a.RowCount(); ++r)
    for (int c = 0; c < a.ColumnCount(); ++c)
      ASSERT_EQ(std::string(a.Cell(c, r)), std::string(b.Cell(c, r)))
          << context << " cell " << c << "," << r;
}

// A well-formed archive: blocks of entries back to back from 0, whole units inside a block, the
// last entry of a block any length, some entries empty (aliases of the next one).
ArchiveBuilder RandomArchive(std::mt19937& rng, size_t& dataSize) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ArchiveBuilder archive;
  uint32_t position = 0;
  int blocks = pick(1, 4);
  for (int k = 0; k < blocks; ++k) {
    testing::BlockSpec block;
    block.offset = position;
    block.digitIndex = static_cast<uint8_t>(pick(0, 4) | (pick(0, 1) << 7));
    block.id = static_cast<uint16_t>(k + 1);
    int entries = pick(k == 0 ? 1 : 0, 5);
    uint32_t address = 0;
    for (int e = 0; e < entries; ++e) {
      block.units.push_back(static_cast<uint16_t>(address / 256));
      bool last = e == entries - 1;
      uint32_t length = last ? pick(4, 1500) : (pick(0, 9) == 0 ? 0 : 256 * pick(1, 6));
      address += length;
    }
    position += address;
    archive.Block(block);
  }
  dataSize = position;
  return archive;
}

std::string RandomReplacement(std::mt19937& rng, size_t size) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const size_t lengths[] = {0, size / 2, size, size + 1, size + 200, size + 256, size + 700};
  std::string bytes(lengths[pick(0, 6)], '\0');
  for (char& c : bytes) c = static_cast<char>(pick(1, 255));
  return bytes;
}

// One kind of damage to a table or a folder's files.
void Damage(std::mt19937& rng, EntryTable& table, std::map<std::string, std::string>& files) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int rows = table.RowCount() - 1;
  int r = pick(1, rows), other = pick(1, rows);
  const int numeric[] = {kColRealAddress, kColAddress,   kColOffset,
                         kColPosInBlock,  kColOffsetPos, kColSize};
  int column = numeric[pick(0, 5)];
  auto number = [&](int c, int row) { return std::stoll(std::string(table.Cell(c, row))); };
  switch (pick(0, 11)) {
    case 0:
      table.SetCell(column, r, "x");
      break;
    case 1:
      table.SetCell(column, r, "");
      break;
    case 2:
      table.SetCell(kColRealAddress, r, std::string(table.Cell(kColRealAddress, other)));
      break;
    case 3:
      table.SetCell(kColAddress, r, std::to_string(number(kColAddress, r) + 1));
      break;
    case 4:
      table.SetCell(kColAddress, r, "16776960");
      break;
    case 5:
      table.SetCell(kColPosInBlock, r, pick(0, 1) ? "100000" : "-1");
      break;
    case 6:
      table.SetCell(kColOffsetPos, r, std::string(table.Cell(kColOffsetPos, other)));
      break;
    case 7:
      table.SetCell(kColPosInBlock, r,
                    std::string(table.Cell(pick(0, 1) ? kColPosInBlock : kColOffsetPos, other)));
      break;
    case 8:
      table.SetCell(kColBlock, r, std::string(table.Cell(kColBlock, other)));
      break;
    case 9:
      files.erase(std::string(table.Cell(kColName, r)));
      break;
    case 10:
      table.SetCell(kColSize, r, "2147483648");
      break;
    case 11:
      table.SetCell(kColOffset, r, std::to_string(number(kColOffset, r) + pick(1, 300)));
      break;
  }
}

TEST(PackOracle, PackGivesWhatApplyingEachGrowthInTurnGives) {
  std::mt19937 rng(20240611);
  std::map<std::string, int> ends;
  for (int round = 0; round < 250; ++round) {
    PackFolder source;
    size_t dataSize = 0;
    ArchiveBuilder archive = RandomArchive(rng, dataSize);
    FillFromArchive(source, archive, dataSize);
    std::map<std::string, std::string> files;
    for (int r = 1; r < source.table.RowCount(); ++r) {
      size_t size = std::stoul(std::string(source.table.Cell(kColSize, r)));
      files[std::string(source.table.Cell(kColName, r))] =
          std::uniform_int_distribution<int>(0, 2)(rng) == 0 ? RandomReplacement(rng, size)
                                                             : source.entries[r];
    }
    int damage = round % 2 == 0 ? 0 : std::uniform_int_distribution<int>(1, 3)(rng);
    for (int d = 0; d < damage; ++d) Damage(rng, source.table, files);

    EntryTable loaded;
    Outcome real = RealPack(source.table, source.index, files, &loaded);
    Outcome oracle = OraclePack(loaded, AgreeingIndex(loaded, source.index), real.folder, files);
    std::string context = "round " + std::to_string(round);
    ++ends[oracle.end];
    ASSERT_EQ(real.end, oracle.end) << context << ": " << real.message << " / " << oracle.message;
    EXPECT_EQ(real.message, oracle.message) << context;
    ExpectSameTable(real.table, oracle.table, context);
    if (oracle.end == "success") {
      EXPECT_EQ(real.data, oracle.data) << context;
      EXPECT_EQ(real.index, oracle.index) << context;
    }
  }
  // The rounds reach every way a pack ends.
  for (const char* end : {"success", "missing", "alarm", "refused", "error"})
    EXPECT_GT(ends[end], 0) << end;
}

// Two rows of different blocks name the same Offset field with different values: no index copy
// can hold both, so the table and the index copy beside it can't belong together, and the pack
// refuses before any growth would write the field twice.
TEST(PackOracle, RowsClaimingOneIndexFieldWithDifferentValuesAreRefused) {
  struct Spec {
    const char* block;
    uint32_t realAddress, address, offset, posInBlock, offsetPos, size, length;
  } specs[] = {{"X", 0, 0, 0, 200, 100, 1024, 1100},
               {"Y", 1024, 0, 1024, 210, 116, 1024, 1100},
               {"X", 2048, 2048, 0, 220, 132, 1024, 1024},
               {"Y", 3072, 2048, 1024, 230, 132, 100, 100}};
  EntryTable table;
  table.LayOutColumns();
  table.SetRowCount(5);
  std::map<std::string, std::string> files;
  for (int r = 1; r <= 4; ++r) {
    const Spec& s = specs[r - 1];
    std::string name = "e" + std::to_string(r) + ".asf";
    const std::pair<int, std::string> cells[] = {{kColName, name},
                                                 {kColBlock, s.block},
                                                 {kColRealAddress, std::to_string(s.realAddress)},
                                                 {kColAddress, std::to_string(s.address)},
                                                 {kColOffset, std::to_string(s.offset)},
                                                 {kColPosInBlock, std::to_string(s.posInBlock)},
                                                 {kColOffsetPos, std::to_string(s.offsetPos)},
                                                 {kColSize, std::to_string(s.size)}};
    for (const auto& [column, text] : cells) table.SetCell(column, r, text);
    files[name] = std::string(s.length, static_cast<char>('a' + r));
  }
  std::string index(240, '\x11');
  Outcome real = RealPack(table, index, files);
  ASSERT_EQ(real.end, "refused");
  EXPECT_EQ(real.message,
            "Table and index copy disagree at e3.asf: Offset 0, the index copy holds 1024 at "
            "Offset Pos 132");
}

TEST(PackOracle, UnpackReplacePackUnpackKeepsEveryEntry) {
  std::mt19937 rng(77);
  for (int round = 0; round < 25; ++round) {
    testing::TempFolder root;
    size_t dataSize = 0;
    ArchiveBuilder archive = RandomArchive(rng, dataSize);
    std::string index = archive.Index();
    std::string data = archive.Data(dataSize);
    testing::WritePair(root, "speech", index, data);

    ArchiveState state;
    EntryTable table;
    RecordingHost host;
    host.recordProgress = false;
    ASSERT_EQ(Unpack(root / "speech.idx", state, table, host).end, UnpackEnd::Success);

    // Replace some entry files (none in the first round); what each entry must hold after packing.
    std::string folder = root / "speech_";
    std::vector<std::string> expected(table.RowCount());
    std::map<std::string, std::string> files;
    for (int r = 1; r < table.RowCount(); ++r) {
      std::string path = JoinPath(folder, std::string(table.Cell(kColName, r)));
      std::string bytes = ReadBytes(path);
      size_t size = bytes.size();
      bool aliasedWithNext = r + 1 < table.RowCount() && size == 0;
      std::string replacement = RandomReplacement(rng, size);
      // Entries keep their "SCHl", so that the new pair lists in full.
      if (round > 0 && !aliasedWithNext && replacement.size() >= 4 &&
          std::uniform_int_distribution<int>(0, 1)(rng)) {
        bytes = "SCHl" + replacement.substr(4);
        WriteBytes(path, bytes);
      }
      files[std::string(table.Cell(kColName, r))] = bytes;
      size_t stored = bytes.size() <= size ? size : (bytes.size() + 255) / 256 * 256;
      expected[r] = bytes + std::string(stored - bytes.size(), '\0');
    }
    EntryTable loaded;
    LoadTableFile(loaded, JoinPath(folder, "speech_.tbl"));
    std::string indexCopy = ReadBytes(JoinPath(folder, "speech_.id"));
    Outcome oracle = OraclePack(loaded, indexCopy, folder, files);

    EntryTable grid;
    ASSERT_EQ(Pack(folder, grid, host).end, PackEnd::Success) << "round " << round;
    ExpectSameTable(grid, oracle.table, "round " + std::to_string(round));
    std::string newIndex = ReadBytes(root / "speech_.idx");
    EXPECT_EQ(newIndex, oracle.index);
    EXPECT_EQ(ReadBytes(root / "speech_.big"), oracle.data);

    if (round == 0) {  // nothing replaced: the pair comes back byte for byte
      EXPECT_EQ(newIndex, index);
      EXPECT_EQ(ReadBytes(root / "speech_.big"), data);
    }
    // The new pair lists and unpacks into the expected entries.
    std::filesystem::rename(root / "speech_.idx", root / "again.idx");
    std::filesystem::rename(root / "speech_.big", root / "again.big");
    ArchiveState again;
    EntryTable unpacked;
    ASSERT_EQ(Unpack(root / "again.idx", again, unpacked, host).end, UnpackEnd::Success)
        << "round " << round;
    ASSERT_EQ(unpacked.RowCount(), table.RowCount());
    for (int r = 1; r < table.RowCount(); ++r) {
      std::string name = "again_" + std::string(table.Cell(kColName, r)).substr(7);
      EXPECT_EQ(ReadBytes(JoinPath(root / "again_", name)), expected[r])
          << "round " << round << " row " << r;
    }
    // Only AddressUnits and Offsets changed in the index.
    ASSERT_EQ(newIndex.size(), index.size());
    std::vector<bool> patchable(index.size(), false);
    for (int r = 1; r < table.RowCount(); ++r) {
      size_t pb = std::stoul(std::string(table.Cell(kColPosInBlock, r)));
      size_t op = std::stoul(std::string(table.Cell(kColOffsetPos, r)));
      patchable[pb] = patchable[pb + 1] = true;
      for (int b = 0; b < 4; ++b) patchable[op + b] = true;
    }
    for (size_t i = 0; i < index.size(); ++i)
      if (!patchable[i]) {
        ASSERT_EQ(newIndex[i], index[i]) << "round " << round << " byte " << i;
      }
  }
}

// 100,000 entries that all grow: one pass, where scanning the table per growth would take
// 10^10 steps.
TEST(PackOracle, EveryEntryGrowingTakesOnePass) {
  const int entries = 100000, perBlock = 200;
  EntryTable table;
  table.LayOutColumns();
  table.SetRowCount(entries + 1);
  std::vector<uint8_t> bytes(100 + 16 * (entries / perBlock) + 2 * entries + 64, 0);
  for (int r = 1; r <= entries; ++r) {
    int block = (r - 1) / perBlock, slot = (r - 1) % perBlock;
    uint32_t offset = static_cast<uint32_t>(block) * perBlock * 1024;
    table.SetCell(kColBlock, r, std::to_string(block));
    table.SetCell(kColRealAddress, r, std::to_string(offset + slot * 1024));
    table.SetCell(kColAddress, r, std::to_string(slot * 1024));
    table.SetCell(kColOffset, r, std::to_string(offset));
    table.SetCell(kColPosInBlock, r, std::to_string(100 + 16 * (entries / perBlock) + 2 * r));
    table.SetCell(kColOffsetPos, r, std::to_string(100 + 16 * block));
  }
  IndexImage image(bytes);
  EntryMover mover(table, image);
  auto start = std::chrono::steady_clock::now();
  for (int r = 1; r <= entries; ++r) {
    mover.CatchUp(r);
    uint32_t ra = static_cast<uint32_t>(std::stoul(std::string(table.Cell(kColRealAddress, r))));
    ASSERT_EQ(mover.Grow(r, ra, 256).end, GrowthEnd::Applied);
  }
  mover.Finish();
  EXPECT_TRUE(mover.OnePass());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  // Row r moved by every growth before it: 256 per earlier row, split between its Address (rows
  // of its block) and its block's Offset (rows of earlier blocks).
  for (int r : {1, 2, 200, 201, 4567, entries}) {
    int block = (r - 1) / perBlock, slot = (r - 1) % perBlock;
    uint64_t offset = uint64_t(block) * perBlock * 1024 + uint64_t(block) * perBlock * 256;
    EXPECT_EQ(std::string(table.Cell(kColAddress, r)), std::to_string(slot * 1280)) << r;
    EXPECT_EQ(std::string(table.Cell(kColRealAddress, r)), std::to_string(offset + slot * 1280))
        << r;
    if (block > 0) {
      EXPECT_EQ(std::string(table.Cell(kColOffset, r)), std::to_string(offset)) << r;
    }
  }
  uint64_t lastOffset = uint64_t(entries / perBlock - 1) * perBlock * 1280;
  const uint8_t* op = image.Bytes().data() + 100 + 16 * (entries / perBlock - 1);
  EXPECT_EQ(op[0] | op[1] << 8 | op[2] << 16 | uint32_t(op[3]) << 24, lastOffset);
}

}  // namespace
}  // namespace tessaly
