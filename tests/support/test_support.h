// Helpers for tests that drive the real programs under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace qvntest {

// What every run of Qvn.exe prints first, as it reaches a pipe.
inline const std::string kBanner = "\r\nQuorvane v0.2\r\n--------------------\r\n\r\n\r\n";

// Directory of the running test program; the programs under test sit beside it.
std::string programDir();
// programDir() + "\\" + name
std::string programPath(const char *name);

struct RunResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output; // standard output and standard error, as bytes
};

// Runs a command line (cwd empty: ours) and waits for it; the output is
// captured through a pipe.
RunResult run(const std::string &commandLine, const std::string &cwd = "", DWORD timeoutMs = 60000);

std::string readFile(const std::string &path);
bool writeFile(const std::string &path, const std::string &content);
bool fileExists(const std::string &path);
std::string windowsDir();

// Reads what was appended to a file since construction (or since the last
// mark), so tests see only their own entries of a shared log.
class FileTail {
public:
  explicit FileTail(std::string path = "C:\\Qvn.log");
  void mark();
  std::string text() const;

private:
  std::string path_;
  size_t offset_ = 0;
};

// Polls pred every 100 ms until it holds or timeoutMs has passed.
template <typename Pred> bool waitFor(Pred pred, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (pred())
      return true;
    if (GetTickCount() - start > timeoutMs)
      return false;
    Sleep(100);
  }
}

} // namespace qvntest
