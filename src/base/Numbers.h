// Decimal text of the table's cells: parsed as signed 32-bit integers, written unsigned.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// Optional leading blanks, an optional sign, then decimal digits and nothing else, within the
// signed 32-bit range. nullopt otherwise.
std::optional<int32_t> TryParseInt32(std::string_view text);

// As TryParseInt32; on failure throws FrameworkError "'<text>' is not a valid integer value".
int32_t ParseInt32(std::string_view text);

// The same value seen as unsigned 32 bits, as the operations handle cell numbers.
inline uint32_t ParseUInt32Cell(std::string_view text) {
  return static_cast<uint32_t>(ParseInt32(text));
}

// Plain decimal digits: no sign, no separators, no leading zeros.
std::string FormatUnsigned(uint64_t value);

// The same digits in a buffer of their own, for writing a number where no string is needed.
class DecimalDigits {
 public:
  explicit DecimalDigits(uint64_t value)
      : size_(static_cast<uint8_t>(std::to_chars(bytes_, bytes_ + sizeof bytes_, value).ptr -
                                   bytes_)) {}
  std::string_view View() const { return {bytes_, size_}; }

 private:
  char bytes_[20];
  uint8_t size_;
};

}  // namespace tessaly
