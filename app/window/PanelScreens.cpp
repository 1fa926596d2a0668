#include "app/window/PanelScreens.h"

#include <QTextCodec>

#include <algorithm>

namespace PanelScreens {

namespace {

// The row's words in lines of at most `width` places; a longer word is cut.
QList<QByteArray> wrapped(const QByteArray& text, int width)
{
    QList<QByteArray> lines{QByteArray()};
    for (QByteArray word : text.split(' ')) {
        if (word.isEmpty())
            continue;
        const QByteArray& last = lines.last();
        if (!last.isEmpty() && last.size() + 1 + word.size() <= width) {
            lines.last() += ' ' + word;
            continue;
        }
        if (!last.isEmpty())
            lines << QByteArray();
        while (word.size() > width) {
            lines.last() = word.left(width);
            lines << QByteArray();
            word.remove(0, width);
        }
        lines.last() = word;
    }
    return lines;
}

QByteArray centredIn(const QByteArray& text, int width)
{
    const int left = static_cast<int>(width - text.size()) / 2;
    return QByteArray(left, ' ') + text + QByteArray(static_cast<int>(width - left - text.size()), ' ');
}

bool isBlank(const QByteArray& line) { return line.trimmed().isEmpty(); }

} // namespace

QByteArray row(const QString& text)
{
    static QTextCodec* const codec = QTextCodec::codecForName("Windows-1251");
    QByteArray bytes = codec->fromUnicode(text.left(places));
    bytes.append(places - bytes.size(), ' ');
    return bytes;
}

QByteArray centred(const QString& text)
{
    const int left = std::max(0, (places - static_cast<int>(text.size())) / 2);
    return row(QString(left, QLatin1Char(' ')) + text);
}

Screen welcome(bool english)
{
    if (english)
        return {row(QStringLiteral("       TEVOLAN      ")), row(QStringLiteral("       Velidar      ")),
                row(QStringLiteral("       v. 1.0       ")), centred(QString::fromLatin1(webAddress))};
    return {row(QStringLiteral("       ТЕВОЛАН      ")), row(QStringLiteral("       Велидар      ")), row(QString()),
            row(QStringLiteral("      Вер. 1.0      "))};
}

Screen panelOff(bool english)
{
    return {row(QString()),
            row(english ? QStringLiteral("  CONTROL PANEL OFF ") : QStringLiteral("    ПУ ВЫКЛЮЧЕНА    ")),
            row(QString()), centred(QString::fromLatin1(webAddress))};
}

Screen blank()
{
    return {row(QString()), row(QString()), row(QString()), row(QString())};
}

QList<QByteArray> fitted(const Screen& screen, int displayRows, int displayPlaces)
{
    QList<QByteArray> lines;
    if (displayRows <= 0 || displayPlaces <= 0)
        return lines;
    for (const QByteArray& line : screen) {
        if (displayPlaces >= places) {
            lines << centredIn(line, displayPlaces);
            continue;
        }
        for (const QByteArray& piece : wrapped(line.trimmed(), displayPlaces))
            lines << centredIn(piece, displayPlaces);
    }
    for (int index = 0; lines.size() > displayRows && index < lines.size();) {
        if (isBlank(lines[index]))
            lines.removeAt(index);
        else
            ++index;
    }
    while (lines.size() > displayRows)
        lines.removeLast();
    while (lines.size() < displayRows)
        lines << QByteArray(displayPlaces, ' ');
    return lines;
}

} // namespace PanelScreens
