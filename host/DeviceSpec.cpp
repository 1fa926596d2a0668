#include "host/DeviceSpec.h"

#include "comm/serial/PortName.h"
#include "panel/BusRanges.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <exception>

namespace VPanel::Host {

namespace {
QString translated(const char* text) { return QCoreApplication::translate("DeviceSpec", text); }

[[noreturn]] void refuse(const QString& text, const QString& why)
{
    throw DeviceSpecException(
        translated("Устройство '%1': %2").arg(text, why).toStdWString());
}

bool nameCharacter(QChar character)
{
    const char16_t code = character.unicode();
    return (code >= u'a' && code <= u'z') || (code >= u'A' && code <= u'Z') || (code >= u'0' && code <= u'9') ||
           code == u'_' || code == u'.' || code == u'-';
}

QString rateList()
{
    QStringList rates;
    for (const int rate : Panel::baudRates)
        rates << QString::number(rate);
    return rates.join(QLatin1String(", "));
}

bool portNameTaken(const QString& port)
{
    try {
        return KelComm::Serial::Internal::parsePortName(port.toStdWString()) != 0;
    } catch (const std::exception&) {
        return false;
    }
}
} // namespace

DeviceSpec parseDeviceSpec(const QString& text)
{
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        refuse(text, translated("ожидается ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ, например press1=COM7,1,115200"));
    const QString name = text.left(equals);
    const QStringList parts = text.mid(equals + 1).split(QLatin1Char(','));
    if (parts.size() != 3)
        refuse(text, translated("после '=' ожидаются порт, адрес и скорость через запятую"));

    // "." and ".." would be taken as path steps in the device's web address.
    const bool onlyDots = name.count(QLatin1Char('.')) == name.size();
    if (name.isEmpty() || onlyDots || name.size() > maxDeviceNameLength ||
        !std::all_of(name.begin(), name.end(), nameCharacter))
        refuse(text, translated("имя из 1..%1 латинских букв, цифр, '_', '.' и '-'").arg(maxDeviceNameLength));
    const QString port = parts[0].trimmed();
    if (!portNameTaken(port))
        refuse(text, translated("порт '%1' не годится: ожидается имя вида COM7").arg(port));
    bool numeric = false;
    const int address = parts[1].trimmed().toInt(&numeric, 10);
    if (!numeric || address < Panel::firstAddress || address > Panel::lastAddress)
        refuse(text, translated("адрес '%1' вне %2..%3").arg(parts[1]).arg(Panel::firstAddress).arg(Panel::lastAddress));
    const int baudRate = parts[2].trimmed().toInt(&numeric, 10);
    if (!numeric || std::find(Panel::baudRates.begin(), Panel::baudRates.end(), baudRate) == Panel::baudRates.end())
        refuse(text, translated("скорость '%1' не из %2").arg(parts[2], rateList()));
    return {name.toStdString(), port.toUpper().toStdString(), address, baudRate};
}

} // namespace VPanel::Host
