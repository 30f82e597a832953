#include "cli/ArgumentPaths.h"

#include <filesystem>

namespace tessaly::cli {

std::string DialogPath(const std::string& argument) {
  namespace fs = std::filesystem;
  // Arguments are UTF-8 on every system; a path made from a plain string would take the system's
  // code page on Windows.
  fs::path full = fs::absolute(fs::path(std::u8string(argument.begin(), argument.end())));
  full = full.lexically_normal();
  std::u8string text = full.u8string();
  const size_t root = full.root_path().u8string().size();  // "/" or "C:\\" stays whole
  while (text.size() > root && text.back() == fs::path::preferred_separator) text.pop_back();
  return std::string(text.begin(), text.end());
}

}  // namespace tessaly::cli
