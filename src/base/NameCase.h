// Game files copied from systems whose file names ignore case often arrive upper-case, while the
// names the operations derive are spelt as the original tool spelt them.
#pragma once

#include <string>

namespace tessaly {

// `path` when a file exists there; otherwise the one file in the same folder whose name equals
// its name ignoring the case of ASCII letters; `path` unchanged when there is none or several.
std::string MatchNameCase(const std::string& path);

// Whether `a` and `b` are equal ignoring the case of ASCII letters.
bool EqualIgnoringCase(const std::string& a, const std::string& b);

}  // namespace tessaly
