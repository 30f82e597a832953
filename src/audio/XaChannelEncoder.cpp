#include "audio/XaChannelEncoder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tessaly {
namespace {

XaHistory HistoryAfterEscape(const int16_t* samples) {
  return {samples[kXaFrameSamples - 1], samples[kXaFrameSamples - 2]};
}

bool SameHistory(const XaHistory& a, const XaHistory& b) {
  return a.current == b.current && a.previous == b.previous;
}

// Encodes the frames from `first` on as `escaped` says. A frame that starts from the history it
// had before keeps its choice: the search would find the same one.
void Reencode(XaChannelFrames& channel, size_t first) {
  XaHistory h = channel.before[first];
  for (size_t i = first; i < channel.Count(); ++i) {
    XaFrameChoice& frame = channel.frames[i];
    if (channel.escaped[i]) {
      frame.error = 0;
      frame.after = HistoryAfterEscape(channel.FrameSamples(i));
    } else if (!SameHistory(h, channel.before[i])) {
      frame = EncodeXaFrame(channel.FrameSamples(i), h, 0);
    }
    channel.before[i] = h;
    h = frame.after;
  }
  channel.error = 0;
  for (const XaFrameChoice& frame : channel.frames) channel.error += frame.error;
}

struct Candidate {
  int64_t gain;
  size_t channel, frame;
};

}  // namespace

XaChannelFrames EncodeXaChannel(const std::vector<int16_t>& interleaved, size_t channels,
                                size_t channel) {
  XaChannelFrames out;
  const size_t samples = interleaved.size() / channels;
  const size_t count = (samples + kXaFrameSamples - 1) / kXaFrameSamples;
  out.samples.assign(count * kXaFrameSamples, 0);
  for (size_t i = 0; i < samples; ++i) out.samples[i] = interleaved[i * channels + channel];
  out.frames.resize(count);
  out.before.resize(count);
  out.escaped.assign(count, 0);
  XaHistory h;
  for (size_t i = 0; i < count; ++i) {
    out.before[i] = h;
    out.frames[i] = EncodeXaFrame(out.FrameSamples(i), h, 0);
    h = out.frames[i].after;
    out.error += out.frames[i].error;
  }
  return out;
}

bool AddXaEscapeFrames(std::vector<XaChannelFrames>& channels, size_t framesPerBlock,
                       uint64_t allowance) {
  double error = 0, samples = 0;
  size_t blocks = 0;
  for (const XaChannelFrames& channel : channels) {
    error += static_cast<double>(channel.error);
    samples += static_cast<double>(channel.samples.size());
    blocks = std::max(blocks, (channel.Count() + framesPerBlock - 1) / framesPerBlock);
  }
  if (error == 0 || allowance < kXaEscapeExtraBytes) return false;
  // What the extra bytes of one escape frame buy when spread over every frame instead: the error
  // falls by 2 ln 2 of itself per bit per sample.
  const double threshold =
      kXaEscapeExtraBytes * 16 * std::numbers::ln2 * error / std::max(samples, 1.0);

  std::vector<Candidate> candidates;
  for (size_t c = 0; c < channels.size(); ++c) {
    const XaChannelFrames& channel = channels[c];
    for (size_t i = 0; i < channel.Count(); ++i) {
      const bool last = i + 1 == channel.Count();
      // The escape removes this frame's error and lets the next one start from the exact history.
      int64_t gain = channel.frames[i].error + (last ? 0 : channel.frames[i + 1].error);
      if (static_cast<double>(gain) <= threshold) continue;
      if (!last)
        gain -= EncodeXaFrame(channel.FrameSamples(i + 1),
                              HistoryAfterEscape(channel.FrameSamples(i)), 0)
                    .error;
      if (static_cast<double>(gain) > threshold) candidates.push_back({gain, c, i});
    }
  }
  if (candidates.empty()) return false;
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.gain != b.gain) return a.gain > b.gain;
    return a.channel != b.channel ? a.channel < b.channel : a.frame < b.frame;
  });

  const std::vector<XaChannelFrames> plain = channels;
  // A block's body is padded to 4 bytes: an odd number of escape frames in it can add 2 more.
  std::vector<uint8_t> blockHasEscape(blocks, 0);
  uint64_t spent = 0;
  std::vector<size_t> first(channels.size(), SIZE_MAX);
  for (const Candidate& candidate : candidates) {
    const size_t block = candidate.frame / framesPerBlock;
    const uint64_t cost = kXaEscapeExtraBytes + (blockHasEscape[block] ? 0 : 2);
    if (spent + cost > allowance) continue;
    spent += cost;
    blockHasEscape[block] = 1;
    channels[candidate.channel].escaped[candidate.frame] = 1;
    first[candidate.channel] = std::min(first[candidate.channel], candidate.frame);
  }
  if (spent == 0) return false;
  double after = 0;
  for (size_t c = 0; c < channels.size(); ++c) {
    if (first[c] != SIZE_MAX) Reencode(channels[c], first[c]);
    after += static_cast<double>(channels[c].error);
  }
  if (after < error) return true;
  channels = plain;
  return false;
}

}  // namespace tessaly
