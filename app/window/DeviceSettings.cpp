#include "app/window/DeviceSettings.h"

#include "datafiles/ProgramSettings.h"

#include <QSettings>
#include <QVariant>

namespace {
const QString geometryKey = QStringLiteral("geometry");
const QString positionKey = QStringLiteral("Position");
const QString soundKey = QStringLiteral("Sound");
const QString alarmMessageKey = QStringLiteral("AlarmMessage");
const QString numPadKey = QStringLiteral("NumPad");

bool storedFalse(const QVariant& value)
{
    return value.isValid() && !value.toBool();
}

bool storedTrue(const QVariant& value)
{
    return value.isValid() && value.toBool();
}
} // namespace

std::unique_ptr<QSettings> DeviceSettings::open()
{
    return VPanel::openProgramSettings();
}

DeviceSettings DeviceSettings::read(int device)
{
    const auto settings = open();
    settings->beginGroup(groupName(device));
    DeviceSettings result;
    result.geometry = settings->value(geometryKey).toRect();
    result.position = settings->value(positionKey).toPoint();
    result.sound = !storedFalse(settings->value(soundKey));
    result.alarmMessage = !storedFalse(settings->value(alarmMessageKey));
    result.numPad = storedTrue(settings->value(numPadKey));
    return result;
}

void DeviceSettings::write(int device) const
{
    const auto settings = open();
    settings->beginGroup(groupName(device));
    settings->setValue(geometryKey, geometry);
    settings->setValue(positionKey, position);
    settings->setValue(soundKey, sound);
    settings->setValue(alarmMessageKey, alarmMessage);
    settings->setValue(numPadKey, numPad);
}
