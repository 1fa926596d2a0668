#include "app/window/DevicePanel.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"
#include "app/log/LogWidget.h"
#include "app/remote/RemoteSource.h"
#include "app/window/DeviceSettings.h"

#include <QLabel>
#include <QMainWindow>

namespace {

constexpr int numpadGroupSize = 10;
constexpr int numpadCheckButton = 22;
const QVector<int> numpadButtons{3, 4, 5, 9, 10, 11, 15, 16, 17, 22};

} // namespace

DevicePanel::DevicePanel(QMainWindow& window, int language, QWidget* parent)
    : QWidget(parent), m_screens(m_ui)
{
    m_ui.setupUi(this);
    m_ui.deviceLabel->hide();
    m_ui.keypad->buildKeys(QOInputDevice::standardKeys(), QOInputDevice::standardToolTips());
    m_ui.keypad->setHideButton(numpadGroupSize, numpadCheckButton, numpadButtons);
    // The numeric block starts hidden: the compact keypad.
    m_ui.keypad->hideShowVirtualClaviature();

    m_journal = new LogWidget(&window);
    m_link = new ConnectionController(*m_ui.indicator, *m_ui.keypad, this);
    m_link->setLanguage(language);
    m_events = new LinkEventPresenter(window, *m_journal, this);
    connect(this, &DevicePanel::titleChanged, m_events, [this] {
        m_events->setSubject(m_link->target().portName.isEmpty() && !m_remote ? QString() : title());
    });
    connectEvents();
    m_screens.showWelcome(english());
}

DevicePanel::~DevicePanel()
{
    // A remote device's tab leaves the broker before the journal and the display go.
    delete m_remote;
    m_link->finish();
    m_link->stopRecording();
    delete m_journal;
}

void DevicePanel::connectEvents()
{
    connect(m_link, &ConnectionController::starting, this, [this] {
        m_events->prepareForConnection();
        emit starting();
        emit titleChanged();
    });
    connect(m_link, &ConnectionController::alarm, this,
            [this](int code, const QString& text) { m_events->present(static_cast<LinkEvent>(code), text); });
    connect(m_link, &ConnectionController::deviceIdentified, this, &DevicePanel::deviceKindIdentified);
    connect(m_events, &LinkEventPresenter::linkEnded, this, [this] {
        m_deviceName.clear();
        m_screens.showNoDevice(english());
        emit titleChanged();
    });
    connect(m_events, &LinkEventPresenter::deviceIdentified, this, [this](const QString& name) {
        m_deviceName = name;
        m_screens.showDevice(name);
        emit titleChanged();
    });
    connect(m_events, &LinkEventPresenter::consoleOn, this, [this] { m_screens.showConsoleOn(); });
    connect(m_events, &LinkEventPresenter::consoleOff, this, [this] { m_screens.showConsoleOff(english()); });
    connect(m_events, &LinkEventPresenter::soundingChanged, this, [this](bool sounding) {
        if (std::exchange(m_sounding, sounding) != sounding)
            emit soundingChanged(sounding);
    });
}

void DevicePanel::feedFrom(RemoteSource* source)
{
    m_remote = source;
    source->setParent(this);
    QOIndicator* display = m_ui.indicator;
    // The link's own signals, on this thread: glyphs need no blocking hand-over.
    connect(source, &RemoteSource::sizeIndicators, display, &QOIndicator::setDisplaySize);
    connect(source, &RemoteSource::setMatrixSymbolSize, display, &QOIndicator::setSymbolMatrixSize);
    connect(source, &RemoteSource::setSymbolMatrix, display, &QOIndicator::setSymbolMatrix);
    connect(source, &RemoteSource::setCells, display, &QOIndicator::setCells);
    connect(m_ui.keypad, &QOInputDevice::codePressButton, source, &RemoteSource::codePress);
    connect(m_ui.keypad, &QOInputDevice::codeReleaseButton, source, &RemoteSource::codeRelease);
    connect(source, &RemoteSource::alarm, this,
            [this](int code, const QString& text) { m_events->present(static_cast<LinkEvent>(code), text); });
    connect(source, &RemoteSource::deviceIdentif, this, &DevicePanel::deviceKindIdentified);
    connect(source, &RemoteSource::statusChanged, this, [this] {
        showRemoteState();
        const QString reason = m_remote->brokerReason();
        m_events->report(m_remote->brokerText() + (reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)) +
                         QStringLiteral("; ") + m_remote->gatewayText());
    });
    m_events->prepareForConnection();
    m_ui.remoteLabel->show();
    showRemoteState();
    emit starting();
    emit titleChanged();
}

void DevicePanel::showRemoteState()
{
    m_ui.remoteLabel->setText(m_remote->brokerText() + QLatin1Char('\n') + m_remote->gatewayText());
}

QString DevicePanel::title() const
{
    if (m_remote)
        return tr("%1 (удалённое)").arg(m_remote->address().name());
    const LinkTarget& target = m_link->target();
    if (target.portName.isEmpty())
        return tr("Нет устройства");
    const QString place = tr("%1, адрес %2").arg(target.portName).arg(target.address);
    // The device's line ends in its software version after the last comma; the tab names it
    // without.
    const qsizetype version = m_deviceName.lastIndexOf(QLatin1String(", "));
    const QString name = version > 0 ? m_deviceName.left(version) : m_deviceName;
    return name.isEmpty() ? place : tr("%1 (%2)").arg(name, place);
}

bool DevicePanel::fontEmulated() const
{
    return m_ui.indicator->standardSymbolsOn();
}

void DevicePanel::toggleGrid()
{
    m_gridShown = !m_gridShown;
    m_ui.indicator->showGridTable();
}

void DevicePanel::toggleEmptyShown()
{
    m_emptyShown = !m_emptyShown;
    m_ui.indicator->setBackgroundElement();
}

void DevicePanel::toggleFontEmulation()
{
    m_ui.indicator->setStandartSymbolMatrix();
}

void DevicePanel::applySettings(int device, const DeviceSettings& settings)
{
    m_settingsDevice = device;
    m_events->setSoundEnabled(settings.sound);
    if (!settings.sound)
        m_events->report(tr("Звук выключен(меню \"Настройки\")"));
    m_events->setErrorReportsEnabled(settings.alarmMessage);
    if (!settings.alarmMessage)
        m_events->report(tr("Отчет о ошибках отключен(меню \"Настройки\")"));
    if (m_ui.keypad->statusNumpad() != settings.numPad)
        m_ui.keypad->hideShowVirtualClaviature();
    m_events->report(settings.numPad ? tr("Виртуальная клавиатура включена") : tr("Виртуальная клавиатура выключена"));
}

void DevicePanel::connectTo(const LinkTarget& target)
{
    // The device of the new connection decides afresh whether it sounds.
    m_events->stopSound();
    m_link->stopThenConnect(target);
    emit titleChanged();
}

void DevicePanel::setLanguage(int language)
{
    m_link->setLanguage(language);
}

void DevicePanel::retranslate()
{
    m_ui.retranslateUi();
    // A remote device's screen stays: nothing relinks it to redraw it.
    if (m_remote)
        showRemoteState();
    else
        m_screens.writeWelcome(english());
    emit titleChanged();
}
