#include "install/install_files.h"

#include "common/unique_handle.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

bool currentExecutablePath(std::string &path) {
  // A result that fills the buffer may have been cut: grow until it fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0)
      return false;
    if (n < buffer.size()) {
      path.assign(buffer.data(), n);
      return true;
    }
    if (buffer.size() >= 32768) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return false;
    }
    buffer.resize(buffer.size() * 2);
  }
}

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

namespace {

constexpr DWORD kDirectoryBuffer = 2048;

} // namespace

namespace {

// The whole file, or none when it cannot be read. Read through the system,
// not a stream, which would bring the C++ locale machinery into Qvn.exe.
std::optional<std::string> contentOf(const std::string &path) {
  UniqueKernelHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file)
    return std::nullopt;
  std::string bytes;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr))
      return std::nullopt;
    if (got == 0)
      return bytes;
    bytes.append(chunk, got);
  }
}

bool sameContent(const std::string &a, const std::string &b) {
  std::optional<std::string> first = contentOf(a), second = contentOf(b);
  return first && second && *first == *second;
}

} // namespace

bool provideHost(const std::string &directory, std::string &hostPath) {
  hostPath = directory + "\\srvany.exe";
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
  // A host there already may have been put there by anyone while the folder
  // was open: only ours is kept. Deleted first, as a copy over it would keep
  // its owner and permissions.
  if (isFile(hostPath)) {
    if (sameContent(source, hostPath))
      return true;
    SetFileAttributesA(hostPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(hostPath.c_str())) {
      DWORD error = GetLastError();
      g_log.writeError("DeleteFile()", error);
      if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        std::printf("  %s is not this package's and is in use: stop its service first\n",
                    hostPath.c_str());
      else
        std::printf("  Unable to copy srvany.exe\n");
      return false;
    }
  }
  if (!CopyFileA(source.c_str(), hostPath.c_str(), TRUE)) {
    g_log.writeLastError("CopyFile()");
    std::printf("  Unable to copy srvany.exe\n");
    return false;
  }
  return true;
}
