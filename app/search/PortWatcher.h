#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <chrono>

// Tells when serial ports may have come or gone, by watching the folders where their entries
// appear (the port map, the kernel's tty class, the device nodes). An adapter plugged in
// changes several of them at once; the burst is told once, after it has settled, but during a
// storm of changes that never settles, at the latest a while after the first of them.
class PortWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds settleTime{100};
    static constexpr std::chrono::milliseconds longestDelay{500};

    explicit PortWatcher(QObject* parent = nullptr);

signals:
    void changed();

private slots:
    void noticeChange();

private:
    // A folder that does not exist yet is watched through the nearest one above it, so that
    // its creation is seen as well.
    void watchFolders();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    // Since the first change not yet told.
    QElapsedTimer m_pending;
};
