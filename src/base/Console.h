// The command line's standard streams and arguments, the same on every system: streams carry
// bytes unchanged and arguments arrive as UTF-8.
#pragma once

#include <cstdio>

namespace tessaly {

// Call first thing in main. On Windows: binary standard streams (no "\r" added before "\n"),
// UTF-8 output on a console, and `argv` replaced by the arguments as UTF-8 (the system keeps them
// as UTF-16). Elsewhere nothing changes.
void PrepareConsole(int& argc, char**& argv);

// True when `stream` writes to a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace tessaly
