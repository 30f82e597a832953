#include "audio/MicroTalk.h"

#include <algorithm>
#include <cmath>

#include "audio/MicroTalkTables.h"

namespace tessaly {

float MtReflection(int index) {
  return kMtReflectionTable[static_cast<size_t>(index & 63)];
}

MtCodecHeader ReadMtCodecHeader(MtBitReader& bits) {
  MtCodecHeader h;
  h.halfBand = bits.Bits(1) != 0;
  h.thresholdBits = bits.Bits(4);
  h.gainBaseBits = bits.Bits(4);
  h.gainRatioBits = bits.Bits(6);
  return h;
}

void MtSynth::SetHeader(const MtCodecHeader& header) {
  header_ = header;
  float ratio = 1.04f + static_cast<float>(header.gainRatioBits) * 0.001f;
  gains_[0] = 8.0f * static_cast<float>(1 + header.gainBaseBits);
  for (size_t i = 1; i < gains_.size(); ++i) gains_[i] = gains_[i - 1] * ratio;
}

bool MtSynth::Parse(MtBitReader& bits, MtFrame& frame) const {
  for (int i = 0; i < kMtOrder; ++i)
    frame.rc[static_cast<size_t>(i)] = i < 4 ? bits.Bits(6) : 16 + bits.Bits(5);
  const bool multipulse = Multipulse(frame);
  const int stride = header_.halfBand ? 2 : 1;
  for (MtSubframe& sub : frame.sub) {
    sub.lag = bits.Bits(8);
    sub.pitchGain = bits.Bits(4);
    sub.gain = bits.Bits(6);
    sub.phase = 0;
    sub.zero = true;
    if (header_.halfBand) {
      sub.phase = bits.Bits(1);
      sub.zero = bits.Bits(1) != 0;
    }
    sub.pulses.fill(0);
    int16_t* out = sub.pulses.data() + sub.phase;
    // Positions run 0, stride, ... up to 108 from the phase, as the decoder counts them.
    if (!multipulse) {
      for (int i = 0; i < kMtSubframeSamples; i += stride)
        out[i] = static_cast<int16_t>(bits.Bits(1) ? (bits.Bits(1) ? 2 : -2) : 0);
      continue;
    }
    int model = 0;
    for (int i = 0; i < kMtSubframeSamples;) {
      const int command = kMtCodebooks[model][bits.Peek8()];
      const MtCommand& c = kMtCommands[command];
      model = c.nextModel;
      bits.Bits(c.length);
      if (command > 3) {
        out[i] = c.pulse;
        i += stride;
      } else if (command > 1) {
        int run = 7 + bits.Bits(6);
        if (i + run * stride > kMtSubframeSamples) run = (kMtSubframeSamples - i) / stride;
        i += run * stride;  // the positions are zero already
      } else {
        int magnitude = 7;
        while (bits.Bits(1)) {
          if (++magnitude > 32767) return false;
        }
        out[i] = static_cast<int16_t>(bits.Bits(1) ? magnitude : -magnitude);
        i += stride;
      }
    }
  }
  return true;
}

void MtSynth::Innovation(const MtSubframe& sub, float* out) const {
  // 5 zero guard samples either side for the half-band interpolation.
  float buffer[5 + kMtSubframeSamples + 5] = {};
  float* x = buffer + 5;
  float gain = gains_[static_cast<size_t>(sub.gain)];
  if (!header_.halfBand) {
    for (int j = 0; j < kMtSubframeSamples; ++j) x[j] = static_cast<float>(sub.pulses[j]);
  } else {
    for (int j = sub.phase; j < kMtSubframeSamples; j += 2)
      x[j] = static_cast<float>(sub.pulses[j]);
    if (!sub.zero) {
      float* p = x + (1 - sub.phase);
      for (int j = 0; j < kMtSubframeSamples; j += 2)
        p[j] = p[j - 5] * 0.01803267933428287506103515625f -
               p[j - 3] * 0.114591561257839202880859375f + p[j - 1] * 0.597385942935943603515625f +
               p[j + 1] * 0.597385942935943603515625f - p[j + 3] * 0.114591561257839202880859375f +
               p[j + 5] * 0.01803267933428287506103515625f;
      gain *= 0.5f;
    }
  }
  for (int j = 0; j < kMtSubframeSamples; ++j) out[j] = gain * x[j];
}

void MtSynth::Excite(const MtSubframe& sub, float* excitation, ptrdiff_t readable) const {
  float innovation[kMtSubframeSamples];
  Innovation(sub, innovation);
  const float pitchGain = static_cast<float>(sub.pitchGain) / 15.0f;
  const int lag = sub.lag + kMtSubframeSamples;
  for (int j = 0; j < kMtSubframeSamples; ++j) {
    ptrdiff_t back = j - lag;
    float past = back + readable >= 0 ? excitation[back] : 0.0f;
    excitation[j] = innovation[j] + pitchGain * past;
  }
}

void MtReflectionToPredictor(const float* rc, float* lpc) {
  float impulse[kMtOrder];
  float lattice[kMtOrder];
  for (int i = 10; i >= 0; --i) lattice[1 + i] = rc[i];
  lattice[0] = 1.0f;
  for (int i = 0; i < kMtOrder; ++i) {
    float x = -lattice[11] * rc[11];
    for (int j = 10; j >= 0; --j) {
      x -= lattice[j] * rc[j];
      lattice[j + 1] = x * rc[j] + lattice[j];
    }
    impulse[i] = lattice[0] = x;
    for (int j = 0; j < i; ++j) x -= impulse[i - 1 - j] * lpc[j];
    lpc[i] = x;
  }
}

void MtSynth::Synthesize(const MtFrame& frame) {
  float delta[kMtOrder];
  for (size_t i = 0; i < kMtOrder; ++i) delta[i] = (MtReflection(frame.rc[i]) - rc_[i]) * 0.25f;

  float* current = excitation_.data() + kMtHistory;
  for (size_t s = 0; s < 4; ++s)
    Excite(frame.sub[s], current + s * kMtSubframeSamples,
           kMtHistory + static_cast<ptrdiff_t>(s) * kMtSubframeSamples);
  std::copy(current, current + kMtFrameSamples, frame_.begin());
  std::copy(excitation_.begin() + kMtFrameSamples, excitation_.end(), excitation_.begin());

  float* y = frame_.data();
  for (int step = 0; step < 4; ++step) {
    for (size_t j = 0; j < kMtOrder; ++j) rc_[j] += delta[j];
    float lpc[kMtOrder];
    MtReflectionToPredictor(rc_.data(), lpc);
    const int n = step < 3 ? 12 : kMtFrameSamples - 36;
    for (int i = 0; i < n; ++i, ++y) {
      float x = *y;
      for (size_t k = 0; k < kMtOrder; ++k) x += lpc[k] * memory_[k];
      std::copy_backward(memory_.begin(), memory_.end() - 1, memory_.end());
      memory_[0] = x;
      *y = x;
    }
  }
}

int16_t MtSample(float value) {
  float rounded = value >= 0.0f ? value + 0.5f : value - 0.5f;
  if (!(rounded > -32768.0f)) return -32768;  // NaN as well
  if (rounded >= 32767.0f) return 32767;
  return static_cast<int16_t>(static_cast<int>(rounded));
}

}  // namespace tessaly
