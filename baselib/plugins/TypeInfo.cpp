#include "baselib/plugins/TypeInfo.h"

#include "baselib/platform/Conversion.h"

#include <boost/core/demangle.hpp>

namespace KelBase {

std::wstring TypeInfo::name() const
{
    return Conversion::stringFromCCharStr(boost::core::demangle(m_type->name()));
}

} // namespace KelBase
