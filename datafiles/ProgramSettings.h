#pragma once

#include <QSettings>

#include <memory>

namespace VPanel {

// The program's settings file, shared by the main window and the device search, each keeping
// its own groups in it. The names are not translated, so that every language finds one file.
std::unique_ptr<QSettings> openProgramSettings();

} // namespace VPanel
