// How a pack or an unpack takes its folder: alone, and with whatever an interrupted run left
// there finished or cleared first.
#pragma once

#include <string>
#include <vector>

#include "base/FolderLock.h"

namespace tessaly {

// The exclusive lock of `folder` for a pack or an unpack. Another one using it is waited for
// briefly; throws FrameworkError (the folder is busy) when it still runs then.
FolderLock TakeFolder(const std::string& folder);

// Finishes the commit an interrupted run left at `recordPath` and removes the temporaries of
// `outputs` that no running process writes. Waits while another process commits there.
void CleanUpInterrupted(const std::string& recordPath, const std::vector<std::string>& outputs);

}  // namespace tessaly
