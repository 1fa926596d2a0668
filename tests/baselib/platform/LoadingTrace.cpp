// A library that writes a trace line while it is loaded, before the program's main runs.
#include "baselib/platform/Console.h"

namespace {
const bool written = (KelConsole::writeTraceLine(L"loading"), true);
} // namespace

__attribute__((visibility("default"))) bool loadingTraceWritten() { return written; }
