#pragma once

// termios2 lives in <asm/termbits.h>, which clashes with <termios.h>: this pair keeps it in
// a source file of its own.

namespace VPanel::Sim {

// The output baud rate set on the terminal behind fd (for a pty master: as the other side set
// it), 0 when it cannot be read.
unsigned lineBaudRate(int fd);

} // namespace VPanel::Sim
