#include "sim/Firmware.h"

#include "link/Keys.h"
#include "sim/Cp1251.h"
#include "sim/GlyphPictures.h"

#include <boost/format.hpp>

#include <cmath>
#include <ctime>

namespace VPanel::Sim {

namespace {
using std::chrono::milliseconds;

constexpr milliseconds valueStep{500};
constexpr milliseconds pulseStep{250};
constexpr double valueMean = 101.3;
constexpr double valueSwing = 2.5;
constexpr double stepsPerSwing = 40.0;
constexpr std::size_t maxTypedDigits = 5;
constexpr double pi = 3.14159265358979323846;

int digitOf(int key) { return key == Link::Key::Digit0 ? 0 : key - 1; }
bool isDigit(int key) { return key >= Link::Key::Digit0 && key <= Link::Key::Digit0 + 9; }
} // namespace

Firmware::Firmware(const FirmwareSetup& setup, SteadyTime start) : m_setup(setup), m_start(start)
{
    for (std::size_t index = 0; index < setup.glyphCount; ++index)
        m_glyphs.push_back(initialGlyph(index));
    advance(start, std::chrono::system_clock::now());
}

void Firmware::keys(std::uint32_t mask)
{
    const std::uint32_t wentDown = mask & ~m_lastMask;
    m_lastMask = mask;
    for (int key = 1; key <= Link::Key::count; ++key)
        if (wentDown & Link::keyBit(key))
            press(key);
    render();
}

void Firmware::setLanguage(std::uint16_t language)
{
    m_english = language == 1;
    render();
}

void Firmware::setConsoleOn(bool on)
{
    m_consoleOn = on;
    render();
}

void Firmware::advance(SteadyTime now, WallTime wall)
{
    const auto elapsed = now - m_start;
    const auto steps = std::chrono::duration_cast<milliseconds>(elapsed) / valueStep;
    m_value = valueMean + valueSwing * std::sin(2.0 * pi * static_cast<double>(steps) / stepsPerSwing);

    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
    localtime_r(&seconds, &local);
    m_hours = local.tm_hour;
    m_minutes = local.tm_min;
    m_seconds = local.tm_sec;

    if (!m_glyphs.empty()) {
        const auto frame = std::chrono::duration_cast<milliseconds>(elapsed) / pulseStep;
        m_glyphs[GlyphCode::pulse] = pulseFrame(static_cast<std::size_t>(frame));
    }
    render();
}

void Firmware::press(int key)
{
    if (key == Link::Key::F2) {
        m_soundOn = !m_soundOn;
        return;
    }
    switch (m_mode) {
    case Mode::Main:
        if (key == Link::Key::F1) {
            m_mode = Mode::Menu;
            m_menuItem = SetpointItem;
        }
        break;
    case Mode::Menu:
        pressInMenu(key);
        break;
    case Mode::Edit:
        pressInEdit(key);
        break;
    case Mode::About:
        if (key == Link::Key::Escape || key == Link::Key::Enter)
            m_mode = Mode::Menu;
        break;
    }
}

void Firmware::pressInMenu(int key)
{
    if (key == Link::Key::Up)
        m_menuItem = (m_menuItem + menuItemCount - 1) % menuItemCount;
    else if (key == Link::Key::Down)
        m_menuItem = (m_menuItem + 1) % menuItemCount;
    else if (key == Link::Key::Escape)
        m_mode = Mode::Main;
    else if (key == Link::Key::Enter) {
        switch (m_menuItem) {
        case SetpointItem:
            m_mode = Mode::Edit;
            m_typed.clear();
            break;
        case ConsoleItem:
            m_consoleOn = !m_consoleOn;
            break;
        case AboutItem:
            m_mode = Mode::About;
            break;
        default:
            m_mode = Mode::Main;
            break;
        }
    }
}

void Firmware::pressInEdit(int key)
{
    if (isDigit(key) && m_typed.size() < maxTypedDigits)
        m_typed.push_back(static_cast<char>('0' + digitOf(key)));
    else if (key == Link::Key::Left && !m_typed.empty())
        m_typed.pop_back();
    else if (key == Link::Key::Escape)
        m_mode = Mode::Menu;
    else if (key == Link::Key::Enter && !m_typed.empty()) {
        m_setpoint = std::stoi(m_typed);
        m_mode = Mode::Menu;
    }
}

void Firmware::render()
{
    switch (m_mode) {
    case Mode::Main: renderMain(); break;
    case Mode::Menu: renderMenu(); break;
    case Mode::Edit: renderEdit(); break;
    case Mode::About: renderAbout(); break;
    }
}

void Firmware::renderMain()
{
    setRow(0, (boost::wformat(text(L"  Прибор №%d", L"  Device #%d")) % unsigned(m_setup.address)).str());
    m_screen[0][0] = glyphOr(GlyphCode::pulse, ' ');
    if (m_soundOn)
        m_screen[0][places - 1] = glyphOr(GlyphCode::bell, '*');
    setRow(1, (boost::wformat(text(L"Давление %6.2f кПа", L"Pressure %6.2f kPa")) % m_value).str());
    setRow(2, (boost::wformat(text(L"Время    %02d:%02d:%02d", L"Time     %02d:%02d:%02d")) % m_hours % m_minutes %
               m_seconds).str());
    setRow(3, text(L"F1-меню  F2-звук", L"F1-menu  F2-sound"));
}

void Firmware::renderMenu()
{
    setRow(0, (boost::wformat(text(L"Меню %d/%d", L"Menu %d/%d")) % (m_menuItem + 1) % int(menuItemCount)).str());
    const int visible = rows - 1;
    const int first = std::max(0, m_menuItem - (visible - 1));
    for (int line = 0; line < visible; ++line) {
        const int item = first + line;
        setRow(line + 1, L" " + menuText(item));
        if (item == m_menuItem)
            m_screen[line + 1][0] = glyphOr(GlyphCode::pointer, '>');
    }
}

void Firmware::renderEdit()
{
    setRow(0, text(L"Уставка", L"Setpoint"));
    setRow(1, (boost::wformat(text(L"Было:  %d", L"Was:   %d")) % m_setpoint).str());
    setRow(2, text(L"Новое: ", L"New:   ") + std::wstring(m_typed.begin(), m_typed.end()) + L"_");
    setRow(3, text(L"Enter-да  Esc-нет", L"Enter-yes  Esc-no"));
}

void Firmware::renderAbout()
{
    setRow(0, text(L"Сведения", L"About"));
    setRow(1, (boost::wformat(text(L"Адрес: %d", L"Address: %d")) % unsigned(m_setup.address)).str());
    setRow(2, (boost::wformat(text(L"Идент.: %d", L"Identifier: %d")) % m_setup.identifier).str());
    setRow(3, (boost::wformat(text(L"Версия ПО: %d.%d", L"Software: %d.%d")) % unsigned(m_setup.major) %
               unsigned(m_setup.minor)).str());
}

std::wstring Firmware::text(const wchar_t* russian, const wchar_t* english) const
{
    return m_english ? english : russian;
}

std::wstring Firmware::menuText(int item) const
{
    switch (item) {
    case SetpointItem: return text(L"Уставка", L"Setpoint");
    case ConsoleItem: return m_consoleOn ? text(L"Консоль выкл.", L"Console off") : text(L"Консоль вкл.", L"Console on");
    case AboutItem: return text(L"Сведения", L"About");
    default: return text(L"Выход", L"Exit");
    }
}

void Firmware::setRow(int row, const std::wstring& content)
{
    const std::string encoded = toCp1251(content);
    Row& cells = m_screen[row];
    cells.fill(' ');
    for (std::size_t place = 0; place < cells.size() && place < encoded.size(); ++place)
        cells[place] = static_cast<std::uint8_t>(encoded[place]);
}

std::uint8_t Firmware::glyphOr(unsigned char code, char fallback) const
{
    return code < m_glyphs.size() ? code : static_cast<std::uint8_t>(fallback);
}

} // namespace VPanel::Sim
