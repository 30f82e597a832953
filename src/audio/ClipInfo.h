// What a clip is, read from its stream's header: the record the listing, `info` and the window
// show. Reading it never throws: a header that can't be read gives an empty record and a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace tessaly {

class File;

struct ClipInfo {
  bool readable = false;
  std::string reason;  // why the header can't be read, when it can't

  int platform = 0;  // "PT" number; 8 for a "GSTR" (generic) stream
  int version = 0;
  int codecId = -1;        // new numbering, after mapping the old field
  std::string codecName;   // "XA r2", "PCM S16LE", "MicroTalk", ...
  bool decodable = false;  // this program decodes and encodes the codec at this channel count
  int channels = 0;
  int sampleRate = 0;
  uint32_t samples = 0;  // per channel

  double Seconds() const { return sampleRate > 0 ? static_cast<double>(samples) / sampleRate : 0; }

  // The record of a header that can't be read, saying why.
  static ClipInfo Unreadable(std::string reason) {
    ClipInfo info;
    info.reason = std::move(reason);
    return info;
  }
};

// From the first bytes of a stream: its SCHl chunk must be among them. When the header has no
// sample count and the whole stream is given, the blocks' counts are added up instead.
ClipInfo ReadClipInfo(std::span<const uint8_t> bytes);

// From the stream at `position` in `file` that is at most `available` bytes long: reads only its
// header, a small prefix first and more only when the SCHl chunk is longer. A failed read gives a
// record with a reason, like any unreadable header.
ClipInfo ReadClipInfo(const File& file, uint64_t position, uint64_t available);

// The record from the first bytes of a stream when they hold its whole SCHl chunk, with the
// chunk's size; nullopt when more must be read. For a stream at least `headerSize` bytes long it
// is the record ReadClipInfo(file, ...) gives.
struct HeaderClipInfo {
  ClipInfo info;
  uint32_t headerSize = 0;
};
std::optional<HeaderClipInfo> ReadClipInfoFromHeader(std::span<const uint8_t> firstBytes);

// How many bytes ReadClipInfo reads first at a stream's start: headers are shorter.
inline constexpr size_t kClipInfoFirstRead = 512;
// How many bytes at most ReadClipInfo reads of a header: longer SCHl chunks are refused.
inline constexpr size_t kMaxHeaderChunkSize = 1 << 20;

}  // namespace tessaly
