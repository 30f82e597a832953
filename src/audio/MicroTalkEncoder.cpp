#include "audio/MicroTalkEncoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "audio/MicroTalkTables.h"

namespace tessaly {
namespace {

constexpr int kSub = kMtSubframeSamples;
constexpr int kOrder = kMtOrder;
constexpr int kGuard = 5;  // the half-band interpolation reaches 5 positions either side
// Weighting filter W(z) = A(z/g1) / A(z/g2).
constexpr double kGamma1 = 0.92, kGamma2 = 0.72;
constexpr float kInterpolation[3] = {0.597385942935943603515625f, -0.114591561257839202880859375f,
                                     0.01803267933428287506103515625f};

// The prefix code of the multipulse excitation, per state: the bits of each command.
struct Code {
  uint32_t bits = 0;
  int length = 0;
  int command = -1;
};
struct PrefixCode {
  Code pulse[2][13];  // values -6..6
  Code escape[2], run[2];

  PrefixCode() {
    for (int model = 0; model < 2; ++model) {
      Code best[29];
      for (int i = 0; i < 256; ++i) {
        int command = kMtCodebooks[model][i];
        int length = kMtCommands[command].length;
        if (best[command].command < 0)
          best[command] = {static_cast<uint32_t>(i) & ((1u << length) - 1), length, command};
      }
      for (int command = 4; command < 29; ++command) {
        if (best[command].command < 0) continue;
        Code& slot = pulse[model][kMtCommands[command].pulse + 6];
        if (slot.command < 0 || best[command].length < slot.length) slot = best[command];
      }
      escape[model] = best[model == 0 ? 0 : 1];
      run[model] = best[model == 0 ? 2 : 3];
    }
  }
};
const PrefixCode& Codes() {
  static const PrefixCode codes;
  return codes;
}

// Estimated bits of a value in the multipulse code (zeros mostly go in runs) and in the RELP code.
float PulseBits(int magnitude) {
  static constexpr float kBits[8] = {0.45f, 2.4f, 3.6f, 4.5f, 5.5f, 6.5f, 7.5f, 9.0f};
  return magnitude < 7 ? kBits[magnitude] : kBits[7] + static_cast<float>(magnitude - 7);
}
float RelpBits(int magnitude) {
  return magnitude == 0 ? 1.0f : 2.0f;
}

// Writes (or, with no writer, counts) the innovation values at `count` positions.
int WriteInnovation(MtBitWriter* out, const int16_t* values, int count, bool multipulse) {
  int bits = 0;
  auto put = [&](uint32_t v, int n) {
    if (out) out->Put(v, n);
    bits += n;
  };
  if (!multipulse) {
    for (int k = 0; k < count; ++k) {
      if (values[k] == 0) {
        put(0, 1);
      } else {
        put(1, 1);
        put(values[k] > 0 ? 1 : 0, 1);
      }
    }
    return bits;
  }
  const PrefixCode& codes = Codes();
  int model = 0;
  for (int k = 0; k < count;) {
    int zeros = 0;
    while (k + zeros < count && values[k + zeros] == 0 && zeros < 70) ++zeros;
    if (zeros >= 7) {
      put(codes.run[model].bits, codes.run[model].length);
      put(static_cast<uint32_t>(zeros - 7), 6);
      model = 0;
      k += zeros;
      continue;
    }
    int v = values[k];
    int magnitude = std::abs(v);
    if (magnitude <= 6) {
      const Code& c = codes.pulse[model][v + 6];
      put(c.bits, c.length);
      model = kMtCommands[c.command].nextModel;
    } else {
      put(codes.escape[model].bits, codes.escape[model].length);
      for (int i = 7; i < magnitude; ++i) put(1, 1);
      put(0, 1);
      put(v > 0 ? 1 : 0, 1);
      model = 1;
    }
    ++k;
  }
  return bits;
}

// Levinson-Durbin on r[0..12]: the error filter a (a[0] = 1) and reflection coefficients in the
// decoder's sign (y[n] = e[n] - rc[0] y[n-1] for one coefficient).
void Levinson(const double* r, double* a, double* rc) {
  std::fill(a, a + kOrder + 1, 0.0);
  std::fill(rc, rc + kOrder, 0.0);
  a[0] = 1;
  double error = r[0];
  if (error <= 0) return;
  for (int i = 1; i <= kOrder; ++i) {
    double acc = 0;
    for (int j = 0; j < i; ++j) acc += a[j] * r[i - j];
    double k = std::clamp(-acc / error, -0.995, 0.995);
    rc[i - 1] = k;
    double previous[kOrder + 1];
    std::copy(a, a + kOrder + 1, previous);
    for (int j = 1; j < i; ++j) a[j] = previous[j] + k * previous[i - j];
    a[i] = k;
    error *= 1 - k * k;
    if (error <= r[0] * 1e-9) break;
  }
}

int NearestIndex(double value, int first, int last) {
  int best = first;
  double bestDistance = 1e9;
  for (int i = first; i <= last; ++i) {
    double d = std::abs(value - static_cast<double>(kMtReflectionTable[i]));
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

// One synthesis step of the decoder: the output for excitation `x` from the memory (newest first).
inline float SynthesisStep(float x, const float* lpc, float* memory) {
  for (int k = 0; k < kOrder; ++k) x += lpc[k] * memory[k];
  for (int k = kOrder - 1; k > 0; --k) memory[k] = memory[k - 1];
  memory[0] = x;
  return x;
}

class Encoder {
 public:
  Encoder(const int16_t* samples, size_t count, size_t stride, const MtEncodeSettings& settings)
      : settings_(settings), count_(count) {
    input_.resize(count);
    for (size_t i = 0; i < count; ++i) input_[i] = samples[i * stride];
    synth_.SetHeader(settings.header);
    for (int i = 0; i < 64; ++i) gains_[i] = synth_.FixedGain(i);
    halfBand_ = settings.header.halfBand;
    positions_ = halfBand_ ? kSub / 2 : kSub;
    const double rate = 22050;  // the lag window's width in samples is what matters
    for (int k = 0; k <= kOrder; ++k) {
      double w = 2 * std::numbers::pi * 50 * k / rate;
      lagWindow_[k] = std::exp(-0.5 * w * w);
    }
  }

  std::vector<MtCodedFrame> Run() {
    const size_t frames = (count_ + kMtFrameSamples - 1) / kMtFrameSamples;
    std::vector<MtCodedFrame> out(frames);
    double spent = 0;
    for (size_t f = 0; f < frames; ++f) {
      EncodeFrame(f, out[f]);
      double used =
          static_cast<double>(out[f].bits.Bits()) +
          (settings_.rev3 ? 8 + 4 + (out[f].patch.empty() ? 0 : 32 + 16 * out[f].patch.size()) : 0);
      spent += used;
      // Steer the rate: the multiplier follows this frame's bits and, less, the debt or credit
      // so far (bounded, so that a long silence, which can't spend its share, doesn't leave the
      // next words a glut of bits and the words after them starved).
      const double target = settings_.bitsPerFrame * static_cast<double>(f + 1);
      const double miss = std::clamp((spent - target) / settings_.bitsPerFrame, -4.0, 4.0);
      const double frameMiss = (used - settings_.bitsPerFrame) / settings_.bitsPerFrame;
      if (frameLevel_ > 100.0 * 100.0 || frameMiss > 0)
        mu_ *= std::exp(0.3 * std::clamp(frameMiss, -1.0, 1.0) + 0.08 * miss);
      mu_ = std::clamp(mu_, 0.002, 1.0);
    }
    return out;
  }

 private:
  float Sample(ptrdiff_t i) const {
    return i >= 0 && static_cast<size_t>(i) < count_
               ? static_cast<float>(input_[static_cast<size_t>(i)])
               : 0.0f;
  }

  void Analyse(size_t start, double* a, double* rc) {
    constexpr int kBefore = 40, kLength = 540;
    double windowed[kLength];
    for (int i = 0; i < kLength; ++i) {
      double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / kLength);
      windowed[i] = w * Sample(static_cast<ptrdiff_t>(start) - kBefore + i);
    }
    double r[kOrder + 1];
    for (int k = 0; k <= kOrder; ++k) {
      double acc = 0;
      for (int i = k; i < kLength; ++i) acc += windowed[i] * windowed[i - k];
      r[k] = acc * lagWindow_[k];
    }
    r[0] = r[0] * 1.0001 + 1e-3;
    Levinson(r, a, rc);
  }

  void EncodeFrame(size_t f, MtCodedFrame& coded) {
    const size_t start = f * kMtFrameSamples;
    frameLevel_ = 0;
    for (int i = 0; i < kMtFrameSamples; ++i) {
      float v = Sample(static_cast<ptrdiff_t>(start) + i);
      frameLevel_ += v * v / kMtFrameSamples;
    }
    double a[kOrder + 1], rc[kOrder];
    Analyse(start, a, rc);
    MtFrame frame;
    for (int i = 0; i < kOrder; ++i)
      frame.rc[i] = i < 4 ? NearestIndex(rc[i], 1, 63) : NearestIndex(rc[i], 16, 47);
    const bool multipulse = synth_.Multipulse(frame);

    // The decoder's coefficient sets for samples 0-11, 12-23, 24-35 and the rest.
    float sets[4][kOrder];
    {
      std::array<float, kOrder> r = synth_.Reflection();
      float delta[kOrder];
      for (int i = 0; i < kOrder; ++i) delta[i] = (MtReflection(frame.rc[i]) - r[i]) * 0.25f;
      for (int step = 0; step < 4; ++step) {
        for (int i = 0; i < kOrder; ++i) r[i] += delta[i];
        MtReflectionToPredictor(r.data(), sets[step]);
      }
    }
    for (int j = 0; j <= kOrder; ++j) {
      num_[j] = static_cast<float>(a[j] * std::pow(kGamma1, j));
      den_[j] = static_cast<float>(a[j] * std::pow(kGamma2, j));
    }
    ImpulseResponse(sets[3]);

    std::array<float, kOrder> memory = synth_.SynthesisMemory();
    std::copy(synth_.History(), synth_.History() + kMtHistory, excitation_.begin());
    float decoded[kMtFrameSamples];
    for (int s = 0; s < 4; ++s) {
      const int n0 = s * kSub;
      float x[kSub];
      Target(start, n0, sets, memory.data(), x);
      MtSubframe& sub = frame.sub[s];
      float y[kSub];
      SearchPitch(n0, x, sub, y);
      SearchInnovation(x, y, multipulse, sub);
      // The decoder's arithmetic: excitation, then synthesis, then the weighting filter's memory.
      float* e = excitation_.data() + kMtHistory + n0;
      synth_.Excite(sub, e, kMtHistory + n0);
      for (int n = 0; n < kSub; ++n) {
        const float* lpc = sets[std::min((n0 + n) / 12, 3)];
        decoded[n0 + n] = SynthesisStep(e[n], lpc, memory.data());
        Weigh(Sample(static_cast<ptrdiff_t>(start) + n0 + n) - decoded[n0 + n], errorIn_,
              errorOut_);
      }
    }
    synth_.Synthesize(frame);
    WriteMtFrame(coded.bits, frame, settings_.header, multipulse);
    if (settings_.rev3) Patch(start, coded);
  }

  // One sample through W(z), its memories (newest first) updated.
  float Weigh(float u, float* in, float* out) const {
    float w = num_[0] * u;
    for (int j = 1; j <= kOrder; ++j) w += num_[j] * in[j - 1] - den_[j] * out[j - 1];
    for (int j = kOrder - 1; j > 0; --j) {
      in[j] = in[j - 1];
      out[j] = out[j - 1];
    }
    in[0] = u;
    out[0] = w;
    return w;
  }

  void ImpulseResponse(const float* lpc) {
    float memory[kOrder] = {}, in[kOrder] = {}, out[kOrder] = {};
    for (int n = 0; n < kSub + kGuard; ++n) {
      float y = SynthesisStep(n == 0 ? 1.0f : 0.0f, lpc, memory);
      h_[n] = Weigh(y, in, out);
    }
  }

  // The weighted input less the weighted ringing of the decoder's state.
  void Target(size_t start, int n0, float (*sets)[kOrder], const float* memory, float* x) {
    float mem[kOrder], in[kOrder], out[kOrder];
    std::copy(memory, memory + kOrder, mem);
    std::copy(errorIn_, errorIn_ + kOrder, in);
    std::copy(errorOut_, errorOut_ + kOrder, out);
    for (int n = 0; n < kSub; ++n) {
      float ring = SynthesisStep(0.0f, sets[std::min((n0 + n) / 12, 3)], mem);
      x[n] = Weigh(Sample(static_cast<ptrdiff_t>(start) + n0 + n) - ring, in, out);
    }
  }

  // Closed-loop pitch: every lag the history allows, each of the 16 gains.
  void SearchPitch(int n0, const float* x, MtSubframe& sub, float* best) {
    const int b0 = kMtHistory + n0;
    const int most = std::min(kSub + 255, b0);
    const float* e = excitation_.data();
    float y[kSub];
    for (int n = 0; n < kSub; ++n) {
      float acc = 0;
      for (int j = 0; j <= n; ++j) acc += h_[n - j] * e[b0 + j - kSub];
      y[n] = acc;
    }
    double bestScore = 0;
    int bestLag = kSub, bestGain = 0;
    for (int lag = kSub;; ++lag) {
      double c = 0, energy = 0;
      for (int n = 0; n < kSub; ++n) {
        c += static_cast<double>(x[n]) * y[n];
        energy += static_cast<double>(y[n]) * y[n];
      }
      if (energy > 0 && c > 0) {
        int g = std::clamp(static_cast<int>(std::lround(15 * c / energy)), 0, 15);
        double gain = g / 15.0;
        double score = 2 * gain * c - gain * gain * energy;
        if (score > bestScore) {
          bestScore = score;
          bestLag = lag;
          bestGain = g;
        }
      }
      if (lag == most) break;
      const float older = e[b0 - lag - 1];
      for (int n = kSub - 1; n > 0; --n) y[n] = y[n - 1] + older * h_[n];
      y[0] = older * h_[0];
    }
    sub.lag = bestLag - kSub;
    sub.pitchGain = bestGain;
    for (int n = 0; n < kSub; ++n) {
      float acc = 0;
      for (int j = 0; j <= n; ++j) acc += h_[n - j] * e[b0 + j - bestLag];
      best[n] = acc;
    }
  }

  struct Trial {
    double cost = 1e300, distortion = 0;
    int gain = 0, bits = 0;
    std::array<int16_t, kSub> values{};
  };

  // The innovation for the target left after the pitch part: per phase and zero flag (half band),
  // the filtered pulse shape, its correlations, and a greedy placement at several fixed gains.
  void SearchInnovation(const float* x, const float* y, bool multipulse, MtSubframe& sub) {
    const float pitchGain = static_cast<float>(sub.pitchGain) / 15.0f;
    float target[kSub];
    double targetEnergy = 0, xEnergy = 0;
    for (int n = 0; n < kSub; ++n) {
      target[n] = x[n] - pitchGain * y[n];
      targetEnergy += static_cast<double>(target[n]) * target[n];
      xEnergy += static_cast<double>(x[n]) * x[n];
    }
    const double e = std::max(xEnergy / kSub, 200.0);
    if (e > 1000) average_ += 0.02 * (e - average_);
    // The bits' price between the subframe's own level (equal SNR everywhere) and the running
    // level of the speech (least squared error overall).
    lambda_ = mu_ * std::sqrt(e * average_);

    struct Option {
      int phase;
      bool zero;
    };
    Option options[4] = {{0, true}, {1, true}, {0, false}, {1, false}};
    const int optionCount = halfBand_ ? 4 : 1;
    Trial best;
    Option bestOption{0, true};

    // Each option at two gains around the last subframe's; the best option then refined.
    for (int o = 0; o < optionCount; ++o) {
      const Option option = halfBand_ ? options[o] : Option{0, true};
      Prepare(target, option.phase, halfBand_ && !option.zero);
      const float scale = halfBand_ && !option.zero ? 0.5f : 1.0f;
      for (int g : {lastGain_ - 3, lastGain_ + 3}) {
        g = std::clamp(g, 0, 63);
        Trial t = Place(gains_[g] * scale, targetEnergy, multipulse);
        t.gain = g;
        if (t.cost < best.cost) {
          best = t;
          bestOption = option;
        }
      }
    }
    if (optionCount > 1) Prepare(target, bestOption.phase, halfBand_ && !bestOption.zero);
    {
      const float scale = halfBand_ && !bestOption.zero ? 0.5f : 1.0f;
      auto tryGain = [&](int g) {
        if (g < 0 || g > 63) return;
        Trial t = Place(gains_[g] * scale, targetEnergy, multipulse);
        t.gain = g;
        if (t.cost < best.cost) best = t;
      };
      // Outward in steps of 6 while that helps, then 2 and 1 either side.
      for (int step : {-6, 6}) {
        for (int g = best.gain + step, tries = 0; tries < 4; g += step, ++tries) {
          int before = best.gain;
          tryGain(g);
          if (best.gain == before) break;
        }
      }
      int center = best.gain;
      for (int g : {center - 2, center + 2}) tryGain(g);
      center = best.gain;
      for (int g : {center - 1, center + 1}) tryGain(g);
    }
    lastGain_ = best.gain;
    sub.phase = bestOption.phase;
    sub.zero = bestOption.zero;
    sub.gain = best.gain;
    sub.pulses.fill(0);
    const int stride = halfBand_ ? 2 : 1;
    for (int k = 0; k < positions_; ++k) sub.pulses[sub.phase + stride * k] = best.values[k];
    RefineGains(x, y, sub);
  }

  // The response to a unit pulse at each coded position, the target's correlation with it, and
  // the responses' correlations (edge effects at the subframe's start left out).
  void Prepare(const float* target, int phase, bool interpolated) {
    const int stride = halfBand_ ? 2 : 1;
    offset_ = interpolated ? kGuard : 0;
    const int length = kSub + offset_;
    std::fill(shape_.begin(), shape_.end(), 0.0f);
    if (interpolated) {
      for (int m = 0; m < length; ++m) {
        float acc = 0;
        for (int t = -kGuard; t <= kGuard; ++t) {
          float w = t == 0 ? 1.0f : (t % 2 == 0 ? 0.0f : kInterpolation[(std::abs(t) - 1) / 2]);
          int i = m - kGuard - t;
          if (w != 0 && i >= 0 && i < kSub + kGuard) acc += w * h_[i];
        }
        shape_[m] = acc;
      }
    } else {
      std::copy(h_.begin(), h_.begin() + kSub, shape_.begin());
    }
    for (int k = 0; k < positions_; ++k) {
      const int p = phase + stride * k;
      double acc = 0;
      for (int n = std::max(0, p - offset_); n < kSub; ++n)
        acc += target[n] * shape_[n - p + offset_];
      d_[k] = static_cast<float>(acc);
    }
    // phi(p, q), p <= q: the sum over m <= kSub - 1 + offset - q of shape[m + q - p] shape[m].
    for (int dk = 0; dk < positions_; ++dk) {
      const int dist = dk * stride;
      float running = 0;
      for (int m = 0; m < length; ++m) {
        if (m + dist < length) running += shape_[m + dist] * shape_[m];
        prefix_[m] = running;
      }
      for (int k = 0; k + dk < positions_; ++k) {
        const int q = phase + stride * (k + dk);
        const int last = kSub - 1 + offset_ - q;
        float v = last >= 0 ? prefix_[std::min(last, length - 1)] : 0.0f;
        phi_[k][k + dk] = v;
        phi_[k + dk][k] = v;
      }
    }
  }

  Trial Place(float gain, double targetEnergy, bool multipulse) {
    Trial t;
    float residual[kSub], diagonal[kSub];
    std::copy(d_.begin(), d_.begin() + positions_, residual);
    for (int k = 0; k < positions_; ++k) diagonal[k] = gain * phi_[k][k];
    const float lambda = static_cast<float>(lambda_);
    for (int iteration = 0; iteration < 200; ++iteration) {
      float bestScore = 0;
      int bestK = -1, bestStep = 0;
      for (int k = 0; k < positions_; ++k) {
        const float r = residual[k];
        const int now = t.values[k];
        int step;
        float bits;
        if (multipulse) {
          // The step that best fits the residual here, at least one unit toward it.
          step = r >= 0 ? 1 : -1;
          if (std::abs(r) > 1.5f * diagonal[k] && diagonal[k] > 0)
            step = static_cast<int>(std::clamp(r / diagonal[k], -64.0f, 64.0f) +
                                    (r >= 0 ? 0.5f : -0.5f));
          bits = PulseBits(std::abs(now + step)) - PulseBits(std::abs(now));
        } else {
          step = r >= 0 ? 2 : -2;
          if (std::abs(now + step) > 2) continue;
          bits = RelpBits(std::abs(now + step)) - RelpBits(std::abs(now));
        }
        const float s = static_cast<float>(step);
        const float score = gain * s * (2 * r - s * diagonal[k]) - lambda * bits;
        if (score > bestScore) {
          bestScore = score;
          bestK = k;
          bestStep = step;
        }
      }
      if (bestK < 0) break;
      t.values[bestK] = static_cast<int16_t>(t.values[bestK] + bestStep);
      const float change = gain * static_cast<float>(bestStep);
      const float* column = phi_[bestK];
      for (int k = 0; k < positions_; ++k) residual[k] -= change * column[k];
    }
    double cross = 0;
    for (int k = 0; k < positions_; ++k)
      if (t.values[k]) cross += t.values[k] * (static_cast<double>(d_[k]) + residual[k]);
    t.distortion = targetEnergy - gain * cross;
    t.bits = WriteInnovation(nullptr, t.values.data(), positions_, multipulse);
    t.cost = t.distortion + lambda_ * t.bits;
    return t;
  }

  // With the pulses fixed, the pitch gain and the fixed gain chosen together.
  void RefineGains(const float* x, const float* y, MtSubframe& sub) {
    float z[kSub] = {};
    const int stride = halfBand_ ? 2 : 1;
    const bool interpolated = halfBand_ && !sub.zero;
    Prepare(x, sub.phase, interpolated);  // the shape for this option (the correlations unused)
    for (int k = 0; k < positions_; ++k) {
      const int v = sub.pulses[sub.phase + stride * k];
      if (!v) continue;
      const int p = sub.phase + stride * k;
      for (int n = std::max(0, p - offset_); n < kSub; ++n) z[n] += v * shape_[n - p + offset_];
    }
    double xy = 0, xz = 0, yy = 0, zz = 0, yz = 0;
    for (int n = 0; n < kSub; ++n) {
      xy += x[n] * y[n];
      xz += x[n] * z[n];
      yy += y[n] * y[n];
      zz += z[n] * z[n];
      yz += y[n] * z[n];
    }
    const double scale = interpolated ? 0.5 : 1.0;
    double bestErr = 1e300;
    for (int p = 0; p < 16; ++p) {
      double gp = p / 15.0;
      for (int g = std::max(0, sub.gain - 4); g <= std::min(63, sub.gain + 4); ++g) {
        double gf = gains_[g] * scale;
        double err = -2 * gp * xy - 2 * gf * xz + gp * gp * yy + 2 * gp * gf * yz + gf * gf * zz;
        if (err < bestErr) {
          bestErr = err;
          sub.pitchGain = p;
          sub.gain = g;
        }
      }
    }
  }

  // Revision 3: PCM over the stretch of the frame where it buys the most error for its bits.
  void Patch(size_t start, MtCodedFrame& coded) {
    const float* out = synth_.Output();
    const int n = static_cast<int>(std::min<size_t>(kMtFrameSamples, count_ - start));
    constexpr int kUnit = 24;
    double prefix[kMtFrameSamples / kUnit + 2] = {};
    double energy = 0;
    for (int u = 0; u * kUnit < n; ++u) {
      double err = 0;
      for (int i = u * kUnit; i < std::min(n, (u + 1) * kUnit); ++i) {
        double s = Sample(static_cast<ptrdiff_t>(start) + i);
        double diff = s - MtSample(out[i]);
        err += diff * diff;
        energy += s * s;
      }
      prefix[u + 1] = prefix[u] + err;
    }
    const int units = (n + kUnit - 1) / kUnit;
    // Only where the codec is known to do worst: its start from zero state, an onset (a frame
    // far louder than the one before), and the last, partial frame.
    const double before = previousEnergy_;
    previousEnergy_ = energy / n;
    const bool onset = energy / n > 8 * before && energy / n > 1e5;
    if (start != 0 && n == kMtFrameSamples && !onset) return;
    const double lambda = mu_ * std::max(energy / n, 200.0) * 4.0;
    double bestGain = 0;
    int bestFirst = 0, bestCount = 0;
    for (int first = 0; first < units; ++first)
      for (int last = first + 1; last <= units; ++last) {
        int samples = std::min(n, last * kUnit) - first * kUnit;
        double gain = prefix[last] - prefix[first] - lambda * (32 + 16.0 * samples);
        if (gain > bestGain) {
          bestGain = gain;
          bestFirst = first * kUnit;
          bestCount = samples;
        }
      }
    if (bestCount == 0) return;
    coded.patchOffset = bestFirst;
    for (int i = 0; i < bestCount; ++i)
      coded.patch.push_back(
          static_cast<int16_t>(Sample(static_cast<ptrdiff_t>(start) + bestFirst + i)));
  }

  MtEncodeSettings settings_;
  size_t count_;
  std::vector<int16_t> input_;
  MtSynth synth_;
  float gains_[64];
  bool halfBand_ = true;
  int positions_ = kSub / 2;
  double lagWindow_[kOrder + 1];
  double mu_ = 0.04, lambda_ = 0, average_ = 1e5;
  int lastGain_ = 24;
  double previousEnergy_ = 0, frameLevel_ = 0;

  float num_[kOrder + 1] = {}, den_[kOrder + 1] = {};
  float errorIn_[kOrder] = {}, errorOut_[kOrder] = {};
  std::array<float, kSub + kGuard> h_{};
  std::array<float, kMtHistory + kMtFrameSamples> excitation_{};

  int offset_ = 0;
  std::array<float, kSub + kGuard> shape_{};
  std::array<float, kSub + kGuard> prefix_{};
  std::array<float, kSub> d_{};
  float phi_[kSub][kSub] = {};
};

}  // namespace

void WriteMtCodecHeader(MtBitWriter& out, const MtCodecHeader& header) {
  out.Put(header.halfBand ? 1 : 0, 1);
  out.Put(static_cast<uint32_t>(header.thresholdBits), 4);
  out.Put(static_cast<uint32_t>(header.gainBaseBits), 4);
  out.Put(static_cast<uint32_t>(header.gainRatioBits), 6);
}

void WriteMtFrame(MtBitWriter& out, const MtFrame& frame, const MtCodecHeader& header,
                  bool multipulse) {
  for (int i = 0; i < kOrder; ++i) {
    if (i < 4)
      out.Put(static_cast<uint32_t>(frame.rc[i]), 6);
    else
      out.Put(static_cast<uint32_t>(frame.rc[i] - 16), 5);
  }
  const int stride = header.halfBand ? 2 : 1;
  for (const MtSubframe& sub : frame.sub) {
    out.Put(static_cast<uint32_t>(sub.lag), 8);
    out.Put(static_cast<uint32_t>(sub.pitchGain), 4);
    out.Put(static_cast<uint32_t>(sub.gain), 6);
    int phase = 0;
    if (header.halfBand) {
      phase = sub.phase;
      out.Put(static_cast<uint32_t>(sub.phase), 1);
      out.Put(sub.zero ? 1 : 0, 1);
    }
    int16_t values[kSub];
    int count = 0;
    for (int i = phase; i < kSub; i += stride) values[count++] = sub.pulses[i];
    WriteInnovation(&out, values, count, multipulse);
  }
}

std::vector<MtCodedFrame> EncodeMicroTalk(const int16_t* samples, size_t count, size_t stride,
                                          const MtEncodeSettings& settings) {
  return Encoder(samples, count, stride, settings).Run();
}

}  // namespace tessaly
