#pragma once

#include "s11n/Export.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>

namespace s11n {

// One node of a serialized object tree: a name, the class name of what it holds, string
// properties by key and named children in the order they were added. Texts are UTF-8.
// Copies are deep; a moved-from node is empty.
class S11N_EXPORT s11n_node {
public:
    using property_map = std::map<std::string, std::string>;

    s11n_node();
    explicit s11n_node(const std::string& name, const std::string& className = std::string());
    s11n_node(const s11n_node& other);
    s11n_node(s11n_node&& other);
    s11n_node& operator=(const s11n_node& other);
    s11n_node& operator=(s11n_node&& other);
    ~s11n_node();

    const std::string& name() const;
    void name(const std::string& name);
    const std::string& class_name() const;
    void class_name(const std::string& className);

    void set(const std::string& key, const std::string& value);
    bool is_set(const std::string& key) const;
    // The property's value, or defaultValue when it is not set.
    std::string get(const std::string& key, const std::string& defaultValue = std::string()) const;
    void unset(const std::string& key);
    const property_map& properties() const;

    // Appends a child and gives it back; references to children stay valid as more are added.
    s11n_node& add_child(const std::string& name);
    s11n_node& add_child(s11n_node child);
    // Drops the last child, if any.
    void remove_last_child();
    std::size_t child_count() const;
    const s11n_node& child(std::size_t index) const;
    s11n_node& child(std::size_t index);
    // The first child with that name, or null.
    const s11n_node* find_child(const std::string& name) const;
    std::size_t child_count_named(const std::string& name) const;

    // Removes class name, properties and children; the name stays.
    void clear();
    void swap(s11n_node& other) noexcept;

    friend S11N_EXPORT bool operator==(const s11n_node& a, const s11n_node& b);
    friend bool operator!=(const s11n_node& a, const s11n_node& b) { return !(a == b); }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace s11n
