// Plays decoded clips through the system's default sound output (Qt Multimedia). A machine
// without one is told apart from a clip that can't be played, so the window can say which.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

#include "audio/Pcm.h"

class QAudioSink;

namespace tessaly::ui {

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

 Q_SIGNALS:
  // The clip played to its end or was stopped.
  void Stopped();

 private:
  std::unique_ptr<QAudioSink> sink_;
  QByteArray samples_;
  QBuffer buffer_;
};

}  // namespace tessaly::ui
