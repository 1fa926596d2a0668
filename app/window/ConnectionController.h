#pragma once

#include "app/transmission/QOTransmissionThread.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QOIndicator;
class QOInputDevice;

// The device a connection goes to.
struct LinkTarget {
    QString portName;
    int address = 0;
    int baudRate = 0;
};

// The window's connection: one thread at a time, wired to the display and the keypad, what
// follows when it has ended, and the recording each new connection is handed.
class ConnectionController : public QObject {
    Q_OBJECT

public:
    enum class State {
        Idle,      // no device chosen, or the chosen one was left
        Linked,    // the chosen device's connection runs
        Ended,     // it ended by itself; the device stays chosen
        Leaving,   // the connection stops and nothing follows
        Switching, // the connection stops and the target's follows
    };

    ConnectionController(QOIndicator& display, QOInputDevice& keypad, QObject* parent = nullptr);
    // Finishes the connection still running.
    ~ConnectionController() override;

    State state() const { return m_state; }
    // A connection runs or follows the one stopping.
    bool isConnected() const { return m_state == State::Linked || m_state == State::Switching; }
    // The thread of the current connection; null once it has ended and was freed.
    QOTransmissionThread* thread() const { return m_thread; }
    const LinkTarget& target() const { return m_target; }

    int writeInterval() const { return m_writeInterval_ms; }
    void setWriteInterval(int interval_ms) { m_writeInterval_ms = interval_ms; }
    int requestPause() const { return m_requestPause_ms; }
    void setRequestPause(int pause_ms) { m_requestPause_ms = pause_ms; }
    bool intervalAfterReply() const { return m_intervalAfterReply; }
    void setIntervalAfterReply(bool wait) { m_intervalAfterReply = wait; }
    // 0 Russian, 1 English; the device learns it when a connection starts.
    int language() const { return m_language; }
    void setLanguage(int language) { m_language = language; }

    // The one way from one connection to the next: stops the current connection, if any, and
    // connects to `next` once it has let go of the line, at once when none runs.
    void stopThenConnect(std::optional<LinkTarget> next);
    // Leaves the chosen device; true when there was one.
    bool leave();
    // Connects to the chosen device afresh, if it is still connected; true when a device was
    // chosen.
    bool relink();
    // Stops the connection and waits, a bounded time, for its stop packet and the closing of
    // its port; a thread that has ended is freed at once.
    void finish();

    // Records every frame of this and later connections to the file; false, with `error`,
    // when it cannot be written.
    bool startRecording(const QString& path, QString& error);
    void stopRecording();
    const ExchangeRecorder* recorder() const { return m_recorder.get(); }

signals:
    // A new connection is about to start.
    void starting();
    // The current connection's events and the device's identifier, as the thread tells them.
    void alarm(int code, QString text);
    void deviceIdentified(int identifier);
    // The connection has ended and nothing follows.
    void ended();
    void recordingFailed(QString text);

private slots:
    void threadFinished();
    void recordingWriteFailed(const QString& text);

private:
    // How often a finishing connection is looked at.
    static constexpr std::chrono::milliseconds stopPollStep{10};

    bool deviceChosen() const { return isConnected() || m_state == State::Ended; }
    void start();
    void wire(QOTransmissionThread& thread);
    void recordConnection(QOTransmissionThread& thread);

    QOIndicator& m_display;
    QOInputDevice& m_keypad;
    State m_state = State::Idle;
    QPointer<QOTransmissionThread> m_thread;
    LinkTarget m_target;
    int m_writeInterval_ms = QOTransmissionThread::defaultWriteInterval_ms;
    int m_requestPause_ms = QOTransmissionThread::defaultRequestPause_ms();
    bool m_intervalAfterReply = false;
    int m_language = 0;
    std::shared_ptr<ExchangeRecorder> m_recorder;
};
