// The scheduler in its service role.
#pragma once

// Hands the calling thread to the service control manager's dispatcher for
// the service "Qvn"; returns when the service has stopped. False (and a log
// entry "StartServiceCtrlDispatcher()") when not started as a service.
bool runDispatcher();
