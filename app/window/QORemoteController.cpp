#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"
#include "app/display/SymbolMatrix.h"
#include "app/keypad/QOInputDevice.h"
#include "app/log/LogWidget.h"
#include "app/log/QOProofSettings.h"
#include "app/datafiles/DeviceDictionary.h"
#include "app/transmission/QOTransmissionThread.h"
#include "app/window/DeviceSettings.h"
#include "app/window/PanelScreens.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSoundEffect>
#include <QSplashScreen>
#include <QStatusBar>
#include <QUrl>

#include <utility>

namespace {

constexpr int splashFont_px = 14;
constexpr int soundIconSize_px = 15;
constexpr int soundIconStretch = 15;
constexpr int numpadGroupSize = 10;
constexpr int numpadCheckButton = 22;
const QVector<int> numpadButtons{3, 4, 5, 9, 10, 11, 15, 16, 17, 22};

// The shipped alarm sound from the first data directory that has it. Without it the alarm
// stays silent.
QString alarmSoundFile()
{
    const QStringList candidates = VPanel::dataFileCandidates(QStringLiteral("alarm.wav"));
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile())
            return path;
    return candidates.first();
}

void showWarning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

void showInformation(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text);
}

} // namespace

QORemoteController::QORemoteController(QWidget* parent)
    : QMainWindow(parent), m_warn(showWarning), m_inform(showInformation)
{
    m_alarmSound = new QSoundEffect(this);
    m_alarmSound->setSource(QUrl::fromLocalFile(alarmSoundFile()));
    m_soundPicture = QPixmap(QStringLiteral(":/Resources/sound.png"));

    m_ui.setupUi(this);
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
    connectMenus();
    if (!m_translator.load(QStringLiteral(":/Resources/eng.qm")))
        qWarning("The English catalogue is missing from the program's resources");

    registerSymbolMatrixMetaType();
    buildKeypad();

    progress(tr("Создание индикатора..."));
    beginStateIndikator();

    m_soundIcon = new QLabel;
    m_soundIcon->setMaximumSize(soundIconSize_px, soundIconSize_px);
    m_soundIcon->setAlignment(Qt::AlignRight);
    statusBar()->addPermanentWidget(m_soundIcon, soundIconStretch);
}

