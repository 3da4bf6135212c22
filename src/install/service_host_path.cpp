#include "install/service_host_path.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string programOfBinaryPath(const std::string &binaryPath) {
  if (!binaryPath.empty() && binaryPath[0] == '"')
    return binaryPath.substr(1, binaryPath.find('"', 1) - 1);
  // Unquoted, the first ".exe" followed by a blank or the end closes the
  // program; a path without one is the program as a whole.
  std::string lower = lowerCase(binaryPath);
  for (size_t at = lower.find(".exe"); at != std::string::npos; at = lower.find(".exe", at + 1)) {
    size_t end = at + 4;
    if (end == lower.size() || lower[end] == ' ' || lower[end] == '\t')
      return binaryPath.substr(0, end);
  }
  return binaryPath;
}

} // namespace

bool isHostedByServiceHost(const std::string &binaryPath) {
  static const std::string kHostName = "\\srvany.exe";
  std::string program = lowerCase(programOfBinaryPath(binaryPath));
  return program.size() >= kHostName.size() &&
         program.compare(program.size() - kHostName.size(), kHostName.size(), kHostName) == 0;
}
