#include "base/Console.h"

#include <unistd.h>

namespace tessaly {

void PrepareConsole(int&, char**&) {}

bool IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) == 1;
}

}  // namespace tessaly
