#include "term/CursesScreen.h"

#include "baselib/exceptions/Exception.h"
#include "term/KeyNames.h"
#include "term/StatusTexts.h"

#include <curses.h>
#include <term.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace VPanel::Term {

namespace {
// A lone Esc is a key of its own here, not the start of a sequence the user is still typing.
constexpr int escapeDelay_ms = 25;
constexpr int frameWidth = 1;
} // namespace

CursesScreen::CursesScreen()
{
    m_screen = newterm(nullptr, stdout, stdin);
    const char* const cursorAddressing = m_screen ? tigetstr("cup") : nullptr;
    // Without cursor addressing (TERM=dumb) every draw would run on as one long line.
    if (!cursorAddressing || cursorAddressing == reinterpret_cast<const char*>(-1)) {
        if (m_screen) {
            endwin();
            delscreen(m_screen);
        }
        const char* const name = std::getenv("TERM");
        const QString text = StatusTexts::unsuitableTerminal(QString::fromLocal8Bit(name ? name : ""));
        throw KelBase::RuntimeException(text.toStdWString());
    }
    set_escdelay(escapeDelay_ms);
    // Ctrl+C still raises SIGINT, which the program takes as its stop.
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    curs_set(0);
}

CursesScreen::~CursesScreen()
{
    endwin();
    delscreen(m_screen);
}

void CursesScreen::put(int row, int column, const QString& text, int attributes)
{
    if (row >= LINES || column >= COLS)
        return;
    const std::wstring wide = text.left(COLS - column).toStdWString();
    attron(attributes);
    mvaddnwstr(row, column, wide.c_str(), static_cast<int>(wide.size()));
    attroff(attributes);
}

void CursesScreen::draw(const View& view, const QString& stateLine, const QString& legend)
{
    erase();
    const int rows = view.screen.rows();
    const int places = view.screen.places();
    if (rows > 0) {
        mvhline(0, frameWidth, ACS_HLINE, places);
        mvhline(rows + frameWidth, frameWidth, ACS_HLINE, places);
        mvvline(frameWidth, 0, ACS_VLINE, rows);
        mvvline(frameWidth, places + frameWidth, ACS_VLINE, rows);
        mvaddch(0, 0, ACS_ULCORNER);
        mvaddch(0, places + frameWidth, ACS_URCORNER);
        mvaddch(rows + frameWidth, 0, ACS_LLCORNER);
        mvaddch(rows + frameWidth, places + frameWidth, ACS_LRCORNER);
    }
    const std::vector<std::string> rowTexts = view.screen.text();
    for (int row = 0; row < rows; ++row)
        put(row + frameWidth, frameWidth, QString::fromStdString(rowTexts[static_cast<std::size_t>(row)]), A_BOLD);
    const int below = rows > 0 ? rows + 2 * frameWidth : 0;
    put(below, 0, stateLine, view.state.alarm ? A_REVERSE : A_NORMAL);
    put(below + 1, 0, legend, A_DIM);
    refresh();
}

std::vector<int> CursesScreen::typedKeys()
{
    std::vector<int> scanCodes;
    wint_t key = 0;
    for (int kind = get_wch(&key); kind != ERR; kind = get_wch(&key))
        if (const auto scanCode = scanCodeOfTerminalKey(static_cast<int>(key), kind == KEY_CODE_YES))
            scanCodes.push_back(*scanCode);
    return scanCodes;
}

void CursesScreen::refuseKey() { beep(); }

} // namespace VPanel::Term
