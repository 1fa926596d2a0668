#include "datafiles/DeviceDictionary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>

namespace VPanel {

namespace {
constexpr char lineEnd = '\n';
constexpr char carriageReturn = '\r';
constexpr char fieldSeparator = '\t';
} // namespace

DeviceDictionary parseDeviceDictionary(const QByteArray& windows1251)
{
    QTextCodec* codec = QTextCodec::codecForName("Windows-1251");
    const QString text = codec ? codec->toUnicode(windows1251) : QString::fromLatin1(windows1251);
    DeviceDictionary dictionary;
    for (QString line : text.split(QLatin1Char(lineEnd))) {
        if (line.endsWith(QLatin1Char(carriageReturn)))
            line.chop(1);
        const QStringList parts = line.split(QLatin1Char(fieldSeparator));
        if (parts.size() == 2)
            dictionary.insert(parts[0].toInt(), parts[1]);
    }
    return dictionary;
}

QStringList dataFileCandidates(const QString& fileName)
{
    return QStringList{QDir::current().filePath(fileName)} + installedFileCandidates(fileName);
}

QStringList installedFileCandidates(const QString& fileName)
{
    QStringList candidates;
    // Without an application object there is no executable's directory to ask for.
    if (QCoreApplication::instance()) {
        const QDir executableDir(QCoreApplication::applicationDirPath());
        candidates << executableDir.filePath(fileName)
                   << QDir(executableDir.filePath(QStringLiteral(VPANEL_DATA_DIR_FROM_BIN))).filePath(fileName);
    }
    candidates << QDir(QStringLiteral(VPANEL_DATA_DIR)).filePath(fileName);
    return candidates;
}

std::optional<DeviceDictionary> readDeviceDictionary(const QStringList& paths)
{
    for (const QString& path : paths) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return parseDeviceDictionary(file.readAll());
    }
    return std::nullopt;
}

} // namespace VPanel
