#include "common/names.h"
#include "log/diagnostic_log.h"

// Constructed before main, destroyed after it returns; every role logs here.
DiagnosticLog g_log(kLogPath);
