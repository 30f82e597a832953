// Path rules: the extension is the last component's text from its last "." on; paths are joined
// with the host's separator.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaly {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for the characters that end a folder part: the separator (both slashes on Windows, with
// ":" after a drive letter).
bool IsFolderDelimiter(char c);

// The last component: the text after the last delimiter.
std::string ExtractFileName(const std::string& path);
// Everything up to and including the last delimiter ("" when there is none).
std::string ExtractFilePath(const std::string& path);
// The extension of the last component, with its ".", or "".
std::string ExtractFileExt(const std::string& path);
// The path with its extension replaced; a path without one gets `ext` appended.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// The path with its extension removed; a path without one stays whole.
std::string RemoveFileExt(const std::string& path);
// The path in double quotes, as messages show a path.
std::string Quoted(std::string_view path);
// folder + separator + name.
std::string JoinPath(std::string_view folder, std::string_view name);

// A std::filesystem path from a UTF-8 string, and a path's UTF-8 text. Paths are UTF-8 strings
// everywhere here; a path built from or read as a plain string would take the system's code page
// on Windows instead.
std::filesystem::path Utf8Path(std::string_view utf8);
std::string PathUtf8(const std::filesystem::path& path);

// True when `name` is a plain file name: not empty, no delimiter, not "." or "..", no NUL.
bool IsPlainFileName(std::string_view name);

}  // namespace tessaly
