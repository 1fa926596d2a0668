#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"
#include "app/display/SymbolMatrix.h"
#include "app/keypad/QOInputDevice.h"
#include "app/log/QOProofSettings.h"
#include "app/window/DeviceSettings.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSplashScreen>
#include <QTabWidget>

#include <utility>

namespace {

constexpr int splashFont_px = 14;

void showInformation(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text);
}

} // namespace

QORemoteController::QORemoteController(QWidget* parent)
    : QMainWindow(parent), m_inform(showInformation), m_soundMark(QStringLiteral(":/Resources/sound.png"))
{
    m_ui.setupUi(this);
    connect(m_ui.actionExit, &QAction::triggered, this, &QWidget::close);

    QSplashScreen splash(QPixmap(QStringLiteral(":/Resources/SplashScreen.jpg")));
    QFont splashFont(QStringLiteral("Serif"));
    splashFont.setPixelSize(splashFont_px);
    splash.setFont(splashFont);
    splash.show();
    const auto progress = [&splash](const QString& message) {
        splash.showMessage(message, Qt::AlignBottom | Qt::AlignRight, Qt::white);
        QCoreApplication::processEvents();
    };

    progress(tr("Загрузка Велидар..."));
    m_settings = new QOProofSettings(this);
    m_settings->hide();
    connect(m_settings, &QOProofSettings::setIntervalPacketWrite, this, &QORemoteController::setIntervalWritePackets);
    connect(m_settings, &QOProofSettings::setRequestTiming, this, [this](int pause_ms, bool intervalAfterReply) {
        currentPanel().link().setRequestPause(pause_ms);
        currentPanel().link().setIntervalAfterReply(intervalAfterReply);
    });
    m_export.emplace(*this, m_ui, [this]() -> DevicePanel& { return currentPanel(); });
    connectMenus();
    if (!m_translator.load(QStringLiteral(":/Resources/eng.qm")))
        qWarning("The English catalogue is missing from the program's resources");
    registerSymbolMatrixMetaType();

    progress(tr("Создание индикатора..."));
    connect(m_ui.tabs, &QTabWidget::currentChanged, this, &QORemoteController::showCurrentPanel);
    connect(m_ui.tabs, &QTabWidget::tabCloseRequested, this, &QORemoteController::closeTab);
    addTab();
}

QORemoteController::~QORemoteController()
{
    closeAllTabs();
}

QSize QORemoteController::sizeHint() const
{
    return QMainWindow::sizeHint().expandedTo(RemoteControllerUi::initialWindowSize);
}

void QORemoteController::setSearchWindowFactory(SearchWindowFactory factory)
{
    m_searchWindowFactory = std::move(factory);
}

void QORemoteController::setWarningPresenter(MessagePresenter presenter)
{
    m_warn = std::move(presenter);
    for (int index = 0; index < panelCount(); ++index)
        panel(index).events().setWarningPresenter(m_warn);
}

void QORemoteController::setInformationPresenter(MessagePresenter presenter)
{
    m_inform = std::move(presenter);
}

void QORemoteController::connectMenus()
{
    connect(m_ui.actionSearch, &QAction::triggered, this, &QORemoteController::on_pushButton_clicked);
    connect(m_ui.actionRemote, &QAction::triggered, this, &QORemoteController::openRemoteDialog);
    connect(m_ui.actionNewTab, &QAction::triggered, this, [this] { addTab(); });
    connect(m_ui.actionCloseTab, &QAction::triggered, this, [this] { closeTab(m_ui.tabs->currentIndex()); });
    connect(m_ui.actionNextTab, &QAction::triggered, this,
            [this] { m_ui.tabs->setCurrentIndex((m_ui.tabs->currentIndex() + 1) % panelCount()); });
    connect(m_ui.actionPreviousTab, &QAction::triggered, this,
            [this] { m_ui.tabs->setCurrentIndex((m_ui.tabs->currentIndex() + panelCount() - 1) % panelCount()); });
    connect(m_ui.actionReconnect, &QAction::triggered, this, &QORemoteController::repeatConnect);
    connect(m_ui.actionShowGrid, &QAction::triggered, this, [this] { currentPanel().toggleGrid(); });
    connect(m_ui.actionEmulateFont, &QAction::triggered, this, [this] { currentPanel().toggleFontEmulation(); });
    connect(m_ui.actionShowEmpty, &QAction::triggered, this, [this] { currentPanel().toggleEmptyShown(); });
    connect(m_ui.actionDisableReports, &QAction::triggered, this, &QORemoteController::onOffAlarming);
    connect(m_ui.actionDisableSound, &QAction::triggered, this, &QORemoteController::onOffSound);
    connect(m_ui.actionShowLog, &QAction::triggered, this, &QORemoteController::onOffLog);
    connect(m_ui.actionAdditionalSettings, &QAction::triggered, this, &QORemoteController::onOffSettings);
    connect(m_ui.actionRussian, &QAction::triggered, this, &QORemoteController::changeLanguage);
    connect(m_ui.actionEnglish, &QAction::triggered, this, &QORemoteController::changeLanguage);
    connect(m_ui.actionAbout, &QAction::triggered, this, &QORemoteController::about);
    connect(m_ui.actionExpertSettings, &QAction::triggered, this, &QORemoteController::toggleExpertItems);
}

