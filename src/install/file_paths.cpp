#include "install/file_paths.h"

#include <windows.h>

#include <vector>

bool fullPathOf(const std::string &path, std::string &full) {
  // The first call answers the room needed, its terminating null counted.
  DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return false;
  std::vector<char> buffer(needed);
  DWORD n = GetFullPathNameA(path.c_str(), needed, buffer.data(), nullptr);
  if (n == 0 || n >= needed)
    return false;
  full.assign(buffer.data(), n);
  return true;
}

bool isFile(const std::string &path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
