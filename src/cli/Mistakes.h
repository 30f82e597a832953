// Plain-words answers to the mistakes people make when they name a file on the command line: a
// WAV file or a single clip given where an archive is wanted, an archive where the unpacked folder
// is wanted, a folder where a file is. Each says which file it is and what to type instead.
#pragma once

#include <optional>
#include <string>

namespace tessaly::cli {

// True for a path whose extension is ".asf" (any case).
bool IsClipFileName(const std::string& path);

// The message for `verb` given `path` (as the dialogs give it: absolute), or nothing when the
// path is of the kind the verb takes or doesn't exist (the verb's own message says so then).
std::optional<std::string> MistakeIn(const std::string& verb, const std::string& path);

// The message for `verb` --to `folder` (as typed) when it can't name a folder to write in: "-"
// (standard output) or an existing file.
std::optional<std::string> MistakeInTo(const std::string& verb, const std::string& folder);

}  // namespace tessaly::cli
