// tessaly-cli: the window's Unpack and Pack commands, the listing on its own, and the clip verbs
// (info, export, import, status), for scripts.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "base/Console.h"
#include "base/Errors.h"
#include "cli/ArgumentPaths.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Mistakes.h"
#include "cli/Suggest.h"

namespace {

using tessaly::cli::ClipArguments;
using tessaly::cli::TerminalHost;

struct Verb {
  const char* name;
  const char* description;
  const char* argument;
  const char* argumentDescription;
};

constexpr const char* kArchive = "The index (.idx) or the data file (.big) of the pair";
constexpr const char* kArchiveOrFolder =
    "The index (.idx) or the data file (.big) of a pair, or a folder written by unpack";
constexpr const char* kFolder = "A folder written by unpack";

constexpr Verb kVerbs[] = {
    {"unpack", "Write every stream of an archive pair into a folder beside it (or in --to DIR)",
     "ARCHIVE", kArchive},
    {"pack", "Rebuild an archive pair from an unpacked folder, beside that folder (or in --to DIR)",
     "FOLDER", "A folder written by unpack, with some .asf files replaced"},
    {"list", "Print the entry table of an archive pair as TAB-separated lines; writes nothing",
     "ARCHIVE", kArchive},
    {"verify", "Check that an archive pair can be unpacked; writes nothing", "ARCHIVE", kArchive},
    {"info", "Print every clip's codec, channels, rate and duration; writes nothing",
     "ARCHIVE|FOLDER", kArchiveOrFolder},
    {"export", "Write clips as 16-bit WAV files", "ARCHIVE|FOLDER", kArchiveOrFolder},
    {"import", "Replace clips of an unpacked folder with audio files, converted to their format",
     "FOLDER", kFolder},
    {"status", "List the entries of an unpacked folder that differ from its pair, and problems",
     "FOLDER", kFolder},
};

}  // namespace

