// How a pack or an unpack takes its folder: alone, and with whatever an interrupted run left
// there finished or cleared first.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/FolderLock.h"

namespace tessaly {

// The exclusive lock of `folder` for a pack or an unpack. Another one using it is waited for
// briefly; throws FrameworkError (the folder is busy) when it still runs then.
FolderLock TakeFolder(const std::string& folder);

// Finishes the commit an interrupted pack or unpack of `folder` left beside it and removes the
// temporaries of `outputs` that no running process writes. Waits while another process commits
// there. A record naming other files than the folder's pair is left alone: the text saying so
// is returned, for the command to show.
std::optional<std::string> CleanUpInterrupted(const std::string& folder,
                                              const std::vector<std::string>& outputs);

}  // namespace tessaly
