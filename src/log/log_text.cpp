#include "log/log_text.h"

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
