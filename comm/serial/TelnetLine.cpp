#include "comm/serial/TelnetLine.h"

#include "comm/serial/PortLog.h"
#include "comm/serial/SerialExceptions.h"

#include <cerrno>
#include <utility>

namespace KelComm::Serial::Internal {

namespace {
constexpr auto negotiationWait = std::chrono::milliseconds(1000);
constexpr auto answerWait = std::chrono::milliseconds(1000);
} // namespace

TelnetLine::TelnetLine(const NetworkAddress& address, const std::wstring& displayName, int socket,
                       int readyDescriptor, int lockDescriptor)
    : NetworkLine(address, displayName, socket, readyDescriptor, lockDescriptor), m_codec(*this)
{
}

void TelnetLine::start(std::chrono::milliseconds)
{
    {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        m_codec.offer();
    }
    if (!awaitServer([&] { return m_codec.portControl() != ComPortCodec::PortControl::Pending; }, negotiationWait))
        m_codec.givePortControlUp();
    if (portControlAgreed()) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        m_codec.askForLineErrors();
    }
}

void TelnetLine::takeReceived(const char* bytes, std::size_t size)
{
    m_codec.receive(bytes, size);
    if (m_codec.takeDropped())
        logProtocolFault(L"прислал команду Telnet, которую линия не принимает: она отброшена");
    const std::string violation = m_codec.takeViolation();
    if (!violation.empty())
        logProtocolFault(L"нарушил протокол Telnet: " + pathText(violation));
    noteLineErrors(m_codec.takeLineErrors());
    if (m_codec.broken())
        failConnection(EPROTO);
}

void TelnetLine::afterPump()
{
    const std::lock_guard<std::mutex> guard(m_sendMutex);
    if (!m_pendingCommands.empty() || m_escapeHalfOwed)
        flushQuietlyLocked();
}

bool TelnetLine::flushPendingLocked()
{
    if (m_escapeHalfOwed) {
        const char half = static_cast<char>(ComPortCodec::byteNeedingDouble);
        if (sendNow(&half, 1) == 0)
            return false;
        m_escapeHalfOwed = false;
        m_escapeFinished = true;
    }
    const std::size_t sent = sendNow(m_pendingCommands.data(), m_pendingCommands.size());
    m_pendingCommands.erase(0, sent);
    return m_pendingCommands.empty();
}

void TelnetLine::flushQuietlyLocked()
{
    // Nothing may be thrown from here: the next transfer finds the connection gone instead.
    try {
        flushPendingLocked();
    } catch (const SerialPortSystemException&) {
        failConnection(ECONNRESET);
    }
}

void TelnetLine::toServer(const char* bytes, std::size_t size)
{
    const std::lock_guard<std::mutex> guard(m_sendMutex);
    // A server that does not read while it keeps asking would have the answers grow
    // without end: past the bound the connection is of no use.
    if (m_pendingCommands.size() + size > answerBound) {
        failConnection(ENOBUFS);
        return;
    }
    const bool waiting = !m_pendingCommands.empty();
    m_pendingCommands.append(bytes, size);
    // With answers already waiting the socket is full: the pump sends them all at its end.
    // Called back from the Telnet library, through which nothing may be thrown.
    if (!waiting)
        flushQuietlyLocked();
}

std::size_t TelnetLine::writeSome(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::lock_guard<std::mutex> guard(m_sendMutex);
    if (!flushPendingLocked())
        return 0;
    // A byte whose doubling went out half counts once its second half has gone too,
    // whichever call sent it.
    if (std::exchange(m_escapeFinished, false) && size && bytes[0] == ComPortCodec::byteNeedingDouble)
        return 1;
    const std::string encoded = ComPortCodec::escaped(bytes, size);
    return ComPortCodec::bytesSent(bytes, size, sendNow(encoded.data(), encoded.size()), m_escapeHalfOwed);
}

void TelnetLine::flush(bool input, bool output)
{
    NetworkLine::flush(input, output);
    if (portControlAgreed()) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        m_codec.purge(input, output);
    }
}

void TelnetLine::setBreak(bool on)
{
    if (portControlAgreed()) {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        m_codec.setBreak(on);
    }
}

bool TelnetLine::exchangeSettings(const ComPortCodec::WireSettings& settings)
{
    {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        m_codec.requestSettings(settings);
    }
    return awaitServer([&] { return m_codec.settingsAnswered(); }, answerWait);
}

template <typename Exchange> void TelnetLine::whileOpening(const Exchange& exchange)
{
    if (m_settingsExchanged) {
        exchange();
        return;
    }
    try {
        exchange();
    } catch (const SerialLineGoneException& failed) {
        throwOpenFailure(failed);
    }
}

void TelnetLine::adoptLine(LineImage& image)
{
    whileOpening([&] { adoptServerSettings(image); });
}

void TelnetLine::adoptServerSettings(LineImage& image)
{
    if (!portControlAgreed() || !exchangeSettings({})) {
        NetworkLine::adoptLine(image);
        return;
    }
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    // A line the settings cannot describe starts from the defaults.
    putSettings(image, m_codec.reportedSettings().value_or(CommSettings()));
}

void TelnetLine::applyImage(const LineImage& image)
{
    whileOpening([&] { applySettings(image); });
    m_settingsExchanged = true;
}

void TelnetLine::applySettings(const LineImage& image)
{
    if (!portControlAgreed()) {
        NetworkLine::applyImage(image);
        return;
    }
    const ComPortCodec::WireSettings wanted = ComPortCodec::wireSettings(image);
    if (!exchangeSettings(wanted)) {
        logError(L"Сервер порта '" + pathText(path()) + L"' не подтвердил параметры линии\n");
        throwSystemError(EINVAL);
    }
    {
        const std::lock_guard<std::mutex> guard(m_receiveMutex);
        const std::vector<ComPortCodec::Refusal> refused = m_codec.refusals(wanted);
        for (const ComPortCodec::Refusal& refusal : refused)
            logError(L"Сервер порта '" + pathText(path()) + L"' отказал в параметре " +
                     std::to_wstring(refusal.command) + L": запрошено " + std::to_wstring(refusal.wanted) +
                     L", установлено " + std::to_wstring(refusal.answered) + L"\n");
        if (!refused.empty())
            throwSystemError(EINVAL);
    }
    // A line without modem lines leaves these unanswered: nothing waits for them.
    const std::lock_guard<std::mutex> guard(m_receiveMutex);
    m_codec.setControls(image);
}

} // namespace KelComm::Serial::Internal
