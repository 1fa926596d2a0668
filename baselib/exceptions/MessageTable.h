#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/Exception.h"

#include <cstddef>
#include <string>

namespace KelBase {

// A message table is declared once per enumeration of message codes by specialising
// MessageTable<Code> with a `texts` array indexed by the code:
//   template <> struct MessageTable<MyMessage> { static constexpr const wchar_t* texts[] = {...}; };
template <class Code>
struct MessageTable;

namespace Internal {
struct Dummy_ForSyntax {};

class KELBASE_EXPORT StringTableHelper {
public:
    [[noreturn]] static void throwWhenResourceNotFound(const wchar_t* nmsp, const wchar_t* enumType,
                                                       int code, Dummy_ForSyntax);
};
} // namespace Internal

// Stateless access to every message table: by code to its text, by text back to its code.
class KELBASE_EXPORT StringResourceAccess {
public:
    class ResourceNotFoundException;

    template <class Code>
    const wchar_t* operator()(Code code) const
    {
        const auto& texts = MessageTable<Code>::texts;
        const auto index = static_cast<std::size_t>(code);
        if (static_cast<int>(code) < 0 || index >= std::size(texts))
            notFound(static_cast<int>(code));
        return texts[index];
    }

    template <class Code>
    Code codeOf(const std::wstring& text) const
    {
        const auto& texts = MessageTable<Code>::texts;
        for (std::size_t index = 0; index < std::size(texts); ++index)
            if (text == texts[index])
                return static_cast<Code>(index);
        notFound(-1);
    }

private:
    [[noreturn]] static void notFound(int code);
};

class KELBASE_EXPORT StringResourceAccess::ResourceNotFoundException
    : public ConcreteException<StringResourceAccess::ResourceNotFoundException, RuntimeException> {
public:
    using ConcreteException::ConcreteException;
};

extern KELBASE_EXPORT const StringResourceAccess resStr;

} // namespace KelBase
