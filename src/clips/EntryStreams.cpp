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
  for (int row = 1; row < table.RowCount(); ++row) names.emplace_back(table.Cell(kColName, row));
  return names;
}

ClipInfo Unreadable(std::string reason) {
  ClipInfo info;
  info.reason = std::move(reason);
  return info;
}

// A "Name" that would reach outside the folder is never opened.
std::string CheckedName(const std::string& name) {
  if (!IsPlainFileName(name)) throw AudioError("\"" + name + "\" is not a plain file name");
  return name;
}

}  // namespace

EntryStreams EntryStreams::InArchive(const File& data, const EntryTable& table) {
  EntryStreams streams;
  streams.data_ = &data;
  streams.names_ = RowNames(table);
  const uint64_t fileSize = data.Size();
  const int count = streams.Count();
  std::vector<std::optional<int32_t>> starts;
  for (int row = 1; row <= count; ++row)
    starts.push_back(TryParseInt32(table.Cell(kColRealAddress, row)));
  for (int row = 1; row <= count; ++row) {
    Span span;
    const auto& start = starts[static_cast<size_t>(row - 1)];
    if (!start) {
      span.fault = "its \"Real Address\" is not a number";
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
        span.fault = "it starts at " + FormatUnsigned(span.start) + ", past the data file's end";
      } else {
        span.length = end - span.start;
        span.unpackedLength = unpackEnd - span.start;
      }
    }
    streams.spans_.push_back(std::move(span));
  }
  return streams;
}

EntryStreams EntryStreams::InFolder(const std::string& folder, const EntryTable& table) {
  EntryStreams streams;
  streams.folder_ = folder;
  streams.names_ = RowNames(table);
  return streams;
}

std::string EntryStreams::EntryPath(int row) const {
  return JoinPath(folder_, CheckedName(Name(row)));
}

bool EntryStreams::Locate(int row, uint64_t& start, uint64_t& length) const {
  if (InFolder()) return false;
  const Span& span = spans_[static_cast<size_t>(row - 1)];
  start = span.start;
  length = span.unpackedLength;
  return span.fault.empty();
}

ClipInfo EntryStreams::Info(int row) const {
  try {
    if (InFolder()) {
      File file = File::OpenRead(EntryPath(row));
      return ReadClipInfo(file, 0, file.Size());
    }
    const Span& span = spans_[static_cast<size_t>(row - 1)];
    if (!span.fault.empty()) return Unreadable(span.fault);
    return ReadClipInfo(*data_, span.start, span.length);
  } catch (const std::exception& error) {
    return Unreadable(error.what());
  }
}

std::vector<uint8_t> EntryStreams::Bytes(int row) const {
  auto tooLarge = [](uint64_t length) {
    return AudioError("the stream is " + FormatUnsigned(length) + " bytes long, more than " +
                      FormatUnsigned(kMaxStreamBytes) + " bytes this program reads");
  };
  std::vector<uint8_t> bytes;
  if (InFolder()) {
    File file = File::OpenRead(EntryPath(row));
    uint64_t length = file.Size();
    if (length > kMaxStreamBytes) throw tooLarge(length);
    bytes.resize(static_cast<size_t>(length));
    bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
    return bytes;
  }
  const Span& span = spans_[static_cast<size_t>(row - 1)];
  if (!span.fault.empty()) throw AudioError(span.fault);
  if (span.length > kMaxStreamBytes) throw tooLarge(span.length);
  bytes.resize(static_cast<size_t>(span.length));
  data_->ReadExactlyAt(span.start, bytes.data(), bytes.size());
  return bytes;
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
