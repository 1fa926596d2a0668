#include "sim/LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace VPanel::Sim {

unsigned lineBaudRate(int fd)
{
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    return settings.c_ospeed;
}

} // namespace VPanel::Sim
