#include "ui/clipwork/ClipPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace tessaly::ui {
namespace {

bool deviceMissingForTests = false;
ClipPlayer::OutputMaker outputForTests;

// How often the player looks whether the device has played the clip's end.
constexpr int kEndCheckMs = 20;
// Played time may fall short of the clip's length by a rounding.
constexpr qint64 kEndSlackUSecs = 1000;
// A device whose played time stalls is stopped this long after it could have played the whole
// clip, so the Stop button never stays lit.
constexpr qint64 kStallGraceMs = 2000;

// The default device's sink.
class DeviceOutput : public SoundOutput {
 public:
  DeviceOutput(const QAudioDevice& device, const QAudioFormat& format) : sink_(device, format) {
    connect(&sink_, &QAudioSink::stateChanged, this, &SoundOutput::StateChanged);
  }
  void Start(QIODevice* source) override { sink_.start(source); }
  void Stop() override { sink_.stop(); }
  QAudio::State State() const override { return sink_.state(); }
  QAudio::Error Error() const override { return sink_.error(); }
  qint64 PlayedUSecs() const override { return sink_.processedUSecs(); }

 private:
  QAudioSink sink_;
};

}  // namespace

ClipPlayer::ClipPlayer(QObject* parent) : QObject(parent) {
  endCheck_.setInterval(kEndCheckMs);
  connect(&endCheck_, &QTimer::timeout, this, &ClipPlayer::CheckEnd);
}

ClipPlayer::~ClipPlayer() {
  if (output_) {
    output_->disconnect(this);
    output_->Stop();
  }
}

void ClipPlayer::SetDeviceMissingForTests(bool missing) {
  deviceMissingForTests = missing;
}

void ClipPlayer::SetOutputForTests(OutputMaker maker) {
  outputForTests = std::move(maker);
}

QString ClipPlayer::NoDeviceText() {
  return QStringLiteral("No sound output device: clips can't be played on this machine.");
}

bool ClipPlayer::Playing() const {
  return output_ &&
         (output_->State() == QAudio::ActiveState || output_->State() == QAudio::IdleState);
}

bool ClipPlayer::Play(const PcmAudio& audio, QString& error) {
  Stop();
  QAudioDevice device;
  if (!outputForTests && !deviceMissingForTests) device = QMediaDevices::defaultAudioOutput();
  if (!outputForTests && device.isNull()) {
    error = NoDeviceText();
    return false;
  }
  QAudioFormat format;
  format.setSampleRate(audio.sampleRate);
  format.setChannelCount(audio.channels);
  format.setSampleFormat(QAudioFormat::Int16);
  if (audio.sampleRate <= 0 || audio.channels <= 0) {
    error = QStringLiteral("The clip holds no samples to play.");
    return false;
  }
  samples_ = QByteArray(reinterpret_cast<const char*>(audio.samples.data()),
                        static_cast<qsizetype>(audio.samples.size() * sizeof(int16_t)));
  clipUSecs_ = static_cast<qint64>(audio.Frames()) * 1000000 / audio.sampleRate;
  buffer_.setData(samples_);
  buffer_.open(QIODevice::ReadOnly);
  output_ =
      outputForTests ? outputForTests(format) : std::make_unique<DeviceOutput>(device, format);
  connect(output_.get(), &SoundOutput::StateChanged, this, [this](QAudio::State state) {
    // The output stopped by itself (its device went away).
    if (state == QAudio::StoppedState) {
      Stop();
      return;
    }
    CheckEnd();
  });
  output_->Start(&buffer_);
  if (output_->Error() != QAudio::NoError) {
    // Without a sound server start() fails at once, and without a state signal.
    output_->disconnect(this);
    output_.reset();
    buffer_.close();
    error = NoDeviceText();
    return false;
  }
  endCheck_.start();
  return true;
}

void ClipPlayer::CheckEnd() {
  // The source running dry, or the output going idle, doesn't end the clip: the device still
  // holds the last part in its buffer, and an idle output whose source isn't drained is an
  // underrun on a loaded machine that plays on once fed. The clip is over once the device has
  // played all it was given.
  if (!output_ || !buffer_.atEnd()) return;
  if (!sinceDrained_.isValid()) sinceDrained_.start();
  if (output_->PlayedUSecs() >= clipUSecs_ - kEndSlackUSecs ||
      sinceDrained_.elapsed() > clipUSecs_ / 1000 + kStallGraceMs)
    Stop();
}

void ClipPlayer::Stop() {
  endCheck_.stop();
  sinceDrained_.invalidate();
  if (!output_) return;
  // Deleted later: Stop may run inside the output's own signal.
  SoundOutput* output = output_.release();
  output->disconnect(this);
  output->Stop();
  output->deleteLater();
  buffer_.close();
  Q_EMIT Stopped();
}

}  // namespace tessaly::ui
