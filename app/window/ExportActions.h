#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

class DevicePanel;
class QWidget;
struct RemoteControllerUi;

// The window's ways of taking the current tab's link and display out: recording the exchange
// to a file, copying the display, saving it as a PNG file. Texts belong to the window's
// translation context.
class ExportActions {
    Q_DECLARE_TR_FUNCTIONS(QORemoteController)

public:
    // Asks for the name of a file to write (a save dialog); empty when the user gave none.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;

    using CurrentPanel = std::function<DevicePanel&()>;

    // Connects the menu items.
    ExportActions(QWidget& window, const RemoteControllerUi& ui, CurrentPanel current);
    // Hears of the panel's recording failing.
    void watch(DevicePanel& panel);
    // The record item shows whether the current tab records.
    void showCurrent();

    void setSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }

    bool startRecording(const QString& path);
    void stopRecording();
    void copyScreen();
    bool saveScreen(const QString& path);

private:
    static QString askForSaveFile(QWidget* parent, const QString& title, const QString& filter);
    void recordExchange(bool on);
    void chooseScreenFile();
    void endFailedRecording(DevicePanel& panel, const QString& text);

    QWidget& m_window;
    const RemoteControllerUi& m_ui;
    CurrentPanel m_current;
    SaveFileChooser m_chooseSaveFile = askForSaveFile;
};
