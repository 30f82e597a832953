#include "media/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace tessaly {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// The length of one gating block of the integrated measurement.
constexpr size_t kBlockMilliseconds = 400;

void Check(int error) {
  if (error == EBUR128_ERROR_NOMEM) throw std::bad_alloc();
}

}  // namespace

struct LoudnessMeter::State {
  ebur128_state* meter = nullptr;
  ~State() {
    if (meter) ebur128_destroy(&meter);
  }
};

LoudnessMeter::LoudnessMeter(int sampleRate, int channels)
    : state_(std::make_unique<State>()), sampleRate_(sampleRate), channels_(channels) {
  if (sampleRate > 0 && channels > 0)
    state_->meter =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                     EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
  if (!state_->meter)
    throw std::invalid_argument("Cannot measure the loudness of " + std::to_string(channels) +
                                " channels at " + std::to_string(sampleRate) + " Hz");
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const int16_t* samples, size_t frames) {
  Check(ebur128_add_frames_short(state_->meter, samples, frames));
  frames_ += frames;
}

void LoudnessMeter::Add(const float* samples, size_t frames) {
  Check(ebur128_add_frames_float(state_->meter, samples, frames));
  frames_ += frames;
}

double LoudnessMeter::Integrated() const {
  double lufs = kMinusInfinity;
  const size_t milliseconds = frames_ * 1000 / static_cast<size_t>(sampleRate_);
  if (milliseconds >= kBlockMilliseconds) {
    ebur128_loudness_global(state_->meter, &lufs);
  } else if (milliseconds > 0) {
    // Too short for a gating block: the whole clip is one block, still held in the meter's
    // 400 ms window.
    ebur128_loudness_window(state_->meter, milliseconds, &lufs);
  }
  return std::isfinite(lufs) && lufs >= kSilenceLufs ? lufs : kMinusInfinity;
}

double LoudnessMeter::SamplePeak() const {
  double peak = 0;
  for (int channel = 0; channel < channels_; ++channel) {
    double channelPeak = 0;
    ebur128_sample_peak(state_->meter, static_cast<unsigned>(channel), &channelPeak);
    peak = std::max(peak, channelPeak);
  }
  return peak;
}

double GainFactor(double gainDb) {
  return std::pow(10.0, gainDb / 20.0);
}

double IntegratedLoudness(const PcmAudio& audio) {
  if (audio.Frames() == 0) return kMinusInfinity;
  LoudnessMeter meter(audio.sampleRate, audio.channels);
  meter.Add(audio.samples.data(), audio.Frames());
  return meter.Integrated();
}

LoudnessMatch PlanLoudnessGain(double sourceLufs, double targetLufs, double samplePeak) {
  LoudnessMatch match;
  match.sourceLufs = sourceLufs;
  match.targetLufs = targetLufs;
  if (!(sourceLufs >= kSilenceLufs) || !(targetLufs >= kSilenceLufs) ||
      !std::isfinite(sourceLufs) || !std::isfinite(targetLufs))
    return match;

  match.outcome = LoudnessMatch::Outcome::matched;
  match.wantedGainDb = targetLufs - sourceLufs;
  match.gainDb = match.wantedGainDb;
  if (match.gainDb > 0 && samplePeak > 0) {
    const double headroomDb = kPeakCeilingDbfs - 20.0 * std::log10(samplePeak);
    if (match.gainDb > headroomDb) {
      match.gainDb = std::max(headroomDb, 0.0);
      match.outcome = LoudnessMatch::Outcome::peakLimited;
    }
  }
  return match;
}

LoudnessMatch MatchLoudness(PcmAudio& audio, double targetLufs) {
  if (audio.Frames() == 0) return PlanLoudnessGain(kMinusInfinity, targetLufs, 0);
  LoudnessMeter meter(audio.sampleRate, audio.channels);
  meter.Add(audio.samples.data(), audio.Frames());
  const LoudnessMatch match = PlanLoudnessGain(meter.Integrated(), targetLufs, meter.SamplePeak());
  if (match.gainDb != 0) {
    const double factor = GainFactor(match.gainDb);
    for (int16_t& sample : audio.samples) {
      const double scaled = std::nearbyint(sample * factor);
      sample = static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
    }
  }
  return match;
}

}  // namespace tessaly
