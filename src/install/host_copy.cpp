#include "install/host_copy.h"

#include "log/diagnostic_log.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr DWORD kDirectoryBuffer = 2048;

bool fileExists(const std::string &path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool provideHost(const std::string &directory, std::string &hostPath) {
  hostPath = directory + "\\srvany.exe";
  if (fileExists(hostPath))
    return true;

  char current[kDirectoryBuffer];
  DWORD n = GetCurrentDirectoryA(kDirectoryBuffer, current);
  if (n == 0 || n >= kDirectoryBuffer) {
    g_log.writeLastError("GetCurrentDirectory()");
    std::printf("  Error GetCurrentDirectory\n");
    return false;
  }
  std::string source = std::string(current, n) + "\\srvany.exe";
  if (!fileExists(source)) {
    std::printf("  srvany.exe not found\n");
    return false;
  }
  if (!CopyFileA(source.c_str(), hostPath.c_str(), FALSE)) {
    g_log.writeLastError("CopyFile()");
    std::printf("  Unable to copy srvany.exe\n");
    return false;
  }
  return true;
}
