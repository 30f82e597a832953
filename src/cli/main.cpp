// tessaly-cli: the window's Unpack and Pack commands, and the listing on its own, for scripts.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

#include "base/Errors.h"
#include "cli/ArgumentPaths.h"
#include "cli/Commands.h"

namespace {

using tessaly::cli::TerminalHost;

struct Verb {
  const char* name;
  const char* description;
  const char* argument;
  const char* argumentDescription;
  int (*run)(TerminalHost&);
};

constexpr Verb kVerbs[] = {
    {"unpack", "Write every stream of an archive pair into a folder beside it", "ARCHIVE",
     "The index (.idx) or the data file (.big) of the pair", tessaly::cli::UnpackCommand},
    {"pack", "Rebuild an archive pair from an unpacked folder, beside that folder", "FOLDER",
     "A folder written by unpack, with some .asf files replaced", tessaly::cli::PackCommand},
    {"list", "Print the entry table of an archive pair as TAB-separated lines; writes nothing",
     "ARCHIVE", "The index (.idx) or the data file (.big) of the pair", tessaly::cli::ListCommand},
    {"verify", "Check that an archive pair can be unpacked; writes nothing", "ARCHIVE",
     "The index (.idx) or the data file (.big) of the pair", tessaly::cli::VerifyCommand},
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Unpacks and packs the commentary audio archives of a sports game.", "tessaly-cli"};
  app.set_version_flag("--version", std::string("tessaly-cli ") + TESSALY_VERSION);
  app.require_subcommand(1);
  bool quiet = false;
  const char* quietHelp = "Draw no progress bar";
  app.add_flag("-q,--quiet", quiet, quietHelp);

  std::string path;
  for (const Verb& verb : kVerbs) {
    CLI::App* command = app.add_subcommand(verb.name, verb.description);
    command->add_option(verb.argument, path, verb.argumentDescription)->required();
    command->add_flag("-q,--quiet", quiet, quietHelp);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? tessaly::cli::kExitSuccess : tessaly::cli::kExitUsage;
  }

  const std::string chosen = app.get_subcommands().front()->get_name();
  TerminalHost host(tessaly::cli::DialogPath(path), !quiet && isatty(STDERR_FILENO));
  int status = tessaly::cli::kExitFailure;
  try {
    for (const Verb& verb : kVerbs)
      if (chosen == verb.name) status = verb.run(host);
  } catch (const std::exception& e) {
    // Framework errors and anything else that ends an operation: the error box's text.
    host.ReportFailure(tessaly::DisplayText(e.what()));
  }
  // Output that never arrived (a full disk, a closed pipe) is a failure, not a success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    host.ReportFailure("tessaly-cli: can't write the standard output");
    status = tessaly::cli::kExitFailure;
  }
  return status;
}
