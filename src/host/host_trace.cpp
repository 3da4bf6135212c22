#include "host/host_trace.h"

#include <windows.h>

void hostTrace(const std::string &service, const std::string &text) {
  OutputDebugStringA(("srvany: " + service + ": " + text + "\n").c_str());
}

void hostTraceError(const std::string &service, const std::string &context, unsigned long code) {
  hostTrace(service, context + ": error " + std::to_string(code));
}
