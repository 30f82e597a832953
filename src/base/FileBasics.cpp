// The parts of the file layer that are the same on every system: its texts, moving files, and
// what is built on positioned reads and writes.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

constexpr size_t kChunk = 1 << 20;

constexpr size_t kMaxNameBytes = 255;

// A "<pid>-<n>" tag: digits, one dash, digits.
bool IsTag(std::string_view tag) {
  size_t dash = tag.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == tag.size()) return false;
  return std::all_of(tag.begin(), tag.end(),
                     [](char c) { return c == '-' || (c >= '0' && c <= '9'); }) &&
         tag.find('-', dash + 1) == std::string_view::npos;
}

// The target part of a temporary's name (".<target>.<tag><suffix>"), nullopt for another name.
std::optional<std::string_view> TargetPart(std::string_view name, std::string_view suffix) {
  if (name.size() < 1 + suffix.size() || name[0] != '.' || !name.ends_with(suffix))
    return std::nullopt;
  std::string_view rest = name.substr(1, name.size() - 1 - suffix.size());
  size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || !IsTag(rest.substr(dot + 1)))
    return std::nullopt;
  return rest.substr(0, dot);
}

// A name that had to be cut short: within a UTF-8 character's length of the limit.
bool IsCutShort(std::string_view name) {
  return name.size() + 3 >= kMaxNameBytes && name.size() <= kMaxNameBytes;
}

const char* Reason(int error) {
  return error == EBUSY ? "The file is in use by another program" : std::strerror(error);
}

}  // namespace

std::optional<std::string> PrepareFolderForWriting(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(Utf8Path(folder), error);
  if (error || !FolderExists(folder))
    return "Cannot create folder " + Quoted(folder) + ". " +
           (error ? error.message() : "A file of that name exists");
  // A hidden folder made and removed again: the same right as making a file there, without one.
  const std::string probe = JoinPath(
      folder, ".tessaly-write-check-" +
                  std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  if (fs::create_directory(Utf8Path(probe), error)) fs::remove(Utf8Path(probe), error);
  if (error) return "Cannot write into folder " + Quoted(folder) + ". " + error.message();
  return std::nullopt;
}

std::string TemporaryName(std::string_view targetName, std::string_view tag,
                          std::string_view suffix) {
  size_t room = kMaxNameBytes - std::min(kMaxNameBytes, 2 + tag.size() + suffix.size());
  if (targetName.size() > room) {
    targetName = targetName.substr(0, room);
    // Not inside a UTF-8 character: continuation bytes are 10xxxxxx.
    while (!targetName.empty() && (static_cast<unsigned char>(targetName.back()) & 0xC0) == 0x80)
      targetName.remove_suffix(1);
    if (!targetName.empty() && static_cast<unsigned char>(targetName.back()) >= 0xC0)
      targetName.remove_suffix(1);
  }
  std::string name;
  name.reserve(2 + targetName.size() + tag.size() + suffix.size());
  name.append(".").append(targetName).append(".").append(tag).append(suffix);
  return name;
}

bool IsTemporaryName(std::string_view name, std::string_view targetName, std::string_view suffix) {
  std::optional<std::string_view> part = TargetPart(name, suffix);
  if (!part) return false;
  if (*part == targetName) return true;
  return !part->empty() && targetName.starts_with(*part) && IsCutShort(name);
}

bool IsTemporaryNameOfKind(std::string_view name, const std::vector<std::string_view>& extensions,
                           const std::vector<std::string_view>& suffixes) {
  for (std::string_view suffix : suffixes) {
    std::optional<std::string_view> part = TargetPart(name, suffix);
    if (!part || part->empty()) continue;
    if (IsCutShort(name)) return true;
    for (std::string_view extension : extensions)
      if (part->size() > extension.size() &&
          std::equal(extension.begin(), extension.end(), part->end() - extension.size(),
                     [](char a, char b) {
                       return std::tolower(static_cast<unsigned char>(a)) ==
                              std::tolower(static_cast<unsigned char>(b));
                     }))
        return true;
  }
  return false;
}

std::string CannotOpenText(const std::string& path, int error) {
  return "Cannot open file " + Quoted(path) + ". " + Reason(error);
}

std::string CannotCreateText(const std::string& path, int error) {
  return "Cannot create file " + Quoted(path) + ". " + Reason(error);
}

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

File::~File() {
  Release();
}

void File::ThrowReadError(int error) const {
  throw FrameworkError("Cannot read file " + Quoted(path_) + ". " + std::strerror(error));
}

void File::ThrowWriteError(int error) const {
  throw FrameworkError("Cannot write file " + Quoted(path_) + ". " + std::strerror(error));
}

void File::ReadExactlyAt(uint64_t position, void* buffer, size_t count) const {
  if (ReadAt(position, buffer, count) != count)
    throw FrameworkError("Cannot read file " + Quoted(path_) + ". It ends before position " +
                         std::to_string(position + count));
}

void File::WriteZerosAt(uint64_t position, uint64_t count) {
  // A long run past the end of the file becomes a change of size (a hole where the file system
  // has them) that reads as zeros: no bytes to write. Short runs (a pack's padding to whole
  // units) are cheaper written than a change of size.
  if (count >= kChunk && position >= Size()) return ExtendTo(position + count);
  static const std::vector<char> zeros(kChunk, 0);
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
    WriteAt(position, zeros.data(), n);
    position += n;
    count -= n;
  }
}

void File::CopyBuffered(const File& source, uint64_t sourcePosition, uint64_t count,
                        uint64_t position) {
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(count, kChunk)));
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
    source.ReadExactlyAt(sourcePosition, buffer.data(), n);
    WriteAt(position, buffer.data(), n);
    sourcePosition += n;
    position += n;
    count -= n;
  }
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  File file = File::OpenRead(path);
  uint64_t size = file.Size();
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t got = file.ReadAt(0, bytes.data(), bytes.size());
  bytes.resize(got);
  return bytes;
}

void WriteWholeFile(const std::string& path, const void* bytes, size_t count) {
  File file = File::CreateReplace(path);
  file.WriteAt(0, bytes, count);
  file.Close();
}

}  // namespace tessaly
