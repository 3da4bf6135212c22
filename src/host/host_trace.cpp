#include "host/host_trace.h"

#include <windows.h>

void hostTrace(const std::string &service, const std::string &text) {
  std::string prefix = service.empty() ? "srvany: " : "srvany: " + service + ": ";
  OutputDebugStringA((prefix + text + "\n").c_str());
}

void hostTraceError(const std::string &service, const std::string &context, unsigned long code) {
  hostTrace(service, context + ": error " + std::to_string(code));
}
