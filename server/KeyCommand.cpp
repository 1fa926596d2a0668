#include "server/KeyCommand.h"

#include "host/KeyNames.h"

#include <QJsonDocument>

namespace VPanel::Server {

namespace {
constexpr std::pair<const char*, KeyCommand::Action> actions[] = {
    {"tap", KeyCommand::Action::Tap},
    {"press", KeyCommand::Action::Press},
    {"release", KeyCommand::Action::Release},
};
} // namespace

const char* actionName(KeyCommand::Action action)
{
    for (const auto& [name, each] : actions)
        if (each == action)
            return name;
    return "";
}

std::optional<KeyCommand> parseKeyCommand(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject() || document.object().size() != 1)
        return std::nullopt;
    const QJsonObject object = document.object();
    for (const auto& [name, action] : actions) {
        const QJsonValue key = object.value(QLatin1String(name));
        if (!key.isString())
            continue;
        const QString keyName = key.toString();
        const auto scanCode = Host::scanCodeOf(keyName.toStdString());
        if (!scanCode || keyName.size() > 16)
            return std::nullopt;
        return KeyCommand{action, keyName, *scanCode};
    }
    return std::nullopt;
}

bool apply(const KeyCommand& command, Host::KeptDevice& device)
{
    switch (command.action) {
    case KeyCommand::Action::Tap: return device.tap(command.scanCode);
    case KeyCommand::Action::Press: return device.press(command.scanCode);
    case KeyCommand::Action::Release: return device.release(command.scanCode);
    }
    return false;
}

} // namespace VPanel::Server
