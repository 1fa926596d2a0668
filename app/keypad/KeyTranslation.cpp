#include "app/keypad/KeyTranslation.h"

#include "link/ScanCodes.h"

#include <Qt>

namespace ScanCode = VPanel::Link::ScanCode;

std::optional<int> scanCodeFromQtKey(int qtKey)
{
    if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_9)
        return ScanCode::digit(1 + qtKey - Qt::Key_1);
    switch (qtKey) {
    case Qt::Key_Escape: return ScanCode::Escape;
    case Qt::Key_0: return ScanCode::Digit0;
    case Qt::Key_Backspace: return ScanCode::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return ScanCode::Enter;
    case Qt::Key_F1: return ScanCode::F1;
    case Qt::Key_F2: return ScanCode::F2;
    case Qt::Key_NumLock: return ScanCode::NumLock;
    case Qt::Key_Up: return ScanCode::Up;
    case Qt::Key_Left: return ScanCode::Left;
    case Qt::Key_Right: return ScanCode::Right;
    case Qt::Key_Down: return ScanCode::Down;
    default: return std::nullopt;
    }
}
