#include "install/host_copy.h"

#include "install/file_paths.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr DWORD kDirectoryBuffer = 2048;

} // namespace

bool provideHost(const std::string &directory, std::string &hostPath) {
  hostPath = directory + "\\srvany.exe";
  if (isFile(hostPath))
    return true;

  char current[kDirectoryBuffer];
  DWORD n = GetCurrentDirectoryA(kDirectoryBuffer, current);
  if (n == 0 || n >= kDirectoryBuffer) {
    g_log.writeLastError("GetCurrentDirectory()");
    std::printf("  Error GetCurrentDirectory\n");
    return false;
  }
  std::string source = std::string(current, n) + "\\srvany.exe";
  if (!isFile(source)) {
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
