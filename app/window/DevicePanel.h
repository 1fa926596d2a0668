#pragma once

#include "app/window/ConnectionController.h"
#include "app/window/LinkEventPresenter.h"
#include "app/window/PanelUi.h"
#include "app/window/WindowScreens.h"

#include <QString>
#include <QWidget>

class DeviceSettings;
class RemoteSource;
class LogWidget;
class QMainWindow;

// One device in the main window: its display and keypad, its connection, what the connection
// reports (alarm sound, boxes, journal) and the screens that follow, and the window settings
// of its device kind that belong to the device rather than to the window.
class DevicePanel : public QWidget {
    Q_OBJECT

public:
    // Boxes, status messages and the journal window go over `window`; `language` is the one
    // the device learns when a connection starts (0 Russian, 1 English).
    DevicePanel(QMainWindow& window, int language, QWidget* parent = nullptr);
    // Stops the connection with its stop packet, or leaves the broker, and closes the journal.
    ~DevicePanel() override;

    const PanelUi& ui() const { return m_ui; }
    ConnectionController& link() { return *m_link; }
    const ConnectionController& link() const { return *m_link; }
    LinkEventPresenter& events() { return *m_events; }
    const LinkEventPresenter& events() const { return *m_events; }
    LogWidget& journal() const { return *m_journal; }

    // Feeds the panel from a device kept by a gateway instead of a link of its own; the panel
    // takes the source and leaves the broker when it goes.
    void feedFrom(RemoteSource* source);
    // The remote source feeding the panel; null for a panel of a local device.
    const RemoteSource* remote() const { return m_remote; }

    // The device's name once it has identified itself during the current link, else empty.
    const QString& deviceName() const { return m_deviceName; }
    // The tab's title: the device's name and where it is, or that there is none; a remote
    // device says so.
    QString title() const;
    bool sounding() const { return m_sounding; }

    // The display's options as the menu toggles them.
    bool gridShown() const { return m_gridShown; }
    bool emptyShown() const { return m_emptyShown; }
    bool fontEmulated() const;
    void toggleGrid();
    void toggleEmptyShown();
    void toggleFontEmulation();

    // The device kind whose settings the panel follows; negative for none.
    int settingsDevice() const { return m_settingsDevice; }
    // Sound, error reports and the numeric block as stored for the device kind, each told in
    // the journal.
    void applySettings(int device, const DeviceSettings& settings);

    // Connects to the device, after the current connection has let go of the line.
    void connectTo(const LinkTarget& target);
    void setLanguage(int language);
    // The panel's own texts and the welcome screen in the new language; the device's name stays.
    void retranslate();

signals:
    // A connection is about to start.
    void starting();
    void titleChanged();
    // The device told its identifier: the settings of its kind apply.
    void deviceKindIdentified(int device);
    void soundingChanged(bool sounding);

private:
    void connectEvents();
    void showRemoteState();
    bool english() const { return m_link->language() == 1; }

    PanelUi m_ui;
    WindowScreens m_screens;
    LogWidget* m_journal = nullptr;
    ConnectionController* m_link = nullptr;
    LinkEventPresenter* m_events = nullptr;
    RemoteSource* m_remote = nullptr;
    QString m_deviceName;
    int m_settingsDevice = 0;
    bool m_sounding = false;
    bool m_gridShown = true;
    bool m_emptyShown = false;
};
