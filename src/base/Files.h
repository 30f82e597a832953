// The file layer: whole-file reads, files opened for positioned reads and writes, existence tests
// and folders. The system's side is in Files.cpp (POSIX) and FilesWindows.cpp, the rest in
// FileBasics.cpp; nothing else in the core calls the system for files. Failures throw
// FrameworkError with the texts the user sees ("Cannot open file \"path\". <reason>").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// A folder held open, so that many files in it are opened without walking its path each time.
class Folder {
 public:
  Folder() = default;
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder();

  // Throws FrameworkError when `path` can't be opened as a folder.
  static Folder Open(const std::string& path);
  const std::string& Path() const { return path_; }

 private:
  friend class File;
  Folder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
};

// An open file. An advisory lock stands in for the share mode: shared for readers (others may
// read, not write), exclusive for writers (nobody else).
class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // An existing file, for reading; others may read it but not write it.
  static File OpenRead(const std::string& path);
  // The regular file `name` (a plain file name) in `folder`, for reading as OpenRead does; a link
  // to one is followed. Nullopt when there is no such file (nothing, or a folder, of that name);
  // throws for a pipe, a device or a socket, without blocking on it or reading it.
  static std::optional<File> TryOpenRead(const Folder& folder, std::string_view name);
  // Creates the file or truncates one of that name, for reading and writing, shared with nobody.
  static File CreateReplace(const std::string& path);
  // Creates a new, uniquely named file in the folder of `target` (a hidden name derived from
  // it), for writing a replacement aside before renaming it over `target`.
  static File CreateBeside(const std::string& target);

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  uint64_t Size() const;

  // Reads up to `count` bytes at `position`; fewer only at the end of the file.
  size_t ReadAt(uint64_t position, void* buffer, size_t count) const;
  // Reads exactly `count` bytes at `position` or throws.
  void ReadExactlyAt(uint64_t position, void* buffer, size_t count) const;
  // Writes all `count` bytes at `position` or throws (a full disk is an error, not a short write).
  void WriteAt(uint64_t position, const void* buffer, size_t count);
  // Makes a shorter file `size` bytes long, the new bytes reading as zeros.
  void ExtendTo(uint64_t size);
  // Writes `count` zero bytes at `position` from a fixed block.
  void WriteZerosAt(uint64_t position, uint64_t count);
  // Copies `count` bytes of `source` from `sourcePosition` to this file at `position`, with
  // bounded memory (a kernel copy where possible). Throws when the source ends early.
  void CopyFrom(const File& source, uint64_t sourcePosition, uint64_t count, uint64_t position);

  // Asks the system to start writing `count` bytes from `position` to the device without waiting
  // for them, so that a later Sync has less left to wait for. A hint: failures are ignored.
  void StartWriteBack(uint64_t position, uint64_t count) noexcept;
  // Forces the written data to the device; throws when it could not be stored.
  void Sync();
  // Closes; throws when the system reports that written data could not be stored. Call Sync
  // first for the data to be on the device.
  void Close();
  // Closes, ignoring failures (for cleanup paths).
  void Release() noexcept;

 private:
  friend class WriteBehind;
  File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  // Copies through a buffer, as CopyFrom does where the system has no copy of its own.
  void CopyBuffered(const File& source, uint64_t sourcePosition, uint64_t count, uint64_t position);
  [[noreturn]] void ThrowReadError(int error) const;
  [[noreturn]] void ThrowWriteError(int error) const;
  int fd_ = -1;
  std::string path_;
};

// Reads a whole file, opened for reading with others allowed to read but not write.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
// Creates or replaces `path` with `bytes`.
void WriteWholeFile(const std::string& path, const void* bytes, size_t count);

// A file that is not a folder exists at `path`.
bool FileExists(const std::string& path);
// A folder exists at `path`.
bool FolderExists(const std::string& path);
// `path` is a folder itself, not a link to one.
bool IsFolderNotLink(const std::string& path);
// Creates one folder level; false when it can't be made (it exists, the parent is missing, ...).
bool CreateFolder(const std::string& path);
// Makes `folder` when missing, with the folders above it, and checks that files can be made in
// it. When not, the problem in words: "Cannot create folder "<folder>". A file of that name
// exists" (or the system's reason), "Cannot write into folder "<folder>". <the system's reason>".
std::optional<std::string> PrepareFolderForWriting(const std::string& folder);
// Renames `from` over `to`, replacing it atomically; throws on failure.
void ReplaceFile(const std::string& from, const std::string& to);
// Removes a file, ignoring failures (for cleanup paths).
void RemoveFileQuietly(const std::string& path) noexcept;
// Removes a file unless a process has it open for writing; ignores failures.
void RemoveFileIfUnused(const std::string& path) noexcept;
// Anything (a file, a folder, a link, itself not followed) exists at `path`.
bool PathExists(const std::string& path);
// The names in `folder` ("" is the current folder), hidden ones included, without "." and "..";
// empty when it can't be read.
std::vector<std::string> FolderNames(const std::string& folder);
// Stores the names in `folder` ("" is the current folder) on the device, so that files created,
// renamed or removed in it stay so after a power loss; throws FrameworkError when that fails.
void SyncFolder(const std::string& folder);
// Up to `limit` bytes from the start of the file `path`, without following a link or waiting on a
// pipe; nullopt when nothing of that name exists. Throws FrameworkError when it can't be read.
std::optional<std::string> ReadFileStart(const std::string& path, size_t limit);

// The name of a temporary for the file `targetName` in the same folder: hidden, the target's name,
// `tag` (unique to the writer) and `suffix`. A target name too long for that within the 255 bytes a
// file name may have is cut short (at a whole character).
std::string TemporaryName(std::string_view targetName, std::string_view tag,
                          std::string_view suffix);
// True for a name TemporaryName makes for `targetName` with `suffix`, the tag "<pid>-<n>".
bool IsTemporaryName(std::string_view name, std::string_view targetName, std::string_view suffix);
// True for a name TemporaryName makes for some target ending in one of `extensions` (compared
// ignoring case; a name cut short qualifies by its length), the tag "<pid>-<n>" and one of
// `suffixes`.
bool IsTemporaryNameOfKind(std::string_view name, const std::vector<std::string_view>& extensions,
                           const std::vector<std::string_view>& suffixes);

// The framework's texts for files that can't be opened or created.
std::string CannotOpenText(const std::string& path, int error);
std::string CannotCreateText(const std::string& path, int error);
// "Cannot open file" for something that is not a regular file, saying what it is.
std::string NotRegularFileText(const std::string& path, unsigned mode);

}  // namespace tessaly
