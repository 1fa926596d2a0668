#include "sim/SimErrors.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"

#include <boost/format.hpp>

namespace VPanel::Sim {

void throwSimulatorError(SimMessage message, const std::string& first, const std::string& second,
                         const std::string& third)
{
    boost::wformat text(KelBase::resStr(message));
    // Messages with fewer placeholders take the first texts only.
    text.exceptions(boost::io::all_error_bits ^ boost::io::too_many_args_bit);
    throw SimulatorException((text % KelBase::Conversion::stringFromUTF8(first) %
                              KelBase::Conversion::stringFromUTF8(second) % KelBase::Conversion::stringFromUTF8(third))
                                 .str());
}

void throwSystemError(const wchar_t* call)
{
    const KelWin::LastErrorMessage text;
    throw SimulatorException(
        (boost::wformat(KelBase::resStr(SimMessage::SystemCall)) % call % (text.text() ? text.text() : L"")).str());
}

} // namespace VPanel::Sim
