#pragma once

#include "comm/Export.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/LineRecord.h"
#include "comm/serial/TelnetInputFilter.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct telnet_t;
union telnet_event_t;

namespace KelComm::Serial::Internal {

// The Telnet side of a line on a device server, without the socket: the server's bytes go
// in; the line's data and what is owed to the server come out through the sink; the COM
// port control requests that carry the line's settings, break and purges are encoded here,
// and the server's answers to them kept. Calls must not overlap.
class KELCOMM_EXPORT ComPortCodec {
public:
    enum class PortControl { Pending, Agreed, Refused };

    class Sink {
    public:
        // Data for the line, the Telnet framing taken off.
        virtual void lineData(const char* bytes, std::size_t size) = 0;
        // Answers and requests for the server, whole commands each.
        virtual void toServer(const char* bytes, std::size_t size) = 0;

    protected:
        ~Sink() = default;
    };

    // Settings as the option carries them; a value 0 asks the server for the current one.
    struct WireSettings {
        std::uint32_t baudRate = 0;
        std::uint8_t dataSize = 0;
        std::uint8_t parity = 0;
        std::uint8_t stopSize = 0;
    };
    // A setting the server answered with another value than the one asked for.
    struct Refusal {
        std::uint8_t command = 0;
        std::uint32_t wanted = 0;
        std::uint32_t answered = 0;
    };

    explicit ComPortCodec(Sink& sink);
    ComPortCodec(const ComPortCodec&) = delete;
    ComPortCodec& operator=(const ComPortCodec&) = delete;
    ~ComPortCodec();

    // Offers binary mode and port control and asks the server for binary mode.
    void offer();
    void receive(const char* bytes, std::size_t size);

    // Readable from any thread.
    PortControl portControl() const { return m_portControl.load(); }
    // The server let the offer pass unanswered: a line of bytes only.
    void givePortControlUp();
    // The stream can no longer be followed; nothing more from it is of use.
    bool broken() const { return m_broken; }
    // IO_Result flags of the line errors the server reported since the last look.
    std::uint8_t takeLineErrors() { return std::exchange(m_lineErrors, 0); }
    // Whether subnegotiations were dropped, and the library's complaint about the stream,
    // since the last look.
    bool takeDropped() { return m_filter.takeDropped() != 0; }
    std::string takeViolation() { return std::exchange(m_violation, std::string()); }

    void askForLineErrors();
    void purge(bool input, bool output);
    void setBreak(bool on);
    // Flow control and modem lines as the image has them; no answer is awaited.
    void setControls(const LineImage& image);

    static WireSettings wireSettings(const LineImage& image);
    // Forgets earlier answers and sends the four settings.
    void requestSettings(const WireSettings& settings);
    bool settingsAnswered() const;
    // What the server reported, when the settings can describe it.
    std::optional<CommSettings> reportedSettings() const;
    std::vector<Refusal> refusals(const WireSettings& wanted) const;

    // Data bytes 0xFF doubled, as the stream carries them.
    static std::string escaped(const std::uint8_t* bytes, std::size_t size);
    // How many of the data bytes went out whole when `sent` bytes of their escaped form did;
    // halfOwed tells whether the next was a doubled byte cut in its middle.
    static std::size_t bytesSent(const std::uint8_t* bytes, std::size_t size, std::size_t sent, bool& halfOwed);
    static constexpr std::uint8_t byteNeedingDouble = 0xFF;

private:
    static void onEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void serverCommand(const std::uint8_t* body, std::size_t size);
    void send(std::uint8_t command, const std::vector<std::uint8_t>& value);
    std::uint32_t answered(std::uint8_t command) const;

    Sink& m_sink;
    telnet_t* m_telnet = nullptr;
    TelnetInputFilter m_filter;
    std::string m_filtered;
    std::atomic<PortControl> m_portControl{PortControl::Pending};
    std::map<std::uint8_t, std::vector<std::uint8_t>> m_answers;
    std::uint8_t m_lineErrors = 0;
    bool m_broken = false;
    std::string m_violation;
};

} // namespace KelComm::Serial::Internal
