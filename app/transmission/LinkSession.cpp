#include "app/transmission/LinkSession.h"

#include "link/Glyph.h"
#include "link/LineTiming.h"
#include "link/Requests.h"
#include "app/transmission/ExchangeRecorder.h"
#include "app/transmission/LinkTiming.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/SystemSerialPort.h"

#include <chrono>
#include <exception>
#include <type_traits>
#include <variant>

using namespace VPanel;

namespace {
constexpr int dataBits = 8;

// The text of a reply with the wrong length for its command.
QString wrongLengthText(std::uint16_t command)
{
    switch (command) {
    case Link::Command::DeviceIdentification:
        return QOTransmissionThread::tr("Ошибка: Пакет идентификации устройства - неверная длина пакета.");
    case Link::Command::ConsoleIdentification:
        return QOTransmissionThread::tr("Ошибка: Пакет идентификации консоли - неверная длина пакета.");
    case Link::Command::Start:
        return QOTransmissionThread::tr("Ошибка: Пакет старта - неверная длина пакета.");
    case Link::Command::Stop:
        return QOTransmissionThread::tr("Ошибка: Пакет остановки - неверная длина пакета.");
    case Link::Command::Exchange:
        return QOTransmissionThread::tr("Ошибка: Пакет обмена - неверная длина пакета.");
    default:
        return QOTransmissionThread::tr("Ошибка: Пакет получения символьной матрицы - неверная длина пакета.");
    }
}
} // namespace

QOTransmissionThread::Session::Session(QOTransmissionThread& owner)
    : m_owner(owner), m_address(static_cast<std::uint8_t>(owner.m_address))
{
}

QOTransmissionThread::Session::~Session() { exit(); }

void QOTransmissionThread::Session::connect()
{
    readDictionary();
    openPort();

    if (!required(Link::deviceIdentificationRequest(m_address), QOTransmissionThread::tr("Идентификация - удачно."),
                  QOTransmissionThread::tr("Идентификация - неудача.")))
        return;
    if (!required(Link::consoleIdentificationRequest(m_address),
                  QOTransmissionThread::tr("Идентификация консоли - успешно."),
                  QOTransmissionThread::tr("Идентификация консоли - неудача.")))
        return;
    if (!optional(Link::languageRequest(m_address, m_owner.m_language),
                  QOTransmissionThread::tr("Языковой пакет - удачно."),
                  QOTransmissionThread::tr("Языковой пакет - неудача.")))
        return;
    for (int index = 0; index < m_glyphCount; ++index) {
        const QString number = QString::number(index);
        const QString count = QString::number(m_glyphCount);
        if (!required(Link::symbolMatrixRequest(m_address, static_cast<std::uint8_t>(index)),
                      QOTransmissionThread::tr("Матрица №%1 из %2 считана.").arg(number, count),
                      QOTransmissionThread::tr("Матрица №%1 из %2 не считана.").arg(number, count)))
            return;
    }
    if (!optional(Link::startRequest(m_address), QOTransmissionThread::tr("Стартовый пакет - удачно."),
                  QOTransmissionThread::tr("Стартовый пакет - неудача.")))
        return;
    // Taps made while the connection was starting found no screen to act on.
    m_owner.m_keyRow.settle();
    while (pollStep()) {
    }
}

void QOTransmissionThread::Session::exit()
{
    if (m_exited)
        return;
    m_exited = true;
    try {
        if (m_port && m_port->isOpened())
            send(Link::stopRequest(m_address), true);
    } catch (const std::exception&) {
        // The line is going away anyway; the port is released below all the same.
    }
    try {
        if (m_port && m_port->isOpened())
            m_port->close();
    } catch (const std::exception&) {
        // Closing releases the line even when it reports a failure.
    }
    m_port.reset();
}

void QOTransmissionThread::Session::abandon()
{
    m_exited = true;
    m_port.reset();
}

void QOTransmissionThread::Session::readDictionary()
{
    if (auto dictionary = readDeviceDictionary(dataFileCandidates(QString::fromLatin1(dictionaryFileName))))
        m_dictionary = std::move(*dictionary);
    else
        emit m_owner.alarm(eventCode(LinkEvent::Progress),
                           QOTransmissionThread::tr("Отсутствует или нет доступа к файлу словаря идентификаторов."));
}

void QOTransmissionThread::Session::openPort()
{
    using namespace KelComm::Serial;
    const CommSettings settings(m_owner.m_baudRate, dataBits, Parity::None, StopBits::One, DTR_Control::Disable,
                                RTS_Control::Disable);
    m_port = std::make_unique<SystemSerialPort>(m_owner.m_portName.toStdWString(), settings, false);
    m_port->setTimeouts(
        Transmission::readTimeouts(m_owner.m_baudRate, std::chrono::milliseconds(m_owner.m_writeInterval_ms)), false);
    m_port->open();
}

