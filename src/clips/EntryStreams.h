// Where each entry's stream lies: in a listed archive's data file (from its "Real Address" to the
// next row's that differs, the last one to the data file's end) or in its own file in an unpack
// folder (named by its "Name"). Rows are the table's, counted from 1. In a folder, as in the
// archive, an entry that shares the next one's start is that clip: its file is empty as Unpack
// wrote it (recorded "Size" 0), and the next entry's file is read in its place.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/EntryTable.h"
#include "archive/Listing.h"
#include "audio/ClipInfo.h"
#include "base/Files.h"
#include "base/OperationHost.h"

namespace tessaly {

// The longest stream read whole (to decode, compare or use as a template): commentary clips are
// far smaller, and a hostile table can't make us allocate gigabytes.
inline constexpr uint64_t kMaxStreamBytes = uint64_t{256} << 20;

// `length` bytes of `file` from `start`: a whole stream, read at once. Throws AudioError when it is
// longer than kMaxStreamBytes, FrameworkError when the file can't be read.
std::vector<uint8_t> ReadWholeStream(const File& file, uint64_t start, uint64_t length);
// The whole entry file at `path`, read the same way.
std::vector<uint8_t> ReadWholeStream(const std::string& path);

// Keeps what the listing read at every entry's start, for the clip information.
class ListedHeaders : public EntryStartReader {
 public:
  size_t BytesWanted() const override { return kClipInfoFirstRead; }
  void Expect(int rows) override;
  void Take(int row, std::span<const uint8_t> firstBytes) override;

 private:
  friend class EntryStreams;
  std::vector<std::optional<HeaderClipInfo>> headers_;  // by row - 1
};

class EntryStreams {
 public:
  // `data` must stay open while the streams are used. With `listed`, the headers the listing
  // read serve Info() without reading them again.
  static EntryStreams InArchive(const File& data, const EntryTable& table,
                                ListedHeaders* listed = nullptr);
  static EntryStreams InFolder(const std::string& folder, const EntryTable& table);

  // Rows 1 to Count().
  int Count() const { return static_cast<int>(names_.size()); }
  const std::string& Name(int row) const { return names_[static_cast<size_t>(row - 1)]; }
  bool InFolder() const { return data_ == nullptr; }
  const std::string& Folder() const { return folder_; }
  // The entry file's path (folders only).
  std::string EntryPath(int row) const;

  // Where the bytes Unpack writes for the row lie in the archive's data file (nothing for an
  // entry that shares the next one's start); false for folders and for a stream that can't be
  // located.
  bool Locate(int row, uint64_t& start, uint64_t& length) const;

  // The clip's header, read from the first bytes of its stream; never throws.
  ClipInfo Info(int row) const;
  // The whole stream. Throws FrameworkError for a file that can't be read, AudioError for a
  // stream that can't be located or is larger than kMaxStreamBytes.
  std::vector<uint8_t> Bytes(int row) const;

 private:
  struct Span {
    uint64_t start = 0;
    uint64_t length = 0;          // of the stream
    uint64_t unpackedLength = 0;  // what Unpack writes: up to the next row's start
    enum class Fault : uint8_t { kNone, kAddressNotANumber, kPastDataEnd } fault = Fault::kNone;

    bool Located() const { return fault == Fault::kNone; }
    // Why the stream can't be located.
    std::string FaultText() const;
  };

  const File* data_ = nullptr;
  std::string folder_;
  std::vector<std::string> names_;
  std::vector<Span> spans_;      // archives only
  std::vector<bool> zeroSized_;  // folders only: the recorded "Size" is 0
  // The file holding a folder entry's clip: its own, or for an empty one that Unpack wrote so
  // (recorded "Size" 0), the next entry's.
  File OpenFolderStream(int row) const;
  std::vector<std::optional<HeaderClipInfo>> listed_;
};

// The header of every entry, row after row, with the progress bar following.
std::vector<ClipInfo> ReadAllClipInfo(const EntryStreams& streams, OperationHost& host);

// The table row an entry is called by: its row number ("42") or its "Name" ("speech_00042.asf").
std::optional<int> FindEntryRow(const EntryTable& table, std::string_view entry);

}  // namespace tessaly
