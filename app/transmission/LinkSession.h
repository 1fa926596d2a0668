#pragma once

#include "link/Packet.h"
#include "link/Replies.h"
#include "app/transmission/ConsoleMirror.h"
#include "app/datafiles/DeviceDictionary.h"
#include "app/transmission/QOTransmissionThread.h"

#include <array>
#include <cstdint>
#include <memory>

namespace KelComm::Serial {
class SystemSerialPort;
}

// One run of a connection, in the worker thread: the port, the buffers and what the device
// told about itself. It reports through its thread object's signals.
class QOTransmissionThread::Session {
public:
    explicit Session(QOTransmissionThread& owner);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // From opening the port to the end of polling; every way it ends has emitted its event.
    // Port failures escape as exceptions.
    void connect();
    // Sends the stop packet over a port that is open and releases the port; never throws,
    // and does nothing the second time.
    void exit();
    // Releases a port whose line is gone, without the stop packet.
    void abandon();

private:
    void readDictionary();
    void openPort();

    // A start-up request the connection cannot do without: false when the connection ends
    // (its event emitted).
    bool required(const VPanel::Link::Frame& request, const QString& done, const QString& failed);
    // A start-up request whose failure is only reported: false when a stop was asked for.
    bool optional(const VPanel::Link::Frame& request, const QString& done, const QString& failed);
    bool pollStep();
    // Emits event 6 when the stop flag is set.
    bool stopHonoured();
    bool stopRequested() const;

    // Write-then-read, repeated until a valid reply or the repeat budget is spent; a stop
    // request cuts the repetitions short unless `untilBudget`.
    bool send(const VPanel::Link::Frame& request, bool untilBudget = false);
    bool write(const VPanel::Link::Frame& request);
    bool read(const VPanel::Link::Frame& request);

    void reportFailure(const VPanel::Link::Frame& request, VPanel::Link::ReplyStatus status);
    void accept(const VPanel::Link::Frame& request, const VPanel::Link::ReplyContent& content);
    void acceptDevice(const VPanel::Link::DeviceIdentity& device);
    void acceptConsole(const VPanel::Link::ConsoleIdentity& console);
    void acceptExchange(const VPanel::Link::ExchangeContent& content);
    void deliverGlyph(int code, const VPanel::Link::Glyph& glyph);

    QOTransmissionThread& m_owner;
    const std::uint8_t m_address;
    VPanel::DeviceDictionary m_dictionary;
    VPanel::Transmission::ConsoleMirror m_console;
    int m_glyphCount = 0;
    std::unique_ptr<KelComm::Serial::SystemSerialPort> m_port;
    std::array<std::uint8_t, VPanel::Link::maxFrameSize> m_reply{};
    bool m_exited = false;
};
