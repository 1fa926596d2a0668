#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Writes to a descriptor without ever waiting for its reader: what a reader that stops
// reading (a pipe nobody empties, a terminal held by Ctrl+S) has not taken waits in memory,
// up to maxQueuedBytes, and later writes beyond that are dropped whole. The event loop, and
// with it a termination request, never stops on the output.
class UnwaitedOutput : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype maxQueuedBytes = 64 * 1024;

    explicit UnwaitedOutput(int descriptor, QObject* parent = nullptr);
    ~UnwaitedOutput() override;
    UnwaitedOutput(const UnwaitedOutput&) = delete;
    UnwaitedOutput& operator=(const UnwaitedOutput&) = delete;

    void write(const QByteArray& bytes);

signals:
    // The reader has gone (a pipe closed); said once.
    void closed();

private:
    void flush();

    int m_descriptor = -1;
    bool m_socket = false;
    QByteArray m_queued;
    QSocketNotifier* m_writable = nullptr;
    bool m_closed = false;
};
