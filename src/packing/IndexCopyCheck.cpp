#include "packing/IndexCopyCheck.h"

#include "base/Numbers.h"

namespace tessaly {

namespace {

std::string Disagreement(std::string_view name, std::string_view column, uint32_t value,
                         std::string_view positionColumn, uint32_t position, uint32_t held) {
  return "Table and index copy disagree at " + std::string(name) + ": " + std::string(column) +
         " " + FormatUnsigned(value) + ", the index copy holds " + FormatUnsigned(held) + " at " +
         std::string(positionColumn) + " " + FormatUnsigned(position);
}

std::string Outside(std::string_view name, std::string_view column, uint32_t position) {
  return "Table and index copy disagree at " + std::string(name) + ": " + std::string(column) +
         " " + FormatUnsigned(position) + " lies outside the index copy";
}

}  // namespace

std::optional<std::string> CheckTableAgainstIndexCopy(const EntryTable& table,
                                                      const IndexImage& image) {
  const std::vector<uint8_t>& bytes = image.Bytes();
  for (int r = 1; r < table.RowCount(); ++r) {
    auto address = TryParseInt32(table.Cell(kColAddress, r));
    auto offset = TryParseInt32(table.Cell(kColOffset, r));
    auto posInBlock = TryParseInt32(table.Cell(kColPosInBlock, r));
    auto offsetPos = TryParseInt32(table.Cell(kColOffsetPos, r));
    if (!address || !offset || !posInBlock || !offsetPos) continue;
    std::string_view name = table.Cell(kColName, r);
    auto unitPos = static_cast<uint32_t>(*posInBlock);
    if (uint64_t{unitPos} + 2 > bytes.size()) return Outside(name, "Pos in Block", unitPos);
    uint32_t held = AddressFromUnit(bytes[unitPos], bytes[unitPos + 1]);
    if (held != static_cast<uint32_t>(*address))
      return Disagreement(name, "Address", static_cast<uint32_t>(*address), "Pos in Block", unitPos,
                          held);
    auto fieldPos = static_cast<uint32_t>(*offsetPos);
    if (uint64_t{fieldPos} + 4 > bytes.size()) return Outside(name, "Offset Pos", fieldPos);
    held = 0;
    for (int i = 3; i >= 0; --i) held = held << 8 | bytes[fieldPos + i];
    if (held != static_cast<uint32_t>(*offset))
      return Disagreement(name, "Offset", static_cast<uint32_t>(*offset), "Offset Pos", fieldPos,
                          held);
  }
  return std::nullopt;
}

}  // namespace tessaly
