#include "cli/Suggest.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>

namespace tessaly::cli {

namespace {

// Optimal string alignment distance: insertions, deletions, substitutions and swaps of two
// neighbouring characters each cost one.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

// Every spelling of the options a (sub)command takes: "--to", "-q", "--quiet", ...
std::vector<std::string> OptionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

}  // namespace

std::string SingleQuoted(std::string_view word) {
  return "'" + std::string(word) + "'";
}

std::string NearestWord(std::string_view word, const std::vector<std::string>& candidates) {
  // A word that differs in case only (-v for -V) is the one meant.
  auto lower = [](std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
  };
  for (const std::string& candidate : candidates)
    if (lower(candidate) == lower(word)) return candidate;
  // A word cut short (--keep for --keep-changed) means the one candidate it begins.
  const std::string* begun = nullptr;
  for (const std::string& candidate : candidates)
    if (word.size() >= 3 && candidate.starts_with(word)) {
      if (begun) {
        begun = nullptr;
        break;
      }
      begun = &candidate;
    }
  if (begun) return *begun;
  const size_t allowed = std::max<size_t>(1, word.size() / 3);
  std::string best;
  size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::optional<Suggestion> CheckWords(const CLI::App& app, int argc, const char* const* argv) {
  std::vector<std::string> verbs;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
    verbs.push_back(command->get_name());
  const std::vector<std::string> topOptions = OptionNames(app);

  const CLI::App* verb = nullptr;
  bool afterDashes = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (afterDashes) continue;
    if (arg == "--") {
      afterDashes = true;
      continue;
    }
    const bool isOption = arg.size() > 1 && arg[0] == '-';
    if (isOption) {
      std::string_view name = arg.substr(0, arg.find('='));
      const std::vector<std::string> known = verb ? OptionNames(*verb) : topOptions;
      if (std::find(known.begin(), known.end(), name) != known.end() ||
          std::find(topOptions.begin(), topOptions.end(), name) != topOptions.end())
        continue;
      std::string message = "tessaly-cli: " + SingleQuoted(name) + " is not an option" +
                            (verb ? " of " + verb->get_name() : std::string()) + ".";
      if (std::string near = NearestWord(name, known); !near.empty()) {
        message += " Did you mean " + SingleQuoted(near) + "?";
      } else {
        message += " The options are:";
        for (const std::string& option : known) message += " " + option;
        message += ".";
      }
      message += "\nRun 'tessaly-cli " + (verb ? verb->get_name() + " " : std::string()) +
                 "--help' for the options.";
      return Suggestion{message};
    }
    if (verb) continue;
    if (std::find(verbs.begin(), verbs.end(), arg) != verbs.end()) {
      verb = app.get_subcommand(std::string(arg));
      continue;
    }
    if (arg == "help") return Suggestion{"", true};
    std::string message = "tessaly-cli: " + SingleQuoted(arg) + " is not a command.";
    if (std::string near = NearestWord(arg, verbs); !near.empty())
      message += " Did you mean " + SingleQuoted(near) + "?";
    else {
      message += " The commands are:";
      for (const std::string& name : verbs) message += " " + name;
      message += ".";
    }
    message += "\nRun 'tessaly-cli --help' for what each does.";
    return Suggestion{message};
  }
  return std::nullopt;
}

}  // namespace tessaly::cli
