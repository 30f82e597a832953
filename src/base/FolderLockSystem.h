// What FolderLock asks of each system (FolderLock.cpp for POSIX, FolderLockWindows.cpp): a
// descriptor to lock for a folder and one attempt at locking it. Waiting and ownership are shared
// (FolderLockBasics.cpp).
#pragma once

#include <string>

namespace tessaly::folder_lock {

// A descriptor whose lock stands for the folder at `path` ("" is the current folder); -1 when
// there is none to be had.
int Open(const std::string& path);

enum class Attempt { Locked, Busy, Failed };
// One try at the exclusive lock, without waiting.
Attempt TryLock(int fd);

// Closes the descriptor, which gives up its lock.
void Close(int fd) noexcept;

}  // namespace tessaly::folder_lock
