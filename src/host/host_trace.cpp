#include "host/host_trace.h"

#include "log/diagnostic_log.h"

#include <windows.h>

void hostTrace(const std::string &service, const std::string &text) {
  std::string prefix = service.empty() ? "srvany: " : "srvany: " + service + ": ";
  OutputDebugStringA((prefix + text + "\n").c_str());
}

void hostFailure(const std::string &service, const std::string &text) {
  // The log copies the line to the debugger output and the event log.
  g_log.writeLine((service.empty() ? std::string("srvany") : service) + ": " + text,
                  LogKind::Error);
}

void hostFailure(const std::string &service, const std::string &context, unsigned long code) {
  hostFailure(service, context + ": error " + std::to_string(code));
}
