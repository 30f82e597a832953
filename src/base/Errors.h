// Errors that end a running operation and are shown in the framework's own error box.
#pragma once

#include <stdexcept>
#include <string>

namespace tessaly {

// A failure below the operations: a file that can't be opened, created, read or written, a cell
// text that is not a valid number. Its text is the one shown to the user, before DisplayText.
class FrameworkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text as the error box shows it: a "." is appended when the last character sorts after
// "." (a letter or a digit, for instance).
std::string DisplayText(const std::string& text);

// The program's title for a given executable path: the file name without its folder, cut at its
// first ".", the first letter in upper case and every later one in lower case ("tessaly" ->
// "Tessaly").
std::string ProgramTitle(const std::string& executablePath);

}  // namespace tessaly
