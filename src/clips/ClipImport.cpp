#include "clips/ClipImport.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "audio/AudioError.h"
#include "audio/ClipInfo.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

std::vector<uint8_t> ReadTemplate(const std::string& entryPath) {
  File file = File::OpenRead(entryPath);
  uint64_t length = file.Size();
  if (length > kMaxStreamBytes)
    throw AudioError("the entry file is " + FormatUnsigned(length) +
                     " bytes long, more than a clip this program replaces");
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
  return bytes;
}

// Writes the new stream beside the entry file, stores it on the device and renames it over the
// entry file; on any failure the aside file goes and the entry file is untouched.
void ReplaceEntryFile(const std::string& entryPath, const std::vector<uint8_t>& stream) {
  File file = File::CreateBeside(entryPath);
  const std::string aside = file.Path();
  try {
    file.WriteAt(0, stream.data(), stream.size());
    file.Sync();
    file.Close();
    ReplaceFile(aside, entryPath);
  } catch (...) {
    file.Release();
    RemoveFileQuietly(aside);
    throw;
  }
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::string> ImportOne(const std::string& entryPath, const std::string& audioPath,
                                     AudioSource& source, const ImportOptions& options) {
  std::vector<uint8_t> stream = ReadTemplate(entryPath);
  ClipInfo clip = ReadClipInfo(stream);
  if (!clip.readable) throw AudioError("the entry file holds no clip to replace: " + clip.reason);
  if (!clip.decodable)
    throw AudioError("the clip is " + clip.codecName + ", which this program can't encode");
  std::optional<PcmAudio> reference;
  if (options.matchLoudness) reference = DecodeStream(stream);
  ConvertedAudio converted =
      source.Read(audioPath, clip.sampleRate, clip.channels, reference ? &*reference : nullptr);
  if (converted.audio.Frames() == 0) throw AudioError("\"" + audioPath + "\" holds no audio");
  std::vector<uint8_t> encoded =
      EncodeStream(converted.audio, stream, {.quality = options.quality});
  if (options.stop.stop_requested()) return std::nullopt;
  ReplaceEntryFile(entryPath, encoded);
  return converted.loudnessNote;
}

}  // namespace

std::optional<std::string> ImportClip(const std::string& entryPath, const std::string& audioPath,
                                      AudioSource& source, const ImportOptions& options) {
  RemoveLeftoverTemporaries(ExtractFilePath(entryPath));
  return ImportOne(entryPath, audioPath, source, options);
}

ImportByNameResult ImportByName(const EntryStreams& folderStreams, const std::string& fromFolder,
                                AudioSource& source, const ImportOptions& options,
                                OperationHost& host) {
  namespace fs = std::filesystem;
  ImportByNameResult result;
  std::error_code error;
  std::vector<std::string> names;
  for (fs::directory_iterator it(Utf8Path(fromFolder), error), end; !error && it != end;
       it.increment(error)) {
    std::string name = PathUtf8(it->path().filename());
    if (!name.empty() && name[0] != '.' && it->is_regular_file(error)) names.push_back(name);
  }
  if (error) throw FrameworkError(CannotOpenText(fromFolder, error.value()));
  std::sort(names.begin(), names.end());

  std::map<std::string, int> rowOfStem;
  for (int row = folderStreams.Count(); row >= 1; --row)
    rowOfStem[RemoveFileExt(folderStreams.Name(row))] = row;  // the first row of a name wins
  // The files for each entry, to refuse ambiguous ones.
  std::map<int, std::vector<std::string>> filesOfRow;
  for (const std::string& name : names) {
    auto found = rowOfStem.find(RemoveFileExt(name));
    if (Lowercase(ExtractFileExt(name)) == ".asf")
      result.skipped.push_back({name, "a stream, not an audio file: copy it into the folder"});
    else if (found == rowOfStem.end())
      result.skipped.push_back({name, "its name matches no entry"});
    else
      filesOfRow[found->second].push_back(name);
  }

  RemoveLeftoverTemporaries(folderStreams.Folder());
  host.SetProgressMin(0);
  host.SetProgressMax(static_cast<int>(filesOfRow.size()));
  MessagePump pump(host);
  ImportOptions each = options;
  if (!each.stop.stop_possible()) each.stop = host.StopToken();
  int done = 0;
  for (const auto& [row, files] : filesOfRow) {
    if (each.stop.stop_requested()) {
      result.cancelled = true;
      break;
    }
    host.SetProgressPosition(++done);
    pump.Poll();
    if (files.size() > 1) {
      std::string list;
      for (const std::string& file : files) list += (list.empty() ? "" : ", ") + file;
      for (const std::string& file : files)
        result.skipped.push_back(
            {file, "several files for " + folderStreams.Name(row) + ": " + list, true});
      continue;
    }
    try {
      std::optional<std::string> note =
          ImportOne(folderStreams.EntryPath(row), JoinPath(fromFolder, files[0]), source, each);
      if (!note) {
        result.cancelled = true;
        break;
      }
      result.imported.push_back({row, files[0], *note});
    } catch (const std::exception& failure) {
      result.skipped.push_back({files[0], failure.what(), true});
    }
  }
  host.SetProgressPosition(0);
  return result;
}

}  // namespace tessaly
