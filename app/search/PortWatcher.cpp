#include "app/search/PortWatcher.h"

#include "comm/serial/InstalledSerialPorts.h"

#include <QDir>
#include <QFileInfo>

PortWatcher::PortWatcher(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleTime);
    connect(&m_settle, &QTimer::timeout, this, &PortWatcher::changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &PortWatcher::noticeChange);
    watchFolders();
}

void PortWatcher::noticeChange()
{
    watchFolders();
    m_settle.start();
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
