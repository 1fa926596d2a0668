// Opens a port whose device is missing between two narrow writes of its own to standard
// error, as a program using Qt's messages or fprintf does. PortLogTest reads what came out.
#include "comm/serial/SystemSerialPort.h"

#include <clocale>
#include <cstdio>

int main()
{
    std::setlocale(LC_ALL, "C.UTF-8");
    std::fprintf(stderr, "before\n");
    try {
        KelComm::Serial::SystemSerialPort port(L"COM4000");
        port.open();
    } catch (...) {
        std::fprintf(stderr, "refused\n");
    }
    std::fprintf(stderr, "after\n");
    return 0;
}