void QORemoteController::on_pushButton_clicked()
{
    m_leftForSearch = currentPanel().link().isConnected() ? &currentPanel() : nullptr;
    if (currentPanel().link().leave())
        saveSizePos();
    alarm(13);
    openSearchWindow();
}

void QORemoteController::openSearchWindow()
{
    QWidget* search = m_searchWindowFactory(this);
    search->setWindowFlags(Qt::Dialog);
    search->setAttribute(Qt::WA_DeleteOnClose);
    connect(search, SIGNAL(setParam(QString, int, int)), this, SLOT(setParam(QString, int, int)));
    if (search->metaObject()->indexOfSignal("openInNewTab(QString,int,int)") >= 0)
        connect(search, SIGNAL(openInNewTab(QString, int, int)), this,
                SLOT(openSearchChoiceInNewTab(QString, int, int)));
    if (auto* finder = qobject_cast<QOFindDevice*>(search)) {
        QStringList inUse;
        for (int index = 0; index < panelCount(); ++index)
            if (panel(index).link().isConnected())
                inUse << panel(index).link().target().portName;
        finder->setPortsInUse(inUse);
    }
    // A search closed without a choice gives the keyboard back to the keypad as well; one that
    // goes with the window finds the tabs gone.
    connect(search, &QObject::destroyed, m_ui.tabs, [this] { keyboardToCurrentTab(); });
    search->show();
    keyboardAwayFromTabs();
}

void QORemoteController::setParam(QString port, int address, int baud)
{
    if (showTabLinkedTo(port, address, &currentPanel()))
        return;
    // A remote device's tab keeps it: the local one gets a tab of its own.
    if (currentPanel().remote()) {
        openInNewTab(std::move(port), address, baud);
        return;
    }
    m_ui.actionReconnect->setEnabled(false);
    currentPanel().connectTo(LinkTarget{port, address, baud});
}

void QORemoteController::openInNewTab(QString port, int address, int baud)
{
    if (showTabLinkedTo(port, address))
        return;
    addTab();
    setParam(std::move(port), address, baud);
}

void QORemoteController::openSearchChoiceInNewTab(QString port, int address, int baud)
{
    const QPointer<DevicePanel> left = std::exchange(m_leftForSearch, nullptr);
    openInNewTab(port, address, baud);
    // Unless the new device takes its port, the device left for the search goes on.
    if (left && left->link().state() == ConnectionController::State::Idle && left->link().target().portName != port)
        left->connectTo(left->link().target());
}

void QORemoteController::repeatConnect()
{
    const LinkTarget last = currentPanel().link().target();
    setParam(last.portName, last.address, last.baudRate);
}

void QORemoteController::closeEvent(QCloseEvent* event)
{
    saveSizePos();
    // The tabs stay for what is asked of them after; their devices get their stop packets.
    for (int index = 0; index < panelCount(); ++index)
        panel(index).link().finish();
    QMainWindow::closeEvent(event);
}

void QORemoteController::saveSizePos()
{
    const DevicePanel& panel = currentPanel();
    if (panel.settingsDevice() < 0)
        return;
    DeviceSettings settings;
    settings.geometry = geometry();
    settings.position = pos();
    settings.sound = panel.events().soundEnabled();
    settings.alarmMessage = panel.events().errorReportsEnabled();
    settings.numPad = panel.ui().keypad->statusNumpad();
    settings.write(panel.settingsDevice());
}

void QORemoteController::readSizePos(int device)
{
    applySettings(currentPanel(), device);
}

void QORemoteController::applySettings(DevicePanel& panel, int device)
{
    const DeviceSettings settings = DeviceSettings::read(device);
    // The window takes the geometry of the kind of the device it shows.
    if (&panel == &currentPanel()) {
        adjustSize();
        if (settings.geometry.isValid())
            setGeometry(settings.geometry);
    }
    panel.applySettings(device, settings);
    if (&panel == &currentPanel())
        showCurrentPanel();
}

void QORemoteController::onOffAlarming()
{
    LinkEventPresenter& events = currentPanel().events();
    events.setErrorReportsEnabled(!events.errorReportsEnabled());
}

void QORemoteController::onOffSound()
{
    LinkEventPresenter& events = currentPanel().events();
    events.setSoundEnabled(!events.soundEnabled());
}

void QORemoteController::changeLanguage()
{
    const bool english = !m_ui.actionRussian->isChecked();
    m_language = english ? 1 : 0;
    if (english)
        QCoreApplication::installTranslator(&m_translator);
    else
        QCoreApplication::removeTranslator(&m_translator);
    // Every device learns the language when its connection starts.
    for (int index = 0; index < panelCount(); ++index) {
        DevicePanel& panel = this->panel(index);
        panel.setLanguage(m_language);
        if (panel.link().relink() && &panel == &currentPanel())
            saveSizePos();
    }
}

void QORemoteController::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange && m_ui.tabs) {
        m_ui.retranslateUi(this);
        for (int index = 0; index < panelCount(); ++index)
            panel(index).retranslate();
        showTitle();
    }
    QMainWindow::changeEvent(e);
}
