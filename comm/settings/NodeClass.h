#pragma once

#include "s11n/Node.h"

#include <string>

namespace KelComm::Serial::Internal {

// Throws s11n_exception "Incorrect node class %s, %s required" unless the node holds
// className.
void requireNodeClass(const s11n::s11n_node& node, const std::string& className);

} // namespace KelComm::Serial::Internal
