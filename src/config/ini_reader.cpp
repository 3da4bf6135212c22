#include "config/ini_reader.h"

#include "common/unique_handle.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <vector>

namespace {

// The profile functions cut an answer that does not fit their buffer and
// then return its size less cutMargin: read again with twice the room until
// the answer fits, so nothing is lost whatever its length.
template <typename Read> std::string readWhole(Read read, DWORD cutMargin) {
  std::vector<char> buffer(2048);
  for (;;) {
    DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length + cutMargin < buffer.size() || buffer.size() >= (1u << 24))
      return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// A list of strings, each ended by a null character.
std::vector<std::string> splitList(const std::string &list) {
  std::vector<std::string> items;
  for (size_t at = 0; at < list.size() && list[at];) {
    size_t end = list.find('\0', at);
    if (end == std::string::npos)
      end = list.size();
    items.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  return items;
}

std::wstring wide(const std::string &text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
  out.resize(out.size() - 1);
  return out;
}

// text in the system code page, as the ANSI profile functions give it;
// false when a character has no place there, or the conversion failed,
// and the functions know the text by another one (out then has "?" for
// every character outside ASCII).
bool narrowed(const wchar_t *text, int count, std::string &out) {
  const UINT codePage = GetACP();
  const DWORD flags = narrowingFlags(codePage);
  int n = WideCharToMultiByte(codePage, flags, text, count, nullptr, 0, nullptr, nullptr);
  out.assign(n > 0 ? n : 0, '\0');
  if (n > 0 &&
      WideCharToMultiByte(codePage, flags, text, count, out.data(), n, nullptr, nullptr) == n) {
    std::wstring back(count, L'\0');
    if (MultiByteToWideChar(codePage, 0, out.data(), n, back.data(), count) == count &&
        back.compare(0, count, text, count) == 0)
      return true;
  }
  out.clear();
  for (int i = 0; i < count; ++i)
    out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return count == 0;
}

// The section names in the system code page, each marked when a character
// of the file's name has no place in it. Read through the wide function,
// since the ANSI one turns such characters into "?" without a word.
std::vector<IniSection> sectionNames(const std::string &path) {
  std::wstring widePath = wide(path);
  std::vector<wchar_t> buffer(2048);
  for (;;) {
    DWORD length = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()),
                                                  widePath.c_str());
    if (length + 2 < buffer.size() || buffer.size() >= (1u << 24)) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  std::vector<IniSection> sections;
  for (size_t at = 0; at < buffer.size() && buffer[at];) {
    size_t end = at;
    while (end < buffer.size() && buffer[end])
      ++end;
    IniSection &section = sections.emplace_back();
    section.nameLost = !narrowed(&buffer[at], static_cast<int>(end - at), section.name);
    at = end + 1;
  }
  return sections;
}

// One call per section: a profile function may read the whole file at
// every call, so a value at a time is far slower on a large file.
void readSection(const std::string &path, IniSection &section) {
  addSectionLines(section, splitList(readWhole(
                               [&](char *buffer, DWORD size) {
                                 return GetPrivateProfileSectionA(section.name.c_str(), buffer,
                                                                  size, path.c_str());
                               },
                               2)));
}

// The file's size, last-write time and bytes, read with the reading
// shared with any other program, as the profile functions share it. Sets
// state and the reason it cannot be read.
FileSnapshot snapshot(IniFile &file) {
  FileSnapshot taken;
  DWORD attributes = GetFileAttributesA(file.path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    file.state = IniFile::State::Missing;
    return taken;
  }
  UniqueKernelHandle handle(CreateFileA(file.path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD error = ERROR_SUCCESS;
  if (!handle || !GetFileInformationByHandle(handle.get(), &info)) {
    error = GetLastError();
  } else {
    taken.exists = true;
    taken.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    taken.writeTime = (std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                      info.ftLastWriteTime.dwLowDateTime;
    std::vector<char> chunk(65536);
    for (DWORD got = 0;; taken.bytes.append(chunk.data(), got)) {
      if (!ReadFile(handle.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
        error = GetLastError();
        break;
      }
      if (got == 0)
        break;
    }
  }
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    file.state = IniFile::State::Missing;
  } else if (error != ERROR_SUCCESS) {
    file.state = IniFile::State::Unreadable;
    std::string text = systemText(error);
    file.whyUnreadable = text.empty() ? "error " + std::to_string(error) : text;
  } else {
    file.state = IniFile::State::Read;
  }
  return taken;
}

} // namespace

std::string profilePath(const std::string &fileName) {
  if (fileName.find_first_of("\\/:") != std::string::npos)
    return fileName;
  char directory[MAX_PATH] = "";
  UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return fileName; // the profile functions then resolve it themselves
  return std::string(directory, length) + "\\" + fileName;
}

Expected<IniFile> readIniFile(const std::string &path, const std::function<bool()> &goOn) {
  for (int attempt = 1;; ++attempt) {
    IniFile file;
    file.path = profilePath(path);
    FileSnapshot before = snapshot(file);
    FileFacts facts = fileFacts(before.bytes);
    file.utf8Mark = facts.utf8Mark;
    file.hasContent = facts.hasContent;
    file.lineBeforeSections = facts.lineBeforeSections;
    file.textBeforeSections = facts.textBeforeSections;
    if (file.state != IniFile::State::Read)
      return file;
    file.sections = sectionNames(file.path);
    for (IniSection &section : file.sections) {
      if (goOn && !goOn())
        return Result::failure(ERROR_CANCELLED);
      if (!section.nameLost)
        readSection(file.path, section);
    }
    // The profile functions read the file anew at each call: a file
    // rewritten meanwhile (an editor's save, a copy pushed at boot) gives
    // sections of one and values of another.
    IniFile after;
    after.path = file.path;
    switch (afterRead(before, snapshot(after), attempt)) {
    case ReadOutcome::Take:
      return file;
    case ReadOutcome::ReadAgain:
      Sleep(100);
      break;
    case ReadOutcome::GiveUp:
      file.state = IniFile::State::Unreadable;
      file.whyUnreadable = "it changed during each of " + std::to_string(kReadAttempts) + " reads";
      file.sections.clear();
      return file;
    }
  }
}
