#pragma once

#include "app/window/PanelScreens.h"

#include <QString>

struct PanelUi;

// What the window itself shows on its display and labels: the welcome screen while no device
// is connected, the device's name, and the screens of the console switched on and off, each
// fitted to the size the console reported.
class WindowScreens {
public:
    explicit WindowScreens(const PanelUi& ui) : m_ui(ui) {}

    // The display at the default size with the standard glyphs and the welcome screen.
    void showWelcome(bool english);
    void writeWelcome(bool english);
    // No device any more: the status label instead of the device's name, and the welcome.
    void showNoDevice(bool english);
    void showDevice(const QString& name);
    void showConsoleOn();
    void showConsoleOff(bool english);

private:
    void write(const PanelScreens::Screen& screen);

    const PanelUi& m_ui;
};
