// "-install" / "-desinstall": the scheduler's own registration as the
// automatic service "Qvn" (with its recovery options and delayed start) and
// as the event source "Quorvane". Each prints its heading, and a failure
// line when its result is false (the reason is in the log).
#pragma once

// False when "Qvn" was not registered, or was but its event source was not
// or it is not running after its start (the registration then stays).
bool installScheduler();
// False when "Qvn" or the event source could not be removed, or "Qvn" did
// not stop within 30 s.
bool uninstallScheduler();
