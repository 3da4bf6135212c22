#include "test_support.h"

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace qvntest {

std::string programDir() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) {
      std::string path(buffer.data(), n);
      return path.substr(0, path.find_last_of('\\'));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string programPath(const char *name) { return programDir() + "\\" + name; }

RunResult run(const std::string &commandLine, const std::string &cwd, DWORD timeoutMs) {
  RunResult result;
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
    return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
  CloseHandle(writeEnd);
  if (!ok) {
    CloseHandle(readEnd);
    return result;
  }
  // Drain the pipe on a thread so a chatty child never blocks on it.
  std::thread reader([&] {
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got > 0)
      result.output.append(chunk, got);
  });
  if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
    TerminateProcess(pi.hProcess, 0xDEAD);
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &result.exitCode);
  reader.join();
  CloseHandle(readEnd);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return result;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool writeFile(const std::string &path, const std::string &content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

bool fileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string windowsDir() {
  char buffer[MAX_PATH];
  UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, n);
}

FileTail::FileTail(std::string path) : path_(std::move(path)) { mark(); }

void FileTail::mark() { offset_ = readFile(path_).size(); }

std::string FileTail::text() const {
  std::string all = readFile(path_);
  return all.size() > offset_ ? all.substr(offset_) : std::string();
}

} // namespace qvntest
