// Runs a fuzz target once on every file of its corpus, in name order, as libFuzzer would on a
// finding: the target aborts on a broken invariant, and the sanitizers of the build report what
// they catch. Each input lies in a heap block of its exact size, so reading past it is caught.
//
//   replay_<name> CORPUS_FOLDER_OR_FILE...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> CorpusFiles(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::directory_iterator(path))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
  } else if (std::filesystem::is_regular_file(path)) {
    files.push_back(path);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
    return 2;
  }
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<std::filesystem::path> files = CorpusFiles(argv[i]);
    if (files.empty()) {
      std::fprintf(stderr, "%s: no corpus at %s\n", argv[0], argv[i]);
      return 2;
    }
    for (const auto& file : files) {
      std::error_code error;
      auto size = static_cast<size_t>(std::filesystem::file_size(file, error));
      auto input = std::make_unique<uint8_t[]>(size);
      std::ifstream in(file, std::ios::binary);
      if (error ||
          !in.read(reinterpret_cast<char*>(input.get()), static_cast<std::streamsize>(size))) {
        std::fprintf(stderr, "%s: can't read %s\n", argv[0], file.string().c_str());
        return 2;
      }
      std::fprintf(stderr, "%s\n", file.string().c_str());
      LLVMFuzzerTestOneInput(input.get(), size);
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed\n", replayed);
  return 0;
}
