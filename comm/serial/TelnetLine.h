#pragma once

#include "comm/serial/ComPortCodec.h"
#include "comm/serial/NetworkLine.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace KelComm::Serial::Internal {

// A line on a device server over Telnet with the COM port control option, through which
// the line's settings, break and queue purges travel; a server that refuses the option
// leaves a line of bytes only, set by the server. Telnet commands never reach the caller;
// data byte 0xFF travels doubled. Answers to the server wait, bounded, while it does not
// read.
class KELCOMM_EXPORT TelnetLine final : public NetworkLine, private ComPortCodec::Sink {
public:
    static constexpr std::size_t answerBound = 4096;

    void adoptLine(LineImage& image) override;
    // A setting the server does not confirm throws as a local line's refusal does.
    void applyImage(const LineImage& image) override;
    std::size_t writeSome(const void* data, std::size_t size) override;
    void flush(bool input, bool output) override;
    void setBreak(bool on) override;

private:
    friend class NetworkLine;
    TelnetLine(const NetworkAddress& address, const std::wstring& displayName, int socket, int readyDescriptor,
               int lockDescriptor);

    // Offers and asks for the options the line needs and waits a while for the server to
    // take port control.
    void start(std::chrono::milliseconds connectTime) override;
    void takeReceived(const char* bytes, std::size_t size) override;
    void afterPump() override;

    void lineData(const char* bytes, std::size_t size) override { queueReceived(bytes, size); }
    // Called back from within the codec, m_receiveMutex held.
    void toServer(const char* bytes, std::size_t size) override;

    bool portControlAgreed() const { return m_codec.portControl() == ComPortCodec::PortControl::Agreed; }
    // The settings' first exchange still belongs to the open: a server that agreed on the
    // options and closes before it answers refuses the line as during the negotiation.
    template <typename Exchange> void whileOpening(const Exchange& exchange);
    void adoptServerSettings(LineImage& image);
    void applySettings(const LineImage& image);
    // Sends the four settings and waits for the server's answers; true when all came.
    bool exchangeSettings(const ComPortCodec::WireSettings& settings);

    // Commands: sent whole, after any data byte whose doubling is half sent.
    bool flushPendingLocked();
    // Needs m_sendMutex and m_receiveMutex: a failure marks the connection lost.
    void flushQuietlyLocked();

    // Guarded by m_receiveMutex.
    ComPortCodec m_codec;

    bool m_settingsExchanged = false;

    // Bytes not yet on the socket: the second half of a doubled data byte, then commands.
    std::mutex m_sendMutex;
    bool m_escapeHalfOwed = false;
    // The owed half went out: the byte counts as written at the next write.
    bool m_escapeFinished = false;
    std::string m_pendingCommands;
};

} // namespace KelComm::Serial::Internal
