#include "panel/LinkSession.h"

#include "link/Glyph.h"
#include "panel/LinkTexts.h"

#include <type_traits>
#include <variant>

// What the connection makes of a reply that came: the failure it tells, or what it learnt.

namespace VPanel::Panel {

namespace {
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
