#pragma once

#include <QCoreApplication>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

class QSettings;

// The program's settings file and the window settings it keeps per device kind, in a group
// named by the device identifier in decimal.
class DeviceSettings {
    Q_DECLARE_TR_FUNCTIONS(QORemoteController)

public:
    // The program's settings; the device search keeps its own group in the same file.
    static std::unique_ptr<QSettings> open();
    static QString groupName(int device) { return QString::number(device); }

    // What the group holds, the defaults standing in for missing keys.
    static DeviceSettings read(int device);
    void write(int device) const;

    // Applied only when not inverted; a missing key gives an empty, inverted rectangle.
    QRect geometry;
    QPoint position;
    // Only a stored false turns sound or error reports off, only a stored true shows the
    // numeric block.
    bool sound = true;
    bool alarmMessage = true;
    bool numPad = false;
};
