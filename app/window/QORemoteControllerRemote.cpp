// The main window's devices kept by a gateway and reached through the broker.

#include "app/window/QORemoteController.h"

#include "app/remote/RemoteChoice.h"
#include "app/remote/RemoteSource.h"
#include "app/window/RemoteDialog.h"
#include "mqtt/MqttException.h"

#include <QTabWidget>

void QORemoteController::openRemoteDialog()
{
    showRemoteDialog(RemoteChoice::remembered());
}

void QORemoteController::showRemoteDialog(const RemoteChoice& initial)
{
    auto* dialog = new RemoteDialog(initial, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const RemoteChoice choice = dialog->choice();
        choice.store();
        openRemote(choice);
    });
    connect(dialog, &QObject::destroyed, m_ui.tabs, [this] { keyboardToCurrentTab(); });
    dialog->open();
    keyboardAwayFromTabs();
}

bool QORemoteController::openRemoteUrl(const QString& url)
{
    QString error;
    const RemoteAddress address = RemoteAddress::parse(url, error);
    if (!error.isEmpty()) {
        currentPanel().events().warn(error);
        return false;
    }
    RemoteChoice choice = RemoteChoice::remembered();
    // Credentials remembered for another broker are not this one's.
    const bool sameBroker = RemoteAddress::normalBroker(choice.address.broker) == address.broker;
    const bool known = choice.remember && sameBroker && (choice.rememberPassword || choice.credentials.user.isEmpty());
    if (!sameBroker)
        choice.credentials = {};
    choice.address = address;
    if (known)
        return openRemote(choice);
    showRemoteDialog(choice);
    return true;
}

bool QORemoteController::openRemote(const RemoteChoice& choice)
{
    for (int index = 0; index < panelCount(); ++index) {
        const RemoteSource* remote = panel(index).remote();
        if (remote && remote->address().broker == choice.address.broker && remote->address().name() == choice.address.name()) {
            m_ui.tabs->setCurrentIndex(index);
            return true;
        }
    }
    RemoteSource* source = nullptr;
    try {
        source = new RemoteSource(choice.address, choice.credentials);
    } catch (const VPanel::Mqtt::MqttException& failure) {
        currentPanel().events().warn(tr("Нельзя соединиться с брокером %1: %2")
                                         .arg(choice.address.broker, QString::fromWCharArray(failure.message())));
        return false;
    }
    const DevicePanel& current = currentPanel();
    if (current.remote() || current.link().state() != ConnectionController::State::Idle ||
        !current.link().target().portName.isEmpty())
        addTab();
    currentPanel().feedFrom(source);
    return true;
}
