#include "cli/ArgumentPaths.h"
#include "cli/ClipTarget.h"
#include "cli/Commands.h"
#include "clips/ClipImport.h"
#include "media/AudioSources.h"

namespace tessaly::cli {

bool ImportReadsAnyFormat() {
  return kAudioThroughFfmpeg;
}

int ImportCommand(TerminalHost& host, const std::string& folder, const ClipArguments& arguments) {
  EntryTable table;
  if (!LoadUnpackFolderTable(host, folder, table)) return kExitFailure;
  EntryStreams streams = EntryStreams::InFolder(folder, table);
  std::unique_ptr<AudioSource> source = MakeAudioSource();
  ImportOptions options{.matchLoudness = arguments.matchLoudness, .quality = arguments.quality};

  if (!arguments.from.empty()) {
    const std::string from = DialogPath(arguments.from);
    ImportByNameResult result = ImportByName(streams, from, *source, options, host);
    for (const ImportedFile& imported : result.imported) {
      host.PrintResult("Imported " + imported.file + " into " + streams.Name(imported.row));
      if (!imported.note.empty()) host.PrintResult("  " + imported.note);
    }
    bool failed = false;
    for (const SkippedFile& skipped : result.skipped) {
      // Files that match no entry are reported but are no failure: a folder of recordings often
      // holds other files.
      if (skipped.failed) {
        host.ReportFailure("tessaly-cli: skipped " + skipped.file + ": " + skipped.reason);
        failed = true;
      } else {
        host.PrintResult("Skipped " + skipped.file + ": " + skipped.reason);
      }
    }
    host.PrintResult("Imported " + std::to_string(result.imported.size()) + " files, skipped " +
                     std::to_string(result.skipped.size()));
    return ExitStatusFor(!failed, host);
  }

  std::optional<int> row = FindEntryRow(table, arguments.entry);
  if (!row) {
    host.ReportFailure("tessaly-cli: no entry \"" + arguments.entry + "\" in " + folder +
                       " (give a row number from 1 to " + std::to_string(streams.Count()) +
                       " or an entry's name)");
    return kExitFailure;
  }
  const std::string audio = DialogPath(arguments.audioFile);
  std::string note = ImportClip(streams.EntryPath(*row), audio, *source, options);
  host.PrintResult("Imported " + audio + " into " + streams.EntryPath(*row));
  if (!note.empty()) host.PrintResult(note);
  return ExitStatusFor(true, host);
}

}  // namespace tessaly::cli
