#include "cli/ArgumentPaths.h"

#include <filesystem>

#include "base/Paths.h"

namespace tessaly::cli {

std::string DialogPath(const std::string& argument) {
  namespace fs = std::filesystem;
  // Arguments are UTF-8 on every system.
  fs::path full = fs::absolute(Utf8Path(argument));
  full = full.lexically_normal();
  std::u8string text = full.u8string();
  const size_t root = full.root_path().u8string().size();  // "/" or "C:\\" stays whole
  while (text.size() > root && text.back() == fs::path::preferred_separator) text.pop_back();
  return std::string(text.begin(), text.end());
}

}  // namespace tessaly::cli
