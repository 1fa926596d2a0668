#include "app/remote/RemoteChoice.h"

#include "datafiles/ProgramSettings.h"

#include <QFile>

namespace {
const QString group = QStringLiteral("RemoteDevice");
} // namespace

RemoteChoice RemoteChoice::remembered()
{
    const auto settings = VPanel::openProgramSettings();
    settings->beginGroup(group);
    RemoteChoice choice;
    choice.remember = settings->value(QStringLiteral("remember"), false).toBool();
    if (!choice.remember)
        return choice;
    choice.address.broker = settings->value(QStringLiteral("broker")).toString();
    choice.address.site = settings->value(QStringLiteral("site")).toString();
    choice.address.device = settings->value(QStringLiteral("device")).toString();
    choice.credentials.user = settings->value(QStringLiteral("user")).toString();
    choice.credentials.caFile = settings->value(QStringLiteral("caFile")).toString();
    choice.rememberPassword = settings->contains(QStringLiteral("password"));
    choice.credentials.password = settings->value(QStringLiteral("password")).toString();
    return choice;
}

void RemoteChoice::store() const
{
    const auto settings = VPanel::openProgramSettings();
    settings->remove(group);
    if (!remember)
        return;
    settings->beginGroup(group);
    settings->setValue(QStringLiteral("remember"), true);
    settings->setValue(QStringLiteral("broker"), address.broker);
    settings->setValue(QStringLiteral("site"), address.site);
    settings->setValue(QStringLiteral("device"), address.device);
    settings->setValue(QStringLiteral("user"), credentials.user);
    settings->setValue(QStringLiteral("caFile"), credentials.caFile);
    if (!rememberPassword)
        return;
    settings->setValue(QStringLiteral("password"), credentials.password);
    settings->sync();
    // The password is for this user's eyes only.
    QFile::setPermissions(settings->fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
