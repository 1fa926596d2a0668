#pragma once

#include "baselib/platform/Conversion.h"
#include "s11n/Node.h"
#include "s11n/S11nException.h"

#include <boost/format.hpp>
#include <boost/lexical_cast.hpp>

#include <string>
#include <type_traits>

namespace s11n {

// How a type goes into a node and comes back. By default a class does it itself through its
// function-call operators: `bool operator()(s11n_node&) const` saves and
// `bool operator()(const s11n_node&)` loads. Other types get a specialisation, usually by
// deriving from a proxy such as streamable_proxy below.
template <class T>
struct s11n_traits {
    static bool serialize(s11n_node& dest, const T& src) { return src(dest); }
    static bool deserialize(const s11n_node& src, T& dest) { return dest(src); }
};

template <class T>
bool serialize(s11n_node& dest, const T& src)
{
    return s11n_traits<T>::serialize(dest, src);
}

template <class T>
bool deserialize(const s11n_node& src, T& dest)
{
    return s11n_traits<T>::deserialize(src, dest);
}

// Saves src into a new child of dest with that name; on failure dest is left as it was.
template <class T>
bool serialize_subnode(s11n_node& dest, const std::string& name, const T& src)
{
    s11n_node& child = dest.add_child(name);
    bool saved = false;
    try {
        saved = serialize(child, src);
    } catch (...) {
        dest.remove_last_child();
        throw;
    }
    if (!saved)
        dest.remove_last_child();
    return saved;
}

// Loads dest from the child of src with that name; false when there is none. A name given
// to more than one child throws s11n_exception: which of them was meant is not known.
template <class T>
bool deserialize_subnode(const s11n_node& src, const std::string& name, T& dest)
{
    const s11n_node* child = src.find_child(name);
    if (child == nullptr)
        return false;
    if (src.child_count_named(name) > 1)
        throw s11n_exception((boost::wformat(KelBase::resStr(NodeMessage::RepeatedChild)) %
                              KelBase::Conversion::stringFromUTF8(name) %
                              KelBase::Conversion::stringFromUTF8(src.name()))
                                 .str());
    return deserialize(*child, dest);
}

// A value kept as its stream text in property "v", under the class name that
// s11n_traits<T>::class_name() gives. Loading a text that is not a T fails and leaves the
// value alone, and so does a sign the writer never makes: a plus, or a minus on an
// unsigned type, which the conversion would take and negate. A node without "v" throws
// s11n_exception.
template <class T>
struct streamable_proxy {
    static bool serialize(s11n_node& dest, const T& src)
    {
        dest.class_name(s11n_traits<T>::class_name());
        dest.set("v", boost::lexical_cast<std::string>(src));
        return true;
    }

    static bool deserialize(const s11n_node& src, T& dest)
    {
        if (!src.is_set("v"))
            throw s11n_exception(KelBase::resStr(StreamableMessage::ValueMissing));
        const std::string text = src.get("v");
        if (!text.empty() && (text.front() == '+' || (text.front() == '-' && std::is_unsigned_v<T>)))
            return false;
        T value{};
        if (!boost::conversion::try_lexical_convert(text, value))
            return false;
        dest = value;
        return true;
    }
};

} // namespace s11n

// Registers Type with the streamable proxy under the class name Name. Use at global scope.
#define S11N_STREAMABLE_TYPE(Type, Name)                                      \
    template <>                                                               \
    struct s11n::s11n_traits<Type> : s11n::streamable_proxy<Type> {           \
        static const char* class_name() { return Name; }                      \
    }

S11N_STREAMABLE_TYPE(int, "int");
S11N_STREAMABLE_TYPE(long, "long");
