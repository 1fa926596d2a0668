#include "app/transmission/QOTransmissionThread.h"

#include "datafiles/DeviceDictionary.h"
#include "datafiles/PortAdvice.h"
#include "link/Keys.h"
#include "panel/ExchangeRecorder.h"
#include "panel/LinkTiming.h"

#include <QCoreApplication>

#include <cstring>

using namespace VPanel;

namespace {
// The taps of a moment, not a history: beyond this the oldest are forgotten.
constexpr std::size_t earlyKeyLimit = Link::KeyRow::pendingLimit;

QString translated(const Panel::EventText& text)
{
    const QString pattern = QCoreApplication::translate("QOTransmissionThread", text.source);
    return QString::fromStdString(Panel::fillIn(pattern.toStdString(), text.arguments));
}
} // namespace

QOTransmissionThread::QOTransmissionThread(QObject* parent) : QThread(parent) { registerSymbolMatrixMetaType(); }

QOTransmissionThread::~QOTransmissionThread()
{
    // Destroying a running QThread aborts the program: end the connection the orderly way.
    stope();
    wait();
}

std::chrono::milliseconds QOTransmissionThread::stopWaitBound() const
{
    return Panel::stopBound(m_baudRate, std::chrono::milliseconds(m_writeInterval_ms),
                            std::chrono::milliseconds(m_requestPause_ms));
}

void QOTransmissionThread::setRecorder(std::shared_ptr<ExchangeRecorder> recorder)
{
    std::lock_guard lock(m_linkMutex);
    m_recorder = std::move(recorder);
    if (m_link)
        m_link->setRecorder(m_recorder);
}

void QOTransmissionThread::stope()
{
    std::lock_guard lock(m_linkMutex);
    m_stop = true;
    if (m_link)
        m_link->stop();
}

void QOTransmissionThread::codePress(int cods)
{
    if (cods == Link::ScanCode::Stop)
        stope();
    forwardKey(cods, true);
}

void QOTransmissionThread::codeRelease(int cods) { forwardKey(cods, false); }

void QOTransmissionThread::forwardKey(int code, bool pressed)
{
    std::lock_guard lock(m_linkMutex);
    if (m_link) {
        pressed ? m_link->press(code) : m_link->release(code);
        return;
    }
    if (m_earlyKeys.size() >= earlyKeyLimit)
        m_earlyKeys.erase(m_earlyKeys.begin());
    m_earlyKeys.emplace_back(code, pressed);
}

Panel::LinkParameters QOTransmissionThread::linkParameters(std::map<int, std::string> deviceNames) const
{
    Panel::LinkParameters parameters;
    parameters.port = m_portName.toStdString();
    parameters.address = m_address;
    parameters.baudRate = m_baudRate;
    parameters.writeInterval = std::chrono::milliseconds(m_writeInterval_ms);
    parameters.requestPause = std::chrono::milliseconds(m_requestPause_ms);
    parameters.intervalAfterReply = m_intervalAfterReply;
    parameters.language = m_language;
    parameters.deviceNames = std::move(deviceNames);
    return parameters;
}

void QOTransmissionThread::run()
{
    std::map<int, std::string> deviceNames;
    if (const auto dictionary = readDeviceDictionary(dataFileCandidates(QString::fromLatin1(dictionaryFileName)))) {
        for (auto entry = dictionary->cbegin(); entry != dictionary->cend(); ++entry)
            deviceNames.emplace(entry.key(), entry.value().toStdString());
    } else {
        emit alarm(eventCode(LinkEvent::Progress), tr("Отсутствует или нет доступа к файлу словаря идентификаторов."));
    }

    Panel::DeviceLink* link = nullptr;
    {
        std::lock_guard lock(m_linkMutex);
        Panel::LinkObserver& observer = *this;
        m_link = std::make_unique<Panel::DeviceLink>(linkParameters(std::move(deviceNames)), observer);
        link = m_link.get();
        for (const auto& [code, pressed] : m_earlyKeys)
            pressed ? link->press(code) : link->release(code);
        m_earlyKeys.clear();
        link->setRecorder(m_recorder);
        if (m_stop)
            link->stop();
    }
    try {
        link->run();
    } catch (...) {
        // Only a failing report gets here; nothing leaves the thread.
    }
    std::lock_guard lock(m_linkMutex);
    m_link.reset();
}

void QOTransmissionThread::linkEvent(const Panel::Event& event)
{
    QString text = translated(event.text);
    if (event.code == LinkEvent::Exception && std::strcmp(event.text.source, Panel::portFailureText) == 0)
        if (const QString advice = PortAdvice::accessLine(m_portName); !advice.isEmpty())
            text += QLatin1Char('\n') + advice;
    emit alarm(eventCode(event.code), text);
}

void QOTransmissionThread::consoleSized(int rows, int places)
{
    emit sizeIndicators(rows, places);
    emit setMatrixSymbolSize(Link::DotMatrix::columns, Link::DotMatrix::rows);
}

void QOTransmissionThread::glyphChanged(int code, const Link::DotMatrix& dots)
{
    emit setSymbolMatrix(static_cast<char>(code), SymbolMatrix::fromDots(dots));
}

void QOTransmissionThread::rowChanged(int row, const std::vector<std::uint8_t>& cells)
{
    const int count = static_cast<int>(cells.size());
    emit setCells(row, 0, QByteArray(reinterpret_cast<const char*>(cells.data()), count), count);
}

void QOTransmissionThread::viewReset() { emit resetView(); }

void QOTransmissionThread::deviceIdentified(int identifier) { emit deviceIdentif(identifier); }
