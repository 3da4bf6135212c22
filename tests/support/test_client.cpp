// A stand-in for the client a host service runs. It writes its command line, working directory
// and process id, a line each, to "client-run.txt" in its working directory, then runs until
// asked to end (Ctrl+Break, Ctrl+C or WM_CLOSE to its hidden window): it appends "asked to end
// by <how>" and exits with 0. "--exit-at-once": exits with 7 after writing the file;
// "--never-end": takes WM_CLOSE and every console event without ending, so only a kill ends it;
// "--ctrl-c-only": handles Ctrl+C alone (other console events take their default course);
// "--slow-end": ends 2 s after it is asked to.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HWND g_window = nullptr;
bool g_ignoreClose = false, g_ctrlCOnly = false, g_neverEnd = false;
constexpr UINT kConsoleEvent = WM_APP + 1;

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (g_neverEnd)
    return TRUE;
  if (event != CTRL_C_EVENT &&
      (g_ctrlCOnly || (event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)))
    return FALSE;
  PostMessageA(g_window, kConsoleEvent, event, 0);
  Sleep(INFINITE); // the main thread ends the process
  return TRUE;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE && g_ignoreClose)
    return 0;
  if (message != WM_CLOSE && message != kConsoleEvent)
    return DefWindowProcA(window, message, w, l);
  PostQuitMessage(message == WM_CLOSE ? 1 : w == CTRL_C_EVENT ? 2 : 3);
  return 0;
}

} // namespace

int main() {
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, cwd);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "QvnTestClient";
  RegisterClassA(&windowClass);
  g_window = CreateWindowExA(0, "QvnTestClient", "test client", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  std::FILE *out = std::fopen("client-run.txt", "wb");
  if (!out)
    return 2;
  std::fprintf(out, "%s\r\n%s\r\n%lu\r\n", GetCommandLineA(), cwd, GetCurrentProcessId());
  std::fflush(out);
  if (std::strstr(GetCommandLineA(), " --exit-at-once"))
    return 7;
  g_ctrlCOnly = std::strstr(GetCommandLineA(), " --ctrl-c-only") != nullptr;
  g_neverEnd = std::strstr(GetCommandLineA(), " --never-end") != nullptr;
  g_ignoreClose = g_ctrlCOnly || g_neverEnd;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0)
    DispatchMessageA(&message);
  if (std::strstr(GetCommandLineA(), " --slow-end"))
    Sleep(2000);
  const char *how[] = {"", "WM_CLOSE", "Ctrl+C", "another console event"};
  std::fprintf(out, "asked to end by %s\r\n", how[message.wParam]);
  std::fclose(out);
  return 0;
}