bool QOTransmissionThread::Session::required(const Link::Frame& request, const QString& done, const QString& failed)
{
    if (stopHonoured())
        return false;
    if (send(request)) {
        emit m_owner.alarm(eventCode(LinkEvent::Progress), done);
        return true;
    }
    if (!stopHonoured())
        emit m_owner.alarm(eventCode(LinkEvent::DeviceSilent), failed);
    return false;
}

bool QOTransmissionThread::Session::optional(const Link::Frame& request, const QString& done, const QString& failed)
{
    if (stopHonoured())
        return false;
    emit m_owner.alarm(eventCode(LinkEvent::Progress), send(request) ? done : failed);
    return true;
}

bool QOTransmissionThread::Session::pollStep()
{
    if (stopHonoured())
        return false;
    if (send(Link::exchangeRequest(m_address, m_owner.m_keyRow.takeMask())))
        return true;
    if (!stopHonoured())
        emit m_owner.alarm(eventCode(LinkEvent::DeviceSilent), QOTransmissionThread::tr("Общение прервано по неизвестным причинам."));
    return false;
}

bool QOTransmissionThread::Session::stopHonoured()
{
    if (!stopRequested())
        return false;
    emit m_owner.alarm(eventCode(LinkEvent::Stopped), QString());
    return true;
}

bool QOTransmissionThread::Session::stopRequested() const { return m_owner.m_stop.load(); }

bool QOTransmissionThread::Session::send(const Link::Frame& request, bool untilBudget)
{
    return Link::repeatUntilAnswered(
        [&] {
            const bool written = write(request);
            // A reply may come even when the port reports the request short.
            return read(request) && written;
        },
        Link::repeatBudget, [&] { return !untilBudget && stopRequested(); });
}

bool QOTransmissionThread::Session::write(const Link::Frame& request)
{
    std::uint32_t written = 0;
    m_port->write(request.bytes(), static_cast<std::uint32_t>(request.size()), &written);
    if (written > 0)
        if (const auto recorder = m_owner.recorder())
            recorder->record(Link::FrameDirection::Request, request.bytes(), written);
    return written > Link::headerSize;
}

bool QOTransmissionThread::Session::read(const Link::Frame& request)
{
    std::uint32_t received = 0;
    m_port->read(m_reply.data(), static_cast<std::uint32_t>(m_reply.size()), &received, false);
    // As read, so that a reply the line split or joined is recorded as the panel saw it.
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

void QOTransmissionThread::Session::reportFailure(const Link::Frame& request, Link::ReplyStatus status)
{
    using Link::ReplyStatus;
    switch (status) {
    case ReplyStatus::Ok:
    case ReplyStatus::TooShort:
        return;
    case ReplyStatus::CommandMismatch:
        emit m_owner.alarm(eventCode(LinkEvent::Progress), QOTransmissionThread::tr("Команды не совпадают - Ошибка."));
        return;
    case ReplyStatus::AddressMismatch:
        emit m_owner.alarm(eventCode(LinkEvent::Progress), QOTransmissionThread::tr("Адреса не совпадают - Ошибка."));
        return;
    case ReplyStatus::ChecksumMismatch:
        emit m_owner.alarm(eventCode(LinkEvent::Progress),
                           QOTransmissionThread::tr("Контрольная сумма несовпадает - Ошибка."));
        return;
    case ReplyStatus::WrongLength:
        emit m_owner.alarm(eventCode(LinkEvent::BadReply), wrongLengthText(request.command()));
        return;
    case ReplyStatus::WrongFormat:
        emit m_owner.alarm(eventCode(LinkEvent::BadReply),
                           QOTransmissionThread::tr("Ошибка: Пакет обмена - неверный формат пакета."));
        return;
    case ReplyStatus::UnsupportedConsoleVersion:
        emit m_owner.alarm(eventCode(LinkEvent::ConsoleVersionUnsupported),
                           QOTransmissionThread::tr("Идентификация консоли - неудача. (version != 0)"));
        return;
    }
}

void QOTransmissionThread::Session::accept(const Link::Frame& request, const Link::ReplyContent& content)
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
                    emit m_owner.alarm(
                        eventCode(LinkEvent::ConsoleOffAtStart),
                        QOTransmissionThread::tr("Предупреждение: Стартовый пакет. Контрольная панель выключена."));
            } else if constexpr (std::is_same_v<Content, Link::StopState>) {
                if (value.deviceOff)
                    emit m_owner.alarm(
                        eventCode(LinkEvent::BadReply),
                        QOTransmissionThread::tr("Предупреждение: Пакет остановки. Устройство выключено."));
            } else if constexpr (std::is_same_v<Content, Link::ExchangeContent>) {
                acceptExchange(value);
            } else if constexpr (std::is_same_v<Content, Link::Glyph>) {
                // Start-up asks for the glyphs one by one: the reply is the glyph of the index asked.
                deliverGlyph(request.data()[0], value);
            }
        },
        content);
}

