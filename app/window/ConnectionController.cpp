#include "app/window/ConnectionController.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"
#include "panel/ExchangeRecorder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <utility>

ConnectionController::ConnectionController(QOIndicator& display, QOInputDevice& keypad, QObject* parent)
    : QObject(parent), m_display(display), m_keypad(keypad)
{
}

ConnectionController::~ConnectionController()
{
    finish();
    stopRecording();
}

void ConnectionController::stopThenConnect(std::optional<LinkTarget> next)
{
    if (next)
        m_target = std::move(*next);
    if (m_thread) {
        // The current connection still holds the line: the next starts when it has let go.
        m_thread->stope();
        m_state = next ? State::Switching : State::Leaving;
        return;
    }
    if (next)
        start();
    else
        m_state = State::Idle;
}

bool ConnectionController::leave()
{
    const bool chosen = deviceChosen();
    stopThenConnect(std::nullopt);
    return chosen;
}

bool ConnectionController::relink()
{
    if (!deviceChosen())
        return false;
    // A connection that ended by itself is not started again.
    stopThenConnect(isConnected() ? std::optional(m_target) : std::nullopt);
    return true;
}

void ConnectionController::start()
{
    m_thread = new QOTransmissionThread;
    connect(m_thread, &QThread::finished, this, &ConnectionController::threadFinished);
    m_thread->setPortName(m_target.portName);
    m_thread->setAddress(m_target.address);
    m_thread->setBaudRate(m_target.baudRate);
    m_thread->setWriteInterval(m_writeInterval_ms);
    m_thread->setRequestPause(m_requestPause_ms);
    m_thread->setIntervalAfterReply(m_intervalAfterReply);
    m_thread->setLanguage(m_language);
    m_state = State::Linked;
    emit starting();
    wire(*m_thread);
    recordConnection(*m_thread);
    m_thread->start(QThread::InheritPriority);
    QCoreApplication::processEvents();
}

void ConnectionController::wire(QOTransmissionThread& thread)
{
    connect(&thread, &QOTransmissionThread::alarm, this, &ConnectionController::alarm);
    connect(&thread, &QOTransmissionThread::deviceIdentif, this, &ConnectionController::deviceIdentified);
    connect(&thread, &QOTransmissionThread::setMatrixSymbolSize, &m_display, &QOIndicator::setSymbolMatrixSize);
    connect(&thread, &QOTransmissionThread::sizeIndicators, &m_display, &QOIndicator::setDisplaySize);
    connect(&thread, &QOTransmissionThread::setSymbolMatrix, &m_display, &QOIndicator::setSymbolMatrix,
            Qt::BlockingQueuedConnection);
    connect(&thread, &QOTransmissionThread::setCells, &m_display, &QOIndicator::setCells);
    connect(&thread, &QOTransmissionThread::resetView, &m_display, &QOIndicator::reset);
    connect(&m_keypad, &QOInputDevice::codePressButton, &thread, &QOTransmissionThread::codePress);
    connect(&m_keypad, &QOInputDevice::codeReleaseButton, &thread, &QOTransmissionThread::codeRelease);
}

void ConnectionController::threadFinished()
{
    auto* finished = qobject_cast<QOTransmissionThread*>(sender());
    if (!finished)
        return;
    finished->deleteLater();
    if (finished != m_thread)
        return;
    m_thread = nullptr;
    if (m_state == State::Switching) {
        start();
        return;
    }
    m_state = m_state == State::Linked ? State::Ended : State::Idle;
    emit ended();
}

void ConnectionController::finish()
{
    QOTransmissionThread* thread = m_thread;
    stopThenConnect(std::nullopt);
    m_thread = nullptr;
    m_state = State::Idle;
    if (!thread)
        return;
    // What the stopping connection still reports has no window to go to any more.
    disconnect(thread, nullptr, this, nullptr);
    disconnect(thread, nullptr, &m_display, nullptr);
    disconnect(&m_keypad, nullptr, thread, nullptr);
    // Events are served while waiting: a glyph the worker is handing over blocks it until
    // the GUI thread has taken it.
    const auto deadline = std::chrono::steady_clock::now() + thread->stopWaitBound();
    while (!thread->wait(QDeadlineTimer(stopPollStep.count()))) {
        if (std::chrono::steady_clock::now() >= deadline) {
            qWarning("The connection did not end in time; it is left to end on its own");
            connect(thread, &QThread::finished, thread, &QObject::deleteLater);
            return;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    delete thread;
}

bool ConnectionController::startRecording(const QString& path, QString& error)
{
    stopRecording();
    std::string failure;
    m_recorder = ExchangeRecorder::open(QFile::encodeName(path).toStdString(), failure);
    if (!m_recorder) {
        error = QString::fromLocal8Bit(failure);
        return false;
    }
    // Told on the recorder's thread; only the recording still running is ended.
    m_recorder->onWriteFailed([this, recorder = std::weak_ptr(m_recorder)](const std::string& text) {
        QMetaObject::invokeMethod(
            this,
            [this, recorder, failure = QString::fromLocal8Bit(text)] {
                if (const auto failed = recorder.lock(); failed && failed == m_recorder)
                    recordingWriteFailed(failure);
            },
            Qt::QueuedConnection);
    });
    if (m_thread && m_thread->isRunning())
        recordConnection(*m_thread);
    return true;
}

void ConnectionController::stopRecording()
{
    if (!m_recorder)
        return;
    if (m_thread)
        m_thread->setRecorder(nullptr);
    // Finished here, so that the worker, which may hold the last reference, never writes.
    m_recorder->finish();
    m_recorder.reset();
}

void ConnectionController::recordConnection(QOTransmissionThread& thread)
{
    if (!m_recorder)
        return;
    m_recorder->beginConnection({m_target.portName.toStdString(), m_target.address, m_target.baudRate, m_writeInterval_ms});
    thread.setRecorder(m_recorder);
}

void ConnectionController::recordingWriteFailed(const QString& text)
{
    stopRecording();
    emit recordingFailed(text);
}
