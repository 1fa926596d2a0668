#pragma once

#include "baselib/Export.h"

#include <string>
#include <typeinfo>

namespace KelBase {

// A comparable, copyable handle of a run-time type description, usable as a map key.
class KELBASE_EXPORT TypeInfo {
public:
    TypeInfo(const std::type_info& type) : m_type(&type) {}

    const std::type_info& get() const { return *m_type; }
    // The readable (demangled) name of the type.
    std::wstring name() const;

    bool operator==(const TypeInfo& other) const { return *m_type == *other.m_type; }
    bool operator!=(const TypeInfo& other) const { return !(*this == other); }
    bool operator<(const TypeInfo& other) const { return m_type->before(*other.m_type); }

private:
    const std::type_info* m_type;
};

} // namespace KelBase
