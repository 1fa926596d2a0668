#pragma once

#include "term/ViewFeed.h"

#include <QString>

#include <optional>
#include <vector>

struct screen;

namespace VPanel::Term {

// The terminal in the terminal library's hands for the object's lifetime: the display framed,
// the state line and the key legend under it. The terminal is restored however the object
// goes. Only the thread that made it may use it.
class CursesScreen {
public:
    // Throws KelBase::RuntimeException when standard input and output are no terminal the
    // library knows.
    CursesScreen();
    ~CursesScreen();
    CursesScreen(const CursesScreen&) = delete;
    CursesScreen& operator=(const CursesScreen&) = delete;

    void draw(const View& view, const QString& stateLine, const QString& legend);
    // The scan codes of the device keys typed since the last call; other keys are dropped.
    std::vector<int> typedKeys();
    // A typed key the device could not take yet: the terminal's bell.
    void refuseKey();

private:
    void put(int row, int column, const QString& text, int attributes);

    struct screen* m_screen = nullptr;
};

} // namespace VPanel::Term
