#pragma once

#include "app/display/StandardGlyphs.h"
#include "app/search/QOFindDevice.h"
#include "app/transmission/QOTransmissionThread.h"
#include "app/window/PanelScreens.h"
#include "app/window/RemoteControllerUi.h"

#include <QMainWindow>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTranslator>

#include <chrono>
#include <functional>
#include <memory>

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

// The main window: the display, the keypad, the menus; it starts and stops the connection
// thread, turns the thread's events into boxes, status messages, log lines, screens and the
// alarm sound, switches the interface language and keeps window settings per device kind.
class QORemoteController : public QMainWindow {
    Q_OBJECT

public:
    // Makes the device search window (QOFindDevice unless a test puts a stand-in); the window connects its setParam(QString, int, int)
    // signal, shows it as a dialog and takes the keyboard away from the keypad meanwhile.
    using SearchWindowFactory = std::function<QWidget*(QWidget* parent)>;
    // Shows a modal message box (warnings and the about box).
    using MessagePresenter = std::function<void(QWidget* parent, const QString& title, const QString& text)>;
    // Asks for the name of a file to write (a save dialog); empty when the user gave none.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;

    static constexpr int defaultWriteInterval_ms = QOTransmissionThread::defaultWriteInterval_ms;
    static constexpr std::chrono::milliseconds statusMessageTime{1500};
    static constexpr int standardGlyphColumns = StandardGlyphs::columns;
    static constexpr int standardGlyphRows = StandardGlyphs::rows;

    explicit QORemoteController(QWidget* parent = nullptr);
    ~QORemoteController() override;

    // Never below the initial size: at its bare minimum the display would not show its
    // last places, and the window shrinks to its size hint when it is first shown.
    QSize sizeHint() const override;

    void setSearchWindowFactory(SearchWindowFactory factory);
    void setWarningPresenter(MessagePresenter presenter);
    void setInformationPresenter(MessagePresenter presenter);
    void setSaveFileChooser(SaveFileChooser chooser);

    const RemoteControllerUi& ui() const { return m_ui; }
    LogWidget* logWindow() const { return m_log; }
    QOProofSettings* settingsDialog() const { return m_settings; }
    QLabel* soundIcon() const { return m_soundIcon; }
    const QSoundEffect* alarmSound() const { return m_alarmSound; }
    // The thread of the current or last connection; null once it has finished and was freed.
    QOTransmissionThread* transmissionThread() const { return m_thread; }
    bool isConnected() const { return m_connected; }
    int language() const { return m_language; }
    int writeInterval() const { return m_writeInterval_ms; }
    int settingsDevice() const { return m_settingsDevice; }
    bool soundEnabled() const { return m_sound; }
    bool errorReportsEnabled() const { return m_errorReports; }
    // The recording under way, if any.
    const ExchangeRecorder* recorder() const { return m_recorder.get(); }

signals:
    void position(QPoint, QSize);

public slots:
    void on_pushButton_clicked();
    void beginTransmission();
    void alarm(int error, QString err);
    void alarm(int error);
    void saveSizePos();
    void setStandartIndicator(bool english);
    void onOffAlarming();
    void onOffSound();
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
    bool startRecording(const QString& path);
    void stopRecording();
    // The display as text and as an image on the clipboard.
    void copyScreen();
    // Writes a PNG of the display; false, with a warning, when it cannot.
    bool saveScreen(const QString& path);

protected:
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void toggleExpertItems();
    void threadFinished();
    void recordExchange(bool on);
    void chooseScreenFile();
    void endFailedRecording(const QString& text);

private:
    // How often the window looks whether a stopping connection has ended.
    static constexpr std::chrono::milliseconds stopPollStep{10};

    void buildKeypad();
    void connectMenus();
    void openSearchWindow();
    void writeScreen(const PanelScreens::Screen& screen);
    void showWelcomeState();
    void report(const QString& line);
    void stopSound();
    // Stops a running connection and waits, a bounded time, for its stop packet and the
    // closing of its port; a thread that has ended is freed at once.
    void finishConnection();
    static QString askForSaveFile(QWidget* parent, const QString& title, const QString& filter);
    void connectRecordingMenus();
    // Hands the recording to a connection that starts.
    void recordConnection(QOTransmissionThread& thread);

    RemoteControllerUi m_ui;
    LogWidget* m_log = nullptr;
    QOProofSettings* m_settings = nullptr;
    QSoundEffect* m_alarmSound = nullptr;
    QPixmap m_soundPicture;
    QLabel* m_soundIcon = nullptr;
    QTranslator m_translator;
    QPointer<QOTransmissionThread> m_thread;
    SearchWindowFactory m_searchWindowFactory = [](QWidget* parent) { return new QOFindDevice(parent); };
    MessagePresenter m_warn;
    MessagePresenter m_inform;
    SaveFileChooser m_chooseSaveFile = askForSaveFile;
    std::shared_ptr<ExchangeRecorder> m_recorder;

    QString m_portName;
    int m_address = 0;
    int m_baudRate = 0;
    bool m_connected = false;
    // A new connection starts as soon as the current thread has ended.
    bool m_reconnectWhenStopped = false;
    int m_writeInterval_ms = defaultWriteInterval_ms;
    bool m_errorReports = true;
    bool m_sound = true;
    int m_language = 0;
    int m_settingsDevice = 0;
    bool m_firstShow = true;
};
