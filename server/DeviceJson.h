#pragma once

#include "host/KeptDevice.h"

#include <QJsonArray>
#include <QJsonObject>

#include <vector>

// The device as scripts and pages read it: the same names in the JSON interface and in the
// messages a page's socket receives.
namespace VPanel::Server::DeviceJson {

// Name, link state, identity, where it is reached, console and alarm.
QJsonObject summary(const Host::KeptDevice& device);
// The rows as text with their size, console and alarm.
QJsonObject screen(const Host::KeptDevice& device);

// Socket messages, each with its "type".
QJsonObject stateMessage(const Host::KeptDevice& device);
QJsonObject screenMessage(const Host::DeviceSnapshot& snapshot);
QJsonObject glyphsMessage(const Host::GlyphTable& glyphs, quint64 sequence);
QJsonObject journalMessage(const std::vector<Host::JournalEntry>& entries);

} // namespace VPanel::Server::DeviceJson
