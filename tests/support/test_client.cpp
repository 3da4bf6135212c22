// A stand-in for the client a host service runs. It writes its command line, working directory
// and process id, a line each, to "client-run.txt" in its working directory, then runs until
// asked to end by a console event (Ctrl+C, Ctrl+Break, the console closing): it appends "asked
// to end by <how>" and exits with 0. "--exit-at-once": exits with 7 after writing the file;
// "--never-end": takes every console event without ending, so only a kill ends it;
// "--ctrl-c-only": handles Ctrl+C alone (other events take their default course) and ends 2 s
// after it.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HANDLE g_asked = nullptr;
DWORD g_how = 0;
bool g_ctrlCOnly = false, g_neverEnd = false;

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event > CTRL_CLOSE_EVENT || (g_ctrlCOnly && event != CTRL_C_EVENT))
    return FALSE;
  if (!g_neverEnd) {
    g_how = event;
    SetEvent(g_asked);
    Sleep(INFINITE); // the main thread ends the process
  }
  return TRUE;
}

} // namespace

int main() {
  const char *commandLine = GetCommandLineA();
  g_ctrlCOnly = std::strstr(commandLine, " --ctrl-c-only") != nullptr;
  g_neverEnd = std::strstr(commandLine, " --never-end") != nullptr;
  g_asked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::FILE *out = std::fopen("client-run.txt", "wb");
  if (!out)
    return 2;
  std::fprintf(out, "%s\r\n%s\r\n%lu\r\n", commandLine, cwd, GetCurrentProcessId());
  std::fflush(out);
  if (std::strstr(commandLine, " --exit-at-once"))
    return 7;
  WaitForSingleObject(g_asked, INFINITE);
  if (g_ctrlCOnly)
    Sleep(2000);
  std::fprintf(out, "asked to end by %s\r\n",
               g_how == CTRL_C_EVENT ? "Ctrl+C" : "another console event");
  std::fclose(out);
  return 0;
}
