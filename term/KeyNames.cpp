#include "term/KeyNames.h"

#include "link/ScanCodes.h"

#include <curses.h>

namespace VPanel::Term {

namespace {
namespace ScanCode = Link::ScanCode;

constexpr int escapeCharacter = 27;
constexpr int deleteCharacter = 127;
constexpr int backspaceCharacter = '\b';
} // namespace

std::optional<int> scanCodeOfTerminalKey(int key, bool functionKey)
{
    if (functionKey) {
        switch (key) {
        case KEY_UP: return ScanCode::Up;
        case KEY_DOWN: return ScanCode::Down;
        case KEY_LEFT: return ScanCode::Left;
        case KEY_RIGHT: return ScanCode::Right;
        case KEY_ENTER: return ScanCode::Enter;
        case KEY_BACKSPACE: return ScanCode::Backspace;
        case KEY_F(1): return ScanCode::F1;
        case KEY_F(2): return ScanCode::F2;
        default: return std::nullopt;
        }
    }
    if (key >= '0' && key <= '9')
        return ScanCode::digit(key - '0');
    switch (key) {
    case '\n':
    case '\r': return ScanCode::Enter;
    case escapeCharacter: return ScanCode::Escape;
    case deleteCharacter:
    case backspaceCharacter: return ScanCode::Backspace;
    default: return std::nullopt;
    }
}

} // namespace VPanel::Term
