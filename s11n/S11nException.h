#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/exceptions/MessageTable.h"
#include "s11n/Export.h"

namespace s11n {
KEL_DECLARE_EXCEPTION(s11n_exception, KelBase::RuntimeException, S11N_EXPORT);

// The message tables of the serialization layer; codes count from 0 in table order.
enum class NodeMessage { NoSuchChild, RepeatedChild };
enum class StreamableMessage { ValueMissing };
enum class DocumentMessage {
    NotWellFormed,
    TooDeep,
    NotADocument,
    UnexpectedElement,
    UnexpectedAttribute,
    UnexpectedText,
    NameMissing,
    DuplicateProperty,
    CannotOpen,
    CannotWrite,
    NulInText,
};
} // namespace s11n

namespace KelBase {

template <>
struct MessageTable<s11n::NodeMessage> {
    static constexpr const wchar_t* texts[] = {
        L"s11n: node '%s' has no child %lu",
        L"s11n: child '%s' given more than once in node '%s'",
    };
};

template <>
struct MessageTable<s11n::StreamableMessage> {
    static constexpr const wchar_t* texts[] = {L"streamable_serializable_proxy: deser failed: property 'v' missing!"};
};

template <>
struct MessageTable<s11n::DocumentMessage> {
    static constexpr const wchar_t* texts[] = {
        L"s11n: the document is not well-formed XML: %s (line %lu)",
        L"s11n: the document nests deeper than %u elements",
        L"s11n: the document is not a node document: it must hold one <s11n> element with one <node>",
        L"s11n: unexpected element <%s> in <%s>",
        L"s11n: unexpected attribute '%s' of <%s>",
        L"s11n: unexpected text in <%s>",
        L"s11n: <%s> without a name attribute",
        L"s11n: property '%s' given twice in node '%s'",
        L"s11n: cannot open the file '%s'",
        L"s11n: cannot write the document",
        L"s11n: a text with a NUL character cannot be stored (node '%s')",
    };
};

} // namespace KelBase
