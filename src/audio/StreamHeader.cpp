#include "audio/StreamHeader.h"

#include <cstdio>
#include <optional>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"

namespace tessaly {
namespace {

constexpr uint32_t kMaxSampleRate = 1'000'000;

std::string Hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

std::optional<int> DefaultVersion(int p) {
  switch (p) {
    case platform::kPc:
    case platform::kPs1:
    case platform::kN64:
    case platform::kMac:
    case platform::kSaturn:
      return 0;
    case platform::kPs2:
      return 1;
    case platform::kGameCubeWii:
    case platform::kXbox:
    case platform::kGeneric:
      return 2;
    case platform::kXbox360:
    case platform::kPsp:
    case platform::kPs3:
    case platform::k3ds:
      return 3;
  }
  return std::nullopt;
}

std::optional<uint32_t> DefaultSampleRate(int p) {
  switch (p) {
    case platform::kPc:
    case platform::kPs1:
    case platform::kN64:
    case platform::kMac:
    case platform::kSaturn:
    case platform::kPs2:
    case platform::kPsp:
      return 22050;
    case platform::kGameCubeWii:
    case platform::kXbox:
      return 24000;
    case platform::kXbox360:
    case platform::kPs3:
      return 44100;
    case platform::k3ds:
      return 32000;
    case platform::kGeneric:
      return 48000;
  }
  return std::nullopt;
}

bool IsBigEndianPlatform(int p) {
  switch (p) {
    case platform::kN64:
    case platform::kMac:
    case platform::kSaturn:
    case platform::kGameCubeWii:
    case platform::kXbox360:
    case platform::kPs3:
    case platform::kGeneric:
      return true;
  }
  return false;
}

// The codec of a stream with neither codec field: version 0 implies an old codec per platform,
// later versions a new one.
std::optional<int> DefaultCodec(int p, int version, int bitsPerSample, bool bigEndian) {
  if (version == 0) {
    switch (p) {
      case platform::kPc:
      case platform::kMac:
      case platform::kSaturn:
        return bitsPerSample == 8
                   ? codec::kPcmS8Interleaved
                   : (bigEndian ? codec::kPcmS16BeInterleaved : codec::kPcmS16LeInterleaved);
      case platform::kPs1:
        return codec::kPsAdpcm;
      case platform::kN64:
        return codec::kN64Adpcm;
    }
    return std::nullopt;
  }
  switch (p) {
    case platform::kGeneric:
    case platform::kPc:
    case platform::kMac:
    case platform::kXbox360:
    case platform::kPsp:
    case platform::kPs3:
      return codec::kXaSplit;
    case platform::kPs1:
    case platform::kPs2:
      return codec::kPsAdpcm;
    case platform::kGameCubeWii:
      return codec::kPcmS16BeSplit;
    case platform::kXbox:
      return codec::kPcmS16LeSplit;
    case platform::k3ds:
      return codec::kDsp;
  }
  return std::nullopt;
}

// The old codec numbers onto the new: 0 PCM, 1 PS ADPCM, 7 XA (interleaved), 9 MicroTalk,
// 0x64 N64 ADPCM.
int MapOldCodec(int oldCodec, int bitsPerSample, bool bigEndian) {
  switch (oldCodec) {
    case 0x00:
      return bitsPerSample == 8
                 ? codec::kPcmS8Interleaved
                 : (bigEndian ? codec::kPcmS16BeInterleaved : codec::kPcmS16LeInterleaved);
    case 0x01:
      return codec::kPsAdpcm;
    case 0x07:
      return codec::kXaInterleaved;
    case 0x09:
      return codec::kMicroTalk;
    case 0x64:
      return codec::kN64Adpcm;
  }
  return -1;
}

void ResolveLayout(StreamHeader& h) {
  switch (h.codecId) {
    case codec::kPcmS16LeInterleaved:
    case codec::kPcmS16BeInterleaved:
    case codec::kPcmS8Interleaved: {
      bool s8 = h.codecId == codec::kPcmS8Interleaved;
      // N64 stores these one channel after another, always big-endian.
      if (h.platform == platform::kN64) {
        h.layout = SampleLayout::kPcmSplit;
        h.pcm = s8 ? PcmFormat::kS8 : PcmFormat::kS16Be;
      } else {
        h.layout = SampleLayout::kPcmInterleaved;
        h.pcm =
            s8 ? PcmFormat::kS8
               : (h.codecId == codec::kPcmS16LeInterleaved ? PcmFormat::kS16Le : PcmFormat::kS16Be);
      }
      return;
    }
    case codec::kPcmS16BeSplit:
    case codec::kPcmS16LeSplit:
    case codec::kPcmS8Split:
      h.layout = SampleLayout::kPcmSplit;
      h.pcm = h.codecId == codec::kPcmS8Split
                  ? PcmFormat::kS8
                  : (h.codecId == codec::kPcmS16LeSplit ? PcmFormat::kS16Le : PcmFormat::kS16Be);
      return;
    case codec::kXaInterleaved:
      // Saturn keeps the channels of this codec apart (a layout not decoded here).
      if (h.channels == 1 || (h.channels == 2 && h.platform != platform::kSaturn))
        h.layout = SampleLayout::kXaInterleaved;
      return;
    case codec::kMicroTalk:
    case codec::kMicroTalk5:
      h.layout = SampleLayout::kMicroTalk;
      h.microTalkRev3 = h.version >= 3;
      return;
    case codec::kXaSplit: {
      h.layout = SampleLayout::kXaSplit;
      bool history = h.version <= 1 || (h.version == 2 && (h.platform == platform::kPs2 ||
                                                           h.platform == platform::kGameCubeWii ||
                                                           h.platform == platform::kXbox));
      h.xa = history ? XaVariant::kR1 : (h.bigEndianBlocks ? XaVariant::kR3 : XaVariant::kR2);
      return;
    }
  }
}

}  // namespace

StreamHeader ParseStreamHeader(std::span<const uint8_t> body) {
  StreamHeader h;
  size_t pos = 0;
  if (body.size() >= 4 && body[0] == 'G' && body[1] == 'S' && body[2] == 'T' && body[3] == 'R') {
    // The marker takes 8 bytes; a shorter body would leave the fields starting past its end.
    if (body.size() < 8) throw AudioError("SCHl header ends inside its GSTR platform marker");
    h.platform = platform::kGeneric;
    pos = 8;
  } else if (body.size() >= 4 && body[0] == 'P' && body[1] == 'T') {
    h.platform = Read16Le(body.data() + 2);
    pos = 4;
  } else {
    throw AudioError("SCHl header has no PT or GSTR platform marker");
  }

  std::optional<uint32_t> version, channels, rate, bits, newCodec, oldCodec;
  h.fieldsEnd = body.size();
  while (pos < body.size()) {
    size_t tagPosition = pos;
    uint8_t tag = body[pos++];
    if (tag == 0xFF || tag == 0xFE) {  // end of the header; 0xFE starts a section we don't use
      h.fieldsEnd = pos;
      h.hasEndMarker = true;
      break;
    }
    if (tag == 0xFC || tag == 0xFD) continue;  // padding, start of the info section
    if (pos >= body.size())
      throw AudioError("SCHl field " + Hex(tag) + " at byte " + std::to_string(tagPosition + 8) +
                       " has no length");
    uint8_t length = body[pos++];
    if (length == 0xFF) {  // a long field: 32-bit big-endian length, then the bytes
      if (body.size() - pos < 4 || Read32Be(body.data() + pos) > body.size() - pos - 4)
        throw AudioError("SCHl field " + Hex(tag) + " at byte " + std::to_string(tagPosition + 8) +
                         " runs past the header");
      pos += 4 + Read32Be(body.data() + pos);
      continue;
    }
    if (length > body.size() - pos)
      throw AudioError("SCHl field " + Hex(tag) + " at byte " + std::to_string(tagPosition + 8) +
                       " runs past the header");
    if (length > 4) {  // longer values (coefficient tables, user data) are skipped
      pos += length;
      continue;
    }
    uint32_t value = 0;
    for (int i = 0; i < length; ++i) value = (value << 8) | body[pos++];
    switch (tag) {
      case 0x80:
        version = value;
        break;
      case 0x81:
        bits = value;
        break;
      case 0x82:
        channels = value;
        break;
      case 0x83:
        oldCodec = value;
        break;
      case 0x84:
        rate = value;
        break;
      case 0x85:
        h.samples = value;
        h.hasSampleCount = true;
        h.sampleCountField = tagPosition;
        break;
      case 0xA0:
        newCodec = value;
        break;
      default:
        break;
    }
  }

  h.bigEndianBlocks = IsBigEndianPlatform(h.platform);
  if (version) {
    h.version = static_cast<int>(*version);
  } else if (auto v = DefaultVersion(h.platform)) {
    h.version = *v;
  } else {
    throw AudioError("SCHl header has no version field and " + PlatformName(h.platform) +
                     " has no default");
  }
  if (rate) {
    h.sampleRate = *rate;
  } else if (auto r = DefaultSampleRate(h.platform)) {
    h.sampleRate = *r;
  } else {
    throw AudioError("SCHl header has no sample rate field and " + PlatformName(h.platform) +
                     " has no default");
  }
  if (h.sampleRate == 0 || h.sampleRate > kMaxSampleRate)
    throw AudioError("SCHl header gives an impossible sample rate of " +
                     std::to_string(h.sampleRate));
  if (channels && (*channels == 0 || *channels > 255))
    throw AudioError("SCHl header gives an impossible channel count of " +
                     std::to_string(*channels));
  h.channels = channels ? static_cast<int>(*channels) : 1;

  int bitsPerSample = bits ? static_cast<int>(*bits) : 16;
  if (oldCodec) h.oldCodec = static_cast<int>(std::min<uint32_t>(*oldCodec, 0x7FFFFFFF));
  if (newCodec) {
    h.codecId = static_cast<int>(std::min<uint32_t>(*newCodec, 0x7FFFFFFF));
  } else if (oldCodec) {
    h.codecId = MapOldCodec(h.oldCodec, bitsPerSample, h.bigEndianBlocks);
  } else if (auto c = DefaultCodec(h.platform, h.version, bitsPerSample, h.bigEndianBlocks)) {
    h.codecId = *c;
  } else {
    throw AudioError("SCHl header has no codec field and " + PlatformName(h.platform) +
                     " has no default");
  }
  ResolveLayout(h);
  return h;
}

std::string CodecName(const StreamHeader& h) {
  switch (h.codecId) {
    case codec::kPcmS16LeInterleaved:
      return "PCM S16LE";
    case codec::kPcmS16BeInterleaved:
      return "PCM S16BE";
    case codec::kPcmS8Interleaved:
      return "PCM S8";
    case codec::kXaInterleaved:
      return "XA v1";
    case codec::kMicroTalk:
      return "MicroTalk";
    case codec::kPsAdpcm:
      return "PS ADPCM";
    case codec::kN64Adpcm:
      return "N64 ADPCM";
    case codec::kPcmS16BeSplit:
      return "PCM S16BE split";
    case codec::kPcmS16LeSplit:
      return "PCM S16LE split";
    case codec::kPcmS8Split:
      return "PCM S8 split";
    case codec::kXaSplit:
      return h.xa == XaVariant::kR1 ? "XA r1" : (h.xa == XaVariant::kR3 ? "XA r3" : "XA r2");
    case codec::kDviIma:
      return "DVI IMA";
    case codec::kLayer2:
      return "MPEG layer 2";
    case codec::kLayer3:
      return "MPEG layer 3";
    case codec::kDsp:
      return "DSP ADPCM";
    case codec::kXboxIma:
      return "Xbox IMA";
    case codec::kMicroTalk5:
      return "MicroTalk 5:1";
    case codec::kLayer3Variant:
      return "Layer 3 variant";
    case codec::kAtrac3:
      return "ATRAC3";
    case codec::kAtrac3Plus:
      return "ATRAC3plus";
  }
  if (h.codecId < 0) return "old codec " + Hex(h.oldCodec);
  return "codec " + Hex(h.codecId);
}

std::string PlatformName(int p) {
  switch (p) {
    case platform::kPc:
      return "PC";
    case platform::kPs1:
      return "PS1";
    case platform::kN64:
      return "N64";
    case platform::kMac:
      return "Mac";
    case platform::kSaturn:
      return "Saturn";
    case platform::kPs2:
      return "PS2";
    case platform::kGameCubeWii:
      return "GameCube/Wii";
    case platform::kXbox:
      return "Xbox";
    case platform::kGeneric:
      return "generic";
    case platform::kXbox360:
      return "Xbox 360";
    case platform::kPsp:
      return "PSP";
    case platform::kPs3:
      return "PS3";
    case platform::k3ds:
      return "3DS";
  }
  return "platform " + Hex(p);
}

}  // namespace tessaly
