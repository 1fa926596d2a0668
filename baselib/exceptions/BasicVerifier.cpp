#include "baselib/exceptions/BasicVerifier.h"

#include <boost/format.hpp>

#include <cerrno>

namespace Threading {

std::wstring BasicVerifier::errorCodeToMessage(int code)
{
    return (boost::wformat(L"pthread error #%d") % code).str();
}

std::wstring BasicVerifier::errnoToMessage()
{
    return (boost::wformat(L"pthread error from 'errno' #%d") % errno).str();
}

} // namespace Threading
