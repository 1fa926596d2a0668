#pragma once

#include "s11n/Export.h"
#include "s11n/Node.h"
#include "s11n/Serialize.h"

#include <filesystem>
#include <iosfwd>

namespace s11n {

// A node tree as an XML document (UTF-8):
//   <s11n>
//     <node name="..." class="...">
//       <property name="...">value</property>   (one per property)
//       <node ...>...</node>                    (the children, in order)
//     </node>
//   </s11n>
// Any name, class name or value survives the trip, whatever characters it holds but NUL.

// Throws s11n_exception when the document cannot be written or a text holds a NUL; then
// nothing has been written. A file is replaced only once the new document is whole on the
// disk: a failed save leaves the old one as it was.
S11N_EXPORT void save_node(const s11n_node& root, std::ostream& out);
S11N_EXPORT void save_node(const s11n_node& root, const std::filesystem::path& file);

// Throws s11n_exception when the text is not such a document.
S11N_EXPORT s11n_node load_node(std::istream& in);
S11N_EXPORT s11n_node load_node(const std::filesystem::path& file);

// A value saved as the root of a document; false when the value does not serialize.
template <class T>
bool save(const T& value, std::ostream& out)
{
    s11n_node root;
    if (!serialize(root, value))
        return false;
    save_node(root, out);
    return true;
}

template <class T>
bool load(std::istream& in, T& value)
{
    return deserialize(load_node(in), value);
}

} // namespace s11n
