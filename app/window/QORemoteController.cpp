#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"
#include "app/display/SymbolMatrix.h"
#include "app/keypad/QOInputDevice.h"
#include "app/log/LogWidget.h"
#include "app/log/QOProofSettings.h"
#include "app/window/DeviceSettings.h"
#include "app/window/PanelScreens.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSplashScreen>

#include <utility>

namespace {

constexpr int splashFont_px = 14;
constexpr int numpadGroupSize = 10;
constexpr int numpadCheckButton = 22;
const QVector<int> numpadButtons{3, 4, 5, 9, 10, 11, 15, 16, 17, 22};

void showInformation(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text);
}

} // namespace

QORemoteController::QORemoteController(QWidget* parent)
    : QMainWindow(parent), m_screens(m_ui), m_inform(showInformation)
{
    m_ui.setupUi(this);
    m_link = new ConnectionController(*m_ui.indicator, *m_ui.keypad, this);
    connect(m_ui.actionExit, &QAction::triggered, this, &QWidget::close);
    QMetaObject::connectSlotsByName(this);
    m_ui.deviceLabel->hide();

    QSplashScreen splash(QPixmap(QStringLiteral(":/Resources/SplashScreen.jpg")));
    QFont splashFont(QStringLiteral("Serif"));
    splashFont.setPixelSize(splashFont_px);
    splash.setFont(splashFont);
    splash.show();
    const auto progress = [&splash](const QString& message) {
        splash.showMessage(message, Qt::AlignBottom | Qt::AlignRight, Qt::white);
        QCoreApplication::processEvents();
    };

    progress(tr("Создание окна лога..."));
    m_log = new LogWidget(this);
    connect(this, &QORemoteController::position, m_log, &LogWidget::position);
    connect(m_log, &LogWidget::setOnOff, this, &QORemoteController::closeLogWindowOffAction);

    progress(tr("Загрузка Велидар..."));
    m_settings = new QOProofSettings(this);
    m_settings->hide();

    progress(tr("Создание клавиатуры..."));
    connect(m_settings, &QOProofSettings::setIntervalPacketWrite, this, &QORemoteController::setIntervalWritePackets);
    connect(m_settings, &QOProofSettings::setRequestTiming, this, [this](int pause_ms, bool intervalAfterReply) {
        m_link->setRequestPause(pause_ms);
        m_link->setIntervalAfterReply(intervalAfterReply);
    });
    connectMenus();
    if (!m_translator.load(QStringLiteral(":/Resources/eng.qm")))
        qWarning("The English catalogue is missing from the program's resources");

    registerSymbolMatrixMetaType();
    buildKeypad();

    progress(tr("Создание индикатора..."));
    beginStateIndikator();

    m_events = new LinkEventPresenter(*this, *m_log);
    m_export.emplace(*this, m_ui, *m_link, *m_events);
    connectEvents();
}

QORemoteController::~QORemoteController()
{
    m_link->finish();
    stopRecording();
}

QSize QORemoteController::sizeHint() const
{
    return QMainWindow::sizeHint().expandedTo(RemoteControllerUi::initialWindowSize);
}

void QORemoteController::setSearchWindowFactory(SearchWindowFactory factory)
{
    m_searchWindowFactory = std::move(factory);
}

void QORemoteController::setInformationPresenter(MessagePresenter presenter)
{
    m_inform = std::move(presenter);
}

void QORemoteController::connectMenus()
{
    connect(m_ui.actionSearch, &QAction::triggered, this, &QORemoteController::on_pushButton_clicked);
    connect(m_ui.actionReconnect, &QAction::triggered, this, &QORemoteController::repeatConnect);
    connect(m_ui.actionShowGrid, &QAction::triggered, m_ui.indicator, &QOIndicator::showGridTable);
    connect(m_ui.actionEmulateFont, &QAction::triggered, m_ui.indicator, &QOIndicator::setStandartSymbolMatrix);
    connect(m_ui.actionShowEmpty, &QAction::triggered, m_ui.indicator, &QOIndicator::setBackgroundElement);
    connect(m_ui.actionDisableReports, &QAction::triggered, this, &QORemoteController::onOffAlarming);
    connect(m_ui.actionDisableSound, &QAction::triggered, this, &QORemoteController::onOffSound);
    connect(m_ui.actionShowLog, &QAction::triggered, this, &QORemoteController::onOffLog);
    connect(m_ui.actionAdditionalSettings, &QAction::triggered, this, &QORemoteController::onOffSettings);
    connect(m_ui.actionRussian, &QAction::triggered, this, &QORemoteController::changeLanguage);
    connect(m_ui.actionEnglish, &QAction::triggered, this, &QORemoteController::changeLanguage);
    connect(m_ui.actionAbout, &QAction::triggered, this, &QORemoteController::about);
    connect(m_ui.actionExpertSettings, &QAction::triggered, this, &QORemoteController::toggleExpertItems);
}

