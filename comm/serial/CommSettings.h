#pragma once

#include "baselib/signals/SignalSubject.h"
#include "baselib/time/TimeDuration.h"
#include "comm/Export.h"
#include "comm/serial/SerialTypes.h"

#include <memory>
#include <vector>

namespace s11n {
class s11n_node;
}

namespace KelComm::Serial {

class CommSettings;

class CommSettingsSignalTable {
public:
    virtual void changed(const CommSettings* settings) = 0;

protected:
    ~CommSettingsSignalTable() = default;
};

// Line settings: baud rate, data bits, parity, stop bits and the DTR and RTS lines. Copies
// are deep and copy the values only; each object keeps its own observers.
class KELCOMM_EXPORT CommSettings {
public:
    using SignalTable = CommSettingsSignalTable;
    using SignalSubject =
        KelBase::SignalSubject<SignalTable, KelBase::NullType, std::vector,
                               Threading::SynchronizationModel::ClassScope<
                                   Threading::SynchronizationModel::Multiple<Threading::RWLock>>,
                               std::allocator>;

    static constexpr long minBaudRate = 75;
    static constexpr long maxBaudRate = 921600;
    static constexpr int minByteSize = 5;
    static constexpr int maxByteSize = 8;

    // Checks the baud rate, then the byte size: CommSettingsException with the range text.
    CommSettings(long baudRate = 19200, int byteSize = 8, Parity parity = Parity::None,
                 StopBits stopBits = StopBits::One, DTR_Control dtrControl = DTR_Control::Disable,
                 RTS_Control rtsControl = RTS_Control::Disable);
    CommSettings(const CommSettings& other);
    ~CommSettings();
    // Raises changed once, whether or not a value differed.
    CommSettings& operator=(const CommSettings& other);

    SignalSubject& signalSubject() const;

    long baudRate() const;
    int byteSize() const;
    Parity parity() const;
    StopBits stopBits() const;
    DTR_Control dtrControl() const;
    RTS_Control rtsControl() const;

    // Each raises changed when the value differs; the two ranged ones check it first.
    void setBaudRate(long baudRate);
    void setByteSize(int byteSize);
    void setParity(Parity parity);
    void setStopBits(StopBits stopBits);
    void setDtrControl(DTR_Control dtrControl);
    void setRtsControl(RTS_Control rtsControl);

    // The time one character takes on the line: start bit, data bits, parity bit, stop bits.
    KelTime::TimeDuration byteTransmitTime() const;

    // Saving into and loading from a serialization node (comm/settings/). A load takes all
    // six values or none: a missing child or one that does not read as its value gives
    // false; a wrong node class (of the node or of a child), a child name given twice or a
    // missing value throws s11n_exception, an unknown enumeration text
    // ResourceNotFoundException, a number out of range CommSettingsException. A complete
    // load raises changed once.
    bool operator()(s11n::s11n_node& node) const;
    bool operator()(const s11n::s11n_node& node);

private:
    struct Impl;

    void raiseChanged();

    std::unique_ptr<Impl> m_impl;
};

} // namespace KelComm::Serial
