#include "log/log_entry.h"

#include "common/system_numbers.h"
#include "common/text.h"

std::uint16_t eventType(LogKind kind) {
  switch (kind) {
  case LogKind::Error:
    return events::kErrorType;
  case LogKind::Warning:
    return events::kWarningType;
  default:
    return events::kInformationType;
  }
}

std::string errorEntry(const char *context, const std::string &message) {
  std::string entry;
  if (context)
    entry = std::string(context) + "\n";
  if (std::string text = withoutTrailingSpace(message); !text.empty())
    entry += "  " + text + "\n";
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

std::string eventDigest(const std::vector<std::string> &lines, std::size_t shown,
                        const std::string &what, const std::string &where) {
  if (lines.size() == 1)
    return lines.front();
  std::string text = std::to_string(lines.size()) + " " + what;
  text += lines.size() > shown ? ", the first " + std::to_string(shown) + " (all in " + where + "):"
                               : ":";
  for (std::size_t i = 0; i < lines.size() && i < shown; ++i)
    text += "\n" + lines[i];
  return text;
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
  if (!sameName(target, path))
    return "it leads to " + target;
  return "";
}

Rotation rotationFor(std::int64_t size, std::int64_t limit, bool oldUsable, bool moveFailed) {
  if (size <= limit)
    return Rotation::None;
  if (!oldUsable)
    return Rotation::Empty;
  return moveFailed ? Rotation::CopyAndEmpty : Rotation::Move;
}

std::optional<std::int64_t> cutBackTo(std::int64_t before, std::int64_t after, std::size_t bytes) {
  if (after <= before || after - before > static_cast<std::int64_t>(bytes))
    return std::nullopt;
  return before;
}

std::string lossNotice(const std::string &path, unsigned long count, const std::string &from,
                       const std::string &to, const std::string &why) {
  return std::to_string(count) + (count == 1 ? " entry" : " entries") + " not written to " + path +
         " from " + from + " to " + to + ": " + why;
}
