#include "comm/serial/CommSettings.h"

#include "baselib/signals/SignalRaiser.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <boost/format.hpp>

namespace KelComm::Serial {

namespace {
void checkBaudRate(long baudRate)
{
    if (baudRate < CommSettings::minBaudRate || baudRate > CommSettings::maxBaudRate)
        throw CommSettingsException(
            (boost::wformat(KelBase::resStr(SettingsLimitMessage::BaudRateRange)) %
             static_cast<unsigned long>(CommSettings::minBaudRate) %
             static_cast<unsigned long>(CommSettings::maxBaudRate))
                .str());
}

void checkByteSize(int byteSize)
{
    if (byteSize < CommSettings::minByteSize || byteSize > CommSettings::maxByteSize)
        throw CommSettingsException((boost::wformat(KelBase::resStr(SettingsLimitMessage::ByteSizeRange)) %
                                     static_cast<unsigned>(CommSettings::minByteSize) %
                                     static_cast<unsigned>(CommSettings::maxByteSize))
                                        .str());
}

struct Values {
    long baudRate;
    int byteSize;
    Parity parity;
    StopBits stopBits;
    DTR_Control dtrControl;
    RTS_Control rtsControl;
};
} // namespace

struct CommSettings::Impl {
    explicit Impl(const Values& v) : values(v) {}

    Values values;
    SignalSubject subject;
};

CommSettings::CommSettings(long baudRate, int byteSize, Parity parity, StopBits stopBits,
                           DTR_Control dtrControl, RTS_Control rtsControl)
{
    checkBaudRate(baudRate);
    checkByteSize(byteSize);
    m_impl = std::make_unique<Impl>(Values{baudRate, byteSize, parity, stopBits, dtrControl, rtsControl});
}

CommSettings::CommSettings(const CommSettings& other) : m_impl(std::make_unique<Impl>(other.m_impl->values)) {}

CommSettings::~CommSettings() = default;

CommSettings& CommSettings::operator=(const CommSettings& other)
{
    m_impl->values = other.m_impl->values;
    raiseChanged();
    return *this;
}

CommSettings::SignalSubject& CommSettings::signalSubject() const { return m_impl->subject; }

long CommSettings::baudRate() const { return m_impl->values.baudRate; }
int CommSettings::byteSize() const { return m_impl->values.byteSize; }
Parity CommSettings::parity() const { return m_impl->values.parity; }
StopBits CommSettings::stopBits() const { return m_impl->values.stopBits; }
DTR_Control CommSettings::dtrControl() const { return m_impl->values.dtrControl; }
RTS_Control CommSettings::rtsControl() const { return m_impl->values.rtsControl; }

void CommSettings::setBaudRate(long baudRate)
{
    if (baudRate == m_impl->values.baudRate)
        return;
    checkBaudRate(baudRate);
    m_impl->values.baudRate = baudRate;
    raiseChanged();
}

void CommSettings::setByteSize(int byteSize)
{
    if (byteSize == m_impl->values.byteSize)
        return;
    checkByteSize(byteSize);
    m_impl->values.byteSize = byteSize;
    raiseChanged();
}

namespace {
template <class Value>
bool store(Value& field, Value value)
{
    if (field.value == value.value)
        return false;
    field = value;
    return true;
}
} // namespace

void CommSettings::setParity(Parity parity)
{
    if (store(m_impl->values.parity, parity))
        raiseChanged();
}

void CommSettings::setStopBits(StopBits stopBits)
{
    if (store(m_impl->values.stopBits, stopBits))
        raiseChanged();
}

void CommSettings::setDtrControl(DTR_Control dtrControl)
{
    if (store(m_impl->values.dtrControl, dtrControl))
        raiseChanged();
}

void CommSettings::setRtsControl(RTS_Control rtsControl)
{
    if (store(m_impl->values.rtsControl, rtsControl))
        raiseChanged();
}

KelTime::TimeDuration CommSettings::byteTransmitTime() const
{
    const Values& v = m_impl->values;
    const KelTime::TimeDuration bitTime =
        KelTime::TimeDuration::fromSeconds(1.0 / static_cast<double>(v.baudRate));
    const int startBits = 1;
    const int parityBits = v.parity == Parity::None ? 0 : 1;
    const int stopBits = v.stopBits == StopBits::Two ? 2 : 1;
    return bitTime * static_cast<double>(startBits + v.byteSize + parityBits + stopBits);
}

void CommSettings::raiseChanged()
{
    const KelBase::SignalRaiser<SignalSubject> raise(m_impl->subject);
    raise(&SignalTable::changed, this);
}

} // namespace KelComm::Serial
