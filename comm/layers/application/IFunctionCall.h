#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"
#include "comm/pdu/IteratorPair.h"
#include "comm/serial/SerialTypes.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IFunctionCall;

class IFunctionCallSignalTable {
public:
    virtual void completed(IFunctionCall* call) = 0;
    virtual void failed(IFunctionCall* call, const KelBase::Exception& error) = 0;

protected:
    ~IFunctionCallSignalTable() = default;
};

// One function of a device, called with arguments and giving a result code and data. Used
// by one thread; its subject is for the implementation to offer as it sees fit.
class KELCOMM_EXPORT IFunctionCall : private boost::noncopyable {
public:
    using SignalTable = IFunctionCallSignalTable;
    using SignalSubject = SingleThreadSignalSubject<SignalTable>;

    virtual ~IFunctionCall();

    virtual unsigned int function() const = 0;
    virtual void clearArguments() = 0;
    virtual void addArgument(PDU::ConstBytes argument) = 0;
    virtual Serial::IO_Result call(const KelTime::Timeout& deadline) = 0;
    virtual bool isCompleted() const = 0;
    // The device's result code of the last completed call.
    virtual int resultCode() const = 0;
    // The reply data of the last completed call, valid until the next call or reset().
    virtual PDU::ConstBytes result() const = 0;
    virtual void cancel() = 0;
    // Drops the arguments and the last result.
    virtual void reset() = 0;

protected:
    IFunctionCall() = default;

    SignalSubject& signalSubject() const { return *m_signalSubject; }
    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