QORemoteController::~QORemoteController()
{
    finishConnection();
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

void QORemoteController::setWarningPresenter(MessagePresenter presenter)
{
    m_warn = std::move(presenter);
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
    connectRecordingMenus();
}

void QORemoteController::buildKeypad()
{
    m_ui.keypad->buildKeys(QOInputDevice::standardKeys(), QOInputDevice::standardToolTips());
    m_ui.keypad->setHideButton(numpadGroupSize, numpadCheckButton, numpadButtons);
    m_ui.keypad->grabKeyboard();
}

void QORemoteController::on_pushButton_clicked()
{
    if (m_connected) {
        if (m_thread)
            m_thread->stope();
        m_connected = false;
        saveSizePos();
    }
    // A reconnection still waiting for the old thread to end would take the line from the search.
    m_reconnectWhenStopped = false;
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
    m_portName = port;
    m_address = address;
    m_baudRate = baud;
    m_connected = true;
    m_ui.actionReconnect->setEnabled(false);
    // The device of the new connection decides afresh whether it sounds.
    stopSound();
    if (m_thread) {
        // The last connection still holds the line: the new one starts when it has let go.
        m_thread->stope();
        m_reconnectWhenStopped = true;
        return;
    }
    m_thread = new QOTransmissionThread;
    connect(m_thread, &QThread::finished, this, &QORemoteController::threadFinished);
    m_alarmSound->setLoopCount(QSoundEffect::Infinite);
    beginTransmission();
    m_ui.keypad->grabKeyboard();
}

void QORemoteController::repeatConnect()
{
    setParam(m_portName, m_address, m_baudRate);
}

void QORemoteController::beginTransmission()
{
    if (!m_thread || m_thread->isRunning() || m_thread->isFinished())
        return;
    QOTransmissionThread* thread = m_thread;
    QOIndicator* indicator = m_ui.indicator;
    thread->setPortName(m_portName);
    thread->setAddress(m_address);
    thread->setBaudRate(m_baudRate);
    thread->setWriteInterval(m_writeInterval_ms);
    thread->setLanguage(m_language);
    connect(thread, &QOTransmissionThread::setMatrixSymbolSize, indicator, &QOIndicator::setSymbolMatrixSize);
    connect(thread, &QOTransmissionThread::sizeIndicators, indicator, &QOIndicator::setDisplaySize);
    connect(thread, &QOTransmissionThread::alarm, this, qOverload<int, QString>(&QORemoteController::alarm));
    connect(thread, &QOTransmissionThread::setSymbolMatrix, indicator, &QOIndicator::setSymbolMatrix,
            Qt::BlockingQueuedConnection);
    connect(thread, &QOTransmissionThread::setCells, indicator, &QOIndicator::setCells);
    connect(thread, &QOTransmissionThread::resetView, indicator, &QOIndicator::reset);
    connect(thread, &QOTransmissionThread::deviceIdentif, this, &QORemoteController::readSizePos);
    connect(m_ui.keypad, &QOInputDevice::codePressButton, thread, &QOTransmissionThread::codePress);
    connect(m_ui.keypad, &QOInputDevice::codeReleaseButton, thread, &QOTransmissionThread::codeRelease);
    recordConnection(*thread);
    thread->start(QThread::InheritPriority);
    QCoreApplication::processEvents();
}

void QORemoteController::threadFinished()
{
    auto* finished = qobject_cast<QOTransmissionThread*>(sender());
    if (!finished)
        return;
    finished->deleteLater();
    if (finished != m_thread)
        return;
    m_thread = nullptr;
    if (std::exchange(m_reconnectWhenStopped, false))
        repeatConnect();
    else
        m_ui.actionReconnect->setEnabled(true);
}

void QORemoteController::finishConnection()
{
    QOTransmissionThread* thread = m_thread;
    m_thread = nullptr;
    m_reconnectWhenStopped = false;
    if (!thread)
        return;
    // What the stopping connection still reports has no window to go to any more.
    disconnect(thread, nullptr, this, nullptr);
    disconnect(thread, nullptr, m_ui.indicator, nullptr);
    disconnect(m_ui.keypad, nullptr, thread, nullptr);
    thread->stope();
    // Events are served while waiting: a glyph the worker is handing over blocks it until
    // the GUI thread has taken it.
    const auto deadline = std::chrono::steady_clock::now() + thread->stopWaitBound();
    while (!thread->wait(QDeadlineTimer(stopPollStep.count()))) {
        if (std::chrono::steady_clock::now() >= deadline) {
            qWarning("The connection did not end in time; it is left to end on its own");
            connect(thread, &QThread::finished, thread, &QObject::deleteLater);
            return;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    delete thread;
}

void QORemoteController::closeEvent(QCloseEvent* event)
{
    saveSizePos();
    finishConnection();
    QMainWindow::closeEvent(event);
}

void QORemoteController::saveSizePos()
{
    if (m_settingsDevice < 0)
        return;
    DeviceSettings settings;
    settings.geometry = geometry();
    settings.position = pos();
    settings.sound = m_sound;
    settings.alarmMessage = m_errorReports;
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

    m_sound = settings.sound;
    m_ui.actionDisableSound->setChecked(!m_sound);
    if (!m_sound)
        report(tr("Звук выключен(меню \"Настройки\")"));

    m_errorReports = settings.alarmMessage;
    m_ui.actionDisableReports->setChecked(!m_errorReports);
    if (!m_errorReports)
        report(tr("Отчет о ошибках отключен(меню \"Настройки\")"));

    QOInputDevice* keypad = m_ui.keypad;
    if (settings.numPad) {
        if (!keypad->statusNumpad())
            keypad->hideShowVirtualClaviature();
        report(tr("Виртуальная клавиатура включена"));
    } else {
        if (keypad->statusNumpad())
            keypad->hideShowVirtualClaviature();
        report(tr("Виртуальная клавиатура выключена"));
    }
}

void QORemoteController::changeLanguage()
{
    if (m_ui.actionRussian->isChecked()) {
        m_language = 0;
        QCoreApplication::removeTranslator(&m_translator);
    } else {
        m_language = 1;
        QCoreApplication::installTranslator(&m_translator);
    }
    if (m_connected) {
        // The device learns the language when a connection starts: reconnect once the
        // current one has ended.
        if (m_thread) {
            m_thread->stope();
            m_reconnectWhenStopped = true;
        }
        saveSizePos();
        m_connected = false;
    }
}

void QORemoteController::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange && m_ui.deviceLabel) {
        const QString device = m_ui.deviceLabel->text();
        m_ui.retranslateUi(this);
        m_ui.deviceLabel->setText(device);
        setStandartIndicator(m_language == 1);
    }
    QMainWindow::changeEvent(e);
}
