#include "cli/ArgumentPaths.h"

#include <filesystem>

namespace tessaly::cli {

std::string DialogPath(const std::string& argument) {
  namespace fs = std::filesystem;
  std::string path = fs::absolute(fs::path(argument)).lexically_normal().string();
  while (path.size() > 1 && path.back() == fs::path::preferred_separator) path.pop_back();
  return path;
}

}  // namespace tessaly::cli
