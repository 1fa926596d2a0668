#include "comm/settings/NodeClass.h"

#include "baselib/platform/Conversion.h"
#include "comm/settings/SettingsMessages.h"
#include "s11n/S11nException.h"

#include <boost/format.hpp>

namespace KelComm::Serial::Internal {

void requireNodeClass(const s11n::s11n_node& node, const std::string& className)
{
    if (node.class_name() == className)
        return;
    throw s11n::s11n_exception((boost::wformat(KelBase::resStr(SettingsNodeMessage::IncorrectNodeClass)) %
                                KelBase::Conversion::stringFromUTF8(node.class_name()) %
                                KelBase::Conversion::stringFromUTF8(className))
                                   .str());
}

} // namespace KelComm::Serial::Internal
