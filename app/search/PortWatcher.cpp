#include "app/search/PortWatcher.h"

#include "comm/serial/InstalledSerialPorts.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

PortWatcher::PortWatcher(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        m_pending.invalidate();
        emit changed();
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &PortWatcher::noticeChange);
    watchFolders();
}

void PortWatcher::noticeChange()
{
    watchFolders();
    if (!m_pending.isValid())
        m_pending.start();
    const std::chrono::milliseconds sinceFirst(m_pending.elapsed());
    m_settle.start(std::clamp(longestDelay - sinceFirst, std::chrono::milliseconds::zero(), settleTime));
}

void PortWatcher::watchFolders()
{
    const QStringList watched = m_watcher.directories();
    for (const std::wstring& source : KelComm::Serial::InstalledSerialPorts::changeSources()) {
        QString folder = QDir::cleanPath(QString::fromStdWString(source));
        while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
            folder = QFileInfo(folder).path();
        if (!watched.contains(folder))
            m_watcher.addPath(folder);
    }
}
