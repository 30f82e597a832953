// The parts of the file layer that are the same on every system: its texts, moving files, and
// what is built on positioned reads and writes.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/Errors.h"
#include "base/Files.h"

namespace tessaly {

namespace {

constexpr size_t kChunk = 1 << 20;

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

const char* Reason(int error) {
  return error == EBUSY ? "The file is in use by another program" : std::strerror(error);
}

}  // namespace

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
