// Runs the built tessaly-cli in a chosen folder and captures its output and exit status.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#ifdef _WIN32
#include "cli/WindowsProcess.h"
#endif

namespace tessaly::testing {

struct CliRun {
  int status = -1;  // the exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Standard output and error go to files in a scratch folder, or standard output to
// `stdoutPath` when one is given; standard input is /dev/null.
inline CliRun RunCli(const std::vector<std::string>& args, const std::string& workingFolder,
                     const std::string& stdoutPath = "") {
  TempFolder scratch;
  const std::string outPath = stdoutPath.empty() ? scratch / "out" : stdoutPath;
  const std::string errPath = scratch / "err";
  std::vector<std::string> argv{TESSALY_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
#ifdef _WIN32
  CliRun run;
  run.status = RunProcess(argv, workingFolder, outPath, errPath);
#else
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(workingFolder.c_str()) != 0 || !std::freopen("/dev/null", "r", stdin) ||
        !std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr))
      ::_exit(127);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  int wait = 0;
  CliRun run;
  if (child > 0 && ::waitpid(child, &wait, 0) == child && WIFEXITED(wait))
    run.status = WEXITSTATUS(wait);
#endif
  if (stdoutPath.empty()) run.out = ReadBytes(outPath);
  run.err = ReadBytes(errPath);
  return run;
}

}  // namespace tessaly::testing

namespace tessaly::testing {

// Every file under `root`, by its path relative to `root`, with its bytes; folders as "name/".
inline std::map<std::string, std::string> FolderSnapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string name = std::filesystem::relative(entry.path(), root).string();
    if (entry.is_directory())
      files[name + "/"] = "";
    else
      files[name] = ReadBytes(entry.path().string());
  }
  return files;
}

}  // namespace tessaly::testing
