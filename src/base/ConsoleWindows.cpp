#include <fcntl.h>
#include <io.h>
#include <windows.h>
// <windows.h> comes first: shellapi.h needs its types.
#include <shellapi.h>

#include <string>
#include <vector>

#include "base/Console.h"

namespace tessaly {

namespace {

std::string Narrow(const wchar_t* text) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string narrow(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  narrow.pop_back();  // the terminating NUL
  return narrow;
}

}  // namespace

void PrepareConsole(int& argc, char**& argv) {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);

  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return;  // keep the arguments as the runtime gave them
  static std::vector<std::string> arguments;
  static std::vector<char*> pointers;
  arguments.clear();
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  pointers.clear();
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  argc = count;
  argv = pointers.data();
}

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

}  // namespace tessaly
