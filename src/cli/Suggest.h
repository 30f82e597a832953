// "Did you mean": the known word nearest to a mistyped one, and the checks that turn a mistyped
// verb, `help` or an unknown option into a message that says what to type instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace tessaly::cli {

// The candidate nearest to `word` by edit distance (a swap of neighbours counting one), when it
// is near enough to be a typing slip (at most a third of its length, at least 1), else "".
std::string NearestWord(std::string_view word, const std::vector<std::string>& candidates);

// A word as these messages quote it: 'word'.
std::string SingleQuoted(std::string_view word);

// What to answer before parsing, for a command line CLI11 would only reject: a first word that is
// no verb (`unpak`, `help`) or an option the chosen verb doesn't have (`--bogus`). Empty when the
// command line has neither; `help` alone gives the help text with `wantsHelp` set.
struct Suggestion {
  std::string message;
  bool wantsHelp = false;
};
std::optional<Suggestion> CheckWords(const CLI::App& app, int argc, const char* const* argv);

}  // namespace tessaly::cli
