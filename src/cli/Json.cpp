#include "cli/Json.h"

#include <array>
#include <charconv>

#include "archive/EntryTable.h"

namespace tessaly::cli {

bool& JsonRequested() {
  static bool requested = false;
  return requested;
}

namespace {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    size_t length = byte < 0x80           ? 1
                    : (byte >> 5) == 0x6  ? 2
                    : (byte >> 4) == 0xE  ? 3
                    : (byte >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? byte : byte & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    constexpr std::array<uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string Utf8Text(std::string_view text) {
  if (IsUtf8(text)) return std::string(text);
  std::string converted;
  converted.reserve(text.size() * 2);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      converted += c;
    } else {
      converted += static_cast<char>(0xC0 | (byte >> 6));
      converted += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return converted;
}

nlohmann::ordered_json TextOrNull(std::string_view text) {
  if (text.empty()) return nullptr;
  return Utf8Text(text);
}

nlohmann::ordered_json CellValue(std::string_view cell) {
  if (cell.empty()) return nullptr;
  long long number = 0;
  const char* end = cell.data() + cell.size();
  auto [stop, error] = std::from_chars(cell.data(), end, number);
  if (error == std::errc() && stop == end) return number;
  return Utf8Text(cell);
}

nlohmann::ordered_json EntryRows(const EntryTable& table) {
  static const char* const kFields[kEntryColumnCount] = {
      "number",       "name",     "id",       "block",        "asf_count",  "digit_index",
      "real_address", "address",  "offset",   "pos_in_block", "offset_pos", "block_pos",
      "unknown1",     "unknown2", "unknown3", "unknown4",     "size"};
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (int row = 1; row < table.RowCount(); ++row) {
    if (row == 1 && table.RowCount() == 2 && table.Cell(kColNumber, 1).empty()) break;
    nlohmann::ordered_json entry = nlohmann::ordered_json::object();
    for (int column = 0; column < kEntryColumnCount; ++column)
      entry[kFields[column]] = column == kColName
                                   ? nlohmann::ordered_json(Utf8Text(table.Cell(column, row)))
                                   : CellValue(table.Cell(column, row));
    rows.push_back(std::move(entry));
  }
  return rows;
}

void PrintJson(const nlohmann::ordered_json& document, std::FILE* out) {
  const std::string text = document.dump(2) + '\n';
  std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace tessaly::cli
