#pragma once

#include <cstddef>
#include <type_traits>

namespace KelComm::PDU {

// A half-open range [begin, end). Byte blocks travel as IteratorPair<const unsigned char*>;
// a pair of mutable pointers converts to it.
template <class T>
struct IteratorPair {
    IteratorPair() = default;
    IteratorPair(T first, T last) : begin(first), end(last) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U, T> && !std::is_same_v<U, T>>>
    IteratorPair(const IteratorPair<U>& other) : begin(other.begin), end(other.end)
    {
    }

    // A reversed range counts as empty.
    std::size_t size() const { return end > begin ? static_cast<std::size_t>(end - begin) : 0; }
    bool empty() const { return !(end > begin); }

    T begin{};
    T end{};
};

using ConstBytes = IteratorPair<const unsigned char*>;
using MutableBytes = IteratorPair<unsigned char*>;

} // namespace KelComm::PDU
