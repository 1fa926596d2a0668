#pragma once

#include "link/LineTiming.h"
#include "comm/serial/CommTimeouts.h"

#include <chrono>

// How long the connection waits on the line, all derived from the baud rate and the write
// interval; the rules it shares with the device search are the link's.

namespace VPanel::Panel {

// The silence that ends a reply when its last byte cannot be told: the write interval, and never
// naught, which would end a reply between two of its bytes.
std::chrono::milliseconds replyGap(std::chrono::milliseconds writeInterval);

// The port's read timeouts: the response timeout, and the reply gap.
KelComm::Serial::CommTimeouts readTimeouts(long baudRate, std::chrono::milliseconds writeInterval);

// The longest one write-then-read takes on a line whose device sends a reply without pauses:
// the request, the wait for the reply, a full reply buffer and the closing gap.
std::chrono::milliseconds attemptBound(long baudRate, std::chrono::milliseconds writeInterval);

// The silence kept before a request that follows a reply taken at its last byte: the 3.5
// characters by which the device knows a frame has ended, and at least `requestPause` (up to a
// second), in which an RS-485 device releases the bus.
std::chrono::nanoseconds turnaroundGap(long baudRate, std::chrono::milliseconds requestPause);

// After a stop request: the attempt in flight, then the stop packet's repetitions, each after
// its pause, with room for closing the port and the thread's scheduling. On a line shared by
// several devices a stop goes ahead of polls and keys, but each of its attempts may still wait
// for one attempt of each other device stopping at the same time.
std::chrono::milliseconds stopBound(long baudRate, std::chrono::milliseconds writeInterval,
                                    std::chrono::milliseconds requestPause, int devicesOnLine = 1);

} // namespace VPanel::Panel
