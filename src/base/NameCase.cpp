#include "base/NameCase.h"

#include <filesystem>
#include <system_error>

#include "base/Files.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string MatchNameCase(const std::string& path) {
  if (FileExists(path)) return path;
  std::string folder = ExtractFilePath(path), name = ExtractFileName(path);
  std::error_code error;
  std::filesystem::directory_iterator entries(Utf8Path(folder.empty() ? "." : folder), error);
  if (error || name.empty()) return path;
  std::string match;
  int matches = 0;
  for (const auto& entry : entries) {
    std::string entryName = PathUtf8(entry.path().filename());
    if (!EqualIgnoringCase(entryName, name) || !FileExists(folder + entryName)) continue;
    if (++matches > 1) return path;
    match = folder + entryName;
  }
  return matches == 1 ? match : path;
}

}  // namespace tessaly