void QORemoteController::buildKeypad()
{
    m_ui.keypad->buildKeys(QOInputDevice::standardKeys(), QOInputDevice::standardToolTips());
    m_ui.keypad->setHideButton(numpadGroupSize, numpadCheckButton, numpadButtons);
    m_ui.keypad->grabKeyboard();
}

void QORemoteController::on_pushButton_clicked()
{
    if (m_link->leave())
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
    // A search closed without a choice gives the keyboard back to the keypad as well.
    connect(search, &QObject::destroyed, m_ui.keypad, [keypad = m_ui.keypad] { keypad->grabKeyboard(); });
    search->show();
    m_ui.keypad->releaseKeyboard();
}

void QORemoteController::setParam(QString port, int address, int baud)
{
    m_ui.actionReconnect->setEnabled(false);
    // The device of the new connection decides afresh whether it sounds.
    m_events->stopSound();
    m_link->stopThenConnect(LinkTarget{port, address, baud});
}

void QORemoteController::repeatConnect()
{
    const LinkTarget& last = m_link->target();
    setParam(last.portName, last.address, last.baudRate);
}

void QORemoteController::beginTransmission()
{
    m_events->prepareForConnection();
    m_ui.keypad->grabKeyboard();
}

void QORemoteController::closeEvent(QCloseEvent* event)
{
    saveSizePos();
    m_link->finish();
    QMainWindow::closeEvent(event);
}

void QORemoteController::saveSizePos()
{
    if (m_settingsDevice < 0)
        return;
    DeviceSettings settings;
    settings.geometry = geometry();
    settings.position = pos();
    settings.sound = m_events->soundEnabled();
    settings.alarmMessage = m_events->errorReportsEnabled();
    settings.numPad = m_ui.keypad->statusNumpad();
    settings.write(m_settingsDevice);
}

void QORemoteController::readSizePos(int device)
{
    adjustSize();
    m_settingsDevice = device;
    const DeviceSettings settings = DeviceSettings::read(device);
    if (settings.geometry.isValid())
        setGeometry(settings.geometry);

    m_events->setSoundEnabled(settings.sound);
    m_ui.actionDisableSound->setChecked(!settings.sound);
    if (!settings.sound)
        m_events->report(tr("Звук выключен(меню \"Настройки\")"));

    m_events->setErrorReportsEnabled(settings.alarmMessage);
    m_ui.actionDisableReports->setChecked(!settings.alarmMessage);
    if (!settings.alarmMessage)
        m_events->report(tr("Отчет о ошибках отключен(меню \"Настройки\")"));

    if (m_ui.keypad->statusNumpad() != settings.numPad)
        m_ui.keypad->hideShowVirtualClaviature();
    m_events->report(settings.numPad ? tr("Виртуальная клавиатура включена") : tr("Виртуальная клавиатура выключена"));
}

void QORemoteController::changeLanguage()
{
    const bool english = !m_ui.actionRussian->isChecked();
    m_link->setLanguage(english ? 1 : 0);
    if (english)
        QCoreApplication::installTranslator(&m_translator);
    else
        QCoreApplication::removeTranslator(&m_translator);
    // The device learns the language when a connection starts.
    if (m_link->relink())
        saveSizePos();
}

void QORemoteController::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange && m_ui.deviceLabel) {
        const QString device = m_ui.deviceLabel->text();
        m_ui.retranslateUi(this);
        m_ui.deviceLabel->setText(device);
        m_screens.writeWelcome(language() == 1);
    }
    QMainWindow::changeEvent(e);
}
