#pragma once

#include <sstream>

namespace KelDebug {

// A stream for debug text that goes nowhere: the text is dropped with the stream. Code keeps
// its debug output in place without cost to the console.
class oDebug : public std::wostringstream {
};

} // namespace KelDebug
