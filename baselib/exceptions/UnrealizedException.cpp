#include "baselib/exceptions/ExceptionTree.h"

#include <boost/format.hpp>

namespace KelBase {

UnrealizedException::UnrealizedException(const wchar_t* functionName)
    : m_message((boost::wformat(L"Function\n'%s'\nUNREALIZED!") % (functionName ? functionName : L"")).str())
{
}

UnrealizedException::UnrealizedException(const wchar_t* text, use_msg_t) : m_message(text ? text : L"") {}
UnrealizedException::UnrealizedException(const std::wstring& text, use_msg_t) : m_message(text) {}

const wchar_t* UnrealizedException::message() const { return m_message.c_str(); }
void UnrealizedException::rethrow() const { throw *this; }
Exception* UnrealizedException::clone(const std::wstring& text) const { return new UnrealizedException(text, use_msg_t{}); }
Exception* UnrealizedException::clone(const wchar_t* text) const { return new UnrealizedException(text, use_msg_t{}); }
Exception* UnrealizedException::clone() const { return new UnrealizedException(*this); }

} // namespace KelBase
