#pragma once

#include "s11n/Serialize.h"

#include <string>

namespace KelComm::Serial::Internal {

// Throws s11n_exception "Incorrect node class %s, %s required" unless the node holds
// className.
void requireNodeClass(const s11n::s11n_node& node, const std::string& className);

// Loads value from the child of that name, which must hold value's class: false when there
// is no such child or it does not read as a value; s11n_exception when it holds another
// class or the name is given twice.
template <class T>
bool loadChild(const s11n::s11n_node& node, const std::string& name, T& value)
{
    if (const s11n::s11n_node* child = node.find_child(name))
        requireNodeClass(*child, s11n::s11n_traits<T>::class_name());
    return s11n::deserialize_subnode(node, name, value);
}

} // namespace KelComm::Serial::Internal
