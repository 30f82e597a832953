// A fresh folder under the system's temporary directory, removed with everything in it when the
// test ends; plus small byte-level file helpers for fixtures.
#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace tessaly::testing {

class TempFolder {
 public:
  TempFolder() {
    // A new name that nobody else can have taken: created, not just chosen.
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
      std::filesystem::path candidate = Base() / ("tessaly-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
      if (attempt > 1000) std::abort();
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // A path inside the folder; "/" in `name` separates folders, written as the system's separator
  // so that paths compare equal to those the program builds.
  std::string operator/(const std::string& name) const {
    std::string path = path_ + "/" + name;
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
  }

 private:
  // The system's temporary directory; memory-backed /dev/shm when TMPDIR doesn't say otherwise,
  // so that tests of code that syncs files to the device don't wait for a disk.
  static std::filesystem::path Base() {
#ifndef _WIN32
    if (!std::getenv("TMPDIR") && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
#endif
    return std::filesystem::temp_directory_path();
  }
  std::string path_;
};

// The system's path for a path in the program's UTF-8 (on Windows a narrow name would be taken
// in the local code page).
inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

enum class Folders { Left, Listed };

// Every file under `root`, by its path relative to `root`, with its bytes, and with
// Folders::Listed every folder as "name/": to show that an operation changed nothing, or what it
// left.
inline std::map<std::string, std::string> FilesUnder(const std::string& root,
                                                     Folders folders = Folders::Left) {
  std::map<std::string, std::string> files;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = std::filesystem::relative(item.path(), root).generic_string();
    if (item.is_directory()) {
      if (folders == Folders::Listed) files[name + "/"] = "";
    } else if (item.is_regular_file()) {
      files[name] = ReadBytes(item.path().string());
    }
  }
  return files;
}

}  // namespace tessaly::testing
