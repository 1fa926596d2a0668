#pragma once

#include "link/Contents.h"
#include "link/Glyph.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace VPanel::Sim {

struct FirmwareSetup {
    std::uint8_t address = 1;
    std::uint16_t identifier = 7;
    std::uint8_t major = 1;
    std::uint8_t minor = 0;
    std::size_t glyphCount = 8;
    // The console's display; the firmware's screen shows from its top left corner.
    std::uint8_t consoleRows = Link::defaultConsoleRows;
    std::uint8_t consolePlaces = Link::defaultConsolePlaces;
    // Every so often the device sends its whole screen again, so that rows of a reply the line
    // lost reach the PC after all; zero sends each row only when it changed.
    std::chrono::milliseconds redrawInterval{0};
    // The last place of every row counts the exchanges, so that each exchange reply carries
    // the whole screen: the heaviest load a still device can put on the line.
    bool changingRows = false;
};

// The small program a simulated device runs on its console: a main screen with a title, a
// live measured value, a clock and a hint; F1 opens a menu (arrows, Enter, Esc) with a
// setpoint typed in digits, a console switch and an about screen; F2 sounds and silences the
// buzzer; glyph 0 pulses. Screens are in Russian or English as the PC's language asks.
class Firmware {
public:
    static constexpr int rows = Link::defaultConsoleRows;
    static constexpr int places = Link::defaultConsolePlaces;
    using Row = std::array<std::uint8_t, places>;
    using Screen = std::array<Row, rows>;
    using SteadyTime = std::chrono::steady_clock::time_point;
    using WallTime = std::chrono::system_clock::time_point;

    Firmware(const FirmwareSetup& setup, SteadyTime start);

    // Acts on the keys that went down since the previous mask.
    void keys(std::uint32_t mask);
    void setLanguage(std::uint16_t language);
    void setConsoleOn(bool on);
    // Brings the measured value, the clock and the animated glyph up to the given times.
    void advance(SteadyTime now, WallTime wall);

    const Screen& screen() const { return m_screen; }
    const std::vector<Link::Glyph>& glyphs() const { return m_glyphs; }
    bool consoleOn() const { return m_consoleOn; }
    bool soundOn() const { return m_soundOn; }
    int setpoint() const { return m_setpoint; }

private:
    enum class Mode { Main, Menu, Edit, About };
    enum MenuItem { SetpointItem, ConsoleItem, AboutItem, ExitItem, menuItemCount };

    void press(int key);
    void pressInMenu(int key);
    void pressInEdit(int key);
    void render();
    void renderMain();
    void renderMenu();
    void renderEdit();
    void renderAbout();
    std::wstring text(const wchar_t* russian, const wchar_t* english) const;
    std::wstring menuText(int item) const;
    void setRow(int row, const std::wstring& content);
    std::uint8_t glyphOr(unsigned char code, char fallback) const;

    FirmwareSetup m_setup;
    SteadyTime m_start;
    std::vector<Link::Glyph> m_glyphs;
    Screen m_screen{};
    Mode m_mode = Mode::Main;
    int m_menuItem = SetpointItem;
    std::string m_typed;
    int m_setpoint = 120;
    bool m_english = false;
    bool m_consoleOn = true;
    bool m_soundOn = false;
    std::uint32_t m_lastMask = 0;
    double m_value = 0.0;
    int m_hours = 0;
    int m_minutes = 0;
    int m_seconds = 0;
};

} // namespace VPanel::Sim
