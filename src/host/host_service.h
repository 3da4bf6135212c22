// The host's service entry: runs the application its registry values name
// for as long as the service runs, under whatever service name it was
// registered with.
#pragma once

#include <windows.h>

void WINAPI hostServiceMain(DWORD argc, LPSTR *argv);
