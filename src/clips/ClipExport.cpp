#include "clips/ClipExport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "audio/AudioError.h"
#include "audio/StreamDecoder.h"
#include "audio/Wav.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

// Writes a WAV file aside and renames it to its name, so that a WAV appears only whole and an
// existing one stays as it was when the write fails or the program is stopped.
void WriteWavFile(const std::string& target, const std::vector<uint8_t>& bytes) {
  File file = File::CreateBeside(target);
  const std::string written = file.Path();
  try {
    file.WriteAt(0, bytes.data(), bytes.size());
    file.Close();
    ReplaceFile(written, target);
  } catch (...) {
    file.Release();
    RemoveFileQuietly(written);
    throw;
  }
}

}  // namespace

std::string WavNameFor(std::string_view entryName) {
  return RemoveFileExt(std::string(entryName)) + ".wav";
}

ExportResult ExportClips(const EntryStreams& streams, const std::vector<int>& rows,
                         const std::string& folder, OperationHost& host) {
  ExportResult result;
  if (std::optional<std::string> problem = PrepareFolderForWriting(folder)) {
    result.stopped = *problem;
    return result;
  }
  RemoveLeftoverTemporaries(folder);
  host.SetProgressMin(0);
  host.SetProgressMax(static_cast<int>(rows.size()));

  // Decoding takes most of the time: workers take the rows in turn, while this thread, the
  // host's, moves the progress bar.
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<size_t> next{0}, done{0};
  // Every worker stops before its next row when a write failed or the user asked to stop.
  std::stop_source stopAll;
  const std::stop_token userStop = host.StopToken();
  std::stop_callback passOn(userStop, [&stopAll] { stopAll.request_stop(); });
  unsigned running = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  auto work = [&](const std::stop_token& stop) {
    for (size_t i; !stop.stop_requested() && (i = next++) < rows.size(); ++done) {
      const int row = rows[i];
      const std::string& name = streams.Name(row);
      std::vector<uint8_t> wav;
      try {
        if (!IsPlainFileName(name)) throw AudioError("\"" + name + "\" is not a plain file name");
        wav = WavBytes(DecodeStream(streams.Bytes(row)));
      } catch (const std::exception& failure) {
        // Decoding is per entry: one damaged or foreign stream doesn't stop the others.
        std::lock_guard lock(mutex);
        result.skipped.push_back({row, name, failure.what()});
        continue;
      }
      try {
        WriteWavFile(JoinPath(folder, WavNameFor(name)), wav);
      } catch (const std::exception& failure) {
        // Writing fails for every later file alike (a full disk, no permission): stop.
        std::lock_guard lock(mutex);
        if (result.stopped.empty()) result.stopped = failure.what();
        stopAll.request_stop();
        continue;
      }
      std::lock_guard lock(mutex);
      ++result.written;
    }
    std::lock_guard lock(mutex);
    if (--running == 0) finished.notify_one();
  };
  std::vector<std::jthread> workers;
  for (unsigned i = running; i > 0; --i)
    workers.emplace_back([&work, stop = stopAll.get_token()] { work(stop); });
  MessagePump pump(host);
  std::unique_lock lock(mutex);
  while (running > 0) {  // the workers count it down
    finished.wait_for(lock, std::chrono::milliseconds(20));
    lock.unlock();
    host.SetProgressPosition(static_cast<int>(done));
    pump.Poll();
    lock.lock();
  }
  lock.unlock();
  workers.clear();
  result.cancelled = userStop.stop_requested() && done < rows.size();
  std::sort(result.skipped.begin(), result.skipped.end(),
            [](const EntryFailure& a, const EntryFailure& b) { return a.row < b.row; });
  host.SetProgressPosition(0);
  return result;
}

}  // namespace tessaly
