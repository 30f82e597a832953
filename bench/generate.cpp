// bench_generate: large, well-formed archive pairs and replacement sets for the benchmarks.
// Everything is drawn from a seeded generator, so the same arguments give the same bytes.
//
//   bench_generate archive --out DIR --name NAME --entries N --data-bytes B [--per-block K]
//                          [--digit-index D] [--aliases PERMILLE] [--seed S]
//                          [--clips [--microtalk]]
//   bench_generate replace --folder DIR --mode grown|tenth|shorter [--seed S]
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/IndexLayout.h"
#include "audio/Pcm.h"
#include "audio/StreamEncoder.h"

namespace {

using namespace tessaly;

// splitmix64: small, fast and fully determined by its seed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high].
  uint64_t Between(uint64_t low, uint64_t high) { return low + Next() % (high - low + 1); }

 private:
  uint64_t state_;
};

// Real clips of increasing length (XA r2, or MicroTalk 10:1, mono, 22050 Hz: a tone with noise
// through the encoder), so that a stream of any size can begin with the longest one that fits;
// the rest of the stream is filler, as the padding after a replaced clip is.
class ClipLadder {
 public:
  explicit ClipLadder(bool microTalk) {
    // PC, version 3 (XA r2), one channel, 22050 Hz, then the end chunk; or PS2, version 2,
    // MicroTalk 10:1.
    static const char kXa[] =
        "SCHl\x18\0\0\0PT\0\0\x80\x01\x03\x82\x01\x01\x84\x02\x56\x22\xFF\0\0"
        "SCEl\x08\0\0\0";
    static const char kMicroTalk[] =
        "SCHl\x18\0\0\0PT\x05\0\xFD\x80\x01\x02\xA0\x01\x04\x84\x02\x56\x22\xFF"
        "SCEl\x08\0\0\0";
    std::vector<uint8_t> templateStream =
        microTalk ? std::vector<uint8_t>(kMicroTalk, kMicroTalk + sizeof kMicroTalk - 1)
                  : std::vector<uint8_t>(kXa, kXa + sizeof kXa - 1);
    const size_t unit = microTalk ? 432 : 28, most = microTalk ? 432 * 256 : 28 * 8192;
    uint64_t noise = 1;
    for (size_t frames = unit; frames <= most; frames = frames * 5 / 4 / unit * unit + unit) {
      tessaly::PcmAudio audio{22050, 1, {}};
      for (size_t i = 0; i < frames; ++i) {
        noise = noise * 6364136223846793005ULL + 1442695040888963407ULL;
        double tone = 4000 * std::sin(static_cast<double>(i) / 9);
        audio.samples.push_back(static_cast<int16_t>(tone + static_cast<int>(noise >> 54) - 512));
      }
      std::vector<uint8_t> stream = tessaly::EncodeStream(audio, templateStream);
      clips_.emplace_back(stream.begin(), stream.end());
    }
  }
  // The longest clip of at most `size` bytes, or nullptr.
  const std::string* Fitting(uint64_t size) const {
    const std::string* best = nullptr;
    for (const std::string& clip : clips_)
      if (clip.size() <= size) best = &clip;
    return best;
  }

 private:
  std::vector<std::string> clips_;
};

// Stream bytes: "SCHl" and then slices of a fixed random pool, so 1 GiB costs no more to make
// than to write.
class StreamBytes {
 public:
  explicit StreamBytes(uint64_t seed) : pool_(kPoolSize) {
    Random random(seed ^ 0x5EED);
    for (size_t i = 0; i < kPoolSize; i += 8) {
      uint64_t value = random.Next();
      std::memcpy(pool_.data() + i, &value, 8);
    }
  }
  // Appends a stream of `size` bytes (at least 4) to `out`, its body taken from `where` on.
  void Append(std::string& out, uint64_t size, uint64_t where,
              const ClipLadder* clips = nullptr) const {
    uint64_t done = std::min<uint64_t>(size, 4);
    const std::string* clip = clips ? clips->Fitting(size) : nullptr;
    if (clip) {
      out.append(*clip);
      done = clip->size();
    } else {
      out.append("SCHl", done);
    }
    while (done < size) {
      size_t at = static_cast<size_t>((where + done) % kPoolSize);
      size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, kPoolSize - at));
      out.append(pool_.data() + at, n);
      done += n;
    }
  }

 private:
  static constexpr size_t kPoolSize = 4 << 20;
  std::vector<char> pool_;
};

class Output {
 public:
  explicit Output(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) throw std::runtime_error("can't create " + path + ": " + std::strerror(errno));
  }
  ~Output() {
    if (fd_ >= 0) ::close(fd_);
  }
  void Write(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("can't write " + path_ + ": " + std::strerror(errno));
      done += static_cast<size_t>(n);
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
};

