#include "archive/Listing.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Numbers.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

constexpr size_t kHeaderSize = 88;
constexpr size_t kBlockCountPos = 84;
constexpr size_t kDescriptorSize = 16;
constexpr size_t kBlockHeaderSize = 12;
constexpr size_t kAddressUnitSize = 2;

struct BlockDescriptor {
  uint32_t blockPos;
  uint32_t offset;
  uint64_t offsetPos;
};

struct BlockHeader {
  uint16_t unknwn1, id;
  uint8_t digitIndex, asfCount;
  uint16_t unknwn2, unknwn3, unknwn4;
};

// What one listing carries from step to step besides the table.
struct Listing {
  ArchiveState& state;
  EntryTable& table;
  OperationHost& host;
  std::string namePrefix;  // "<index base name>_"
  uint64_t entries = 0;    // r: entries reached, the one that failed its check included
  RowTexts texts;          // the row being written, its buffer reused
};

// Stops the listing unless `count` bytes of one structure lie inside the image at the current
// position; the error names the structure's first byte, and nothing is read.
void RequireStructure(const IndexImage& image, size_t count) {
  if (!image.Has(count)) throw IndexRangeError(image.Position(), count, image.Size());
}

int ProgressValue(uint64_t value) {
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Derives both paths from the chosen file and checks that both files exist, the index first.
bool FindPair(ArchiveState& state, const std::string& chosen, OperationHost& host) {
  state.chosenPath = chosen;
  state.indexPath = ChangeFileExt(chosen, ".idx");
  state.dataPath = ChangeFileExt(chosen, ".big");
  for (const std::string* path : {&state.indexPath, &state.dataPath}) {
    if (!FileExists(*path)) {
      host.ShowMessage(MessageKind::Error, "File: " + *path + " not found.");
      return false;
    }
  }
  return true;
}

// Reads the index whole into memory and opens the data file for reading.
void OpenPair(ArchiveState& state, OperationHost& host) {
  state.index = IndexImage::ReadFrom(state.indexPath);
  host.Repaint();
  state.dataStream = File::OpenRead(state.dataPath);
  state.dataFileSize = state.dataStream.Size();
  state.dataSize = static_cast<uint32_t>(state.dataFileSize);
}

uint32_t ReadBlockCount(IndexImage& image) {
  image.Seek(0);
  RequireStructure(image, kHeaderSize);
  image.Skip(kBlockCountPos);
  return image.ReadU32LE();
}

// The descriptors must all lie inside the image before any is kept, so the memory they take is
// bounded by the file's size whatever BlockCount claims.
std::vector<BlockDescriptor> ReadDescriptors(IndexImage& image, uint32_t blockCount) {
  size_t room = (image.Size() - kHeaderSize) / kDescriptorSize;
  if (blockCount > room) {
    image.Seek(kHeaderSize + room * kDescriptorSize);
    RequireStructure(image, kDescriptorSize);
  }
  std::vector<BlockDescriptor> descriptors;
  descriptors.reserve(blockCount);
  for (uint32_t k = 0; k < blockCount; ++k) {
    uint64_t start = image.Position();
    image.Skip(8);
    uint32_t blockPos = image.ReadU32LE();
    uint32_t offset = image.ReadU32LE();
    descriptors.push_back({blockPos, offset, start + 12});
  }
  return descriptors;
}

// The rows a complete listing will make, as a hint for reserving the table: the AsfCount of every
// block, when the blocks together fit into the image as in a well-formed index. No hint (0)
// otherwise, so what is reserved stays bounded by the file's size.
int ExpectedRows(const IndexImage& image, const std::vector<BlockDescriptor>& descriptors) {
  const auto& bytes = image.Bytes();
  uint64_t rows = 1, footprint = 0;
  for (const BlockDescriptor& descriptor : descriptors) {
    if (uint64_t{descriptor.blockPos} + kBlockHeaderSize > bytes.size()) return 0;
    uint64_t count = bytes[descriptor.blockPos + 5];
    uint64_t slotSize = kAddressUnitSize + (bytes[descriptor.blockPos + 4] & 0x7F);
    footprint += kBlockHeaderSize + count * slotSize;
    rows += count;
  }
  if (footprint > bytes.size() || rows > INT_MAX) return 0;
  return static_cast<int>(rows);
}

BlockHeader ReadBlockHeader(IndexImage& image, uint32_t blockPos) {
  image.Seek(blockPos);
  RequireStructure(image, kBlockHeaderSize);
  BlockHeader header{};
  header.unknwn1 = image.ReadU16LE();
  header.id = image.ReadU16LE();
  header.digitIndex = image.ReadU8();
  header.asfCount = image.ReadU8();
  header.unknwn2 = image.ReadU16LE();
  header.unknwn3 = image.ReadU16LE();
  header.unknwn4 = image.ReadU16LE();
  return header;
}

void WriteRow(Listing& run, int row, uint32_t blockNumber, const BlockDescriptor& descriptor,
              const BlockHeader& header, uint32_t address, uint32_t realAddress,
              uint64_t posInBlock) {
  RowTexts& texts = run.texts;
  texts.Clear();
  texts.AddNumber(run.entries);
  texts.Append(run.namePrefix);  // "<prefix><number, at least 5 digits>.asf"
  texts.AppendNumber(run.entries, 5);
  texts.Add(".asf");
  texts.AddNumber(header.id);
  texts.AddNumber(blockNumber);
  texts.AddNumber(header.asfCount);
  texts.AddNumber(header.digitIndex);
  texts.AddNumber(realAddress);
  texts.AddNumber(address);
  texts.AddNumber(descriptor.offset);
  texts.AddNumber(posInBlock);
  texts.AddNumber(descriptor.offsetPos);
  texts.AddNumber(descriptor.blockPos);
  texts.AddNumber(header.unknwn1);
  texts.AddNumber(header.unknwn2);
  texts.AddNumber(header.unknwn3);
  texts.AddNumber(header.unknwn4);
  run.table.SetRowCount(row + 1);
  run.table.SetRow(row, texts);
}

// One block: its header, then every slot checked and written as a row. False when
// an entry failed its "SCHl" check.
bool ListBlock(Listing& run, uint32_t blockNumber, uint32_t blockCount,
               const BlockDescriptor& descriptor) {
  IndexImage& image = run.state.index;
  BlockHeader header = ReadBlockHeader(image, descriptor.blockPos);
  RepaintAtFixedPoints(run.host, blockNumber, blockCount);
  size_t slotSize = kAddressUnitSize + (header.digitIndex & 0x7F);
  for (int slot = 0; slot < header.asfCount; ++slot) {
    ++run.entries;
    uint64_t posInBlock = image.Position();
    RequireStructure(image, slotSize);
    auto unit = image.ReadPair();
    image.Skip(slotSize - kAddressUnitSize);
    run.host.SetProgressPosition(ProgressValue(image.Position()));
    uint32_t address = AddressFromUnit(unit[0], unit[1]);
    uint32_t realAddress = address + descriptor.offset;  // wraps modulo 2^32
    if (!CheckSchl(run.state, realAddress, run.host)) return false;
    WriteRow(run, static_cast<int>(run.entries), blockNumber, descriptor, header, address,
             realAddress, posInBlock);
  }
  return true;
}

// Decodes the index and fills the table.
ListingEnd ListEntries(Listing& run) {
  IndexImage& image = run.state.index;
  run.host.SetProgressMax(ProgressValue(image.Size()));
  uint32_t blockCount = ReadBlockCount(image);
  run.table.LayOutColumns();
  run.host.Repaint();
  std::vector<BlockDescriptor> descriptors = ReadDescriptors(image, blockCount);
  run.host.Repaint();
  run.table.ReserveRows(ExpectedRows(image, descriptors));
  for (uint32_t k = 0; k < blockCount; ++k)
    if (!ListBlock(run, k, blockCount, descriptors[k])) return ListingEnd::CheckFailed;
  return ListingEnd::Complete;
}

// The end of every listing that opened the pair: after the last block, a failed check or a
// truncated index alike.
void Finish(Listing& run, ToolbarAndGridDisabled& disabled) {
  const ArchiveState& state = run.state;
  uint64_t position = std::min<uint64_t>(state.index.Position(), state.index.Size());
  run.host.SetStatusText(
      0, ExtractFileName(state.indexPath) + " - " + ExtractFileName(state.dataPath));
  run.host.SetStatusText(1, "Asf count: " + FormatUnsigned(run.entries));
  run.host.SetStatusText(
      2, "Read " + FormatUnsigned(position) + " bytes of " + FormatUnsigned(state.index.Size()));
  disabled.Enable();
  run.host.SetProgressPosition(0);
}

}  // namespace

