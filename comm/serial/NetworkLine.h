#pragma once

#include "comm/serial/PortMap.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialLine.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace KelComm::Serial::Internal {

// A serial line on a device server, reached over TCP. Received data waits here until taken,
// as in a UART driver's buffer: bounded, the oldest dropped as an overrun; and the ready
// descriptor stays readable while any waits, so that a wait wakes even when another thread
// took the bytes off the socket. Its settings are the server's unless a kind of line
// carries them; break and purges likewise.
class KELCOMM_EXPORT NetworkLine : public SerialLine {
public:
    static constexpr std::size_t receiveBound = 4096;

    // Takes the server's line for this user's programs alone, resolves and connects within
    // the bound, then starts the line of the address's protocol. A line in use here throws
    // SerialPortSystemException with the port's no-access text; a server that cannot be
    // reached, with its not-found text and the system's reason; one that ends the connection
    // or breaks the protocol while the line opens, with what it said.
    static std::shared_ptr<NetworkLine> connect(const NetworkAddress& address, const std::wstring& displayName,
                                                std::chrono::milliseconds bound);
    ~NetworkLine() override;

    void adoptLine(LineImage& image) override;
    void applyImage(const LineImage& image) override;
    std::size_t readSome(void* buffer, std::size_t size) override;
    WaitResult waitReadable(const Deadline& deadline) override;
    bool requestLowLatency() override { return true; }
    void markClosed() override;
    Status status() override;
    void flush(bool input, bool output) override;
    void setBreak(bool) override {}

protected:
    NetworkLine(const NetworkAddress& address, const std::wstring& displayName, int socket, int readyDescriptor,
                int lockDescriptor);

    // A failure while the line opens, as the opener reports it: a server that ended the
    // connection turned this client away (its line is busy), saying why or not.
    [[noreturn]] void throwOpenFailure(const SerialPortException& failed);

    // Once connected: whatever the line agrees with the server before it is handed out.
    // connectTime is how long the connection took to stand.
    virtual void start(std::chrono::milliseconds connectTime) = 0;
    // Takes bytes as they came off the socket. Called with m_receiveMutex held.
    virtual void takeReceived(const char* bytes, std::size_t size) = 0;
    // Ends every pump, m_receiveMutex held: sends what the bytes taken asked for.
    virtual void afterPump() {}

    // Puts line data into the bounded queue. Needs m_receiveMutex.
    void queueReceived(const char* bytes, std::size_t size);
    void noteLineErrors(std::uint8_t flags) { m_lineErrors |= flags; }
    // The connection is of no further use; the first reason stays. Needs m_receiveMutex.
    void failConnection(int error);
    bool connectionFailed() const { return m_connectionError != 0; }

    // Takes a bounded share of what the socket holds; true when received data waits. A
    // connection that ended throws SerialLineGoneException once its data has been taken.
    // Needs m_receiveMutex.
    bool pumpLocked();
    // Pumps until the condition (asked with m_receiveMutex held) holds or the bound passes;
    // false then. A connection that ends meanwhile throws at once, with the text the server
    // sent before.
    bool awaitServer(const std::function<bool()>& condition, std::chrono::milliseconds bound);
    // Sends what the socket takes now; a lost connection throws SerialLineGoneException.
    std::size_t sendNow(const char* bytes, std::size_t size);
    void logProtocolFault(const std::wstring& what);

    // Received data and the state of the stream that brings it.
    std::mutex m_receiveMutex;

private:
    bool pump();
    void signalReady();
    [[noreturn]] void throwConnectionEnded() const;
    // The printable text among the data received so far.
    std::wstring serverText() const;

    NetworkAddress m_address;
    std::wstring m_displayName;
    int m_ready = -1;
    // The lock on the server's line, held while the line is open.
    int m_lock = -1;

    std::deque<std::uint8_t> m_received;
    bool m_readySignalled = false;
    int m_connectionError = 0; // errno of a lost connection, once seen
    std::uint8_t m_lineErrors = 0;
    bool m_protocolFaultLogged = false;

    // The server's settings are said once per connection.
    bool m_settingsNoticeLogged = false;
};

} // namespace KelComm::Serial::Internal
