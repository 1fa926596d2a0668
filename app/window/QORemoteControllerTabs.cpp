// The main window's tabs: a device panel each, the current one taking the keyboard, the menus'
// states and the window's title.

#include "app/window/QORemoteController.h"

#include "app/keypad/QOInputDevice.h"
#include "app/log/LogWidget.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

namespace {
constexpr int soundIconStretch = 15;
} // namespace

int QORemoteController::panelCount() const
{
    return m_ui.tabs->count();
}

DevicePanel& QORemoteController::panel(int index) const
{
    return *static_cast<DevicePanel*>(m_ui.tabs->widget(index));
}

DevicePanel& QORemoteController::currentPanel() const
{
    return *static_cast<DevicePanel*>(m_ui.tabs->currentWidget());
}

DevicePanel& QORemoteController::addTab()
{
    auto* panel = new DevicePanel(*this, m_language);
    if (m_warn)
        panel->events().setWarningPresenter(m_warn);
    wirePanel(*panel);
    m_ui.tabs->setCurrentIndex(m_ui.tabs->addTab(panel, panel->title()));
    return *panel;
}

bool QORemoteController::showTabLinkedTo(const QString& port, int address, const DevicePanel* besides)
{
    // Two links to one device would take turns on its keys, and one tab's stop packet would
    // stop it under the other.
    for (int index = 0; index < panelCount(); ++index) {
        const ConnectionController& link = panel(index).link();
        if (&panel(index) != besides && link.isConnected() && link.target().portName == port && link.target().address == address) {
            m_ui.tabs->setCurrentIndex(index);
            return true;
        }
    }
    return false;
}

void QORemoteController::wirePanel(DevicePanel& panel)
{
    connect(panel.ui().pushButton, &QPushButton::clicked, this, &QORemoteController::on_pushButton_clicked);
    connect(this, &QORemoteController::position, &panel.journal(), &LogWidget::position);
    connect(&panel.journal(), &LogWidget::setOnOff, this, [this, &panel](bool on) {
        if (&panel == &currentPanel())
            closeLogWindowOffAction(on);
    });
    connect(&panel, &DevicePanel::starting, this, [this, &panel] {
        if (&panel == &currentPanel())
            keyboardToCurrentTab();
    });
    connect(&panel, &DevicePanel::deviceKindIdentified, this, [this, &panel](int device) { applySettings(panel, device); });
    connect(&panel.link(), &ConnectionController::ended, this, [this, &panel] {
        if (&panel == &currentPanel())
            m_ui.actionReconnect->setEnabled(true);
    });
    connect(&panel, &DevicePanel::titleChanged, this, [this, &panel] { showTitles(panel); });
    connect(&panel, &DevicePanel::soundingChanged, this, [this, &panel] { showTitles(panel); });
    m_export->watch(panel);
}

void QORemoteController::closeTab(int index)
{
    if (index < 0 || index >= panelCount())
        return;
    DevicePanel* closing = &panel(index);
    if (closing == &currentPanel())
        saveSizePos();
    if (closing == m_shown) {
        closing->ui().keypad->yieldKeyboard();
        statusBar()->removeWidget(closing->events().soundIcon());
        m_shown = nullptr;
    }
    // Its stop packet goes out while the tab is still there for what the wait serves meanwhile.
    closing->link().finish();
    m_ui.tabs->removeTab(m_ui.tabs->indexOf(closing));
    delete closing;
    // The window always shows a panel, from which a search can start.
    if (panelCount() == 0)
        addTab();
}

void QORemoteController::closeAllTabs()
{
    if (m_shown)
        statusBar()->removeWidget(m_shown->events().soundIcon());
    m_shown = nullptr;
    for (int index = 0; index < panelCount(); ++index)
        panel(index).link().finish();
    m_ui.tabs->blockSignals(true);
    while (panelCount() > 0) {
        DevicePanel* closing = &panel(0);
        m_ui.tabs->removeTab(0);
        delete closing;
    }
}

void QORemoteController::showCurrentPanel()
{
    if (panelCount() == 0)
        return;
    DevicePanel& current = currentPanel();
    static_cast<PanelUi&>(m_ui) = current.ui();
    if (m_shown && m_shown != &current) {
        m_shown->ui().keypad->yieldKeyboard();
        statusBar()->removeWidget(m_shown->events().soundIcon());
        if (m_shown->journal().isVisible()) {
            m_shown->journal().hide();
            onOffLog();
        }
    }
    if (m_shown != &current) {
        statusBar()->addPermanentWidget(current.events().soundIcon(), soundIconStretch);
        current.events().soundIcon()->show();
    }
    m_shown = &current;
    m_ui.actionReconnect->setEnabled(current.link().state() == ConnectionController::State::Ended ||
                                     (current.link().state() == ConnectionController::State::Idle &&
                                      !current.link().target().portName.isEmpty()));
    m_ui.actionDisableSound->setChecked(!current.events().soundEnabled());
    m_ui.actionDisableReports->setChecked(!current.events().errorReportsEnabled());
    m_ui.actionShowGrid->setChecked(current.gridShown());
    m_ui.actionShowEmpty->setChecked(current.emptyShown());
    m_ui.actionEmulateFont->setChecked(current.fontEmulated());
    m_ui.actionShowLog->setChecked(current.journal().isVisible());
    m_export->showCurrent();
    keyboardToCurrentTab();
    showTitle();
}

void QORemoteController::showTitles(DevicePanel& panel)
{
    const int index = m_ui.tabs->indexOf(&panel);
    if (index < 0)
        return;
    // A sounding alarm marks its tab, shown or not.
    m_ui.tabs->setTabText(index, panel.title());
    m_ui.tabs->setTabToolTip(index, panel.deviceName().isEmpty() ? panel.title() : panel.deviceName());
    m_ui.tabs->setTabIcon(index, panel.sounding() ? m_soundMark : QIcon());
    if (&panel == &currentPanel())
        showTitle();
}

void QORemoteController::showTitle()
{
    const QString program = tr("Велидар 1.0");
    if (panelCount() == 0 || currentPanel().deviceName().isEmpty())
        setWindowTitle(program);
    else
        setWindowTitle(tr("%1 — %2").arg(program, currentPanel().title()));
}

void QORemoteController::keyboardToCurrentTab()
{
    if (panelCount() > 0)
        currentPanel().ui().keypad->grabKeyboard();
}

void QORemoteController::keyboardAwayFromTabs()
{
    if (panelCount() > 0)
        currentPanel().ui().keypad->releaseKeyboard();
}
