// "-install" / "-desinstall": the scheduler's own registration as the
// automatic service "Qvn". Each prints its heading, and a failure line when
// its result is false (the reason is in the log).
#pragma once

// False when "Qvn" was not registered, or was but is not running after its
// start (the registration then stays).
bool installScheduler();
// False when "Qvn" could not be removed or did not stop within 30 s.
bool uninstallScheduler();
