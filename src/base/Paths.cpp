#include "base/Paths.h"

namespace tessaly {

bool IsFolderDelimiter(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}

static size_t LastDelimiter(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsFolderDelimiter(path[i - 1])) return i - 1;
  return std::string::npos;
}

// Position of the extension's "." in the last component, or npos.
static size_t ExtensionStart(const std::string& path) {
  size_t delimiter = LastDelimiter(path);
  size_t from = delimiter == std::string::npos ? 0 : delimiter + 1;
  size_t dot = path.rfind('.');
  return dot != std::string::npos && dot >= from ? dot : std::string::npos;
}

std::string ExtractFileName(const std::string& path) {
  size_t delimiter = LastDelimiter(path);
  return delimiter == std::string::npos ? path : path.substr(delimiter + 1);
}

std::string ExtractFilePath(const std::string& path) {
  size_t delimiter = LastDelimiter(path);
  return delimiter == std::string::npos ? std::string() : path.substr(0, delimiter + 1);
}

std::string ExtractFileExt(const std::string& path) {
  size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  return RemoveFileExt(path) + ext;
}

std::string RemoveFileExt(const std::string& path) {
  size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string Quoted(std::string_view path) {
  std::string quoted;
  quoted.reserve(path.size() + 2);
  quoted += '"';
  quoted += path;
  quoted += '"';
  return quoted;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).append(1, kPathSeparator).append(name);
  return path;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '\0' || c == '/' || c == '\\' || c == ':') return false;
  return true;
}

std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace tessaly
