// bench_rawread INDEX DATA: the physical work of a listing, as a baseline. Reads the index once,
// walks its blocks and slots, and reads the 4 bytes at every entry's start in the data file.
// Prints how many starts hold "SCHl".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_rawread INDEX DATA\n");
    return 2;
  }
  int indexFd = ::open(argv[1], O_RDONLY);
  int dataFd = ::open(argv[2], O_RDONLY);
  struct stat info {};
  if (indexFd < 0 || dataFd < 0 || ::fstat(indexFd, &info) != 0) {
    std::perror("bench_rawread");
    return 1;
  }
  std::vector<uint8_t> index(static_cast<size_t>(info.st_size));
  if (::read(indexFd, index.data(), index.size()) != static_cast<ssize_t>(index.size())) return 1;

  uint64_t found = 0;
  if (index.size() < 88) return 1;
  uint32_t blocks = U32(index, 84);
  if (88 + 16 * uint64_t{blocks} > index.size()) return 1;
  for (uint32_t k = 0; k < blocks; ++k) {
    uint32_t blockPos = U32(index, 88 + 16 * k + 8);
    uint32_t offset = U32(index, 88 + 16 * k + 12);
    if (uint64_t{blockPos} + 12 > index.size()) return 1;
    unsigned slotSize = 2 + (index[blockPos + 4] & 0x7F);
    unsigned count = index[blockPos + 5];
    if (blockPos + 12 + uint64_t{count} * slotSize > index.size()) return 1;
    for (unsigned j = 0; j < count; ++j) {
      size_t slot = blockPos + 12 + j * slotSize;
      uint32_t start = ((index[slot] << 8 | index[slot + 1]) << 8) + offset;
      char bytes[4];
      if (::pread(dataFd, bytes, 4, start) == 4 && std::memcmp(bytes, "SCHl", 4) == 0) ++found;
    }
  }
  std::printf("%llu\n", static_cast<unsigned long long>(found));
  return 0;
}