int main(int argc, char** argv) {
  tessaly::PrepareConsole(argc, argv);
  CLI::App app{"Unpacks and packs the commentary audio archives of a sports game.", "tessaly-cli"};
  app.set_version_flag("-V,--version", std::string("tessaly-cli ") + TESSALY_VERSION);
  app.require_subcommand(1);
  bool quiet = false;
  const char* quietHelp = "Draw no progress bar";
  app.add_flag("-q,--quiet", quiet, quietHelp);

  std::string path;
  ClipArguments clip;
  bool force = false;
  std::string loudness;
  std::map<std::string, CLI::App*> commands;
  for (const Verb& verb : kVerbs) {
    CLI::App* command = app.add_subcommand(verb.name, verb.description);
    command->add_option(verb.argument, path, verb.argumentDescription)->required();
    command->add_flag("-q,--quiet", quiet, quietHelp);
    commands[verb.name] = command;
  }
  const char* jsonHelp = "Print one JSON document instead of text (fields: man tessaly-cli)";
  for (const char* name : {"list", "info", "status", "verify"})
    commands[name]->add_flag("--json", tessaly::cli::JsonRequested(), jsonHelp);
  commands["pack"]->add_flag("--force", force,
                             "Pack even when replaced entries have problems (see status)");
  tessaly::cli::UnpackArguments unpacking;
  std::string packInto;
  commands["unpack"]
      ->add_option("--to", unpacking.into,
                   "The folder to write the unpack folder in, made when missing (default: beside "
                   "the archive)")
      ->type_name("DIR");
  commands["pack"]
      ->add_option("--to", packInto,
                   "The folder to write the new pair in, made when missing (default: beside "
                   "FOLDER)")
      ->type_name("DIR");
  CLI::Option* overwrite = commands["unpack"]->add_flag(
      "--overwrite", unpacking.overwrite,
      "Write over entry files changed since the folder was unpacked, without asking");
  CLI::Option* keepChanged = commands["unpack"]->add_flag(
      "--keep-changed", unpacking.keepChanged,
      "Keep entry files changed since the folder was unpacked as they are; write the rest");
  overwrite->excludes(keepChanged);
  commands["export"]->add_option(
      "--entries", clip.entries,
      "Numbers, ranges and names: 3,10-20,speech_00042.asf (default: all)");
  commands["export"]
      ->add_option("--to", clip.to,
                   "The folder for the WAV files, or - to write one entry's WAV to the "
                   "standard output")
      ->required();
  CLI::App* import = commands["import"];
  import->add_option("ENTRY", clip.entry, "The entry to replace: its row number or its name");
  import->add_option("AUDIOFILE", clip.audioFile,
                     tessaly::cli::ImportReadsAnyFormat()
                         ? "The audio file to put in its place"
                         : "The WAV file to put in its place, at the clip's sample rate");
  import->add_option("--from", clip.from,
                     "Replace every entry whose name matches a file in this folder "
                     "(speech_00042.wav for speech_00042.asf)");
  import
      ->add_option("--loudness", loudness,
                   tessaly::cli::ImportReadsAnyFormat()
                       ? "match: bring each file to the loudness of the clip it replaces"
                       : "match: bring each file to the loudness of the clip it replaces (needs "
                         "the build with FFmpeg, refused by this one)")
      ->check(CLI::IsMember({"match"}));
  std::string quality = "clip";
  import
      ->add_option("--quality", quality,
                   "XA r2/r3 escape frames where they pay, up to 5 % above plain ADPCM: clip: no "
                   "more bytes per second than the clip replaced (default); best: even above "
                   "it; plain: none")
      ->check(CLI::IsMember({"clip", "best", "plain"}));

  // A mistyped verb or option, or `help`: say what was meant instead of CLI11's general message.
  if (auto suggestion = tessaly::cli::CheckWords(app, argc, argv)) {
    if (suggestion->wantsHelp) {
      std::fputs(app.help().c_str(), stdout);
      return tessaly::cli::kExitSuccess;
    }
    std::fprintf(stderr, "%s\n", suggestion->message.c_str());
    return tessaly::cli::kExitUsage;
  }
  try {
    app.parse(argc, argv);
    // An empty argument names no file or folder: a usage error, as a missing one is.
    for (int i = 1; i < argc; ++i)
      if (argv[i][0] == '\0')
        throw CLI::ValidationError("an empty argument names no file or folder");
    if (import->parsed()) {
      bool single = !clip.entry.empty() || !clip.audioFile.empty();
      if (single == !clip.from.empty() || (single && clip.audioFile.empty()))
        throw CLI::ValidationError("import", "give either ENTRY and AUDIOFILE, or --from DIR");
    }
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? tessaly::cli::kExitSuccess : tessaly::cli::kExitUsage;
  }
  clip.matchLoudness = loudness == "match";
  clip.quality = quality == "best"    ? tessaly::EncodeQuality::kBest
                 : quality == "plain" ? tessaly::EncodeQuality::kPlain
                                      : tessaly::EncodeQuality::kClipRate;

  const std::string chosen = app.get_subcommands().front()->get_name();
  // Each path argument made absolute; a mistake in one is a usage error, said in words.
  auto absolute = [](std::string& argument) {
    try {
      argument = tessaly::cli::DialogPath(argument);
      return true;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tessaly-cli: \"%s\" can't be used as a path: %s\n", argument.c_str(),
                   e.what());
      return false;
    }
  };
  auto mistaken = [](const std::optional<std::string>& mistake) {
    if (mistake) std::fprintf(stderr, "%s\n", mistake->c_str());
    return mistake.has_value();
  };
  std::string given = path;
  // A file of the wrong kind: say what it is and what to type instead.
  if (!absolute(given) || mistaken(tessaly::cli::MistakeIn(chosen, given)))
    return tessaly::cli::kExitUsage;
  // unpack and pack --to: a folder to write in.
  for (std::string* into : {&unpacking.into, &packInto})
    if (!into->empty() && (mistaken(tessaly::cli::MistakeInTo(chosen, *into)) || !absolute(*into)))
      return tessaly::cli::kExitUsage;
  TerminalHost host(!quiet && tessaly::IsTerminal(stderr));
  using namespace tessaly::cli;
  const std::map<std::string, std::function<int()>> run = {
      {"unpack", [&] { return UnpackCommand(host, given, unpacking); }},
      {"pack", [&] { return PackCommand(host, given, force, packInto); }},
      {"list", [&] { return ListCommand(host, given); }},
      {"verify", [&] { return VerifyCommand(host, given); }},
      {"info", [&] { return InfoCommand(host, given); }},
      {"export", [&] { return ExportCommand(host, given, clip); }},
      {"import", [&] { return ImportCommand(host, given, clip); }},
      {"status", [&] { return StatusCommand(host, given); }},
  };
  int status = kExitFailure;
  try {
    status = run.at(chosen)();
  } catch (const std::exception& e) {
    // Framework errors and anything else that ends an operation: the error box's text.
    host.ReportFailure(tessaly::DisplayText(e.what()));
    status = kExitFailure;
  }
  // Output that never arrived (a full disk, a closed pipe) is a failure, not a success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    host.ReportFailure("tessaly-cli: can't write the standard output");
    status = kExitFailure;
  }
  return status;
}
