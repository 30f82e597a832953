#include "ui/clipwork/ClipPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace tessaly::ui {
namespace {

bool deviceMissingForTests = false;

}  // namespace

ClipPlayer::ClipPlayer(QObject* parent) : QObject(parent) {}

ClipPlayer::~ClipPlayer() {
  if (sink_) {
    sink_->disconnect(this);
    sink_->stop();
  }
}

void ClipPlayer::SetDeviceMissingForTests(bool missing) {
  deviceMissingForTests = missing;
}

QString ClipPlayer::NoDeviceText() {
  return QStringLiteral("No sound output device: clips can't be played on this machine.");
}

bool ClipPlayer::Playing() const {
  return sink_ && (sink_->state() == QAudio::ActiveState || sink_->state() == QAudio::IdleState);
}

bool ClipPlayer::Play(const PcmAudio& audio, QString& error) {
  Stop();
  const QAudioDevice device =
      deviceMissingForTests ? QAudioDevice() : QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
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
  buffer_.setData(samples_);
  buffer_.open(QIODevice::ReadOnly);
  sink_ = std::make_unique<QAudioSink>(device, format);
  connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    // Idle: the buffer ran out, the clip is over.
    if (state == QAudio::IdleState) {
      Stop();
      return;
    }
    if (state == QAudio::StoppedState) Q_EMIT Stopped();
  });
  sink_->start(&buffer_);
  if (sink_->error() != QAudio::NoError) {
    // Without a sound server start() fails at once, and without a state signal.
    sink_->disconnect(this);
    sink_.reset();
    buffer_.close();
    error = NoDeviceText();
    return false;
  }
  return true;
}

void ClipPlayer::Stop() {
  if (!sink_) return;
  // Deleted later: Stop may run inside the sink's own signal.
  QAudioSink* sink = sink_.release();
  sink->stop();
  sink->disconnect(this);
  sink->deleteLater();
  buffer_.close();
  Q_EMIT Stopped();
}

}  // namespace tessaly::ui
