#pragma once

// A port map and an empty kernel tty table of the benchmark's own, in a folder that is also
// its working folder, so that the simulator's port is the only one and nothing is left behind.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

namespace Bench {

class PrivatePortMap {
public:
    PrivatePortMap()
    {
        const QDir root(m_directory.path());
        root.mkdir(QStringLiteral("ports"));
        root.mkdir(QStringLiteral("sysfs"));
        setenv("KELCOMM_PORTS_DIR", ports().toLocal8Bit().constData(), 1);
        setenv("KELCOMM_SYSFS_ROOT", root.filePath(QStringLiteral("sysfs")).toLocal8Bit().constData(), 1);
        QDir::setCurrent(m_directory.path());
    }

    QString ports() const { return QDir(m_directory.path()).filePath(QStringLiteral("ports")); }
    QString filePath(const QString& name) const { return QDir(m_directory.path()).filePath(name); }

private:
    QTemporaryDir m_directory;
};

} // namespace Bench
