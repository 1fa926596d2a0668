#pragma once

#include "baselib/signals/SignalObserver.h"
#include "baselib/threading/Mutex.h"
#include "comm/serial/LineRecord.h"
#include "comm/serial/SerialLine.h"
#include "comm/serial/SystemSerialPort.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace KelComm::Serial {

// The state of one port. Everything is guarded by the port lock, taken by SystemSerialPort
// as each operation requires; the members below expect it held. A call that blocks lets go
// of its shared hold while it waits and takes it again afterwards.
class SystemSerialPort::Impl final : public KelBase::SignalObserver<CommSettings::SignalSubject>,
                               public KelBase::SignalObserver<CommTimeouts::SignalSubject> {
public:
    using SettingsObserver = KelBase::SignalObserver<CommSettings::SignalSubject>;
    using TimeoutsObserver = KelBase::SignalObserver<CommTimeouts::SignalSubject>;

    Impl() = default;
    ~Impl();

    // Change handlers: take the port lock themselves. A change the line refuses closes it.
    void changed(const CommSettings* settings) override;
    void changed(const CommTimeouts* timeouts) override;

    std::wstring displayName() const;
    void checkOpen() const;

    // Write lock.
    void setPortNumber(std::uint16_t number);
    void openLine(std::uint16_t number);
    void closeLine();
    void applySettings(const CommSettings& settings);
    void applyTimeouts(const CommTimeouts& timeouts);
    // Copy construction raises no signal, so these are safe under the port lock.
    void attachSettings(const CommSettings& settings, bool track);
    void attachTimeouts(const CommTimeouts& timeouts, bool track);
    void abort(bool read, bool write, bool oneShot);

    // Read lock; the copies are made here and assigned to the caller's object outside it.
    CommSettings currentSettings() const;
    CommTimeouts currentTimeouts() const;

    // Read lock, released while blocked. A read clears the read wake-up as it begins;
    // waitForByte leaves that to its caller, so that no abort is lost between two waits.
    IO_Result read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t* received, bool continuation);
    IO_Result write(const std::uint8_t* data, std::uint32_t size, std::uint32_t* sent);
    IO_Result waitForByte(const Internal::Deadline& deadline);
    IO_Result waitForNonbreakStatus(const KelTime::Timeout& deadline);
    Internal::SerialLine::Status gatherLineErrors(Internal::SerialLine& line);

    mutable Threading::RWLock lock;
    // Orders changes of the subscriptions, which are made outside the port lock.
    std::mutex subscriptionMutex;

    std::uint16_t portNumber = 0;
    // Copies of the objects last given, which settings() and timeouts() report: the caller
    // may pass a temporary. A tracked object's changes refresh the copy; the tracked
    // pointers only tell its changes from stale ones and are never followed, so the object
    // may die first (its subject then ends the subscription).
    std::optional<CommSettings> attachedSettings;
    std::optional<CommTimeouts> attachedTimeouts;
    const CommSettings* trackedSettings = nullptr;
    const CommTimeouts* trackedTimeouts = nullptr;
    Internal::LineImage lineImage;
    Internal::TimeoutImage timeoutImage;
    std::shared_ptr<Internal::SerialLine> line;

    bool readAborted = false;
    bool writeAborted = false;
    // A driver without low latency says so once in the port's log, not at every open.
    bool lowLatencyRefusalLogged = false;
    // Gathered by reads and writes alike, which run at the same time under the shared lock.
    std::atomic<std::uint8_t> readErrors{0};
    std::atomic<std::uint8_t> writeErrors{0};

private:
    // Bytes moved by one platform read and how it ended.
    struct Chunk {
        std::uint32_t count = 0;
        IO_Result result;
    };

    Chunk chunkRead(std::uint8_t* buffer, std::uint32_t size);
    Chunk readAvailable(std::uint8_t* buffer, std::uint32_t size);
    Internal::Deadline furtherByteDeadline() const;
    // Whether the line this call started on was closed (or replaced) while it waited.
    bool lineGone(const std::shared_ptr<Internal::SerialLine>& startedOn) const { return line != startedOn; }
};

} // namespace KelComm::Serial
