#pragma once

#include "baselib/platform/Conversion.h"
#include "baselib/time/TimeDuration.h"
#include "comm/serial/SerialTypes.h"
#include "comm/settings/EnumProxy.h"
#include "s11n/Serialize.h"

#include <boost/lexical_cast.hpp>

#include <cmath>
#include <string>

// How the values inside line settings and read timeouts go into serialization nodes.
// CommSettings and CommTimeouts store themselves through their function-call operators.

KEL_S11N_ENUM_TYPE(KelComm::Serial::Parity, "KelComm::Serial::Parity");
KEL_S11N_ENUM_TYPE(KelComm::Serial::StopBits, "KelComm::Serial::StopBits");
KEL_S11N_ENUM_TYPE(KelComm::Serial::DTR_Control, "KelComm::Serial::DTR_Control");
KEL_S11N_ENUM_TYPE(KelComm::Serial::RTS_Control, "KelComm::Serial::RTS_Control");

// A wide string as UTF-8 in property "v".
template <>
struct s11n::s11n_traits<std::wstring> {
    static const char* class_name() { return "utf8string"; }

    static bool serialize(s11n_node& dest, const std::wstring& src)
    {
        dest.class_name(class_name());
        dest.set("v", KelBase::Conversion::stringToUTF8(src));
        return true;
    }

    static bool deserialize(const s11n_node& src, std::wstring& dest)
    {
        if (!src.is_set("v"))
            throw s11n_exception(KelBase::resStr(StreamableMessage::ValueMissing));
        dest = KelBase::Conversion::stringFromUTF8(src.get("v"));
        return true;
    }
};

// A duration as its count of days in property "v", written with enough digits to come back
// exactly; "inf" is the infinite duration. A text that is not a number, or NaN, fails the
// load and leaves the value alone.
template <>
struct s11n::s11n_traits<KelTime::TimeDuration> {
    static const char* class_name() { return "KelTime::TimeDuration"; }

    static bool serialize(s11n_node& dest, const KelTime::TimeDuration& src)
    {
        dest.class_name(class_name());
        dest.set("v", boost::lexical_cast<std::string>(src.days()));
        return true;
    }

    static bool deserialize(const s11n_node& src, KelTime::TimeDuration& dest)
    {
        if (!src.is_set("v"))
            throw s11n_exception(KelBase::resStr(StreamableMessage::ValueMissing));
        double days = 0.0;
        if (!boost::conversion::try_lexical_convert(src.get("v"), days) || std::isnan(days))
            return false;
        dest = KelTime::TimeDuration::fromDays(days);
        return true;
    }
};
