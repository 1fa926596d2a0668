// The main window's small windows and its own events.

#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"
#include "app/log/LogWidget.h"
#include "app/log/QOProofSettings.h"

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
    currentPanel().events().present(static_cast<LinkEvent>(error), err);
}

void QORemoteController::onOffLog()
{
    LogWidget& journal = currentPanel().journal();
    if (journal.isVisible()) {
        journal.hide();
        return;
    }
    journal.move(x() + (geometry().width() - 1) + logWindowGap_px, y());
    journal.setPrilip(true);
    journal.show();
}

void QORemoteController::closeLogWindowOffAction(bool on)
{
    m_ui.actionShowLog->setChecked(on);
}

void QORemoteController::onOffSettings()
{
    const ConnectionController& link = currentPanel().link();
    m_settings->setWriteIntervalMs(link.writeInterval());
    m_settings->setRequestPauseMs(link.requestPause());
    m_settings->setIntervalAfterReply(link.intervalAfterReply());
    m_settings->move(x() + (width() - m_settings->width()) / 2, y());
    m_settings->show();
    keyboardAwayFromTabs();
}

void QORemoteController::setIntervalWritePackets(int inInterval)
{
    currentPanel().link().setWriteInterval(inInterval);
    keyboardToCurrentTab();
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
