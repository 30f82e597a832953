#include "clips/ClipImport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "audio/AudioError.h"
#include "audio/ClipInfo.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "clips/OriginalClips.h"

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
  ReplaceFileAside(entryPath, [&](File& file) { file.WriteAt(0, stream.data(), stream.size()); });
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The archive's clip of the entry being imported into, read only when the entry file can't serve
// as the template; empty when no archive is known.
using ArchiveClip = std::function<std::vector<uint8_t>()>;

// The clip a replacement is made for: the entry file's own, or where that is missing or its header
// can't be read, the archive's.
std::vector<uint8_t> TemplateFor(const std::string& entryPath, const ArchiveClip& archiveClip,
                                 ClipInfo& clip, bool& fromArchive) {
  std::vector<uint8_t> stream;
  std::string damage;
  if (!FileExists(entryPath)) {
    damage = "there is no entry file " + ExtractFileName(entryPath);
  } else {
    stream = ReadTemplate(entryPath);
    clip = ReadClipInfo(stream);
    if (clip.readable) return stream;
    damage = "the entry file holds no clip to replace: " + clip.reason;
  }
  if (!archiveClip) throw AudioError(damage);
  try {
    stream = archiveClip();
  } catch (const std::exception& error) {
    throw AudioError(damage + ", and " + error.what());
  }
  clip = ReadClipInfo(stream);
  if (!clip.readable) throw AudioError(damage + ", and the archive's clip is unreadable too");
  fromArchive = true;
  return stream;
}

