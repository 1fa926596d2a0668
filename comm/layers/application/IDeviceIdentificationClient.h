#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IDeviceIdentificationClient;

class IDeviceIdentificationClientSignalTable {
public:
    virtual void identified(IDeviceIdentificationClient* client) = 0;
    virtual void failed(IDeviceIdentificationClient* client, const KelBase::Exception& error) = 0;

protected:
    ~IDeviceIdentificationClientSignalTable() = default;
};

// Asks a device who it is. The answers are those of the last successful identify(); before
// it, and after reset(), isIdentified() is false and the answers are empty.
class KELCOMM_EXPORT IDeviceIdentificationClient {
public:
    using SignalTable = IDeviceIdentificationClientSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    virtual ~IDeviceIdentificationClient();

    SignalSubject& signalSubject() const { return *m_signalSubject; }

    virtual void identify(const KelTime::Timeout& deadline) = 0;
    virtual bool isIdentified() const = 0;
    virtual void reset() = 0;
    // The identifier of the device's kind.
    virtual std::uint32_t deviceIdentifier() const = 0;
    virtual std::wstring deviceName() const = 0;
    virtual std::wstring manufacturer() const = 0;
    virtual std::wstring serialNumber() const = 0;
    virtual std::wstring softwareVersion() const = 0;
    virtual unsigned int protocolVersion() const = 0;
    // The codes of the functions the device answers.
    virtual std::vector<unsigned int> supportedFunctions() const = 0;

protected:
    IDeviceIdentificationClient() = default;

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
