#include "clips/EntryStreams.h"

#include <algorithm>
#include <exception>

#include "audio/AudioError.h"
#include "base/Numbers.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

std::vector<std::string> RowNames(const EntryTable& table) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(std::max(table.RowCount() - 1, 0)));
  for (int row = 1; row < table.RowCount(); ++row) names.emplace_back(table.Cell(kColName, row));
  return names;
}

// A "Name" that would reach outside the folder is never opened.
std::string CheckedName(const std::string& name) {
  if (!IsPlainFileName(name)) throw AudioError("\"" + name + "\" is not a plain file name");
  return name;
}

}  // namespace

void ListedHeaders::Expect(int rows) {
  // A hint only: a damaged index may announce far more entries than it holds.
  headers_.reserve(static_cast<size_t>(std::clamp(rows, 0, 1 << 20)));
}

void ListedHeaders::Take(int row, std::span<const uint8_t> firstBytes) {
  if (row < 1) return;
  if (headers_.size() < static_cast<size_t>(row)) headers_.resize(static_cast<size_t>(row));
  headers_[static_cast<size_t>(row - 1)] = ReadClipInfoFromHeader(firstBytes);
}

EntryStreams EntryStreams::InArchive(const File& data, const EntryTable& table,
                                     ListedHeaders* listed) {
  EntryStreams streams;
  if (listed) streams.listed_ = std::move(listed->headers_);
  streams.data_ = &data;
  streams.names_ = RowNames(table);
  const uint64_t fileSize = data.Size();
  const int count = streams.Count();
  std::vector<std::optional<int32_t>> starts;
  starts.reserve(static_cast<size_t>(count));
  streams.spans_.reserve(static_cast<size_t>(count));
  for (int row = 1; row <= count; ++row)
    starts.push_back(TryParseInt32(table.Cell(kColRealAddress, row)));
  for (int row = 1; row <= count; ++row) {
    Span span;
    const auto& start = starts[static_cast<size_t>(row - 1)];
    if (!start) {
      span.fault = Span::Fault::kAddressNotANumber;
    } else {
      span.start = static_cast<uint32_t>(*start);
      // Unpack's cut: up to the next row's start. An entry that shares the next one's start
      // (an alias) is empty there, but its stream is the one that starts there.
      uint64_t end = fileSize, unpackEnd = fileSize;
      for (int next = row + 1; next <= count; ++next) {
        const auto& nextStart = starts[static_cast<size_t>(next - 1)];
        if (!nextStart) break;
        uint64_t at = static_cast<uint32_t>(*nextStart);
        if (next == row + 1 && at >= span.start) unpackEnd = std::min(at, fileSize);
        if (at != span.start) {
          if (at > span.start) end = std::min(at, fileSize);
          break;
        }
      }
      if (span.start >= fileSize) {
        span.fault = Span::Fault::kPastDataEnd;
      } else {
        span.length = end - span.start;
        span.unpackedLength = unpackEnd - span.start;
      }
    }
    streams.spans_.push_back(span);
  }
  return streams;
}

std::string EntryStreams::Span::FaultText() const {
  if (fault == Fault::kAddressNotANumber) return "its \"Real Address\" is not a number";
  return "it starts at " + FormatUnsigned(start) + ", past the data file's end";
}

EntryStreams EntryStreams::InFolder(const std::string& folder, const EntryTable& table) {
  EntryStreams streams;
  streams.folder_ = folder;
  streams.names_ = RowNames(table);
  for (int row = 1; row <= streams.Count(); ++row)
    streams.zeroSized_.push_back(table.Cell(kColSize, row) == "0");
  return streams;
}

File EntryStreams::OpenFolderStream(int row) const {
  File file = File::OpenRead(EntryPath(row));
  while (row < Count() && zeroSized_[static_cast<size_t>(row - 1)] && file.Size() == 0)
    file = File::OpenRead(EntryPath(++row));
  return file;
}

std::string EntryStreams::EntryPath(int row) const {
  return JoinPath(folder_, CheckedName(Name(row)));
}

bool EntryStreams::Locate(int row, uint64_t& start, uint64_t& length) const {
  if (InFolder()) return false;
  const Span& span = spans_[static_cast<size_t>(row - 1)];
  start = span.start;
  length = span.unpackedLength;
  return span.Located();
}

ClipInfo EntryStreams::Info(int row) const {
  try {
    if (InFolder()) {
      File file = OpenFolderStream(row);
      return ReadClipInfo(file, 0, file.Size());
    }
    const Span& span = spans_[static_cast<size_t>(row - 1)];
    if (!span.Located()) return ClipInfo::Unreadable(span.FaultText());
    // The listing's bytes hold the whole header chunk, and the stream is at least that long.
    if (static_cast<size_t>(row) <= listed_.size()) {
      const auto& listed = listed_[static_cast<size_t>(row - 1)];
      if (listed && listed->headerSize <= span.length) return listed->info;
    }
    return ReadClipInfo(*data_, span.start, span.length);
  } catch (const std::exception& error) {
    return ClipInfo::Unreadable(error.what());
  }
}

std::vector<uint8_t> ReadWholeStream(const File& file, uint64_t start, uint64_t length) {
  if (length > kMaxStreamBytes)
    throw AudioError("the stream is " + FormatUnsigned(length) + " bytes long, more than " +
                     FormatUnsigned(kMaxStreamBytes) + " bytes this program reads");
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file.ReadExactlyAt(start, bytes.data(), bytes.size());
  return bytes;
}

std::vector<uint8_t> ReadWholeStream(const std::string& path) {
  const File file = File::OpenRead(path);
  return ReadWholeStream(file, 0, file.Size());
}

std::vector<uint8_t> EntryStreams::Bytes(int row) const {
  if (InFolder()) {
    const File file = OpenFolderStream(row);
    return ReadWholeStream(file, 0, file.Size());
  }
  const Span& span = spans_[static_cast<size_t>(row - 1)];
  if (!span.Located()) throw AudioError(span.FaultText());
  return ReadWholeStream(*data_, span.start, span.length);
}

std::vector<ClipInfo> ReadAllClipInfo(const EntryStreams& streams, OperationHost& host) {
  std::vector<ClipInfo> infos;
  const int count = streams.Count();
  infos.reserve(static_cast<size_t>(count));
  host.SetProgressMin(0);
  host.SetProgressMax(count);
  MessagePump pump(host);
  for (int row = 1; row <= count; ++row) {
    infos.push_back(streams.Info(row));
    if (row % 256 == 0 || row == count) {
      host.SetProgressPosition(row);
      pump.Poll();
    }
  }
  host.SetProgressPosition(0);
  return infos;
}

std::optional<int> FindEntryRow(const EntryTable& table, std::string_view entry) {
  const int rows = table.RowCount() - 1;
  if (!entry.empty() &&
      std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    std::optional<int32_t> number = TryParseInt32(entry);
    if (number && *number >= 1 && *number <= rows) return *number;
    return std::nullopt;
  }
  for (int row = 1; row <= rows; ++row)
    if (table.Cell(kColName, row) == entry) return row;
  return std::nullopt;
}

}  // namespace tessaly
