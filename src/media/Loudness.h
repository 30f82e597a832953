// EBU R128 integrated loudness of decoded audio, and the gain that brings a new clip to the
// loudness of the clip it replaces.
//
// The rule for matching, in order:
//  - Either clip silent (quieter than kSilenceLufs, or empty): no gain.
//  - Otherwise the wanted gain is target minus source loudness. A cut is applied in full. A boost
//    is reduced so that the clip's sample peak stays at or below kPeakCeilingDbfs, but never below
//    0 dB: a clip that is already too close to full scale is left as it is. What the boost lacks
//    is reported as the shortfall.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/Pcm.h"

namespace tessaly {

// The absolute gate of EBU R128: anything quieter counts as silence.
inline constexpr double kSilenceLufs = -70.0;
// The highest sample peak a boost may reach: 1 dB of headroom for the ADPCM encoder's error.
inline constexpr double kPeakCeilingDbfs = -1.0;

// Integrated loudness in LUFS, minus infinity for silence. Clips shorter than one 400 ms gating
// block (short names and calls are common) are measured as one block spanning the whole clip.
double IntegratedLoudness(const PcmAudio& audio);

struct LoudnessMatch {
  enum class Outcome {
    matched,      // the full gain was applied
    peakLimited,  // the boost was reduced to keep the peak below the ceiling
    silent,       // one of the clips is silent: no gain
  };
  Outcome outcome = Outcome::silent;
  double sourceLufs = 0;    // the new clip before the gain
  double targetLufs = 0;    // the clip it replaces
  double wantedGainDb = 0;  // target minus source; 0 when silent
  double gainDb = 0;        // what was applied

  double ShortfallDb() const { return wantedGainDb - gainDb; }
};

// The gain the rule above gives for a clip of `sourceLufs` whose sample peak is `samplePeak`
// (1.0 is full scale), to reach `targetLufs`.
LoudnessMatch PlanLoudnessGain(double sourceLufs, double targetLufs, double samplePeak);

// Brings `audio` to `targetLufs` by the rule above, on its 16-bit samples (rounded, saturated).
LoudnessMatch MatchLoudness(PcmAudio& audio, double targetLufs);

// Measures audio as it streams past: integrated loudness and sample peak.
class LoudnessMeter {
 public:
  LoudnessMeter(int sampleRate, int channels);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  void Add(const int16_t* samples, size_t frames);
  void Add(const float* samples, size_t frames);  // full scale is 1.0

  // Integrated loudness in LUFS of everything added, minus infinity for silence.
  double Integrated() const;
  // The largest absolute sample of any channel, 1.0 being full scale.
  double SamplePeak() const;

 private:
  struct State;  // the measuring library's state
  std::unique_ptr<State> state_;
  int sampleRate_;
  int channels_;
  size_t frames_ = 0;
};

// 10^(dB/20): the factor a gain in decibels multiplies samples by.
double GainFactor(double gainDb);

}  // namespace tessaly
