#include "base/Errors.h"

#include <cctype>

namespace tessaly {

std::string DisplayText(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

std::string ProgramTitle(const std::string& executablePath) {
  std::string name = executablePath;
  if (auto slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
  if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  for (size_t i = 1; i < name.size(); ++i)
    name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
  return name;
}

}  // namespace tessaly
