#include "base/Numbers.h"

#include "base/Errors.h"

namespace tessaly {

std::optional<int32_t> TryParseInt32(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t ParseInt32(std::string_view text) {
  if (auto value = TryParseInt32(text)) return *value;
  throw FrameworkError("'" + std::string(text) + "' is not a valid integer value");
}

std::string FormatUnsigned(uint64_t value) {
  return std::string(DecimalDigits(value).View());
}

}  // namespace tessaly
