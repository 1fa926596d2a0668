#include "app/window/WindowScreens.h"

#include "app/display/QOIndicator.h"
#include "app/display/StandardGlyphs.h"
#include "app/window/PanelUi.h"

#include <QLabel>

void WindowScreens::showWelcome(bool english)
{
    m_ui.indicator->setDisplaySize(PanelScreens::rows, PanelScreens::places);
    m_ui.indicator->setSymbolMatrixSize(StandardGlyphs::columns, StandardGlyphs::rows);
    writeWelcome(english);
    m_ui.indicator->reset();
}

void WindowScreens::writeWelcome(bool english)
{
    write(PanelScreens::welcome(english));
}

void WindowScreens::showNoDevice(bool english)
{
    m_ui.deviceLabel->hide();
    m_ui.statusLabel->show();
    showWelcome(english);
}

void WindowScreens::showDevice(const QString& name)
{
    m_ui.statusLabel->hide();
    m_ui.deviceLabel->setText(name);
    m_ui.deviceLabel->show();
    m_ui.indicator->show();
}

void WindowScreens::showConsoleOn()
{
    write(PanelScreens::blank());
}

void WindowScreens::showConsoleOff(bool english)
{
    write(PanelScreens::panelOff(english));
    m_ui.indicator->reset();
}

void WindowScreens::write(const PanelScreens::Screen& screen)
{
    // The display has the size the console reported, or 4 x 20 for the welcome screen.
    const QOSymbolModel& display = m_ui.indicator->model();
    const QList<QByteArray> rows = PanelScreens::fitted(screen, display.displayRows(), display.displayColumns());
    for (int row = 0; row < rows.size(); ++row)
        m_ui.indicator->setCells(row, 0, rows[row], static_cast<int>(rows[row].size()));
}
