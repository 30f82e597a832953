#include "clips/ClipExport.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "audio/AudioError.h"
#include "audio/StreamDecoder.h"
#include "audio/Wav.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

// Writes the file aside and renames it into place; on any failure the aside file goes.
void WriteAside(const std::string& target, const std::vector<uint8_t>& bytes) {
  File file = File::CreateBeside(target);
  const std::string aside = file.Path();
  try {
    file.WriteAt(0, bytes.data(), bytes.size());
    file.Close();
    ReplaceFile(aside, target);
  } catch (...) {
    file.Release();
    RemoveFileQuietly(aside);
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
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !FolderExists(folder)) {
    result.stopped = "Cannot create folder \"" + folder + "\". " +
                     (error ? error.message() : "A file of that name exists");
    return result;
  }
  host.SetProgressMin(0);
  host.SetProgressMax(static_cast<int>(rows.size()));
  MessagePump pump(host);
  int done = 0;
  for (int row : rows) {
    host.SetProgressPosition(++done);
    pump.Poll();
    const std::string& name = streams.Name(row);
    std::vector<uint8_t> wav;
    try {
      if (!IsPlainFileName(name)) throw AudioError("\"" + name + "\" is not a plain file name");
      wav = WavBytes(DecodeStream(streams.Bytes(row)));
    } catch (const std::exception& failure) {
      // Decoding is per entry: one damaged or foreign stream doesn't stop the others.
      result.skipped.push_back({row, name, failure.what()});
      continue;
    }
    try {
      WriteAside(JoinPath(folder, WavNameFor(name)), wav);
    } catch (const FrameworkError& failure) {
      // Writing fails for every later file alike (a full disk, no permission): stop here.
      result.stopped = failure.what();
      break;
    }
    ++result.written;
  }
  host.SetProgressPosition(0);
  return result;
}

}  // namespace tessaly