void ArchiveState::Release() noexcept {
  index = IndexImage();
  dataStream.Release();
  dataSize = 0;
  dataFileSize = 0;
}

bool CheckSchl(ArchiveState& state, uint32_t realAddress, OperationHost& host) {
  char bytes[4];
  if (state.dataStream.ReadAt(realAddress, bytes, sizeof bytes) == sizeof bytes &&
      std::memcmp(bytes, "SCHl", sizeof bytes) == 0)
    return true;
  host.ShowMessage(MessageKind::PlainError, "SCHl not found in " + FormatUnsigned(realAddress));
  return false;
}

ListingEnd ListArchive(ArchiveState& state, EntryTable& table, OperationHost& host) {
  // Whatever an earlier operation left open is not this listing's archive.
  state.Release();
  std::optional<std::string> chosen = host.PickArchiveFile();
  if (!chosen) return ListingEnd::Cancelled;
  // A pack of this pair stopped while it replaced the files is finished first.
  const std::string commitRecord = CommitRecordPath(*chosen);
  {
    FolderLock commits = LockCommits(commitRecord);
    FinishInterruptedCommit(commitRecord);
  }
  if (!FindPair(state, *chosen, host)) return ListingEnd::FileMissing;

  table.Reset();
  for (int panel = 0; panel < 4; ++panel) host.SetStatusText(panel, "");
  Listing run{state, table, host, RemoveFileExt(ExtractFileName(state.indexPath)) + "_", 0, {}};
  try {
    ToolbarAndGridDisabled disabled(host);
    host.Repaint();
    {
      // Both files opened while no pack replaces them: they belong to one pair.
      FolderLock commits = LockCommits(commitRecord);
      OpenPair(state, host);
    }
    ListingEnd end;
    try {
      end = ListEntries(run);
    } catch (const IndexRangeError& e) {
      host.ShowMessage(MessageKind::Error,
                       "Index file " + state.indexPath + " is cut short: the structure at " +
                           FormatUnsigned(e.Position()) + " runs past its end.");
      end = ListingEnd::IndexTruncated;
    }
    Finish(run, disabled);
    return end;
  } catch (...) {
    state.Release();
    throw;
  }
}

}  // namespace tessaly
