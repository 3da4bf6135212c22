// Nothing of ours throws, and the programs are built without exceptions: a
// failure the runtime cannot handle (memory exhausted) ends the process. The
// runtime's default handler would name the exception, demangled, on a
// console a service does not have, and brings 46 KB of demangler with it.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
} // namespace __gnu_cxx
