#include "install/executable_path.h"

#include <windows.h>

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