void PutLE(std::string& bytes, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

struct ArchiveParameters {
  std::string out = ".";
  std::string name = "bench";
  uint64_t entries = 1000;
  uint64_t dataBytes = 1 << 20;
  unsigned perBlock = 200;
  unsigned digitIndex = 2;
  unsigned aliasesPerMille = 0;  // entries that start where the next one does (size 0)
  uint64_t seed = 1;
  bool clips = false;      // every stream starts with a real clip
  bool microTalk = false;  // MicroTalk clips instead of XA
};

// Stream sizes in listing order. Inside a block every stream but the last is a whole number of
// 256-byte units, since addresses are; the last of a block may have any size, as block offsets
// have byte granularity. An alias is a stream of size 0: the next entry starts at the same place.
std::vector<uint64_t> StreamSizes(const ArchiveParameters& p, Random& random) {
  // Aliases hold no bytes: the other streams grow to keep the total near --data-bytes.
  uint64_t holding =
      std::max<uint64_t>(p.entries * (1000 - std::min(p.aliasesPerMille, 999u)) / 1000, 1);
  uint64_t mean = std::max<uint64_t>(p.dataBytes / holding, 256);
  std::vector<uint64_t> sizes(p.entries);
  for (uint64_t i = 0; i < p.entries; ++i) {
    bool lastOfBlock = (i + 1) % p.perBlock == 0 || i + 1 == p.entries;
    bool alias = i + 1 < p.entries && random.Between(0, 999) < p.aliasesPerMille;
    uint64_t size = random.Between(mean / 2, mean + mean / 2);
    if (alias)
      size = 0;
    else if (!lastOfBlock)
      size = std::max<uint64_t>((size + 128) / 256 * 256, 256);
    else
      size = std::max<uint64_t>(size, 4);
    sizes[i] = size;
  }
  return sizes;
}

void GenerateArchive(const ArchiveParameters& p) {
  if (p.entries == 0 || p.perBlock == 0 || p.perBlock > 255 || p.digitIndex > 255)
    throw std::runtime_error("entries must be positive, per-block 1 to 255, digit-index 0 to 255");
  Random random(p.seed);
  std::vector<uint64_t> sizes = StreamSizes(p, random);

  uint64_t blocks = (p.entries + p.perBlock - 1) / p.perBlock;
  auto digitIndex = static_cast<uint8_t>(p.digitIndex);
  uint64_t indexSize =
      DescriptorPos(blocks) + kBlockHeaderSize * blocks + SlotSize(digitIndex) * p.entries;
  std::string index(indexSize, '\0');
  for (size_t i = 0; i < kBlockCountPos; ++i) index[i] = static_cast<char>(0x40 + i % 26);
  PutLE(index, kBlockCountPos, blocks, 4);

  uint64_t position = 0;  // in the data file
  uint64_t blockPos = DescriptorPos(blocks);
  for (uint64_t b = 0, entry = 0; b < blocks; ++b) {
    uint64_t count = std::min<uint64_t>(p.perBlock, p.entries - entry);
    size_t descriptor = DescriptorPos(b);
    PutLE(index, descriptor, random.Next(), 4);
    PutLE(index, descriptor + 4, b, 4);
    PutLE(index, descriptor + kDescriptorBlockPos, blockPos, 4);
    PutLE(index, descriptor + kDescriptorOffset, position, 4);
    PutLE(index, blockPos + kBlockUnknwn1, random.Next() & 0xFFFF, 2);
    PutLE(index, blockPos + kBlockId, b & 0xFFFF, 2);
    index[blockPos + kBlockDigitIndex] = static_cast<char>(digitIndex);
    index[blockPos + kBlockAsfCount] = static_cast<char>(count);
    PutLE(index, blockPos + kBlockUnknwn2, random.Next(), 6);  // Unknwn2 to Unknwn4
    uint64_t offset = position;
    for (uint64_t j = 0; j < count; ++j, ++entry) {
      uint64_t address = position - offset;
      if (address / 256 > 0xFFFF)
        throw std::runtime_error("a block spans more than 16 MiB: lower --per-block");
      size_t slot = SlotPos(blockPos, digitIndex, j);
      auto unit = UnitFromAddress(static_cast<uint32_t>(address));
      index[slot] = static_cast<char>(unit[0]);
      index[slot + 1] = static_cast<char>(unit[1]);
      for (uint64_t t = kAddressUnitSize; t < SlotSize(digitIndex); ++t)
        index[slot + t] = static_cast<char>(entry + t);
      position += sizes[entry];
    }
    blockPos = SlotPos(blockPos, digitIndex, count);
  }
  if (position >= (uint64_t{1} << 31))
    throw std::runtime_error("the data file would reach 2 GiB: lower --data-bytes");

  std::filesystem::create_directories(p.out);
  Output(p.out + "/" + p.name + ".idx").Write(index);

  StreamBytes bytes(p.seed);
  std::optional<ClipLadder> clips;
  if (p.clips) clips.emplace(p.microTalk);
  Output data(p.out + "/" + p.name + ".big");
  std::string buffer;
  constexpr size_t kFlushAt = 8 << 20;
  position = 0;
  for (uint64_t size : sizes) {
    bytes.Append(buffer, size, position * 7, clips ? &*clips : nullptr);
    position += size;
    if (buffer.size() >= kFlushAt) {
      data.Write(buffer);
      buffer.clear();
    }
  }
  data.Write(buffer);
  std::printf("%s/%s: %llu entries in %llu blocks, %llu data bytes, %llu index bytes\n",
              p.out.c_str(), p.name.c_str(), static_cast<unsigned long long>(p.entries),
              static_cast<unsigned long long>(blocks), static_cast<unsigned long long>(position),
              static_cast<unsigned long long>(indexSize));
}

// Rewrites the folder's .asf files: every one grown ("grown"), one in ten grown ("tenth"), or
// every one shorter ("shorter"). A grown file gains 1 to a quarter of its length (+ 1) bytes;
// a shorter one keeps half (at least its "SCHl"). Empty files are aliases that share the next
// entry's start; they stay as they are, since such an entry can't grow without overlapping it.
void GenerateReplacements(const std::string& folder, const std::string& mode, uint64_t seed) {
  if (mode != "grown" && mode != "tenth" && mode != "shorter")
    throw std::runtime_error("mode must be grown, tenth or shorter");
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().extension() == ".asf")
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());

  Random random(seed);
  StreamBytes bytes(seed);
  uint64_t changed = 0, total = 0;
  std::string buffer;
  for (const auto& path : files) {
    uint64_t size = std::filesystem::file_size(path);
    if (size == 0) continue;
    uint64_t newSize = size;
    if (mode == "shorter")
      newSize = size > 4 ? std::max<uint64_t>(size / 2, 4) : size;
    else if (mode == "grown" || random.Between(0, 9) == 0)
      newSize = size + random.Between(1, size / 4 + 1);
    if (newSize == size) continue;
    buffer.clear();
    bytes.Append(buffer, newSize, random.Next());
    Output(path.string()).Write(buffer);
    ++changed;
    total += newSize;
  }
  std::printf("%s: %llu of %zu entry files replaced (%llu bytes)\n", folder.c_str(),
              static_cast<unsigned long long>(changed), files.size(),
              static_cast<unsigned long long>(total));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Makes archive pairs and replacement sets for the benchmarks.", "bench_generate"};
  app.require_subcommand(1);

  ArchiveParameters p;
  CLI::App* archive = app.add_subcommand("archive", "Write NAME.idx and NAME.big into DIR");
  archive->add_option("--out", p.out, "Folder to write into")->required();
  archive->add_option("--name", p.name, "Base name of the pair");
  archive->add_option("--entries", p.entries, "Number of entries")->required();
  archive->add_option("--data-bytes", p.dataBytes, "About this many data bytes")->required();
  archive->add_option("--per-block", p.perBlock, "Entries per block (1-255)");
  archive->add_option("--digit-index", p.digitIndex, "DigitIndex byte of every block");
  archive->add_option("--aliases", p.aliasesPerMille,
                      "Per mille of entries that share the next entry's start");
  archive->add_option("--seed", p.seed, "Seed");
  archive->add_flag("--clips", p.clips, "Begin every stream with a real clip (XA r2, 22050 Hz)");
  archive->add_flag("--microtalk", p.microTalk, "Make the clips MicroTalk 10:1 (PS2) instead");

  std::string folder, mode;
  uint64_t seed = 1;
  CLI::App* replace = app.add_subcommand("replace", "Replace entry files in an unpacked folder");
  replace->add_option("--folder", folder, "The unpacked folder")->required();
  replace->add_option("--mode", mode, "grown, tenth or shorter")->required();
  replace->add_option("--seed", seed, "Seed");

  CLI11_PARSE(app, argc, argv);
  try {
    if (archive->parsed()) GenerateArchive(p);
    if (replace->parsed()) GenerateReplacements(folder, mode, seed);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_generate: %s\n", e.what());
    return 1;
  }
  return 0;
}
