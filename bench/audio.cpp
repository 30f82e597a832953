// bench_audio [benchmark flags]: decoding and encoding speed of the native stream code on one
// core, as multiples of real time ("x_realtime": seconds of audio per second of processing), for
// each XA variant and for PCM, on ten seconds of espeak-ng speech at 22050 Hz (a synthetic signal
// when espeak-ng is missing). BM_EncodeQuality adds the stream's size and SNR for XA r2 and r3
// with and without escape frames, on that speech and on white noise.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "audio/Wav.h"
#include "support/AudioSignals.h"
#include "support/StreamBytes.h"
#include "support/TempFolder.h"

namespace {

using namespace tessaly;
using testing::Bytes;
using testing::Field;

PcmAudio Speech(int channels) {
  static PcmAudio mono = [] {
    testing::TempFolder folder;
    std::string path = folder / "speech.wav";
    std::string text =
        "The keeper comes off his line and it is a goal. What a finish from the edge of the "
        "area. Into the final minute now, and they need a miracle.";
    PcmAudio audio;
    if (std::system(("espeak-ng -w '" + path + "' '" + text + "' >/dev/null 2>&1").c_str()) == 0)
      audio = ReadWavFile(path);
    else
      audio = testing::TestSignal(1, 22050, 220500);
    audio.samples.resize(220500);  // ten seconds, padded with silence when shorter
    return audio;
  }();
  if (channels == 1) return mono;
  PcmAudio stereo;
  stereo.channels = 2;
  stereo.sampleRate = mono.sampleRate;
  for (size_t i = 0; i < mono.samples.size(); ++i) {
    stereo.samples.push_back(mono.samples[i]);
    stereo.samples.push_back(mono.samples[(i + 4410) % mono.samples.size()]);
  }
  return stereo;
}

Bytes Template(uint16_t platform, std::vector<Bytes> fields, int channels) {
  fields.push_back(Field(0x82, static_cast<uint32_t>(channels)));
  Bytes out = testing::Chunk("SCHl", testing::HeaderBody(platform, fields));
  Bytes block;
  testing::Add32(block, 2016, platform == 3);
  testing::Add(out, testing::Chunk("SCDl", block));
  return out;
}

Bytes TemplateFor(int variant, int channels) {
  switch (variant) {
    case 0:
      return Template(0, {Field(0x80, 1)}, channels);  // XA r1
    case 1:
      return Template(0, {Field(0x80, 3), Field(0xA0, 0x0A)}, channels);  // XA r2
    case 2:
      return Template(3, {Field(0x80, 3)}, channels);  // XA r3
    case 3:
      return Template(0, {Field(0x83, 7)}, channels);  // XA v1
    default:
      return Template(0, {Field(0xA0, 0x08)}, channels);  // PCM split
  }
}

void Label(benchmark::State& state, const PcmAudio& audio, const std::string& more = "") {
  static const char* names[] = {"XA r1", "XA r2", "XA r3", "XA v1", "PCM S16LE split"};
  state.SetLabel(std::string(names[state.range(0)]) + (audio.channels == 1 ? " mono" : " stereo") +
                 more);
  state.counters["x_realtime"] = benchmark::Counter(
      audio.Seconds() * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Decode(benchmark::State& state) {
  PcmAudio audio = Speech(static_cast<int>(state.range(1)));
  Bytes stream = EncodeStream(audio, TemplateFor(static_cast<int>(state.range(0)), audio.channels));
  for (auto _ : state) benchmark::DoNotOptimize(DecodeStream(stream));
  Label(state, audio);
}

void BM_Encode(benchmark::State& state) {
  PcmAudio audio = Speech(static_cast<int>(state.range(1)));
  Bytes tmpl = TemplateFor(static_cast<int>(state.range(0)), audio.channels);
  for (auto _ : state) benchmark::DoNotOptimize(EncodeStream(audio, tmpl));
  Label(state, audio);
}

void Variants(benchmark::internal::Benchmark* b) {
  for (int variant = 0; variant < 5; ++variant)
    for (int channels : {1, 2})
      if (variant != 3 || channels == 2) b->Args({variant, channels});
}

// Ten seconds of white noise, uniform in +-8000.
PcmAudio Noise() {
  PcmAudio audio{22050, 1, {}};
  uint32_t state = 1;
  for (int i = 0; i < 220500; ++i) {
    state = state * 1103515245u + 12345u;
    audio.samples.push_back(static_cast<int16_t>(static_cast<int>((state >> 16) % 16001) - 8000));
  }
  return audio;
}

// Args: variant (1 r2, 2 r3), quality (0 plain, 1 best), signal (0 speech, 1 noise); mono.
void BM_EncodeQuality(benchmark::State& state) {
  const bool noise = state.range(2) == 1;
  PcmAudio audio = noise ? Noise() : Speech(1);
  Bytes tmpl = TemplateFor(static_cast<int>(state.range(0)), 1);
  EncodeOptions options{.quality = state.range(1) ? EncodeQuality::kBest : EncodeQuality::kPlain};
  Bytes stream;
  for (auto _ : state) benchmark::DoNotOptimize(stream = EncodeStream(audio, tmpl, options));
  Label(state, audio,
        std::string(noise ? " noise" : " speech") + (state.range(1) ? " best" : " plain"));
  state.counters["bytes"] = static_cast<double>(stream.size());
  state.counters["snr_db"] = testing::SnrDb(audio.samples, DecodeStream(stream).samples);
}

BENCHMARK(BM_Decode)->Apply(Variants)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Apply(Variants)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeQuality)->ArgsProduct({{1, 2}, {0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
