// "-install" / "-desinstall": the scheduler's own registration as the
// automatic service "Qvn". Each prints its heading, and a failure line when
// its result is false (the reason is in the log).
#pragma once

bool installScheduler();
bool uninstallScheduler();
