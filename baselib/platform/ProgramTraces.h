#pragma once

// For the project's programs, not for the library: linked into a program (the object library
// kel_program_traces), it makes the library's trace lines appear only when KEL_TRACE=1 is in
// the environment, from the first line on, those written while the libraries load included.
// A program with a --verbose switch turns them on with KelConsole::setTraceLinesShown(true).
// Other programs that use the library keep seeing every trace line.

// Asked by the library, once, at its first trace line.
extern "C" bool KelConsole_programShowsTraceLines();