ImportOutcome ImportOne(const std::string& entryPath, const std::string& audioPath,
                        AudioSource& source, const ImportOptions& options,
                        const ArchiveClip& archiveClip = {}) {
  ImportOutcome outcome;
  ClipInfo clip;
  std::vector<uint8_t> stream = TemplateFor(entryPath, archiveClip, clip, outcome.fromArchive);
  if (!clip.decodable)
    throw AudioError("the clip is " + clip.codecName + ", which this program can't encode");
  std::optional<PcmAudio> reference;
  if (options.matchLoudness) reference = DecodeStream(stream);
  ConvertedAudio converted =
      source.Read(audioPath, clip.sampleRate, clip.channels, reference ? &*reference : nullptr);
  if (converted.audio.Frames() == 0) throw AudioError("\"" + audioPath + "\" holds no audio");
  const double oldSeconds =
      reference ? static_cast<double>(reference->Frames()) / clip.sampleRate : clip.Seconds();
  outcome.lengthWarning =
      LengthWarning(static_cast<double>(converted.audio.Frames()) / clip.sampleRate, oldSeconds);
  if (!outcome.lengthWarning.empty() && options.confirmLength &&
      !options.confirmLength(outcome.lengthWarning))
    return outcome;
  std::vector<uint8_t> encoded =
      EncodeStream(converted.audio, stream, {.quality = options.quality});
  if (options.stop.stop_requested()) return outcome;
  ReplaceEntryFile(entryPath, encoded);
  outcome.written = true;
  outcome.note = converted.loudnessNote;
  return outcome;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace

std::string LengthWarning(double newSeconds, double oldSeconds) {
  if (oldSeconds <= 0 || newSeconds <= 0) return "";
  if (newSeconds > oldSeconds * kLengthRatio)
    return Seconds(newSeconds) + ", more than twice the " + Seconds(oldSeconds) +
           " of the clip it replaces";
  if (newSeconds * kLengthRatio < oldSeconds)
    return Seconds(newSeconds) + ", less than half the " + Seconds(oldSeconds) +
           " of the clip it replaces";
  return "";
}

std::string ImportClip(const std::string& entryPath, const std::string& audioPath,
                       AudioSource& source, const ImportOptions& options) {
  RemoveLeftoverTemporaries(ExtractFilePath(entryPath));
  return ImportOne(entryPath, audioPath, source, options).note;
}

ImportOutcome ImportIntoEntry(const UnpackFolder& folder, const EntryTable& table, int row,
                              const std::string& audioPath, AudioSource& source,
                              const ImportOptions& options) {
  const std::string name(table.Cell(kColName, row));
  if (!IsPlainFileName(name)) throw AudioError("\"" + name + "\" is not a plain file name");
  RemoveLeftoverTemporaries(folder.path);
  return ImportOne(JoinPath(folder.path, name), audioPath, source, options,
                   [&] { return OriginalClips(folder, table.RowCount() - 1).Clip(row); });
}

ImportByNameResult ImportByName(const EntryStreams& folderStreams, const std::string& fromFolder,
                                AudioSource& source, const ImportOptions& options,
                                OperationHost& host) {
  // Listed by the file layer, which reaches folders past 260 characters on Windows too.
  if (!FolderExists(fromFolder)) throw FrameworkError(CannotOpenText(fromFolder, ENOENT));
  std::vector<std::string> paths;
  for (std::string& name : FolderNames(fromFolder))
    if (name[0] != '.' && FileExists(JoinPath(fromFolder, name)))
      paths.push_back(JoinPath(fromFolder, name));
  return ImportFilesByName(folderStreams, std::move(paths), source, options, host);
}

ImportByNameResult ImportFilesByName(const EntryStreams& folderStreams,
                                     std::vector<std::string> paths, AudioSource& source,
                                     const ImportOptions& options, OperationHost& host) {
  ImportByNameResult result;
  std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return ExtractFileName(a) < ExtractFileName(b);
  });

  std::map<std::string, int> rowOfStem;
  for (int row = folderStreams.Count(); row >= 1; --row)
    rowOfStem[Lowercase(RemoveFileExt(folderStreams.Name(row)))] = row;  // the first row wins
  // The files for each entry, to refuse ambiguous ones.
  std::map<int, std::vector<std::string>> filesOfRow;
  for (const std::string& path : paths) {
    const std::string name = ExtractFileName(path);
    auto found = rowOfStem.find(Lowercase(RemoveFileExt(name)));
    if (Lowercase(ExtractFileExt(name)) == ".asf")
      result.skipped.push_back({name, "a stream, not an audio file: copy it into the folder"});
    else if (found == rowOfStem.end())
      result.skipped.push_back({name, "its name matches no entry"});
    else
      filesOfRow[found->second].push_back(path);
  }

  RemoveLeftoverTemporaries(folderStreams.Folder());
  // The archive's clips, opened once, only when an entry file is missing or damaged.
  std::unique_ptr<OriginalClips> originals;
  host.SetProgressMin(0);
  host.SetProgressMax(static_cast<int>(filesOfRow.size()));
  MessagePump pump(host);
  int done = 0;
  ImportOptions each = options;
  if (!each.stop.stop_possible()) each.stop = host.StopToken();
  for (const auto& [row, files] : filesOfRow) {
    if (each.stop.stop_requested()) {
      result.cancelled = true;
      break;
    }
    host.SetProgressPosition(++done);
    pump.Poll();
    if (files.size() > 1) {
      std::string list;
      for (const std::string& file : files)
        list += (list.empty() ? "" : ", ") + ExtractFileName(file);
      for (const std::string& file : files)
        result.skipped.push_back({ExtractFileName(file),
                                  "several files for " + folderStreams.Name(row) + ": " + list,
                                  true});
      continue;
    }
    const std::string name = ExtractFileName(files[0]);
    try {
      const int entryRow = row;
      ImportOutcome outcome = ImportOne(folderStreams.EntryPath(row), files[0], source, each, [&] {
        if (!originals)
          originals = std::make_unique<OriginalClips>(UnpackFolder::ToRead(folderStreams.Folder()),
                                                      folderStreams.Count());
        return originals->Clip(entryRow);
      });
      if (!outcome.written && each.stop.stop_requested()) {
        result.cancelled = true;
        break;
      }
      if (outcome.written)
        result.imported.push_back({row, name, outcome.note, outcome.lengthWarning});
      else
        result.skipped.push_back({name, outcome.lengthWarning});
    } catch (const std::exception& failure) {
      result.skipped.push_back({name, failure.what(), true});
    }
  }
  host.SetProgressPosition(0);
  return result;
}

}  // namespace tessaly
