#pragma once

#include "app/search/QOFindDevice.h"
#include "app/transmission/QOTransmissionThread.h"
#include "app/window/DevicePanel.h"
#include "app/window/ExportActions.h"
#include "app/window/RemoteControllerUi.h"

#include <QIcon>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTranslator>

#include <functional>
#include <optional>
#include <utility>

class LogWidget;
struct RemoteChoice;
class QContextMenuEvent;
class QEvent;
class QCloseEvent;
class QLabel;
class QMoveEvent;
class QOProofSettings;
class QResizeEvent;
class QShowEvent;
class QSoundEffect;

// The main window: a tab per device panel, the menus and their small windows. The menus, the
// keyboard and the accessors of the connection act on the current tab; every tab's link runs
// and sounds its alarm whether shown or not. It switches the interface language of all tabs
// and keeps window settings per device kind.
class QORemoteController : public QMainWindow {
    Q_OBJECT

public:
    // Makes the device search window (QOFindDevice unless a test puts a stand-in); the window
    // connects its setParam(QString, int, int) signal (the current tab) and, when it has one,
    // openInNewTab(QString, int, int), shows it as a dialog and takes the keyboard away from
    // the keypad meanwhile.
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
    // For every tab, now and later.
    void setWarningPresenter(MessagePresenter presenter);
    void setInformationPresenter(MessagePresenter presenter);
    void setSaveFileChooser(SaveFileChooser chooser) { m_export->setSaveFileChooser(std::move(chooser)); }

    // The panel widgets in it are the current tab's.
    const RemoteControllerUi& ui() const { return m_ui; }
    int panelCount() const;
    DevicePanel& panel(int index) const;
    DevicePanel& currentPanel() const;
    // An empty tab, made current.
    DevicePanel& addTab();
    // Of the current tab.
    LogWidget* logWindow() const { return &currentPanel().journal(); }
    QOProofSettings* settingsDialog() const { return m_settings; }
    QLabel* soundIcon() const { return currentPanel().events().soundIcon(); }
    const QSoundEffect* alarmSound() const { return currentPanel().events().alarmSound(); }
    // The thread of the current or last connection; null once it has finished and was freed.
    QOTransmissionThread* transmissionThread() const { return currentPanel().link().thread(); }
    // A connection runs or is about to start.
    bool isConnected() const { return currentPanel().link().isConnected(); }
    int language() const { return m_language; }
    int writeInterval() const { return currentPanel().link().writeInterval(); }
    int settingsDevice() const { return currentPanel().settingsDevice(); }
    bool soundEnabled() const { return currentPanel().events().soundEnabled(); }
    bool errorReportsEnabled() const { return currentPanel().events().errorReportsEnabled(); }
    // The recording under way, if any.
    const ExchangeRecorder* recorder() const { return currentPanel().link().recorder(); }

signals:
    void position(QPoint, QSize);

public slots:
    // Leaves the current tab's device, freeing its port for the search, and opens the search.
    // A device the search then opens in a new tab gives the left one its port back.
    void on_pushButton_clicked();
    // The current tab's event.
    void alarm(int error, QString err);
    void alarm(int error);
    void saveSizePos();
    void onOffAlarming();
    void onOffSound();
    void onOffLog();
    void onOffSettings();
    void about();
    void changeLanguage();
    // Connects the current tab to the device.
    void setParam(QString port, int address, int baud);
    // Connects a new tab, which becomes the current one, to the device.
    void openInNewTab(QString port, int address, int baud);
    // Asks for a device kept by a gateway, starting from the remembered choice, and opens it.
    void openRemoteDialog();
    // "mqtt://HOST[:PORT]/SITE/DEVICE": opened at once with the remembered credentials for
    // that broker, else the dialog asks for them; false, with a warning, for a wrong address.
    bool openRemoteUrl(const QString& url);
    // Opens the device through its broker in a tab, the current one when it is unused; a tab
    // already showing it is shown instead. False, with a warning, when the client refuses the
    // choice (a CA file it cannot read).
    bool openRemote(const RemoteChoice& choice);
    // Stops the tab's device with its stop packet and closes the tab; the last tab closed
    // leaves an empty one in its place.
    void closeTab(int index);
    // The settings of the device kind for the current tab.
    void readSizePos(int device);
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
    void openSearchChoiceInNewTab(QString port, int address, int baud);

private:
    void connectMenus();
    void openSearchWindow();
    void showRemoteDialog(const RemoteChoice& initial);
    // Shows the tab, other than `besides`, whose link to that device runs, if there is one.
    bool showTabLinkedTo(const QString& port, int address, const DevicePanel* besides = nullptr);
    void wirePanel(DevicePanel& panel);
    void showCurrentPanel();
    void applySettings(DevicePanel& panel, int device);
    void showTitles(DevicePanel& panel);
    void showTitle();
    // The keyboard goes to the current tab's keypad.
    void keyboardToCurrentTab();
    void keyboardAwayFromTabs();
    void closeAllTabs();

    RemoteControllerUi m_ui;
    QOProofSettings* m_settings = nullptr;
    DevicePanel* m_shown = nullptr;
    QPointer<DevicePanel> m_leftForSearch;
    std::optional<ExportActions> m_export;
    QTranslator m_translator;
    SearchWindowFactory m_searchWindowFactory = [](QWidget* parent) { return new QOFindDevice(parent); };
    MessagePresenter m_inform;
    MessagePresenter m_warn;
    QIcon m_soundMark;
    int m_language = 0;
    bool m_firstShow = true;
};
