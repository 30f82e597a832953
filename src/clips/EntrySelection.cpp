#include "clips/EntrySelection.h"

#include <stdexcept>
#include <string>

#include "base/Numbers.h"
#include "clips/EntryStreams.h"

namespace tessaly {

namespace {

std::optional<int> RowNumber(std::string_view text, int rows) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  std::optional<int32_t> number = TryParseInt32(text);
  if (!number || *number < 1 || *number > rows) return std::nullopt;
  return *number;
}

}  // namespace

std::vector<int> SelectEntries(const EntryTable& table, std::string_view list) {
  const int rows = table.RowCount() - 1;
  std::vector<bool> chosen(static_cast<size_t>(rows + 1), false);
  auto fail = [rows](std::string_view item, const char* why) {
    std::string text = "\"";
    text.append(item).append("\" ").append(why);
    return std::invalid_argument(text + " (entries 1 to " + std::to_string(rows) + ")");
  };
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(',', begin);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(begin, end - begin);
    begin = end + 1;
    if (item.empty()) throw std::invalid_argument("an empty item in the entry list");
    if (std::optional<int> row = FindEntryRow(table, item)) {
      chosen[static_cast<size_t>(*row)] = true;
      continue;
    }
    size_t dash = item.find('-');
    bool numeric = item.find_first_not_of("0123456789-") == std::string_view::npos;
    if (dash != std::string_view::npos && numeric) {
      std::optional<int> first = RowNumber(item.substr(0, dash), rows);
      std::optional<int> last = RowNumber(item.substr(dash + 1), rows);
      if (!first || !last) throw fail(item, "is not a range of entries");
      if (*first > *last) throw fail(item, "is a range that runs backwards");
      for (int row = *first; row <= *last; ++row) chosen[static_cast<size_t>(row)] = true;
      continue;
    }
    throw fail(item, numeric ? "is not an entry number" : "names no entry");
  }
  std::vector<int> selected;
  for (int row = 1; row <= rows; ++row)
    if (chosen[static_cast<size_t>(row)]) selected.push_back(row);
  return selected;
}

}  // namespace tessaly
