#include "log/log_entry.h"

#include <cctype>

std::string errorEntry(const char *context, const std::string &message) {
  std::string entry;
  if (context)
    entry = std::string(context) + "\n";
  size_t end = message.find_last_not_of(" \t\r\n");
  if (end != std::string::npos)
    entry += "  " + message.substr(0, end + 1) + "\n";
  return entry;
}

std::string fileText(const std::string &entry) {
  std::string text;
  text.reserve(entry.size() + entry.size() / 16);
  for (size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '\n' && (i == 0 || entry[i - 1] != '\r'))
      text += '\r';
    text += entry[i];
  }
  return text;
}

std::string eventText(const std::string &entry) {
  size_t end = entry.find_last_not_of("\r\n");
  return end == std::string::npos ? std::string() : fileText(entry.substr(0, end + 1));
}

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
