#include "datafiles/PortAdvice.h"

#include "comm/serial/PortAccess.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {
constexpr std::size_t passwdBufferSize = 16384;

QString userName()
{
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(passwdBufferSize);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("$USER");
}
} // namespace

QString PortAdvice::accessLine(const QString& portName)
{
    const auto denied = KelComm::Serial::deniedAccess(portName.toStdWString());
    if (!denied)
        return QString();
    const QString group = QString::fromStdWString(denied->group);
    return tr("Устройство %1 принадлежит группе %2: добавьте пользователя в эту группу "
              "(sudo usermod -aG %2 %3) и войдите в систему заново.")
        .arg(QString::fromStdWString(denied->devicePath), group, userName());
}
