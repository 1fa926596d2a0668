// The line-settings document loader on arbitrary text. Whatever the text, a load of line
// settings or read timeouts either fails (one of the loader's exceptions, or false) leaving
// the object's values alone and raising nothing, or takes the document's values with one
// changed signal; what was taken saves and loads back the same.
#include "baselib/exceptions/MessageTable.h"
#include "baselib/platform/Conversion.h"
#include "baselib/signals/SignalObserver.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/CommTimeouts.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/settings/SettingsTraits.h"
#include "s11n/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>

namespace {

using namespace KelComm::Serial;
using KelBase::StringResourceAccess;
using KelTime::TimeDuration;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

template <class Value>
class ChangeCounter : public KelBase::SignalObserver<typename Value::SignalSubject> {
public:
    explicit ChangeCounter(const Value& value) { this->connect(value.signalSubject()); }
    ~ChangeCounter() { this->disconnect(); }
    void changed(const Value*) override { ++count; }
    int count = 0;
};

auto valuesOf(const CommSettings& s)
{
    return std::make_tuple(s.baudRate(), s.byteSize(), s.parity().value, s.stopBits().value, s.dtrControl().value,
                           s.rtsControl().value);
}

auto valuesOf(const CommTimeouts& timeouts)
{
    TimeDuration response, interval;
    timeouts.getReadTimeouts(response, interval);
    return std::make_tuple(response.days(), interval.days());
}

// Loads value from node, telling whether it took the node's values; any other exception
// than the loader's own escapes and ends the run.
template <class Value>
bool tryLoad(const s11n::s11n_node& node, Value& value)
{
    try {
        return s11n::deserialize(node, value);
    } catch (const s11n::s11n_exception&) {
    } catch (const StringResourceAccess::ResourceNotFoundException&) {
    } catch (const CommSettingsException&) {
    }
    return false;
}

template <class Value>
void requireSameAfterDocumentTrip(const Value& value)
{
    std::ostringstream out;
    require(s11n::save(value, out));
    std::istringstream in(out.str());
    Value again;
    require(s11n::load(in, again));
    require(valuesOf(again) == valuesOf(value));
}

template <class Enumeration>
void requireTextOf(const s11n::s11n_node& root, const char* child, Enumeration value)
{
    const std::wstring text = KelBase::resStr(static_cast<typename Enumeration::Value>(value.value));
    require(KelBase::Conversion::stringFromUTF8(root.find_child(child)->get("v")) == text);
}

void checkSettings(const s11n::s11n_node& root)
{
    CommSettings settings(4800, 7, Parity::Odd, StopBits::Two, DTR_Control::Enable, RTS_Control::Handshake);
    const auto before = valuesOf(settings);
    const ChangeCounter<CommSettings> counter(settings);
    if (!tryLoad(root, settings)) {
        require(valuesOf(settings) == before && counter.count == 0);
        return;
    }
    require(counter.count == 1);
    require(settings.baudRate() >= CommSettings::minBaudRate && settings.baudRate() <= CommSettings::maxBaudRate);
    require(settings.byteSize() >= CommSettings::minByteSize && settings.byteSize() <= CommSettings::maxByteSize);
    require(std::stol(root.find_child("baudRate")->get("v")) == settings.baudRate());
    requireTextOf(root, "parity", settings.parity());
    requireTextOf(root, "stopBits", settings.stopBits());
    requireTextOf(root, "dtrControl", settings.dtrControl());
    requireTextOf(root, "rtsControl", settings.rtsControl());
    requireSameAfterDocumentTrip(settings);
}

void checkTimeouts(const s11n::s11n_node& root)
{
    CommTimeouts timeouts(TimeDuration::fromDays(5), TimeDuration::fromDays(6));
    const auto before = valuesOf(timeouts);
    const ChangeCounter<CommTimeouts> counter(timeouts);
    if (!tryLoad(root, timeouts)) {
        require(valuesOf(timeouts) == before && counter.count == 0);
        return;
    }
    require(counter.count == 1);
    requireSameAfterDocumentTrip(timeouts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    s11n::s11n_node root;
    try {
        root = s11n::load_node(in);
    } catch (const s11n::s11n_exception&) {
        return 0;
    }
    checkSettings(root);
    checkTimeouts(root);
    return 0;
}
