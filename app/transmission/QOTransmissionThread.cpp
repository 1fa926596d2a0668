#include "app/transmission/QOTransmissionThread.h"

#include "app/datafiles/PortAdvice.h"
#include "app/transmission/LinkSession.h"
#include "app/transmission/LinkTiming.h"
#include "baselib/exceptions/Exception.h"
#include "comm/serial/SerialExceptions.h"

#include <exception>

QOTransmissionThread::QOTransmissionThread(QObject* parent) : QThread(parent) { registerSymbolMatrixMetaType(); }

QOTransmissionThread::~QOTransmissionThread()
{
    // Destroying a running QThread aborts the program: end the connection the orderly way.
    stope();
    wait();
}

std::chrono::milliseconds QOTransmissionThread::stopWaitBound() const
{
    return VPanel::Transmission::stopBound(m_baudRate, std::chrono::milliseconds(m_writeInterval_ms));
}

void QOTransmissionThread::setRecorder(std::shared_ptr<ExchangeRecorder> recorder)
{
    std::atomic_store(&m_recorder, std::move(recorder));
}

std::shared_ptr<ExchangeRecorder> QOTransmissionThread::recorder() const { return std::atomic_load(&m_recorder); }

void QOTransmissionThread::stope() { m_stop = true; }

void QOTransmissionThread::codePress(int cods)
{
    if (cods == VPanel::Link::ScanCode::Stop)
        stope();
    m_keyRow.press(cods);
}

void QOTransmissionThread::codeRelease(int cods) { m_keyRow.release(cods); }

void QOTransmissionThread::run()
{
    // The stop flag is not cleared here: a stop asked for right after start() must hold.
    Session session(*this);
    try {
        session.connect();
    } catch (const KelComm::Serial::SerialLineGoneException&) {
        // Nothing more can pass over a line that is gone: no repeats, no stop packet.
        session.abandon();
        emit alarm(eventCode(LinkEvent::Exception),
                   tr("Порт %1 исчез: устройство отключено или кабель вынут.").arg(m_portName));
    } catch (const std::exception& error) {
        QString text =
            QStringLiteral("%1: %2").arg(m_portName, QString::fromStdWString(KelBase::exceptionMessage(error)));
        if (const QString advice = PortAdvice::accessLine(m_portName); !advice.isEmpty())
            text += QLatin1Char('\n') + advice;
        emit alarm(eventCode(LinkEvent::Exception), text);
    }
    session.exit();
}
