// Runs a program on Windows the way fork and exec do on POSIX for the command-line tests.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tessaly::testing {

inline std::wstring WideText(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end())).wstring();
}

// One argument as the C runtime's command-line parser reads it back.
inline std::wstring QuotedArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// Runs `argv` in `workingFolder` with standard input empty and the outputs in the two files;
// the exit status, or -1 when the process could not be run.
inline int RunProcess(const std::vector<std::string>& argv, const std::string& workingFolder,
                      const std::string& outPath, const std::string& errPath) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  auto open = [&](const std::string& path, DWORD access, DWORD disposition) {
    return ::CreateFileW(WideText(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE in = open("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = open(outPath, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = open(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  std::wstring commandLine;
  for (const std::string& argument : argv)
    commandLine += (commandLine.empty() ? L"" : L" ") + QuotedArgument(WideText(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  int status = -1;
  if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       WideText(workingFolder).c_str(), &startup, &process)) {
    DWORD code = 0;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    if (::GetExitCodeProcess(process.hProcess, &code)) status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (HANDLE handle : {in, out, err})
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  return status;
}

}  // namespace tessaly::testing
