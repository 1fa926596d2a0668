// The main window's handling of the connection's events, its screens and its small windows.

#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"
#include "app/log/LogWidget.h"
#include "app/log/QOProofSettings.h"
#include "panel/LinkEvent.h"
#include "app/window/PanelScreens.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QShowEvent>

namespace {
// The log window stands this far right of the main window's frame.
constexpr int logWindowGap_px = 17;
} // namespace

void QORemoteController::alarm(int error)
{
    alarm(error, QString());
}

void QORemoteController::alarm(int error, QString err)
{
    m_events->present(static_cast<LinkEvent>(error), err);
}

void QORemoteController::connectEvents()
{
    connect(m_link, &ConnectionController::starting, this, &QORemoteController::beginTransmission);
    connect(m_link, &ConnectionController::alarm, this, qOverload<int, QString>(&QORemoteController::alarm));
    connect(m_link, &ConnectionController::deviceIdentified, this, &QORemoteController::readSizePos);
    connect(m_link, &ConnectionController::ended, m_ui.actionReconnect, [this] { m_ui.actionReconnect->setEnabled(true); });
    connect(m_events, &LinkEventPresenter::linkEnded, this, [this] { m_screens.showNoDevice(language() == 1); });
    connect(m_events, &LinkEventPresenter::deviceIdentified, this, [this](const QString& name) { m_screens.showDevice(name); });
    connect(m_events, &LinkEventPresenter::consoleOn, this, [this] { m_screens.showConsoleOn(); });
    connect(m_events, &LinkEventPresenter::consoleOff, this, [this] { m_screens.showConsoleOff(language() == 1); });
}

void QORemoteController::beginStateIndikator()
{
    m_screens.showWelcome(language() == 1);
}

void QORemoteController::onOffLog()
{
    if (m_log->isVisible()) {
        m_log->hide();
        return;
    }
    m_log->move(x() + (geometry().width() - 1) + logWindowGap_px, y());
    m_log->setPrilip(true);
    m_log->show();
}

void QORemoteController::closeLogWindowOffAction(bool on)
{
    m_ui.actionShowLog->setChecked(on);
}

void QORemoteController::onOffSettings()
{
    m_settings->setWriteIntervalMs(writeInterval());
    m_settings->setRequestPauseMs(m_link->requestPause());
    m_settings->setIntervalAfterReply(m_link->intervalAfterReply());
    m_settings->move(x() + (width() - m_settings->width()) / 2, y());
    m_settings->show();
    m_ui.keypad->releaseKeyboard();
}

void QORemoteController::setIntervalWritePackets(int inInterval)
{
    m_link->setWriteInterval(inInterval);
    m_ui.keypad->grabKeyboard();
}

void QORemoteController::about()
{
    // The product is named by its major and minor version, as the window title names it.
    const QString release = QStringLiteral(VPANEL_VERSION).section(QLatin1Char('.'), 0, 1);
    m_inform(this, tr("О программе"),
             tr("\"Велидар v %1\"\n\n2026 ТЕВОЛАН, отдел разработки программного обеспечения").arg(release));
}

void QORemoteController::toggleExpertItems()
{
    const bool shown = !m_ui.actionShowLog->isVisible();
    m_ui.menuDisplay->menuAction()->setVisible(shown);
    m_ui.actionShowLog->setVisible(shown);
    m_ui.actionAdditionalSettings->setVisible(shown);
}

void QORemoteController::showEvent(QShowEvent* event)
{
    if (std::exchange(m_firstShow, false)) {
        // The numeric block starts visible; the window shows the compact keypad.
        m_ui.keypad->hideShowVirtualClaviature();
        m_ui.menuDisplay->menuAction()->setVisible(false);
        m_ui.actionShowLog->setVisible(false);
        m_ui.actionAdditionalSettings->setVisible(false);
        adjustSize();
    }
    QMainWindow::showEvent(event);
}

void QORemoteController::contextMenuEvent(QContextMenuEvent* event)
{
    m_ui.menuDisplay->popup(event->globalPos());
}

void QORemoteController::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    emit position(pos(), size());
}

void QORemoteController::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    emit position(pos(), size());
}
