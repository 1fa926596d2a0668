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
#include <QSoundEffect>
#include <QStatusBar>

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
    // The link is over: nothing sounds behind the box.
    const auto linkEnded = [this](const QString& text) {
        stopSound();
        m_warn(this, tr("Ошибка"), text);
        report(text);
        showWelcomeState();
    };
    const auto event = static_cast<LinkEvent>(error);
    switch (event) {
    case LinkEvent::Exception:
        linkEnded(tr("Ошибка: %1").arg(err));
        break;
    case LinkEvent::DeviceSilent:
        linkEnded(tr("Устройство не отвечает, соединение разорвано! \n (Проверьте кабель "
                     "и повторите попытку соединения)."));
        break;
    case LinkEvent::Stopped:
        stopSound();
        report(tr("Устройство отключено пользователем."));
        showWelcomeState();
        break;
    case LinkEvent::DeviceIdentified:
        report(err);
        m_ui.statusLabel->hide();
        m_ui.deviceLabel->setText(err);
        m_ui.deviceLabel->show();
        m_ui.indicator->show();
        break;
    case LinkEvent::ConsoleOn:
        report(tr("ПУ включена."));
        writeScreen(PanelScreens::blank());
        break;
    case LinkEvent::ConsoleOff:
        writeScreen(PanelScreens::panelOff(m_language == 1));
        m_ui.indicator->reset();
        break;
    case LinkEvent::SoundOn:
        if (m_sound) {
            m_alarmSound->play();
            m_soundIcon->setPixmap(m_soundPicture);
        }
        return;
    case LinkEvent::SoundOff:
        stopSound();
        return;
    case LinkEvent::ConsoleVersionUnsupported:
    case LinkEvent::ConsoleOffAtStart:
    case LinkEvent::BadReply:
    case LinkEvent::Progress:
    case LinkEvent::ConsoleIdentified:
        break;
    }
    // Any event but the sound's is also a report the user may switch off; the device's
    // identity has its log line already.
    if (!err.isEmpty() && m_errorReports) {
        statusBar()->showMessage(err, static_cast<int>(statusMessageTime.count()));
        if (event != LinkEvent::DeviceIdentified)
            report(err);
    }
}

void QORemoteController::showWelcomeState()
{
    m_ui.deviceLabel->hide();
    m_ui.statusLabel->show();
    beginStateIndikator();
}

void QORemoteController::stopSound()
{
    m_alarmSound->stop();
    m_soundIcon->clear();
}

void QORemoteController::report(const QString& line)
{
    m_log->inputData(line);
}

void QORemoteController::writeScreen(const PanelScreens::Screen& screen)
{
    // The display has the size the console reported, or 4 x 20 for the welcome screen.
    const QOSymbolModel& display = m_ui.indicator->model();
    const QList<QByteArray> rows = PanelScreens::fitted(screen, display.displayRows(), display.displayColumns());
    for (int row = 0; row < rows.size(); ++row)
        m_ui.indicator->setCells(row, 0, rows[row], static_cast<int>(rows[row].size()));
}

void QORemoteController::setStandartIndicator(bool english)
{
    writeScreen(PanelScreens::welcome(english));
}

void QORemoteController::beginStateIndikator()
{
    m_ui.indicator->setDisplaySize(PanelScreens::rows, PanelScreens::places);
    m_ui.indicator->setSymbolMatrixSize(standardGlyphColumns, standardGlyphRows);
    setStandartIndicator(m_language == 1);
    m_ui.indicator->reset();
}

void QORemoteController::onOffAlarming()
{
    m_errorReports = !m_errorReports;
}

void QORemoteController::onOffSound()
{
    m_sound = !m_sound;
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
    m_settings->setWriteIntervalMs(m_writeInterval_ms);
    m_settings->move(x() + (width() - m_settings->width()) / 2, y());
    m_settings->show();
    m_ui.keypad->releaseKeyboard();
}

void QORemoteController::setIntervalWritePackets(int inInterval)
{
    m_writeInterval_ms = inInterval;
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
