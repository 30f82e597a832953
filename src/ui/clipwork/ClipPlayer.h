// Plays decoded clips through the system's default sound output (Qt Multimedia). A machine
// without one is told apart from a clip that can't be played, so the window can say which.
#pragma once

#include <QAudio>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

#include "audio/Pcm.h"

class QAudioFormat;

namespace tessaly::ui {

// What the player needs of a sound output: the default device's sink, or a stand-in in tests.
class SoundOutput : public QObject {
  Q_OBJECT

 public:
  // Pulls the samples from `source` as the device wants them.
  virtual void Start(QIODevice* source) = 0;
  virtual void Stop() = 0;
  virtual QAudio::State State() const = 0;
  virtual QAudio::Error Error() const = 0;
  // How much of what it was given the device has played.
  virtual qint64 PlayedUSecs() const = 0;

 Q_SIGNALS:
  void StateChanged(QAudio::State state);
};

class ClipPlayer : public QObject {
  Q_OBJECT

 public:
  explicit ClipPlayer(QObject* parent = nullptr);
  ~ClipPlayer() override;

  // Stops what plays and starts `audio`. False, with the reason in `error`, when no output
  // device exists or the device can't be opened.
  bool Play(const PcmAudio& audio, QString& error);
  void Stop();
  bool Playing() const;

  // Tests take the default device away to check the path of a machine without one.
  static void SetDeviceMissingForTests(bool missing);
  static QString NoDeviceText();
  // Tests play into an output of their own (none: the default device again).
  using OutputMaker = std::function<std::unique_ptr<SoundOutput>(const QAudioFormat&)>;
  static void SetOutputForTests(OutputMaker maker);

 Q_SIGNALS:
  // The clip played to its end or was stopped.
  void Stopped();

 private:
  void CheckEnd();

  std::unique_ptr<SoundOutput> output_;
  QByteArray samples_;
  QBuffer buffer_;
  qint64 clipUSecs_ = 0;
  QTimer endCheck_;
  QElapsedTimer sinceDrained_;
};

}  // namespace tessaly::ui
