#pragma once

#include <cstddef>
#include <string_view>

namespace s11n::Internal {

// The deepest nesting of elements in an XML text, counted the way the document parser
// recurses, so that a document can be turned away before its nesting exhausts the stack.
// The text ends at its first NUL, as it does for the parser. Malformed input gives a count
// no smaller than the depth the parser would reach before it gives up.
std::size_t xmlElementDepth(std::string_view text);

} // namespace s11n::Internal
