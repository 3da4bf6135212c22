#include "install/install_files.h"

#include "common/unique_handle.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

Expected<std::string> currentExecutablePath() {
  const char call[] = "GetModuleFileName()";
  // A result that fills the buffer may have been cut: grow until it fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0)
      return Result::failure(GetLastError(), call);
    if (n < buffer.size())
      return std::string(buffer.data(), n);
    if (buffer.size() >= 32768)
      return Result::failure(ERROR_INSUFFICIENT_BUFFER, call);
    buffer.resize(buffer.size() * 2);
  }
}

Expected<std::string> fullPathOf(const std::string &path) {
  const char call[] = "GetFullPathName()";
  // The first call answers the room needed, its terminating null counted.
  DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return Result::failure(GetLastError(), call);
  std::vector<char> buffer(needed);
  DWORD n = GetFullPathNameA(path.c_str(), needed, buffer.data(), nullptr);
  if (n == 0 || n >= needed)
    return Result::failure(n ? ERROR_INSUFFICIENT_BUFFER : GetLastError(), call);
  return std::string(buffer.data(), n);
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

Expected<std::string> provideHost(const std::string &directory) {
  std::string hostPath = directory + "\\srvany.exe";
  char current[kDirectoryBuffer];
  DWORD n = GetCurrentDirectoryA(kDirectoryBuffer, current);
  if (n == 0 || n >= kDirectoryBuffer) {
    std::printf("  Error GetCurrentDirectory\n");
    return Result::failure(n ? ERROR_INSUFFICIENT_BUFFER : GetLastError(), "GetCurrentDirectory()");
  }
  std::string source = std::string(current, n) + "\\srvany.exe";
  if (!isFile(source)) {
    std::printf("  srvany.exe not found\n");
    return Result::failure(ERROR_FILE_NOT_FOUND);
  }
  // A host there already may have been put there by anyone while the folder
  // was open: only ours is kept. Deleted first, as a copy over it would keep
  // its owner and permissions.
  if (isFile(hostPath)) {
    if (sameContent(source, hostPath))
      return hostPath;
    SetFileAttributesA(hostPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(hostPath.c_str())) {
      DWORD error = GetLastError();
      if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        std::printf("  %s is not this package's and is in use: stop its service first\n",
                    hostPath.c_str());
      else
        std::printf("  Unable to copy srvany.exe\n");
      return Result::failure(error, "DeleteFile()");
    }
  }
  if (!CopyFileA(source.c_str(), hostPath.c_str(), TRUE)) {
    DWORD error = GetLastError();
    std::printf("  Unable to copy srvany.exe\n");
    return Result::failure(error, "CopyFile()");
  }
  return hostPath;
}
