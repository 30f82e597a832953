// --json: the documents that list, info, status and verify print instead of their text, one per
// run, with the field names that the manual page documents. Text that scripts read is UTF-8.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessaly {
class EntryTable;
}

namespace tessaly::cli {

// Set once from the command line: the verbs print their JSON document instead of their text.
bool& JsonRequested();

// The text as UTF-8: valid UTF-8 stays as it is; any other text is taken as Latin-1 (the code page
// of the index's own titles) and converted, so the output never holds broken sequences.
std::string Utf8Text(std::string_view text);

// The text as UTF-8, or null when it is empty.
nlohmann::ordered_json TextOrNull(std::string_view text);

// A table cell as a JSON value: an integer where the cell is one, null where it is empty, the
// (UTF-8) text otherwise.
nlohmann::ordered_json CellValue(std::string_view cell);

// The entry rows (below the titles) of a listed table, one object per row with the fields
// number, name, id, block, asf_count, digit_index, real_address, address, offset, pos_in_block,
// offset_pos, block_pos, unknown1 to unknown4 and size.
nlohmann::ordered_json EntryRows(const EntryTable& table);

// The document, indented, and a line end.
void PrintJson(const nlohmann::ordered_json& document, std::FILE* out);

}  // namespace tessaly::cli
