// Command-line paths turned into the full paths the window's dialogs give, so that a verb works on
// the same path its window command would.
#pragma once

#include <string>

namespace tessaly::cli {

// An absolute path for `argument`: a relative one is resolved against the current folder, "." and
// ".." parts are folded, and a trailing separator is dropped (except for the root itself).
// Symbolic links are kept as written.
std::string DialogPath(const std::string& argument);

}  // namespace tessaly::cli
