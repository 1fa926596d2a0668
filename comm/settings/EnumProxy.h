#pragma once

#include "baselib/platform/Conversion.h"
#include "comm/settings/SettingsMessages.h"
#include "s11n/Serialize.h"

namespace Kel_s11n {

// An enumeration value kept as its text from the message table of T::Value, UTF-8 in
// property "v", under the class name that s11n_traits<T>::class_name() gives. T is a small
// value type built from and converting to int. A value without a text, and a text that is
// not in the table (compared case-sensitively), throw ResourceNotFoundException.
template <class T, class Code = typename T::Value>
struct Enum {
    static bool serialize(s11n::s11n_node& dest, const T& src)
    {
        const wchar_t* text = KelBase::resStr(static_cast<Code>(static_cast<int>(src)));
        dest.class_name(s11n::s11n_traits<T>::class_name());
        dest.set("v", KelBase::Conversion::stringToUTF8(text));
        return true;
    }

    static bool deserialize(const s11n::s11n_node& src, T& dest)
    {
        if (!src.is_set("v"))
            throw s11n::s11n_exception(KelBase::resStr(EnumMessage::ValueMissing));
        const Code code = KelBase::resStr.codeOf<Code>(KelBase::Conversion::stringFromUTF8(src.get("v")));
        dest = T(static_cast<int>(code));
        return true;
    }
};

} // namespace Kel_s11n

// Registers Type with the enumeration proxy under the class name Name. Use at global scope.
#define KEL_S11N_ENUM_TYPE(Type, Name)                                   \
    template <>                                                          \
    struct s11n::s11n_traits<Type> : Kel_s11n::Enum<Type> {              \
        static const char* class_name() { return Name; }                 \
    }
