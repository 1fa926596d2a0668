#include "s11n/Node.h"

#include "baselib/platform/Conversion.h"
#include "s11n/S11nException.h"

#include <boost/format.hpp>

#include <algorithm>
#include <deque>

namespace s11n {

struct s11n_node::Impl {
    std::string name;
    std::string className;
    property_map properties;
    // A deque keeps references to its elements when it grows at the end.
    std::deque<s11n_node> children;
};

s11n_node::s11n_node() : m_impl(std::make_unique<Impl>()) {}

s11n_node::s11n_node(const std::string& name, const std::string& className) : s11n_node()
{
    m_impl->name = name;
    m_impl->className = className;
}

s11n_node::s11n_node(const s11n_node& other) : m_impl(std::make_unique<Impl>(*other.m_impl)) {}

s11n_node::s11n_node(s11n_node&& other) : s11n_node() { swap(other); }

s11n_node& s11n_node::operator=(const s11n_node& other)
{
    if (this != &other)
        *m_impl = *other.m_impl;
    return *this;
}

s11n_node& s11n_node::operator=(s11n_node&& other)
{
    s11n_node taken(std::move(other));
    swap(taken);
    return *this;
}

s11n_node::~s11n_node() = default;

const std::string& s11n_node::name() const { return m_impl->name; }
void s11n_node::name(const std::string& name) { m_impl->name = name; }
const std::string& s11n_node::class_name() const { return m_impl->className; }
void s11n_node::class_name(const std::string& className) { m_impl->className = className; }

void s11n_node::set(const std::string& key, const std::string& value) { m_impl->properties[key] = value; }

bool s11n_node::is_set(const std::string& key) const { return m_impl->properties.count(key) != 0; }

std::string s11n_node::get(const std::string& key, const std::string& defaultValue) const
{
    const auto found = m_impl->properties.find(key);
    return found != m_impl->properties.end() ? found->second : defaultValue;
}

void s11n_node::unset(const std::string& key) { m_impl->properties.erase(key); }

const s11n_node::property_map& s11n_node::properties() const { return m_impl->properties; }

s11n_node& s11n_node::add_child(const std::string& name) { return m_impl->children.emplace_back(name); }

s11n_node& s11n_node::add_child(s11n_node child) { return m_impl->children.emplace_back(std::move(child)); }

void s11n_node::remove_last_child()
{
    if (!m_impl->children.empty())
        m_impl->children.pop_back();
}

std::size_t s11n_node::child_count() const { return m_impl->children.size(); }

const s11n_node& s11n_node::child(std::size_t index) const
{
    if (index >= m_impl->children.size())
        throw s11n_exception((boost::wformat(KelBase::resStr(NodeMessage::NoSuchChild)) %
                              KelBase::Conversion::stringFromUTF8(m_impl->name) % index)
                                 .str());
    return m_impl->children[index];
}

s11n_node& s11n_node::child(std::size_t index)
{
    return const_cast<s11n_node&>(static_cast<const s11n_node&>(*this).child(index));
}

const s11n_node* s11n_node::find_child(const std::string& name) const
{
    for (const s11n_node& child : m_impl->children)
        if (child.name() == name)
            return &child;
    return nullptr;
}

std::size_t s11n_node::child_count_named(const std::string& name) const
{
    return static_cast<std::size_t>(std::count_if(m_impl->children.begin(), m_impl->children.end(),
                                                  [&](const s11n_node& child) { return child.name() == name; }));
}

void s11n_node::clear()
{
    m_impl->className.clear();
    m_impl->properties.clear();
    m_impl->children.clear();
}

void s11n_node::swap(s11n_node& other) noexcept { m_impl.swap(other.m_impl); }

bool operator==(const s11n_node& a, const s11n_node& b)
{
    return a.m_impl->name == b.m_impl->name && a.m_impl->className == b.m_impl->className &&
           a.m_impl->properties == b.m_impl->properties && a.m_impl->children == b.m_impl->children;
}

} // namespace s11n
