#include "baselib/exceptions/MessageTable.h"

#include <boost/format.hpp>

namespace KelBase {

const StringResourceAccess resStr{};

namespace Internal {
void StringTableHelper::throwWhenResourceNotFound(const wchar_t* nmsp, const wchar_t* enumType, int code,
                                                  Dummy_ForSyntax)
{
    throw StringResourceAccess::ResourceNotFoundException(
        (boost::wformat(L"Строковый ресурс %s::%s с кодом %d не найден") % nmsp % enumType % code).str());
}
} // namespace Internal

void StringResourceAccess::notFound(int code)
{
    Internal::StringTableHelper::throwWhenResourceNotFound(L"nmsp", L"enumType", code, Internal::Dummy_ForSyntax());
}

} // namespace KelBase
