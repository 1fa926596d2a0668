#include "app/window/PanelScreens.h"

#include <QTextCodec>

#include <algorithm>

namespace PanelScreens {

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

} // namespace PanelScreens
