#pragma once

#include <cstddef>
#include <memory>

namespace KelBase {

// A sequence of at most one item with the part of the std::vector interface that signal
// subjects use. max_size() is 1, which tells a subject to displace the item it holds.
template <class T, class Allocator = std::allocator<T>>
class SingleItemContainer {
public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;
    using size_type = std::size_t;

    iterator begin() { return &m_item; }
    iterator end() { return &m_item + size(); }
    const_iterator begin() const { return &m_item; }
    const_iterator end() const { return &m_item + size(); }

    size_type size() const { return m_full ? 1 : 0; }
    bool empty() const { return !m_full; }
    static constexpr size_type max_size() { return 1; }

    T& front() { return m_item; }
    const T& front() const { return m_item; }

    // Replaces the item when there is one already.
    void push_back(const T& item)
    {
        m_item = item;
        m_full = true;
    }

    iterator erase(iterator position)
    {
        if (position == begin() && m_full) {
            m_item = T();
            m_full = false;
        }
        return end();
    }

    void clear() { erase(begin()); }

private:
    T m_item = T();
    bool m_full = false;
};

} // namespace KelBase
