// Runs the built tessaly-cli in a chosen folder and captures its output and exit status.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#ifdef _WIN32
#include "cli/WindowsProcess.h"
#endif

namespace tessaly::testing {

// The program under test: the one built beside these tests, or the one TESSALY_CLI_WAV names in
// the environment, a command line built without FFmpeg (ctest runs these tests a second time
// against it).
inline const char* CliWithoutMedia() {
  const char* path = std::getenv("TESSALY_CLI_WAV");
  return path && *path ? path : nullptr;
}

inline std::string CliPath() {
  return CliWithoutMedia() ? CliWithoutMedia() : TESSALY_CLI_PATH;
}

// Whether the program under test reads other formats through FFmpeg.
inline bool CliHasMedia() {
#ifdef TESSALY_HAS_MEDIA
  return !CliWithoutMedia();
#else
  return false;
#endif
}

struct CliRun {
  int status = -1;  // the exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

#ifndef _WIN32
// Starts tessaly-cli with `args` in `workingFolder`, standard input /dev/null and its output
// written to `outPath` and `errPath`; returns its process id (-1 when it could not start).
inline pid_t StartCli(const std::vector<std::string>& args, const std::string& workingFolder,
                      const std::string& outPath = "/dev/null",
                      const std::string& errPath = "/dev/null") {
  std::vector<std::string> argv{CliPath()};
  argv.insert(argv.end(), args.begin(), args.end());
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
  return child;
}
#endif

// Standard output and error go to files in a scratch folder, or standard output to
// `stdoutPath` when one is given; standard input is /dev/null.
inline CliRun RunCli(const std::vector<std::string>& args, const std::string& workingFolder,
                     const std::string& stdoutPath = "") {
  TempFolder scratch;
  const std::string outPath = stdoutPath.empty() ? scratch / "out" : stdoutPath;
  const std::string errPath = scratch / "err";
#ifdef _WIN32
  std::vector<std::string> argv{CliPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  CliRun run;
  run.status = RunProcess(argv, workingFolder, outPath, errPath);
#else
  pid_t child = StartCli(args, workingFolder, outPath, errPath);
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
