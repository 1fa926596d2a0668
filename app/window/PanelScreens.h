#pragma once

#include "link/Contents.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// The screens the window writes into the display itself, sized for the default console, in
// the display's code page (Windows-1251).
namespace PanelScreens {

inline constexpr int rows = VPanel::Link::defaultConsoleRows;
inline constexpr int places = VPanel::Link::defaultConsolePlaces;

using Screen = std::array<QByteArray, rows>;

// The maker's web address, centred on the last row of both screens.
inline const char* const webAddress = "tevolan.example";

// `text` padded or cut to one row and encoded for the display.
QByteArray row(const QString& text);
QByteArray centred(const QString& text);

Screen welcome(bool english);
Screen panelOff(bool english);
Screen blank();

// The screen for a display of another size. Wider rows keep the text centred; narrower ones
// centre each row's text, wrapped at blanks where it does not fit. Too many rows lose their
// blank ones from the top first, then rows from the bottom; missing rows are blank.
QList<QByteArray> fitted(const Screen& screen, int displayRows, int displayPlaces);

} // namespace PanelScreens
