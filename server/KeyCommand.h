#pragma once

#include "host/KeptDevice.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace VPanel::Server {

// One key action as scripts and pages send it: {"tap": "F1"}, {"press": "F1"} or
// {"release": "F1"}.
struct KeyCommand {
    enum class Action { Tap, Press, Release };
    Action action = Action::Tap;
    QString keyName;
    int scanCode = 0;
};

const char* actionName(KeyCommand::Action action);

// Nothing for anything else: another field, two actions, an unknown key.
std::optional<KeyCommand> parseKeyCommand(const QByteArray& json);

// Hands the key to the device's link; false when no link runs or its key row is full.
bool apply(const KeyCommand& command, Host::KeptDevice& device);

} // namespace VPanel::Server
