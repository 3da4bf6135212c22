#include "log/log_target.h"

#include <cctype>

namespace {

// "\\?\C:\x" as "C:\x", "\\?\UNC\host\share" as "\\host\share".
std::string withoutPrefix(const std::string &path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0)
    return "\\\\" + path.substr(8);
  if (path.rfind("\\\\?\\", 0) == 0)
    return path.substr(4);
  return path;
}

bool samePath(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

} // namespace

std::string unusableReason(const std::string &path, const OpenedFile &file) {
  if (file.directory)
    return "it is a folder";
  if (file.reparsePoint)
    return "it is a link";
  if (file.links > 1)
    return "it has " + std::to_string(file.links) + " hard links";
  if (file.finalPath.empty())
    return "its final path is unknown";
  std::string target = withoutPrefix(file.finalPath);
  if (!samePath(target, path))
    return "it leads to " + target;
  return "";
}
