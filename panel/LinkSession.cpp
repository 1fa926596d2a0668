#include "panel/LinkSession.h"

#include "baselib/platform/Conversion.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"
#include "link/Glyph.h"
#include "link/LineTiming.h"
#include "link/Requests.h"
#include "panel/LinkTexts.h"
#include "panel/LinkTiming.h"
#include "panel/ReplyEnd.h"
#include "panel/SharedLine.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>

namespace VPanel::Panel {

namespace {
// One lost reply on a noisy line looks the same as a device that did not hear a request sent
// too soon. Each such miss counts up and each request heard after the short gap counts down, so
// a device that misses most of them gives the short turnaround up within a few dozen requests,
// while a line losing one reply in five climbs this high about once in a million polls.
constexpr int shortGapMissesToGiveUp = 10;

// The text of a reply with the wrong length for its command.
const char* wrongLengthText(std::uint16_t command)
{
    switch (command) {
    case Link::Command::DeviceIdentification:
        return QT_TRANSLATE_NOOP("QOTransmissionThread", "Ошибка: Пакет идентификации устройства - неверная длина пакета.");
    case Link::Command::ConsoleIdentification:
        return QT_TRANSLATE_NOOP("QOTransmissionThread", "Ошибка: Пакет идентификации консоли - неверная длина пакета.");
    case Link::Command::Start:
        return QT_TRANSLATE_NOOP("QOTransmissionThread", "Ошибка: Пакет старта - неверная длина пакета.");
    case Link::Command::Stop:
        return QT_TRANSLATE_NOOP("QOTransmissionThread", "Ошибка: Пакет остановки - неверная длина пакета.");
    case Link::Command::Exchange:
        return QT_TRANSLATE_NOOP("QOTransmissionThread", "Ошибка: Пакет обмена - неверная длина пакета.");
    default:
        return QT_TRANSLATE_NOOP("QOTransmissionThread",
                                 "Ошибка: Пакет получения символьной матрицы - неверная длина пакета.");
    }
}
} // namespace

DeviceLink::Session::Session(DeviceLink& owner)
    : m_owner(owner), m_observer(owner.m_observer),
      m_address(static_cast<std::uint8_t>(owner.m_parameters.address)),
      m_replyBound(attemptBound(owner.m_parameters.baudRate, owner.m_parameters.writeInterval)),
      m_turnaround(turnaroundGap(owner.m_parameters.baudRate, owner.m_parameters.requestPause))
{
}

DeviceLink::Session::~Session() { exit(); }

void DeviceLink::Session::connect()
{
    joinLine();

    if (!required(Link::deviceIdentificationRequest(m_address),
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Идентификация - удачно."), {}},
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Идентификация - неудача."), {}}))
        return;
    if (!required(Link::consoleIdentificationRequest(m_address),
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Идентификация консоли - успешно."), {}},
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Идентификация консоли - неудача."), {}}))
        return;
    if (!optional(Link::languageRequest(m_address, m_owner.m_parameters.language),
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Языковой пакет - удачно."), {}},
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Языковой пакет - неудача."), {}}))
        return;
    for (int index = 0; index < m_glyphCount; ++index) {
        const std::vector<std::string> counted{std::to_string(index), std::to_string(m_glyphCount)};
        if (!required(Link::symbolMatrixRequest(m_address, static_cast<std::uint8_t>(index)),
                      {QT_TRANSLATE_NOOP("QOTransmissionThread", "Матрица №%1 из %2 считана."), counted},
                      {QT_TRANSLATE_NOOP("QOTransmissionThread", "Матрица №%1 из %2 не считана."), counted}))
            return;
    }
    if (!optional(Link::startRequest(m_address),
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Стартовый пакет - удачно."), {}},
                  {QT_TRANSLATE_NOOP("QOTransmissionThread", "Стартовый пакет - неудача."), {}}))
        return;
    // Taps made while the connection was starting found no screen to act on.
    m_owner.m_keyRow.settle();
    while (pollStep()) {
    }
}

void DeviceLink::Session::exit()
{
    if (m_exited)
        return;
    m_exited = true;
    try {
        if (m_line && !m_line->gone())
            send(Link::stopRequest(m_address), true);
    } catch (const KelComm::Serial::SerialLineGoneException&) {
        // The other connections on the line find it gone without waiting out their repeats.
        m_line->markGone();
    } catch (...) {
        // The line is going away anyway, whatever failed, the port or the observer; the line
        // is left below all the same.
    }
    leaveLine();
}

void DeviceLink::Session::abandon()
{
    m_exited = true;
    if (m_line)
        m_line->markGone();
    leaveLine();
}

void DeviceLink::Session::joinLine()
{
    m_line = SharedLine::join(m_owner.m_parameters);
    m_seat = m_line->turns().join([this] {
        // A stop outranks keys: the stop's bound counts on it.
        if (m_owner.stopRequested())
            return 2;
        return m_owner.m_keyRow.changeWaiting() ? 1 : 0;
    });
    m_owner.attachLine(&m_line->turns());
}

void DeviceLink::Session::leaveLine()
{
    if (!m_line)
        return;
    m_owner.attachLine(nullptr);
    m_line->turns().leave(m_seat);
    // The last connection to leave closes the port.
    m_line.reset();
}

void DeviceLink::Session::report(LinkEvent code, const char* source, std::vector<std::string> arguments)
{
    m_observer.linkEvent({code, {source, std::move(arguments)}});
}

bool DeviceLink::Session::required(const Link::Frame& request, const EventText& done, const EventText& failed)
{
    if (stopHonoured())
        return false;
    if (send(request)) {
        m_observer.linkEvent({LinkEvent::Progress, done});
        return true;
    }
    if (!stopHonoured())
        m_observer.linkEvent({LinkEvent::DeviceSilent, failed});
    return false;
}

bool DeviceLink::Session::optional(const Link::Frame& request, const EventText& done, const EventText& failed)
{
    if (stopHonoured())
        return false;
    const bool answered = send(request);
    // A stop cuts the request short: that is no failure of the device's.
    if (!answered && stopHonoured())
        return false;
    m_observer.linkEvent({LinkEvent::Progress, answered ? done : failed});
    return true;
}

bool DeviceLink::Session::pollStep()
{
    if (stopHonoured())
        return false;
    // The keys are taken once the line is this device's and the pause is over, so that a key
    // pressed meanwhile rides this request rather than waiting a whole round for the next.
    if (send([this] { return Link::exchangeRequest(m_address, m_owner.m_keyRow.takeMask()); }))
        return true;
    if (!stopHonoured())
        report(LinkEvent::DeviceSilent,
               QT_TRANSLATE_NOOP("QOTransmissionThread", "Общение прервано по неизвестным причинам."));
    return false;
}

bool DeviceLink::Session::stopHonoured()
{
    if (!m_owner.stopRequested())
        return false;
    report(LinkEvent::Stopped, "");
    return true;
}

bool DeviceLink::Session::send(const Link::Frame& request, bool untilBudget)
{
    return send([&request] { return request; }, untilBudget);
}

bool DeviceLink::Session::send(const std::function<Link::Frame()>& makeRequest, bool untilBudget)
{
    std::optional<Link::Frame> request;
    return Link::repeatUntilAnswered(
        [&] {
            // One attempt per turn: a device that does not answer holds the others up for no
            // longer than one attempt, and a key or a stop on another waits no longer either.
            const LineTurn turn(m_line->turns(), m_seat, [&] { return !untilBudget && m_owner.stopRequested(); });
            if (!turn.held())
                return false;
            // A long pause before the request must not hold a stop back, nor let the request
            // through once the stop came; the stop packet itself waits the pause out.
            if (!untilBudget && m_owner.sleepUnlessStopped(m_line->timing().requestDue))
                return false;
            if (!request)
                request = makeRequest();
            return attempt(*request);
        },
        Link::repeatBudget, [&] { return !untilBudget && m_owner.stopRequested(); });
}

bool DeviceLink::Session::attempt(const Link::Frame& request)
{
    try {
        m_line->useWriteInterval(m_owner.m_parameters.writeInterval);
        const bool afterShortGap = m_line->timing().lastEndedAtFrame;
        const bool written = write(request);
        // A reply may come even when the port reports the request short.
        const bool answered = read(request) && written;
        watchTurnaround(afterShortGap, answered);
        return answered;
    } catch (const KelComm::Serial::SerialLineGoneException&) {
        m_line->markGone();
        throw;
    }
}

bool DeviceLink::Session::write(const Link::Frame& request)
{
    std::this_thread::sleep_until(m_line->timing().requestDue);
    // A reply taken at its last byte may have had more behind it, maybe for another device on
    // the line; those bytes are no part of the reply to this request.
    discardStaleInput();
    std::uint32_t written = 0;
    m_line->port().write(request.bytes(), static_cast<std::uint32_t>(request.size()), &written);
    if (written > 0)
        if (const auto recorder = m_owner.recorder())
            recorder->record(Link::FrameDirection::Request, request.bytes(), written);
    return written > Link::headerSize;
}

std::uint32_t DeviceLink::Session::receive(const Link::Frame& request)
{
    using Clock = std::chrono::steady_clock;
    // A device may keep a reply coming byte by byte, each within the gap that ends it: a read
    // asks only for as many bytes as can come, one gap each, before the reply's time is up.
    const auto gap = replyGap(m_owner.m_parameters.writeInterval);
    const auto end = Clock::now() + m_replyBound;
    std::uint32_t received = 0;
    bool endedAtFrame = false;
    for (auto now = Clock::now(); received < m_reply.size() && now < end; now = Clock::now()) {
        const auto fits = static_cast<std::size_t>((end - now) / gap);
        const std::size_t room =
            bytesStillWanted(request, m_reply.data(), received, consoleShape(), m_reply.size() - received);
        const auto slice = static_cast<std::uint32_t>(std::clamp<std::size_t>(fits, 1, room));
        std::uint32_t got = 0;
        m_line->port().read(m_reply.data() + received, slice, &got, received > 0);
        received += got;
        endedAtFrame = got == slice && endsWithFrame(request, received);
        if (got < slice || endedAtFrame)
            break;
    }
    scheduleNextRequest(endedAtFrame, received);
    return received;
}

void DeviceLink::Session::scheduleNextRequest(bool endedAtFrame, std::uint32_t received)
{
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::nanoseconds silenceSeen = m_owner.m_parameters.writeInterval;
    SharedLine::Timing& line = m_line->timing();
    line.lastEndedAtFrame = endedAtFrame;
    if (endedAtFrame) {
        line.lastFrameEnd = now;
        line.requestDue = now + m_turnaround;
        return;
    }
    line.requestDue = now + std::max(m_turnaround - silenceSeen, std::chrono::nanoseconds::zero());
    // A request that may not have been heard is followed only after the full interval since the
    // line's last reply, so that the next request tells whether the gap was too short.
    if (received == 0)
        line.requestDue = std::max(line.requestDue, line.lastFrameEnd + m_owner.m_parameters.writeInterval);
}

void DeviceLink::Session::watchTurnaround(bool afterShortGap, bool answered)
{
    if (m_line->keepsInterval())
        return;
    SharedLine::Timing& line = m_line->timing();
    if (afterShortGap) {
        line.unheardAfterShortGap = m_replySize == 0;
        if (answered)
            line.shortGapMisses = std::max(line.shortGapMisses - 1, 0);
        return;
    }
    if (!std::exchange(line.unheardAfterShortGap, false) || !answered)
        return;
    if (++line.shortGapMisses < shortGapMissesToGiveUp)
        return;
    m_line->keepInterval();
    // The reply just taken was taken at its last byte: the next request, too, waits the interval.
    line.requestDue = std::max(line.requestDue, line.lastFrameEnd + m_owner.m_parameters.writeInterval);
    report(LinkEvent::Progress,
           QT_TRANSLATE_NOOP("QOTransmissionThread",
                             "Устройство не успевает принять запрос сразу после ответа: обмен ведётся с интервалом записи."));
}

bool DeviceLink::Session::endsWithFrame(const Link::Frame& request, std::uint32_t received)
{
    // A byte already behind the frame makes the reply longer than its command allows: the
    // line's silence ends it, as for any reply in doubt.
    return !m_line->keepsInterval() && isWholeReply(request, m_reply.data(), received, consoleShape()) && queuedInput() == 0;
}

void DeviceLink::Session::discardStaleInput()
{
    const std::uint32_t queued = std::min(queuedInput(), static_cast<std::uint32_t>(m_reply.size()));
    if (queued == 0)
        return;
    std::uint32_t got = 0;
    m_line->port().read(m_reply.data(), queued, &got, true);
    if (got > 0)
        if (const auto recorder = m_owner.recorder())
            recorder->record(Link::FrameDirection::Reply, m_reply.data(), got);
}

std::uint32_t DeviceLink::Session::queuedInput()
{
    std::uint32_t input = 0;
    std::uint32_t output = 0;
    m_line->port().queryQueueStatus(input, output);
    return input;
}

Link::ConsoleShape DeviceLink::Session::consoleShape() const
{
    return {static_cast<std::size_t>(m_console.rows()), static_cast<std::size_t>(m_console.places())};
}

bool DeviceLink::Session::read(const Link::Frame& request)
{
    const std::uint32_t received = receive(request);
    m_replySize = received;
    // As read, so that a reply the line split or joined is recorded as the link saw it.
    if (received > 0)
        if (const auto recorder = m_owner.recorder())
            recorder->record(Link::FrameDirection::Reply, m_reply.data(), received);
    const Link::Reply reply =
        Link::decodeReply(request, m_reply.data(), received, static_cast<std::size_t>(m_console.places()));
    if (reply.status != Link::ReplyStatus::Ok) {
        reportFailure(request, reply.status);
        return false;
    }
    accept(request, reply.content);
    return true;
}

void DeviceLink::Session::reportFailure(const Link::Frame& request, Link::ReplyStatus status)
{
    using Link::ReplyStatus;
    switch (status) {
    case ReplyStatus::Ok:
    case ReplyStatus::TooShort:
        return;
    case ReplyStatus::CommandMismatch:
        report(LinkEvent::Progress, QT_TRANSLATE_NOOP("QOTransmissionThread", "Команды не совпадают - Ошибка."));
        return;
    case ReplyStatus::AddressMismatch:
        report(LinkEvent::Progress, QT_TRANSLATE_NOOP("QOTransmissionThread", "Адреса не совпадают - Ошибка."));
        return;
    case ReplyStatus::ChecksumMismatch:
        report(LinkEvent::Progress,
               QT_TRANSLATE_NOOP("QOTransmissionThread", "Контрольная сумма несовпадает - Ошибка."));
        return;
    case ReplyStatus::WrongLength:
        report(LinkEvent::BadReply, wrongLengthText(request.command()));
        return;
    case ReplyStatus::WrongFormat:
        report(LinkEvent::BadReply,
               QT_TRANSLATE_NOOP("QOTransmissionThread", "Ошибка: Пакет обмена - неверный формат пакета."));
        return;
    case ReplyStatus::UnsupportedConsoleVersion:
        report(LinkEvent::ConsoleVersionUnsupported,
               QT_TRANSLATE_NOOP("QOTransmissionThread", "Идентификация консоли - неудача. (version != 0)"));
        return;
    }
}

void DeviceLink::Session::accept(const Link::Frame& request, const Link::ReplyContent& content)
{
    std::visit(
        [&](const auto& value) {
            using Content = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Content, Link::DeviceIdentity>) {
                acceptDevice(value);
            } else if constexpr (std::is_same_v<Content, Link::ConsoleIdentity>) {
                acceptConsole(value);
            } else if constexpr (std::is_same_v<Content, Link::StartState>) {
                if (value.panelOff)
                    report(LinkEvent::ConsoleOffAtStart,
                           QT_TRANSLATE_NOOP("QOTransmissionThread",
                                             "Предупреждение: Стартовый пакет. Контрольная панель выключена."));
            } else if constexpr (std::is_same_v<Content, Link::StopState>) {
                if (value.deviceOff)
                    report(LinkEvent::BadReply, QT_TRANSLATE_NOOP("QOTransmissionThread",
                                                                  "Предупреждение: Пакет остановки. Устройство выключено."));
            } else if constexpr (std::is_same_v<Content, Link::ExchangeContent>) {
                acceptExchange(value);
            } else if constexpr (std::is_same_v<Content, Link::Glyph>) {
                // Start-up asks for the glyphs one by one: the reply is the glyph of the index asked.
                deliverGlyph(request.data()[0], value);
            }
        },
        content);
}

void DeviceLink::Session::acceptDevice(const Link::DeviceIdentity& device)
{
    const std::string major = std::to_string(device.major);
    const std::string minor = std::to_string(device.minor);
    const auto& names = m_owner.m_parameters.deviceNames;
    if (const auto name = names.find(device.identifier); name != names.end())
        report(LinkEvent::DeviceIdentified, QT_TRANSLATE_NOOP("QOTransmissionThread", "%1, версия ПО - %2.%3"),
               {name->second, major, minor});
    else
        report(LinkEvent::DeviceIdentified,
               QT_TRANSLATE_NOOP("QOTransmissionThread", "Неизвестный идентификатор устройства, версия ПО - %1.%2"),
               {major, minor});
    m_observer.deviceIdentified(device.identifier);
}

void DeviceLink::Session::acceptConsole(const Link::ConsoleIdentity& console)
{
    report(LinkEvent::ConsoleIdentified,
           QT_TRANSLATE_NOOP("QOTransmissionThread",
                             "Идентификация консоли - %1 адрес № %2 Версия: %3 Кол-во строк %4  Кол-во мест "
                             "%5  Кол-во символьных матриц %6"),
           {m_owner.m_parameters.port, std::to_string(m_address), std::to_string(console.version),
            std::to_string(console.rows), std::to_string(console.places), std::to_string(console.glyphs)});
    m_observer.consoleSized(console.rows, console.places);
    m_console.resize(console.rows, console.places);
    m_glyphCount = console.glyphs;
}

void DeviceLink::Session::acceptExchange(const Link::ExchangeContent& content)
{
    for (const Link::GlyphUpdate& glyph : content.glyphs)
        deliverGlyph(glyph.code, glyph.glyph);
    const bool rowZero = !content.rows.empty() && content.rows.front().row == 0;
    if (!content.glyphs.empty() || rowZero)
        m_observer.viewReset();

    const ConsoleMirror::Changes changes = m_console.apply(content);
    // A display blanks when the console comes on, so the rows of the same reply follow that
    // event; the console-off screen, in turn, goes over them.
    if (changes.consoleOn == true)
        report(LinkEvent::ConsoleOn, QT_TRANSLATE_NOOP("QOTransmissionThread", "Консоль включена."));
    for (const int row : changes.rows)
        m_observer.rowChanged(row, m_console.row(row));
    if (changes.consoleOn == false)
        report(LinkEvent::ConsoleOff, QT_TRANSLATE_NOOP("QOTransmissionThread", "Консоль выключена."));
    if (changes.soundOn) {
        if (*changes.soundOn)
            report(LinkEvent::SoundOn, QT_TRANSLATE_NOOP("QOTransmissionThread", "Звук вкл."));
        else
            report(LinkEvent::SoundOff, QT_TRANSLATE_NOOP("QOTransmissionThread", "Звук выкл."));
    }
}

void DeviceLink::Session::deliverGlyph(int code, const Link::Glyph& glyph)
{
    // Once stopping, the display is about to show other screens; and a host waiting for the
    // link must not find it blocked on a glyph it delivers.
    if (m_owner.stopRequested())
        return;
    m_observer.glyphChanged(code, Link::dotsFromGlyph(glyph));
}

} // namespace VPanel::Panel
