// The verbs of tessaly-cli. Each runs one command of the window through the core with the
// terminal host and returns the process's exit status. Framework errors propagate to the caller.
#pragma once

#include "cli/TerminalHost.h"

namespace tessaly::cli {

enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,  // any failure: a message, a framework error, a silent stop
  kExitUsage = 2,
};

// Success only when the command reached its good end and nothing failed on the way.
inline int ExitStatusFor(bool reachedGoodEnd, const TerminalHost& host) {
  return reachedGoodEnd && !host.FailureReported() ? kExitSuccess : kExitFailure;
}

// The Unpack command on the archive that the host's dialog answer names.
int UnpackCommand(TerminalHost& host);
// The Pack command on the folder that the host's dialog answer names.
int PackCommand(TerminalHost& host);
// The listing alone: the table as TAB-separated lines, a blank line, then the status texts.
int ListCommand(TerminalHost& host);
// The listing and Unpack's size check, writing nothing: whether the pair is consistent, the
// entry count and the data file's size.
int VerifyCommand(TerminalHost& host);

}  // namespace tessaly::cli
