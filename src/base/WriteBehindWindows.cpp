// Windows has no request to start writing a file's range to the device: no thread is started,
// and the final Sync does all the work.
#include "base/WriteBehind.h"

namespace tessaly {

WriteBehind::WriteBehind(const File&) {}

void WriteBehind::WrittenUpTo(uint64_t) {}

void WriteBehind::Run(const std::stop_token&) {}

}  // namespace tessaly
