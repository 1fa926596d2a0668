#include "baselib/platform/ProgramTraces.h"

#include <cstdlib>
#include <cstring>

// Exported from the program so that the library, loaded before it runs, finds it.
extern "C" __attribute__((visibility("default"), used)) bool KelConsole_programShowsTraceLines()
{
    const char* asked = std::getenv("KEL_TRACE");
    return asked && std::strcmp(asked, "1") == 0;
}
