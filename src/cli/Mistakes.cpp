#include "cli/Mistakes.h"

#include <cstring>

#include "base/Files.h"
#include "base/NameCase.h"
#include "base/Paths.h"
#include "cli/Suggest.h"

namespace tessaly::cli {

namespace {

bool HasExtension(const std::string& path, const char* ext) {
  return EqualIgnoringCase(ExtractFileExt(path), ext);
}

// The first four bytes name a WAV file ("RIFF").
bool IsWavFile(const std::string& path) {
  try {
    File file = File::OpenRead(path);
    char tag[4] = {};
    return file.ReadAt(0, tag, sizeof tag) == sizeof tag && std::memcmp(tag, "RIFF", 4) == 0;
  } catch (...) {
    return false;
  }
}

}  // namespace

bool IsClipFileName(const std::string& path) {
  return HasExtension(path, ".asf");
}

std::optional<std::string> MistakeIn(const std::string& verb, const std::string& path) {
  const bool wantsArchive = verb == "unpack" || verb == "list" || verb == "verify";
  const bool wantsFolder = verb == "pack" || verb == "status" || verb == "import";
  const std::string prefix = "tessaly-cli: " + SingleQuoted(path);

  if (FolderExists(path)) {
    if (!wantsArchive) return std::nullopt;
    return prefix + " is a folder: " + verb +
           " takes an archive's index (.idx) or data file (.big). A folder that unpack wrote is "
           "packed with 'tessaly-cli pack " +
           ExtractFileName(path) + "'.";
  }
  if (!FileExists(path)) return std::nullopt;

  if (IsWavFile(path))
    return prefix +
           " is a WAV file, not an archive's index (.idx) or data file (.big). To put a "
           "recording in the place of a clip, unpack the archive and use 'tessaly-cli "
           "import FOLDER ENTRY " +
           ExtractFileName(path) + "'.";
  if (wantsArchive && IsClipFileName(path))
    return prefix + " is a single clip, not an archive: " + verb +
           " takes the pair's index (.idx) or data file (.big). 'tessaly-cli info' and "
           "'tessaly-cli export' take a single .asf file.";
  if (wantsFolder) {
    std::string message = prefix + " is a file: " + verb + " takes the folder that unpack wrote";
    if (HasExtension(path, ".idx") || HasExtension(path, ".big")) {
      const std::string folder = RemoveFileExt(path) + "_";
      message += FolderExists(folder)
                     ? ": 'tessaly-cli " + verb + " " + ExtractFileName(folder) + "'."
                     : ". Unpack the archive first: 'tessaly-cli unpack " + ExtractFileName(path) +
                           "' writes " + ExtractFileName(folder) + ".";
    } else {
      message += " (name_ beside the archive).";
    }
    return message;
  }
  return std::nullopt;
}

std::optional<std::string> MistakeInTo(const std::string& verb, const std::string& folder) {
  const std::string writes = verb == "unpack" ? "the unpack folder" : "the new pair";
  if (folder == "-")
    return "tessaly-cli: " + verb + " --to takes a folder to write " + writes +
           " in; '-' (the standard output) serves only export's single WAV file.";
  if (FileExists(folder))
    return "tessaly-cli: " + SingleQuoted(folder) + " is a file: " + verb +
           " --to takes a folder to write " + writes + " in (made when missing).";
  return std::nullopt;
}

}  // namespace tessaly::cli