void QOTransmissionThread::Session::acceptDevice(const Link::DeviceIdentity& device)
{
    const QString major = QString::number(device.major);
    const QString minor = QString::number(device.minor);
    const auto name = m_dictionary.constFind(device.identifier);
    if (name != m_dictionary.cend())
        emit m_owner.alarm(eventCode(LinkEvent::DeviceIdentified),
                           QOTransmissionThread::tr("%1, версия ПО - %2.%3").arg(*name, major, minor));
    else
        emit m_owner.alarm(
            eventCode(LinkEvent::DeviceIdentified),
            QOTransmissionThread::tr("Неизвестный идентификатор устройства, версия ПО - %1.%2").arg(major, minor));
    emit m_owner.deviceIdentif(device.identifier);
}

void QOTransmissionThread::Session::acceptConsole(const Link::ConsoleIdentity& console)
{
    emit m_owner.alarm(
        eventCode(LinkEvent::ConsoleIdentified),
        QOTransmissionThread::tr("Идентификация консоли - %1 адрес № %2 Версия: %3 Кол-во строк %4  Кол-во мест "
                                 "%5  Кол-во символьных матриц %6")
            .arg(m_owner.m_portName, QString::number(m_address), QString::number(console.version),
                 QString::number(console.rows), QString::number(console.places), QString::number(console.glyphs)));
    emit m_owner.sizeIndicators(console.rows, console.places);
    m_console.resize(console.rows, console.places);
    emit m_owner.setMatrixSymbolSize(Link::DotMatrix::columns, Link::DotMatrix::rows);
    m_glyphCount = console.glyphs;
}

void QOTransmissionThread::Session::acceptExchange(const Link::ExchangeContent& content)
{
    for (const Link::GlyphUpdate& glyph : content.glyphs)
        deliverGlyph(glyph.code, glyph.glyph);
    const bool rowZero = !content.rows.empty() && content.rows.front().row == 0;
    if (!content.glyphs.empty() || rowZero)
        emit m_owner.resetView();

    const Transmission::ConsoleMirror::Changes changes = m_console.apply(content);
    // The window blanks the display when the console comes on, so the rows of the same reply
    // follow that event; the panel-off screen, in turn, goes over them.
    if (changes.consoleOn == true)
        emit m_owner.alarm(eventCode(LinkEvent::ConsoleOn), QOTransmissionThread::tr("Консоль включена."));
    for (const int row : changes.rows) {
        const std::vector<std::uint8_t>& cells = m_console.row(row);
        emit m_owner.setCells(row, 0,
                              QByteArray(reinterpret_cast<const char*>(cells.data()), static_cast<int>(cells.size())),
                              static_cast<int>(cells.size()));
    }
    if (changes.consoleOn == false)
        emit m_owner.alarm(eventCode(LinkEvent::ConsoleOff), QOTransmissionThread::tr("Консоль выключена."));
    if (changes.soundOn) {
        if (*changes.soundOn)
            emit m_owner.alarm(eventCode(LinkEvent::SoundOn), QOTransmissionThread::tr("Звук вкл."));
        else
            emit m_owner.alarm(eventCode(LinkEvent::SoundOff), QOTransmissionThread::tr("Звук выкл."));
    }
}

void QOTransmissionThread::Session::deliverGlyph(int code, const Link::Glyph& glyph)
{
    // Once stopping, the display is about to show other screens; and a window waiting for
    // the worker must not find it blocked on a glyph it delivers.
    if (stopRequested())
        return;
    const Link::DotMatrix dots = Link::dotsFromGlyph(glyph);
    SymbolMatrix matrix(Link::DotMatrix::columns, Link::DotMatrix::rows);
    for (int column = 0; column < Link::DotMatrix::columns; ++column)
        for (int row = 0; row < Link::DotMatrix::rows; ++row)
            matrix.setValue(column, row, dots.lit(column, row) ? 1 : 0);
    emit m_owner.setSymbolMatrix(static_cast<char>(code), matrix);
}
