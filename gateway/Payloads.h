#pragma once

#include "host/DeviceSnapshot.h"
#include "host/DeviceSpec.h"
#include "host/StandardGlyphs.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The JSON a gateway publishes for a device and the key messages it takes, as remote panels
// and dashboards read and write them.

namespace VPanel::Gateway {

// vpanel/SITE/DEVICE/LEAF
QString deviceTopic(const QString& site, const std::string& device, const char* leaf);

QByteArray statePayload(const Host::DeviceSnapshot& snapshot, const Host::DeviceSpec& definition, const QDateTime& now);
// What the broker says for the gateway when it dies, and the gateway itself when it stops.
QByteArray offlineStatePayload();
QByteArray screenPayload(const Host::DeviceSnapshot& snapshot, const QDateTime& now);
// Each code's 8 rows from the top, bit 4 the leftmost of the five columns.
QByteArray glyphsPayload(quint64 sequence, const Host::GlyphTable& glyphs);
QByteArray eventPayload(const Host::JournalEntry& entry);

struct KeyAction {
    enum class Kind { Tap, Press, Release };
    Kind kind = Kind::Tap;
    int scanCode = 0;
};

// {"tap":"F1"}, {"press":"F1"} or {"release":"F1"}; nothing with `error` said for anything else.
std::optional<KeyAction> parseKeyMessage(const QByteArray& payload, QString& error);

} // namespace VPanel::Gateway
