#pragma once

#include "app/search/QOFindDevice.h"
#include "app/transmission/QOTransmissionThread.h"
#include "app/window/ConnectionController.h"
#include "app/window/ExportActions.h"
#include "app/window/LinkEventPresenter.h"
#include "app/window/RemoteControllerUi.h"
#include "app/window/WindowScreens.h"

#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTranslator>

#include <functional>
#include <optional>
#include <utility>

class LogWidget;
class QContextMenuEvent;
class QEvent;
class QCloseEvent;
class QLabel;
class QMoveEvent;
class QOProofSettings;
class QResizeEvent;
class QShowEvent;
class QSoundEffect;

// The main window: the display, the keypad, the menus and their small windows. Its connection
// controller starts, stops and records the connection; its event presenter tells the user
// what the connection reports, and the window shows the screens that follow. It switches the
// interface language and keeps window settings per device kind.
class QORemoteController : public QMainWindow {
    Q_OBJECT

public:
    // Makes the device search window (QOFindDevice unless a test puts a stand-in); the window connects its setParam(QString, int, int)
    // signal, shows it as a dialog and takes the keyboard away from the keypad meanwhile.
    using SearchWindowFactory = std::function<QWidget*(QWidget* parent)>;
    // Shows a modal message box (warnings and the about box).
    using MessagePresenter = LinkEventPresenter::MessagePresenter;
    using SaveFileChooser = ExportActions::SaveFileChooser;

    explicit QORemoteController(QWidget* parent = nullptr);
    ~QORemoteController() override;

    // Never below the initial size: at its bare minimum the display would not show its
    // last places, and the window shrinks to its size hint when it is first shown.
    QSize sizeHint() const override;

    void setSearchWindowFactory(SearchWindowFactory factory);
    void setWarningPresenter(MessagePresenter presenter) { m_events->setWarningPresenter(std::move(presenter)); }
    void setInformationPresenter(MessagePresenter presenter);
    void setSaveFileChooser(SaveFileChooser chooser) { m_export->setSaveFileChooser(std::move(chooser)); }

    const RemoteControllerUi& ui() const { return m_ui; }
    LogWidget* logWindow() const { return m_log; }
    QOProofSettings* settingsDialog() const { return m_settings; }
    QLabel* soundIcon() const { return m_events->soundIcon(); }
    const QSoundEffect* alarmSound() const { return m_events->alarmSound(); }
    // The thread of the current or last connection; null once it has finished and was freed.
    QOTransmissionThread* transmissionThread() const { return m_link->thread(); }
    // A connection runs or is about to start.
    bool isConnected() const { return m_link->isConnected(); }
    int language() const { return m_link->language(); }
    int writeInterval() const { return m_link->writeInterval(); }
    int settingsDevice() const { return m_settingsDevice; }
    bool soundEnabled() const { return m_events->soundEnabled(); }
    bool errorReportsEnabled() const { return m_events->errorReportsEnabled(); }
    // The recording under way, if any.
    const ExchangeRecorder* recorder() const { return m_link->recorder(); }

signals:
    void position(QPoint, QSize);

public slots:
    void on_pushButton_clicked();
    // Readies the window for a connection that starts: the alarm sound and the keyboard.
    void beginTransmission();
    void alarm(int error, QString err);
    void alarm(int error);
    void saveSizePos();
    void setStandartIndicator(bool english) { m_screens.writeWelcome(english); }
    void onOffAlarming() { m_events->setErrorReportsEnabled(!m_events->errorReportsEnabled()); }
    void onOffSound() { m_events->setSoundEnabled(!m_events->soundEnabled()); }
    void onOffLog();
    void onOffSettings();
    void about();
    void changeLanguage();
    void setParam(QString port, int address, int baud);
    void readSizePos(int device);
    void beginStateIndikator();
    void closeLogWindowOffAction(bool on);
    void setIntervalWritePackets(int inInterval);
    void repeatConnect();
    // Records every frame of this and later connections to the file; false, with a warning,
    // when it cannot be written.
    bool startRecording(const QString& path) { return m_export->startRecording(path); }
    void stopRecording() { m_export->stopRecording(); }
    // The display as text and as an image on the clipboard.
    void copyScreen() { m_export->copyScreen(); }
    // Writes a PNG of the display; false, with a warning, when it cannot.
    bool saveScreen(const QString& path) { return m_export->saveScreen(path); }

protected:
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void toggleExpertItems();

private:
    void buildKeypad();
    void connectMenus();
    void openSearchWindow();
    void connectEvents();

    RemoteControllerUi m_ui;
    WindowScreens m_screens;
    LogWidget* m_log = nullptr;
    QOProofSettings* m_settings = nullptr;
    ConnectionController* m_link = nullptr;
    LinkEventPresenter* m_events = nullptr;
    std::optional<ExportActions> m_export;
    QTranslator m_translator;
    SearchWindowFactory m_searchWindowFactory = [](QWidget* parent) { return new QOFindDevice(parent); };
    MessagePresenter m_inform;
    int m_settingsDevice = 0;
    bool m_firstShow = true;
};
