#pragma once

#include "comm/serial/PortMap.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialLine.h"
#include "comm/serial/TelnetInputFilter.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct telnet_t;
union telnet_event_t;

namespace KelComm::Serial::Internal {

// A serial line on a device server, reached over TCP: either Telnet with the COM port
// control option, through which the line's settings, break and queue purges travel, or a
// raw byte stream, whose line the server alone sets. Telnet commands never reach the
// caller; data byte 0xFF travels doubled. Received data waits here until taken, as in a
// UART driver's buffer: bounded, the oldest dropped as an overrun; and the ready descriptor
// stays readable while any waits, so that a wait wakes even when another thread took the
// bytes off the socket. Answers to the server wait, bounded too, while it does not read.
class KELCOMM_EXPORT NetworkLine final : public SerialLine {
public:
    static constexpr std::size_t receiveBound = 4096;
    static constexpr std::size_t answerBound = 4096;

    // Takes the server's line for this user's programs alone, resolves and connects within
    // the bound, then agrees on the options the line needs. A line in use here throws
    // SerialPortSystemException with the port's no-access text; a server that cannot be
    // reached, with its not-found text and the system's reason; one that ends the connection
    // or breaks the protocol while the line opens, with what it said.
    static std::shared_ptr<NetworkLine> connect(const NetworkAddress& address, const std::wstring& displayName,
                                                std::chrono::milliseconds bound);
    ~NetworkLine() override;

    void adoptLine(LineImage& image) override;
    // A setting the server does not confirm throws as a local line's refusal does.
    void applyImage(const LineImage& image) override;
    std::size_t readSome(void* buffer, std::size_t size) override;
    std::size_t writeSome(const void* data, std::size_t size) override;
    WaitResult waitReadable(const Deadline& deadline) override;
    bool requestLowLatency() override { return true; }
    void markClosed() override;
    Status status() override;
    void flush(bool input, bool output) override;
    void setBreak(bool on) override;

private:
    enum class PortControl { Pending, Agreed, Refused };

    NetworkLine(const NetworkAddress& address, const std::wstring& displayName, int socket, int readyDescriptor,
                int lockDescriptor);

    // A failure while the line opens, as the opener reports it: a server that ended the
    // connection turned this client away (its line is busy), saying why or not.
    [[noreturn]] void throwOpenFailure(const SerialPortException& failed);
    // The settings' first exchange still belongs to the open: a server that agreed on the
    // options and closes before it answers refuses the line as during the negotiation.
    template <typename Exchange> void whileOpening(const Exchange& exchange);
    void adoptServerSettings(LineImage& image);
    void applySettings(const LineImage& image);

    // Offers and asks for the options the line needs and waits a while for the server to
    // take port control; a server that refuses it leaves a line of bytes only.
    void negotiate();
    static void onTelnetEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void handleServerCommand(const std::uint8_t* body, std::size_t size);
    void takeTelnet(const char* bytes, std::size_t size);
    void queueReceived(const char* bytes, std::size_t size);

    // Takes a bounded share of what the socket holds; true when received data waits. A
    // connection that ended throws SerialLineGoneException once its data has been taken.
    // Needs m_receiveMutex.
    bool pumpLocked();
    bool pump();
    void signalReady();
    [[noreturn]] void throwConnectionEnded() const;
    // Pumps until the condition holds or the bound passes; false then. A connection that
    // ends meanwhile throws at once, with the text the server sent before.
    bool awaitServer(const std::function<bool()>& condition, std::chrono::milliseconds bound);
    // The printable text among the data received so far.
    std::wstring serverText() const;

    // Telnet commands: sent whole, after any data byte whose doubling is half sent.
    void sendCommand(std::uint8_t command, const std::vector<std::uint8_t>& value);
    // Needs m_receiveMutex: it is called back from within the Telnet library.
    void sendControl(const char* bytes, std::size_t size);
    bool flushPendingLocked();
    // Needs m_sendMutex and m_receiveMutex: a failure marks the connection lost.
    void flushQuietlyLocked();
    void flushAnswers();
    // Sends what the socket takes now; a lost connection throws SerialLineGoneException.
    std::size_t sendNow(const char* bytes, std::size_t size);

    // Asks the server for the settings (a value 0 asks) or sets them, and waits for its
    // answers; true when all came.
    bool exchangeSettings(std::uint32_t baudRate, std::uint8_t dataSize, std::uint8_t parity, std::uint8_t stopSize);
    bool portControlAgreed() const { return m_portControl.load() == PortControl::Agreed; }

    NetworkAddress m_address;
    int m_ready = -1;
    // The lock on the server's line, held while the line is open.
    int m_lock = -1;

    // Received data and the Telnet state; the server's answers to settings by command.
    std::mutex m_receiveMutex;
    telnet_t* m_telnet = nullptr;
    TelnetInputFilter m_filter;
    std::string m_filtered;
    std::deque<std::uint8_t> m_received;
    bool m_readySignalled = false;
    int m_connectionError = 0; // errno of a lost connection, once seen
    std::wstring m_displayName;
    bool m_settingsExchanged = false;
    std::atomic<PortControl> m_portControl{PortControl::Pending};
    std::map<std::uint8_t, std::vector<std::uint8_t>> m_answers;
    std::uint8_t m_lineErrors = 0;
    bool m_protocolFaultLogged = false;

    // Bytes not yet on the socket: the second half of a doubled data byte, then commands.
    std::mutex m_sendMutex;
    bool m_escapeHalfOwed = false;
    // The owed half went out: the byte counts as written at the next write.
    bool m_escapeFinished = false;
    std::string m_pendingCommands;

    // A raw stream's settings are the server's: said once per connection.
    bool m_settingsNoticeLogged = false;
};

} // namespace KelComm::Serial::Internal
